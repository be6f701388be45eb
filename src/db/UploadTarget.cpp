#include "db/UploadTarget.h"

#include "db/ColumnType.h"
#include "db/Download.h"

namespace {

QString stateKey(const QString& table, const QString& field) {
    // Backquotes are doubled inside the quoted names, so the pair cannot be told apart otherwise.
    return QStringLiteral("upload ") + QuoteIdentifier(table) + u'.' + QuoteIdentifier(field);
}

// Character sets that hold every character in two or four bytes: the server pads a value that is
// not a whole number of them with zero bytes in front, without a warning.
bool isWideCharacterSet(const QString& name) {
    for (const char* wide : {"ucs2", "utf16", "utf16le", "utf32"})
        if (name.compare(QLatin1String(wide), Qt::CaseInsensitive) == 0) return true;
    return false;
}

// What the server tells about the column and the table in one answer: the column's character set
// (NULL for bytes), whether a BEFORE INSERT trigger is visible, whether the user holds the TRIGGER
// privilege that makes every trigger of the table visible (without it, none is listed), whether
// the session refuses a value that does not fit instead of cutting it, what kind of table the name
// is (a view has the triggers of the tables under it, which this look-up does not see), and the
// auto-increment column that alone makes up a unique key, which tells the new row apart.
const QString kAboutTarget = QStringLiteral(
    "SELECT (SELECT CHARACTER_SET_NAME FROM information_schema.COLUMNS "
    "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = ? AND COLUMN_NAME = ? LIMIT 1), "
    "EXISTS (SELECT 1 FROM information_schema.TRIGGERS WHERE EVENT_OBJECT_SCHEMA = DATABASE() "
    "AND EVENT_OBJECT_TABLE = ? AND EVENT_MANIPULATION = 'INSERT' AND ACTION_TIMING = 'BEFORE'), "
    "(SELECT COUNT(*) FROM (SELECT GRANTEE, TABLE_SCHEMA, NULL AS TABLE_NAME, PRIVILEGE_TYPE "
    "FROM information_schema.SCHEMA_PRIVILEGES UNION ALL SELECT GRANTEE, NULL, NULL, "
    "PRIVILEGE_TYPE FROM information_schema.USER_PRIVILEGES UNION ALL SELECT GRANTEE, "
    "TABLE_SCHEMA, TABLE_NAME, PRIVILEGE_TYPE FROM information_schema.TABLE_PRIVILEGES) AS p "
    "WHERE p.PRIVILEGE_TYPE = 'TRIGGER' AND p.GRANTEE = CONCAT('''', "
    "SUBSTRING_INDEX(CURRENT_USER(), '@', 1), '''@''', SUBSTRING_INDEX(CURRENT_USER(), '@', -1), "
    "'''') AND (p.TABLE_SCHEMA IS NULL OR p.TABLE_SCHEMA = DATABASE()) AND (p.TABLE_NAME IS NULL "
    "OR p.TABLE_NAME = ?)) > 0, "
    "CONCAT(',', @@SESSION.sql_mode, ',') REGEXP ',STRICT_(ALL|TRANS)_TABLES,', "
    "(SELECT TABLE_TYPE FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() "
    "AND TABLE_NAME = ?), "
    "(SELECT COLUMN_NAME FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() "
    "AND TABLE_NAME = ? AND EXTRA LIKE '%auto_increment%' AND COLUMN_NAME IN (SELECT "
    "MIN(COLUMN_NAME) FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = DATABASE() AND "
    "TABLE_NAME = ? AND NON_UNIQUE = 0 GROUP BY INDEX_NAME HAVING COUNT(*) = 1) LIMIT 1)");

}  // namespace

QString UploadStatement(const QString& table, const QString& field) {
    return QStringLiteral("INSERT INTO ") + QuoteIdentifier(table) + QStringLiteral(" (") +
           QuoteIdentifier(field) + QStringLiteral(") VALUES (?)");
}

QString CheckedUploadStatement(const QString& table, const QString& field, const QString& key) {
    const QString column = QuoteIdentifier(field);
    QString sql = UploadStatement(table, field) + QStringLiteral(" RETURNING LENGTH(") + column +
                  QStringLiteral("), CRC32(") + column + u')';
    if (!key.isEmpty()) sql += QStringLiteral(", ") + QuoteIdentifier(key);
    return sql;
}

UploadTarget& UploadTarget::of(Connection& c, const QString& table, const QString& field) {
    const QString key = stateKey(table, field);
    if (SessionState* kept = c.state(key)) return static_cast<UploadTarget&>(*kept);

    std::unique_ptr<UploadTarget> t(new UploadTarget);
    t->field_ = field;
    {
        // The column as a result describes it: its type, flags, length and whether it holds bytes.
        const PreparedStatement select(c, DownloadStatement(table, field));
        if (select.fieldCount() > 0) {
            const MYSQL_FIELD& column = select.field(0);
            t->type_ = column.type;
            t->flags_ = column.flags;
            t->binary_ = column.charsetnr == kBinaryCharset;
            t->length_ = column.length;
        }
    }
    const QStringList about =
        FirstRowOf(c, kAboutTarget, {table, field, table, table, table, table, table});
    t->characterSet_ = about.value(0);
    const bool triggerSeen = about.value(1) == QLatin1String("1");
    const bool allTriggersVisible = about.value(2) == QLatin1String("1");
    const bool strict = about.value(3) == QLatin1String("1");
    const bool baseTable = about.value(4) == QLatin1String("BASE TABLE");
    t->key_ = about.value(5);
    const bool mayHaveTrigger = triggerSeen || !allTriggersVisible || !baseTable;
    const bool mayChange = !t->binary_ || mayHaveTrigger || !strict;
    // Every INSERT that can give back what it stored does, and is compared: what was learnt here
    // may be out of date by the next file (a trigger made, the column altered, the table made
    // anew). A row that is not in a transaction is taken out again by its key, so a table without
    // one is always written in a transaction. A server that cannot give it back is asked for the
    // row by its key inside the transaction; without a key only its warnings are left.
    t->readsBack_ = c.insertReturns();
    const bool hasKey = !t->key_.isEmpty();
    t->checked_ = mayChange || (t->readsBack_ ? !hasKey : hasKey);
    t->table_ = table;
    t->insert_ = std::make_unique<PreparedStatement>(
        c, t->readsBack_ ? CheckedUploadStatement(table, field, t->key_)
                         : UploadStatement(table, field));

    // Every file is sent as long data into the one parameter.
    MYSQL_BIND value{};
    value.buffer_type = MYSQL_TYPE_LONG_BLOB;
    if (mysql_stmt_bind_param(t->insert_->handle(), &value) != 0) throw t->insert_->lastFailure();
    return static_cast<UploadTarget&>(c.keepState(key, std::move(t)));
}

void UploadTarget::forget(Connection& c, const QString& table, const QString& field) {
    c.dropState(stateKey(table, field));
}

// Numbers, dates and times, bits, enumerations and sets, geometry and text of fixed length convert
// or trim a value quietly even in a strict session, a BINARY(n) column pads a shorter value with
// zero bytes, and a text column of a wide character set pads it to whole characters. Binary and
// text columns of varying length are left to the server, which refuses in strict mode what they
// cannot hold.
void UploadTarget::refuseFor(const QString& path, qint64 size) const {
    if (type_ == MYSQL_TYPE_NULL) return;
    const bool enumOrSet = (flags_ & (ENUM_FLAG | SET_FLAG)) != 0;
    bool keepsBytes = false;
    switch (type_) {
        case MYSQL_TYPE_TINY_BLOB:
        case MYSQL_TYPE_MEDIUM_BLOB:
        case MYSQL_TYPE_LONG_BLOB:
        case MYSQL_TYPE_BLOB:
        case MYSQL_TYPE_VARCHAR:
        case MYSQL_TYPE_VAR_STRING:
            keepsBytes = !enumOrSet;
            break;
        case MYSQL_TYPE_STRING:
            keepsBytes = binary_ && !enumOrSet;
            break;
        default:
            break;
    }
    if (!keepsBytes)
        throw Failure(0, QStringLiteral("The column \"%1\" would change the file's bytes (it does "
                                        "not hold binary data); the file \"%2\" was not stored.")
                             .arg(field_, path));
    if (!binary_ && isWideCharacterSet(characterSet_))
        throw Failure(0, QStringLiteral("The column \"%1\" would change the file's bytes (its "
                                        "character set %2 stores each character in several "
                                        "bytes); the file \"%3\" was not stored.")
                             .arg(field_, characterSet_, path));
    if (type_ == MYSQL_TYPE_STRING && size < static_cast<qint64>(length_))
        throw Failure(0, QStringLiteral("The file \"%1\" is %2 bytes, but the column \"%3\" holds "
                                        "exactly %4 bytes and would fill the rest with zeros; it "
                                        "was not stored.")
                             .arg(path)
                             .arg(size)
                             .arg(field_)
                             .arg(length_));
}
