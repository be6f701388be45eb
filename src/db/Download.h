#pragma once

#include <QString>
#include <QStringList>
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

// Lets another thread end a running download at once. discard() removes the files that are written
// but not yet in place, under their temporary names, and no file is created or renamed into place
// after it; the files in place before stay whole. The download then returns with stopped set.
class DownloadStop {
public:
    void discard();
    bool discarded() const;

private:
    friend class DownloadFileGuard;
    mutable std::mutex mutex_;
    bool discarded_ = false;
    QStringList writing_;  // the temporary files not yet in place
};

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
// read from the server one at a time, so memory stays bounded by the largest value.
//
// Network and disk overlap: values up to 8 MiB are copied and left to threads of the download's
// own, 8 MiB of copies at most, while the next rows are received; a larger value is written to its
// temporary file (in the target's folder) before the next row is read, so memory holds the value
// being received and a fixed amount. Those threads write the copies and force the files to the
// disk, several files at a time. Each file is then renamed over its target, in row order, so it is
// whole or absent, an existing file is replaced, and a file is in place only once every file
// before it is; at the end the folder itself is forced to the disk, so that the names last too.
// fileWritten, when given, is called after each file is in place, in row order, on one of those
// threads.
//
// An extension that holds a folder separator is refused with Failure 52 before any row is read,
// since the row number would no longer keep the names apart.
//
// Throws Failure on any error, the earliest in row order first; the files completed before it
// stay whole. After a failure or a stop while rows were being read the connection is closed, since
// the rest of the result is not worth fetching.
DownloadResult DownloadBlobs(Connection& c, const QString& table, const QString& field,
                             const QString& prefix, const QString& folder, const QString& extension,
                             const std::function<void(const QString&)>& fileWritten = {},
                             DownloadStop* stop = nullptr);
