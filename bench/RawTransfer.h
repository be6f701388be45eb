#pragma once

#include <string>
#include <vector>

// The same transfers as the engines, written straight against Connector/C with nothing in
// between, as the yardstick for the engines' figures. Both throw std::runtime_error on failure.

struct RawLogin {
    std::string host, user, password, database;
    unsigned int port = 3306;
};

struct RawTotals {
    long long rows = 0, files = 0, bytes = 0;
};

// Streams the column row by row (mysql_use_result) and writes each non-NULL value to
// folder/prefix<n>.extension as whole as the engine does (beside the target, flushed to disk,
// renamed over it), one file after the other on one thread.
RawTotals RawDownload(const RawLogin& login, const std::string& table, const std::string& field,
                      const std::string& folder, const std::string& prefix,
                      const std::string& extension);

// One prepared INSERT, executed once per file, each file sent as long data in 1 MiB pieces, on a
// connection that is compressed when asked. Empty files are skipped as the engine skips them.
RawTotals RawUpload(const RawLogin& login, const std::string& table, const std::string& field,
                    const std::vector<std::string>& files, bool compressed);
