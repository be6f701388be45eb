#pragma once

#include <mysql.h>

#include <QString>
#include <QStringList>

#include "core/Failure.h"
#include "db/Connection.h"

// A server-side prepared statement that lives as long as the object, so every way out of a
// transfer, a failure included, gives the statement back to the server.
class PreparedStatement {
public:
    // Prepares the statement on the connection; throws Failure with the server's text.
    PreparedStatement(Connection& connection, const QString& sql);
    ~PreparedStatement();
    PreparedStatement(const PreparedStatement&) = delete;
    PreparedStatement& operator=(const PreparedStatement&) = delete;

    MYSQL_STMT* handle() const { return stmt_; }
    // The statement's last error as a Failure.
    Failure lastFailure() const;

    // The result columns known from the preparation alone; nothing has been run yet.
    unsigned int fieldCount() const;
    const MYSQL_FIELD& field(unsigned int index) const;

private:
    MYSQL_STMT* stmt_ = nullptr;
    MYSQL_RES* metadata_ = nullptr;
};

// Runs a statement whose values travel apart from its text, as parameters, and gives the first row
// of its result, each column as text (a null string for NULL); empty when there is no row.
QStringList FirstRowOf(Connection& connection, const QString& sql, const QStringList& values);
