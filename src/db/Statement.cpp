#include "db/Statement.h"

#include <vector>

PreparedStatement::PreparedStatement(Connection& connection, const QString& sql) {
    MYSQL* mysql = connection.handle();
    stmt_ = mysql_stmt_init(mysql);
    if (!stmt_) throw connection.lastFailure();
    const QByteArray text = sql.toUtf8();
    if (mysql_stmt_prepare(stmt_, text.constData(), static_cast<unsigned long>(text.size())) != 0) {
        const Failure failure = lastFailure();
        mysql_stmt_close(stmt_);
        throw failure;
    }
    metadata_ = mysql_stmt_result_metadata(stmt_);
}

PreparedStatement::~PreparedStatement() {
    if (metadata_) mysql_free_result(metadata_);
    mysql_stmt_close(stmt_);
}

Failure PreparedStatement::lastFailure() const {
    return DatabaseFailure(mysql_stmt_errno(stmt_), mysql_stmt_error(stmt_));
}

unsigned int PreparedStatement::fieldCount() const {
    return metadata_ ? mysql_num_fields(metadata_) : 0;
}

const MYSQL_FIELD& PreparedStatement::field(unsigned int index) const {
    return *mysql_fetch_field_direct(metadata_, index);
}

QStringList FirstRowOf(Connection& connection, const QString& sql, const QStringList& values) {
    const PreparedStatement statement(connection, sql);
    MYSQL_STMT* stmt = statement.handle();
    std::vector<QByteArray> texts;
    for (const QString& value : values) texts.push_back(value.toUtf8());
    std::vector<MYSQL_BIND> params(texts.size());
    std::vector<unsigned long> lengths(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        lengths[i] = static_cast<unsigned long>(texts[i].size());
        params[i].buffer_type = MYSQL_TYPE_STRING;
        params[i].buffer = texts[i].data();
        params[i].buffer_length = lengths[i];
        params[i].length = &lengths[i];
    }
    if ((!params.empty() && mysql_stmt_bind_param(stmt, params.data()) != 0) ||
        mysql_stmt_execute(stmt) != 0)
        throw statement.lastFailure();

    const unsigned int columns = statement.fieldCount();
    std::vector<MYSQL_BIND> results(columns);
    std::vector<unsigned long> sizes(columns);
    std::vector<my_bool> nulls(columns);
    for (unsigned int i = 0; i < columns; ++i) {
        results[i].buffer_type = MYSQL_TYPE_STRING;
        results[i].length = &sizes[i];
        results[i].is_null = &nulls[i];
    }
    QStringList row;
    if (columns > 0) {
        // Nothing is fetched into the bindings: each column is read whole by its own size.
        if (mysql_stmt_bind_result(stmt, results.data()) != 0) throw statement.lastFailure();
        const int fetched = mysql_stmt_fetch(stmt);
        if (fetched == 1) throw statement.lastFailure();
        if (fetched != MYSQL_NO_DATA) {
            for (unsigned int i = 0; i < columns; ++i) {
                if (nulls[i]) {
                    row.append(QString());
                    continue;
                }
                QByteArray text(static_cast<qsizetype>(sizes[i]), Qt::Uninitialized);
                MYSQL_BIND column{};
                column.buffer_type = MYSQL_TYPE_STRING;
                column.buffer = text.data();
                column.buffer_length = sizes[i];
                if (sizes[i] > 0 && mysql_stmt_fetch_column(stmt, &column, i, 0) != 0)
                    throw statement.lastFailure();
                row.append(QString::fromUtf8(text));
            }
        }
    }
    mysql_stmt_free_result(stmt);
    return row;
}
