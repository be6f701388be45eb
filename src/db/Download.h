#pragma once

#include <QString>
#include <functional>
#include <mutex>

#include "db/ColumnType.h"
#include "db/Connection.h"

struct DownloadResult {
    bool wrongType = false;  // the column is not binary: nothing was read or written
    bool stopped = false;    // DownloadStop::discard ended the run; the files before it stay
    int adoType = 0;         // the column's type code, also when it is binary
    qint64 rows = 0, files = 0, bytes = 0;
};

// Lets another thread end a running download at once. discard() removes the file that is being
// written at that moment under its temporary name, and no file is created or renamed into place
// after it; the files finished before stay whole. The download then returns with stopped set.
class DownloadStop {
public:
    void discard();
    bool discarded() const;

private:
    friend class DownloadFileGuard;
    mutable std::mutex mutex_;
    bool discarded_ = false;
    QString writing_;  // the temporary file being written, if any
};

// Values up to this size are copied out of the row, so that the next row is received while their
// file is written; a larger value is written before the next row is read. Either way the memory in
// flight stays within 1.5 times the largest value plus 32 MiB.
constexpr qint64 kOverlapLimit = qint64{64} * 1024 * 1024;

// The statement that reads the column: "Select `field` FROM `table`", each backquote inside a name
// doubled, so names with spaces, reserved words or backquotes work and cannot change the statement.
QString DownloadStatement(const QString& table, const QString& field);

// The name of the file for row number n (counting from 1, NULL rows included): folder + the
// platform's separator (platform::Separator) + prefix + n + "." + extension, each part exactly as
// given.
QString DownloadFileName(const QString& folder, const QString& prefix, qint64 n,
                         const QString& extension);

// Saves the column of every row of the table as a file of its own, named by DownloadFileName; NULL
// values get no file but keep their number. The column type is checked first from the statement's
// metadata: a column that is not binary sets wrongType and adoType and reads no row. Rows are then
// read from the server one at a time whatever the connection's cursor location, so memory stays
// bounded by the largest value.
//
// Network and disk overlap: a second thread writes each file while the calling thread already
// receives the next row. At most one value is in the writer's hands; a value larger than
// kOverlapLimit is written before the next row is read. Each file is written beside its target,
// forced to the disk and renamed over it, so it is whole or absent, an existing file is replaced,
// and files are completed in row order. fileWritten, when given, is called on the writer's thread
// after each file is in place.
//
// Throws Failure on any error, the earliest in row order first; the files completed before it
// stay whole. After a failure or a stop while rows were being read the connection is closed, since
// the rest of the result is not worth fetching.
DownloadResult DownloadBlobs(Connection& c, const QString& table, const QString& field,
                             const QString& prefix, const QString& folder, const QString& extension,
                             const std::function<void(const QString&)>& fileWritten = {},
                             DownloadStop* stop = nullptr);
