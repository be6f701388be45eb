#pragma once

#include <QString>
#include <memory>

#include "db/Connection.h"
#include "db/Statement.h"

// What an upload into one column of one table learns once per session and keeps for every file
// that follows: the prepared INSERT, the column's kind, and whether the server could store other
// bytes than it was sent without raising an error.
class UploadTarget : public SessionState {
public:
    // The target kept on the session, made on first use. Making it prepares the statements, so an
    // unknown table or column is reported before any file is touched.
    static UploadTarget& of(Connection& c, const QString& table, const QString& field);
    // Forgets the target, so that the next file prepares afresh (after the statement was lost).
    static void forget(Connection& c, const QString& table, const QString& field);

    // Refuses, before anything is sent, a column that would keep something other than the file's
    // bytes; size is the file's.
    void refuseFor(const QString& path, qint64 size) const;

    // Whether the row is added in a transaction and kept only when the check after the INSERT
    // passes: where the server could change the value without an error (a text column, a table
    // or view that may have a BEFORE INSERT trigger, a session that is not strict), where the
    // stored value is read back by the key, and where a row could not be taken out by its key.
    bool checked() const { return checked_; }
    // Whether the INSERT gives back the stored value's LENGTH and CRC32 (INSERT ... RETURNING), and
    // the key when there is one, so every file is compared with what was sent. Otherwise the value
    // is read back by the key in the transaction, or the check looks at the server's warnings.
    bool readsBack() const { return readsBack_; }
    // The auto-increment column that alone makes up a unique key of the table, or empty.
    const QString& key() const { return key_; }
    const QString& table() const { return table_; }
    const QString& field() const { return field_; }

    const PreparedStatement& insert() const { return *insert_; }

private:
    UploadTarget() = default;

    QString table_;
    QString field_;
    QString key_;
    enum_field_types type_ = MYSQL_TYPE_NULL;
    unsigned int flags_ = 0;
    bool binary_ = false;
    unsigned long length_ = 0;
    QString characterSet_;
    bool checked_ = true;
    bool readsBack_ = false;
    std::unique_ptr<PreparedStatement> insert_;
};

// The statement that adds the row: "INSERT INTO `table` (`field`) VALUES (?)" with the same quoting
// as the download, so the new row gets a value only in the chosen column.
QString UploadStatement(const QString& table, const QString& field);
// The same, giving back the stored value's length and CRC32, and the key's value when a key column
// is named, in the INSERT's own answer.
QString CheckedUploadStatement(const QString& table, const QString& field, const QString& key = {});
