#include "db/Download.h"

#include <QSaveFile>

#include "app/FileFailure.h"
#include "app/Platform.h"
#include "db/Statement.h"

namespace {

// Unbuffered, so that a write the disk refuses fails in WriteFully with the system's reason; a
// buffered save could fail only when it is committed, and be committed short.
void saveWhole(const QString& path, const char* data, qint64 size) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw FileFailure(FileAction::Write, path, file);
    WriteFully(file, path, data, size);
    if (!file.commit()) throw FileFailure(FileAction::Write, path, file);
}

int columnType(Connection& c, const QString& sql) {
    const PreparedStatement statement(c, sql);
    if (statement.fieldCount() == 0)
        throw Failure(0, QStringLiteral("The statement returned no columns: %1").arg(sql));
    return AdoTypeOf(statement.field(0));
}

}  // namespace

QString DownloadStatement(const QString& table, const QString& field) {
    return QStringLiteral("Select ") + QuoteIdentifier(field) + QStringLiteral(" FROM ") +
           QuoteIdentifier(table);
}

QString DownloadFileName(const QString& folder, const QString& prefix, qint64 n,
                         const QString& extension) {
    return folder + platform::Separator() + prefix + QString::number(n) + u'.' + extension;
}

DownloadResult DownloadBlobs(Connection& c, const QString& table, const QString& field,
                             const QString& prefix, const QString& folder, const QString& extension,
                             const std::function<void(const QString&)>& fileWritten) {
    const QString sql = DownloadStatement(table, field);
    DownloadResult result;
    // The type is known from preparing the statement, so a refused column costs no row.
    result.adoType = columnType(c, sql);
    if (!IsBlobType(result.adoType)) {
        result.wrongType = true;
        return result;
    }

    // Rows are streamed whatever the cursor location, so memory stays bounded by the largest value.
    ResultPtr rows = QueryStreamed(c, sql);
    MYSQL* mysql = c.handle();

    try {
        while (MYSQL_ROW row = mysql_fetch_row(rows.get())) {
            ++result.rows;
            if (!row[0]) continue;
            const qint64 size = static_cast<qint64>(mysql_fetch_lengths(rows.get())[0]);
            const QString path = DownloadFileName(folder, prefix, result.rows, extension);
            saveWhole(path, row[0], size);
            ++result.files;
            result.bytes += size;
            if (fileWritten) fileWritten(path);
        }
        if (mysql_errno(mysql) != 0) throw c.lastFailure();
    } catch (...) {
        // Freeing an unfinished streamed result would first read all its remaining rows.
        mariadb_cancel(mysql);
        rows.reset();
        c.close();
        throw;
    }
    return result;
}
