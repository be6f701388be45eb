#pragma once

#include <QString>
#include <functional>

#include "db/ColumnType.h"
#include "db/Connection.h"

struct DownloadResult {
    bool wrongType = false;  // the column is not binary: nothing was read or written
    int adoType = 0;         // the column's type code, also when it is binary
    qint64 rows = 0, files = 0, bytes = 0;
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
// read from the server one at a time whatever the connection's cursor location, so memory stays
// bounded by the largest single value. Each file is written beside its target and renamed over it,
// so it is whole or absent, and an existing file is replaced. fileWritten, when given, is called
// after each file.
//
// Throws Failure on any error; the files written before stay. After a failure while rows were being
// read the connection is closed, since the rest of the result is not worth fetching.
DownloadResult DownloadBlobs(Connection& c, const QString& table, const QString& field,
                             const QString& prefix, const QString& folder, const QString& extension,
                             const std::function<void(const QString&)>& fileWritten = {});
