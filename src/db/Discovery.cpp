#include "db/Discovery.h"

#include "db/Statement.h"

bool IsListedTable(const QString& name) {
    return name.left(3).toLower() != QLatin1String("sys");
}

void ForEachTableName(Connection& c, const std::function<void(const QString&)>& onRow) {
    const ResultPtr result = QueryBuffered(c, QStringLiteral("SHOW TABLES;"));
    while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
        const unsigned long* lengths = mysql_fetch_lengths(result.get());
        onRow(QString::fromUtf8(row[0], static_cast<qsizetype>(lengths[0])));
    }
}

QString FieldListingStatement(const QString& table) {
    return QStringLiteral("SELECT * FROM ") + QuoteIdentifier(table);
}

QStringList FieldNames(Connection& c, const QString& table) {
    const PreparedStatement statement(c, FieldListingStatement(table));
    QStringList names;
    for (unsigned int i = 0; i < statement.fieldCount(); ++i) {
        const MYSQL_FIELD& f = statement.field(i);
        names.append(QString::fromUtf8(f.name, static_cast<qsizetype>(f.name_length)));
    }
    return names;
}
