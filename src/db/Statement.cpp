#include "db/Statement.h"

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
