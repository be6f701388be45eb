#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "db/Connection.h"

// Whether a table name belongs in the table lists: names whose first three characters are "sys",
// in any case, are left out (sysconfig, System_log, SYS); shorter names never match (sy).
bool IsListedTable(const QString& name);

// Runs "SHOW TABLES;" and calls onRow with every name in the server's order, "sys" names included:
// the caller filters, yields and appends. The whole (small) result is fetched before the first
// call, so onRow may let the event loop run without holding the session busy.
void ForEachTableName(Connection& c, const std::function<void(const QString&)>& onRow);

// The column names of a table, in column order, whatever their type. Only the statement's column
// metadata is read (the statement is prepared, never run), so no row of the table crosses the
// network however large it is.
QStringList FieldNames(Connection& c, const QString& table);

// The statement whose columns FieldNames lists: "SELECT * FROM `" + table + "`", with each
// backquote inside the name doubled so that the name cannot end the quoting early.
QString FieldListingStatement(const QString& table);
