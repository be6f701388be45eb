#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <chrono>
#include <functional>
#include <future>
#include <vector>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "db/Download.h"
#include "db/Openers.h"
#include "db/Statement.h"
#include "db/Upload.h"
#include "support/ExpectFailure.h"
#include "support/StallingRelay.h"
#include "support/TestServer.h"

namespace {

// Every event in order, as text, so a test reads as the sequence the window would see.
struct RecordedEvents : TransferEvents {
    QStringList log;
    int yields = 0;
    std::function<void(int)> onYield;  // gets the number of yields so far

    void progressRange(int minimum, int maximum) override {
        log.append(QStringLiteral("range %1..%2").arg(minimum).arg(maximum));
    }
    void progressValue(int value) override { log.append(QStringLiteral("value %1").arg(value)); }
    void yield() override {
        ++yields;
        if (onYield) onYield(yields);
    }
    void fileStored(const QString& path) override { log.append("stored " + path); }
};

class UploadTest : public DatabaseTest {
protected:
    void SetUp() override {
        DatabaseTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        exec(
            "CREATE TABLE files (id INT AUTO_INCREMENT PRIMARY KEY, note VARCHAR(10) DEFAULT "
            "'none', data LONGBLOB)");
    }

    QString makeFile(const QString& name, qint64 size) {
        QByteArray bytes(size, Qt::Uninitialized);
        QRandomGenerator generator(static_cast<quint32>(size));
        for (qint64 i = 0; i < size; ++i) bytes[i] = static_cast<char>(generator.generate());
        const QString path = dir_.path() + "/" + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    static QString sha256Of(const QString& path) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
    }
    QString rows() { return scalar("SELECT COUNT(*) FROM files"); }

    // An upload session opened while a global variable has another value; the session keeps it.
    std::unique_ptr<Connection> uploadSessionWith(const QString& variable, const QString& value) {
        holdServerAlone();
        const QString previous = scalar("SELECT @@GLOBAL." + variable);
        exec("SET GLOBAL " + variable + " = " + value);
        std::unique_ptr<Connection> c;
        try {
            c = OpenUploadConnection(profile());
        } catch (...) {
        }
        bool number = false;
        previous.toLongLong(&number);
        exec("SET GLOBAL " + variable + " = " + (number ? previous : "'" + previous + "'"));
        EXPECT_TRUE(c);
        return c;
    }
    // Expects the upload to fail, leaving no row and no "stored" event; gives the failure.
    Failure refused(Connection& c, const QString& table, const QString& field, const QString& path,
                    RecordedEvents& events) {
        const Failure f =
            ExpectFailure([&] { UploadFileToBlob(c, table, field, path, events); },
                          "stored " + path.toStdString() + " in " + field.toStdString());
        EXPECT_FALSE(events.log.contains("stored " + path));
        return f;
    }

    QTemporaryDir dir_;
};

TEST_F(UploadTest, StoresEveryByteInOrderWithProgressPerWholeChunk) {
    struct Case {
        qint64 size;
        QStringList progress;  // range and values, before "stored"
    };
    const Case cases[] = {
        {10, {"range 0..1", "value 0"}},
        {10240, {"range 0..1", "value 0", "value 1"}},
        {25000, {"range 0..2", "value 0", "value 1", "value 2"}},
        {20480, {"range 0..2", "value 0", "value 1", "value 2"}},
        // spans several gathered network writes, with a remainder
        {3 * 1048576 + 7, {}},
    };
    auto c = OpenUploadConnection(profile());
    int id = 0;
    for (const Case& k : cases) {
        const QString path = makeFile(QStringLiteral("f%1").arg(k.size), k.size);
        RecordedEvents events;
        UploadFileToBlob(*c, "files", "data", path, events);
        ++id;

        const qint64 whole = k.size / 10240;
        EXPECT_EQ(events.yields, 2 * whole) << k.size;
        ASSERT_FALSE(events.log.isEmpty());
        EXPECT_EQ(events.log.last(), "stored " + path);
        if (!k.progress.isEmpty()) {
            EXPECT_EQ(events.log.mid(0, events.log.size() - 1), k.progress);
        }
        EXPECT_EQ(events.log.size(), whole + 3) << k.size;  // range, value 0, one per chunk, stored

        const QString where = QStringLiteral(" FROM files WHERE id=%1").arg(id);
        EXPECT_EQ(scalar("SELECT LENGTH(data)" + where), QString::number(k.size));
        EXPECT_EQ(scalar("SELECT SHA2(data, 256)" + where), sha256Of(path)) << k.size;
        EXPECT_EQ(scalar("SELECT note" + where), "none");
    }
    EXPECT_EQ(rows(), QString::number(std::size(cases)));
}

TEST_F(UploadTest, EmptyFileAddsNoRowAndRaisesNoEvent) {
    auto c = OpenUploadConnection(profile());
    RecordedEvents events;
    UploadFileToBlob(*c, "files", "data", makeFile("empty", 0), events);
    EXPECT_TRUE(events.log.isEmpty());
    EXPECT_EQ(rows(), "0");
}

TEST_F(UploadTest, DownloadOfAnUploadIsByteIdentical) {
    exec("CREATE TABLE `my pics` (`the data` MEDIUMBLOB)");
    const QString original = makeFile("original.png", 123457);
    {
        auto c = OpenUploadConnection(profile());
        RecordedEvents events;
        UploadFileToBlob(*c, "my pics", "the data", original, events);
    }
    QTemporaryDir out;
    auto c = OpenDownloadConnection(profile());
    const DownloadResult r = DownloadBlobs(*c, "my pics", "the data", "p", out.path(), "png");
    EXPECT_EQ(r.files, 1);
    EXPECT_EQ(sha256Of(out.path() + "/p1.png"), sha256Of(original));
}

TEST_F(UploadTest, FileAboveTheServerLimitIsRefusedBeforeSendingAndTheNextIsStored) {
    auto c = uploadSessionWith("max_allowed_packet", "2097152");
    ASSERT_TRUE(c);
    auto received = [&] {
        return RowOn(*c, "SHOW SESSION STATUS LIKE 'Bytes_received'").value(1).toLongLong();
    };
    const qint64 before = received();

    RecordedEvents events;
    const Failure f = ExpectFailure(
        [&] { UploadFileToBlob(*c, "files", "data", makeFile("big", 2097153), events); },
        "stored a file above the limit");
    for (const char* part :
         {"2097153 bytes", "2097152 bytes", "max_allowed_packet", "SET GLOBAL max_allowed_packet"})
        EXPECT_TRUE(f.description.contains(part)) << f.description.toStdString();
    EXPECT_TRUE(events.log.isEmpty());
    EXPECT_EQ(rows(), "0");
    EXPECT_LT(received() - before, 1024);  // statements only, none of the file's 2 MiB

    // Exactly at the limit still fits.
    UploadFileToBlob(*c, "files", "data", makeFile("fits", 2097152), events);
    EXPECT_EQ(rows(), "1");
    EXPECT_EQ(scalar("SELECT LENGTH(data) FROM files"), "2097152");
}

TEST_F(UploadTest, ConnectionKilledMidwayLeavesNoRow) {
    const QString path = makeFile("big", 4 * 1048576 + 100);
    auto c = OpenUploadConnection(profile());
    const QString victim = QString::number(mysql_thread_id(c->handle()));
    RecordedEvents events;
    events.onYield = [&](int n) {
        if (n == 100) exec("KILL CONNECTION " + victim);
    };
    EXPECT_THROW(UploadFileToBlob(*c, "files", "data", path, events), Failure);
    EXPECT_EQ(rows(), "0");
    EXPECT_FALSE(events.log.contains("stored " + path));
}

TEST_F(UploadTest, FailuresCarryTheReasonAndAddNoRow) {
    const QString file = makeFile("ok", 100);
    struct Case {
        QString table, field, path;
        int number;
    };
    const Case cases[] = {
        {"nope", "data", file, 1146},
        {"files", "nope", file, 1054},
        {"files", "data", dir_.path() + "/missing", Failure::kPathFileAccessError},
    };
    auto c = OpenUploadConnection(profile());
    for (const Case& k : cases) {
        RecordedEvents events;
        const Failure f =
            ExpectFailure([&] { UploadFileToBlob(*c, k.table, k.field, k.path, events); },
                          "uploaded to " + k.table.toStdString() + "." + k.field.toStdString());
        EXPECT_EQ(f.number, k.number) << f.description.toStdString();
        EXPECT_TRUE(events.log.isEmpty());
    }
    EXPECT_EQ(rows(), "0");
}

TEST_F(UploadTest, ValueThatItsColumnWouldCutOrConvertLeavesNoRowAndTheNextFileIsStored) {
    exec(
        "CREATE TABLE narrow (tb TINYBLOB, b BLOB, vb VARBINARY(300), bn BINARY(16), "
        "vc VARCHAR(20), i INT, c CHAR(200), d DATE, e ENUM('a'), data LONGBLOB)");
    const QString big = makeFile("big", 100000);
    const QString tiny = makeFile("tiny", 10);  // short enough, but no number
    const QString small = makeFile("small", 200);
    struct Column {
        const char* name;
        QString file;
        int strictNumber;   // the server's refusal in a strict session
        int warningNumber;  // its warning when the session is not strict
    };
    const Column columns[] = {
        {"tb", big, 1406, 1265},
        {"b", big, 1406, 1265},
        {"vb", big, 1406, 1265},
        {"bn", big, 1406, 1265},
        {"vc", big, 1406, 1265},
        // Refused before sending: these would convert, trim or pad the bytes.
        {"i", big, 0, 0},
        {"i", tiny, 0, 0},
        {"c", small, 0, 0},
        {"d", tiny, 0, 0},
        {"e", tiny, 0, 0},
        {"bn", tiny, 0, 0},
    };
    // The upload session is strict even where the server's own mode is not; a session that is not
    // strict after all still keeps no row that the server warned about.
    auto strict = uploadSessionWith("sql_mode", "''");
    ASSERT_TRUE(strict);
    auto lax = OpenUploadConnection(profile());
    lax->execute("SET SESSION sql_mode = ''");
    struct Session {
        Connection* c;
        bool strict;
    };
    int stored = 0;
    for (const Session& session : {Session{strict.get(), true}, Session{lax.get(), false}}) {
        for (const Column& column : columns) {
            RecordedEvents events;
            const Failure f = refused(*session.c, "narrow", column.name, column.file, events);
            EXPECT_EQ(f.number, session.strict ? column.strictNumber : column.warningNumber)
                << column.name << " strict " << session.strict << ": "
                << f.description.toStdString();
            if (column.strictNumber == 0) {
                EXPECT_TRUE(
                    f.description.startsWith(
                        QStringLiteral("The column \"%1\"").arg(column.name)) ||
                    f.description.startsWith("The file \"" + column.file + "\" is 10 bytes"))
                    << f.description.toStdString();
            }
            EXPECT_EQ(scalar("SELECT COUNT(*) FROM narrow"), QString::number(stored));

            UploadFileToBlob(*session.c, "narrow", "data", small, events);
            ++stored;
            EXPECT_EQ(scalar("SELECT COUNT(*) FROM narrow"), QString::number(stored));
            EXPECT_EQ(events.log.last(), "stored " + small);
        }
    }
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM narrow WHERE SHA2(data, 256) = '" + sha256Of(small) +
                     "' AND tb IS NULL AND b IS NULL AND vb IS NULL AND bn IS NULL AND vc IS "
                     "NULL AND i IS NULL AND c IS NULL AND d IS NULL AND e IS NULL"),
              QString::number(stored));
    // A value of exactly the column's size is stored as it is.
    const QString sixteen = makeFile("sixteen", 16);
    RecordedEvents events;
    UploadFileToBlob(*strict, "narrow", "bn", sixteen, events);
    EXPECT_EQ(scalar("SELECT SHA2(bn, 256) FROM narrow WHERE bn IS NOT NULL"), sha256Of(sixteen));
    // The server's other modes are kept beside the strict one.
    auto usual = OpenUploadConnection(profile());
    const QString modes = RowOn(*usual, "SELECT @@SESSION.sql_mode").value(0);
    for (const char* kept : {"STRICT_ALL_TABLES", "NO_ENGINE_SUBSTITUTION", "STRICT_TRANS_TABLES"})
        EXPECT_TRUE(modes.contains(kept)) << modes.toStdString();
}

TEST_F(UploadTest, FileThatChangesWhileItIsSentIsNotStored) {
    // Large enough that a first piece of the value has gone to the server when the file changes.
    const qint64 size = 100 + 120 * kUploadChunkBytes;
    struct Case {
        const char* name;
        std::function<void(const QString&)> change;  // at the yield after the 110th whole chunk
    };
    const Case cases[] = {
        {"grows",
         [](const QString& p) {
             QFile f(p);
             f.open(QIODevice::Append);
             f.write("more");
         }},
        {"shrinks", [](const QString& p) { QFile::resize(p, 100 + 2 * kUploadChunkBytes + 5); }},
        {"rewritten in place",
         [](const QString& p) {
             QFile f(p);
             f.open(QIODevice::ReadWrite);
             f.write(QByteArray(100, 'z'));  // bytes already sent
         }},
        {"rewritten, its time set back",
         [](const QString& p) {
             QFile f(p);
             f.open(QIODevice::ReadWrite);
             const QDateTime before = f.fileTime(QFileDevice::FileModificationTime);
             f.write(QByteArray(100, 'z'));
             f.setFileTime(before, QFileDevice::FileModificationTime);
         }},
        {"replaced",
         [](const QString& p) {
             QFile::rename(p, p + ".old");  // keeps the open file's bytes, names a new one
             QFile f(p);
             f.open(QIODevice::WriteOnly);
             f.write(QByteArray(size, 'n'));
         }},
    };
    auto c = OpenUploadConnection(profile());
    for (const Case& k : cases) {
        const QString path = makeFile(k.name, size);
        // An old time, so that a write now gives the file another one.
        {
            QFile f(path);
            f.open(QIODevice::ReadWrite);
            f.setFileTime(QDateTime(QDate(2020, 1, 2), QTime(3, 4)),
                          QFileDevice::FileModificationTime);
        }
        RecordedEvents events;
        events.onYield = [&](int n) {
            if (n == 2 * 110) k.change(path);
        };
        const Failure f = refused(*c, "files", "data", path, events);
        EXPECT_EQ(f.description, "The file \"" + path +
                                     "\" changed while it was being uploaded; it was not stored.")
            << k.name;
        EXPECT_EQ(rows(), "0") << k.name;
    }
    // Nothing of the refused files' bytes stays with the statement for the next file.
    RecordedEvents events;
    const QString steady = makeFile("steady", size);
    UploadFileToBlob(*c, "files", "data", steady, events);
    EXPECT_EQ(rows(), "1");
    EXPECT_EQ(scalar("SELECT SHA2(data, 256) FROM files"), sha256Of(steady));
}

TEST_F(UploadTest, LongDataPiecesFitTheServersPacketExactly) {
    // Against the real server: a piece of LongDataPieceBytes is accepted, one byte more is not.
    const qint64 limit = 1048576;
    holdServerAlone();
    for (bool compressed : {false, true}) {
        auto open = [&] {
            const QString previous = scalar("SELECT @@GLOBAL.max_allowed_packet");
            exec("SET GLOBAL max_allowed_packet = " + QString::number(limit));
            auto c =
                compressed ? OpenUploadConnection(profile()) : OpenDownloadConnection(profile());
            exec("SET GLOBAL max_allowed_packet = " + previous);
            EXPECT_EQ(c->compressed(), compressed);
            return c;
        };
        const qint64 piece = LongDataPieceBytes(limit, compressed);
        EXPECT_EQ(piece, compressed ? limit - 12 : limit - 8);
        for (qint64 bytes : {piece, piece + 1}) {
            auto c = open();
            const PreparedStatement statement(*c, UploadStatement("files", "data"));
            MYSQL_BIND value{};
            value.buffer_type = MYSQL_TYPE_LONG_BLOB;
            ASSERT_EQ(mysql_stmt_bind_param(statement.handle(), &value), 0);
            const QByteArray data(bytes, 'p');
            const bool ok = mysql_stmt_send_long_data(statement.handle(), 0, data.constData(),
                                                      static_cast<unsigned long>(bytes)) == 0 &&
                            mysql_stmt_execute(statement.handle()) == 0;
            EXPECT_EQ(ok, bytes == piece) << "compressed " << compressed << ", " << bytes
                                          << " bytes: " << mysql_stmt_error(statement.handle());
        }
    }
    EXPECT_EQ(rows(), "2");
}

TEST_F(UploadTest, FileOfTheServersLimitIsStoredAndOneByteMoreIsRefusedClearly) {
    auto c = uploadSessionWith("max_allowed_packet", "1048576");
    ASSERT_TRUE(c);
    int stored = 0;
    for (qint64 size : {1048564, 1048565, 1048568, 1048569, 1048575, 1048576}) {
        const QString path = makeFile(QStringLiteral("f%1").arg(size), size);
        RecordedEvents events;
        try {
            UploadFileToBlob(*c, "files", "data", path, events);
        } catch (const Failure& f) {
            ADD_FAILURE() << size << ": " << f.description.toStdString();
        }
        ++stored;
        EXPECT_EQ(
            scalar(QStringLiteral("SELECT SHA2(data, 256) FROM files WHERE id = %1").arg(stored)),
            sha256Of(path))
            << size;
    }
    RecordedEvents events;
    const Failure f = refused(*c, "files", "data", makeFile("over", 1048577), events);
    EXPECT_TRUE(f.description.contains("is 1048577 bytes, larger than the 1048576 bytes"))
        << f.description.toStdString();
    EXPECT_EQ(rows(), QString::number(stored));
}

TEST_F(UploadTest, TextColumnsOfWideCharacterSetsAreRefusedBeforeSendingAndOthersStoreExactly) {
    exec(
        "CREATE TABLE texts (v16 VARCHAR(50) CHARACTER SET utf16, t32 TEXT CHARACTER SET utf32, "
        "u2 TEXT CHARACTER SET ucs2, le MEDIUMTEXT CHARACTER SET utf16le, "
        "l1 TEXT CHARACTER SET latin1, u8 VARCHAR(50) CHARACTER SET utf8mb4, data BLOB)");
    const QString abc = dir_.path() + "/abc";
    {
        QFile f(abc);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("abc");
    }
    struct Case {
        const char* column;
        bool stored;
    };
    auto c = OpenUploadConnection(profile());
    auto received = [&] {
        return RowOn(*c, "SHOW SESSION STATUS LIKE 'Bytes_received'").value(1).toLongLong();
    };
    for (const Case& k : {Case{"v16", false}, Case{"t32", false}, Case{"u2", false},
                          Case{"le", false}, Case{"l1", true}, Case{"u8", true}}) {
        exec("TRUNCATE texts");
        RecordedEvents events;
        const qint64 before = received();
        if (!k.stored) {
            const Failure f = refused(*c, "texts", k.column, abc, events);
            EXPECT_TRUE(f.description.startsWith(QStringLiteral("The column \"%1\" would change "
                                                                "the file's bytes (its character "
                                                                "set")
                                                     .arg(k.column)))
                << f.description.toStdString();
            EXPECT_TRUE(events.log.isEmpty()) << k.column;
            EXPECT_EQ(scalar("SELECT COUNT(*) FROM texts"), "0") << k.column;
            // The first file also learns about the column; a refusal sends no statement after.
            const qint64 learning = received() - before;
            refused(*c, "texts", k.column, abc, events);
            EXPECT_LT(received() - before, 2 * learning + 100) << k.column;
        } else {
            UploadFileToBlob(*c, "texts", k.column, abc, events);
            EXPECT_EQ(events.log.last(), "stored " + abc);
            EXPECT_EQ(scalar(QStringLiteral("SELECT HEX(%1) FROM texts").arg(k.column)), "616263");
        }
    }
}

TEST_F(UploadTest, ValueThatATriggerChangesIsRolledBackAndTheNextFileIsStored) {
    exec("CREATE TABLE guarded (id INT AUTO_INCREMENT PRIMARY KEY, data LONGBLOB)");
    exec(
        "CREATE TRIGGER rewrite BEFORE INSERT ON guarded FOR EACH ROW "
        "IF LENGTH(NEW.data) > 1000 THEN SET NEW.data = 'short!'; "
        "ELSEIF LENGTH(NEW.data) = 700 THEN SET NEW.data = REPEAT('x', 700); END IF");
    // Some servers list a trigger only to users who hold the TRIGGER privilege; one without it
    // cannot take an empty list for a sign that there is none.
    const QString user = QStringLiteral("tg_%1").arg(database_.right(9));
    exec(QStringLiteral("CREATE USER '%1'@'%%' IDENTIFIED BY 'pw'").arg(user));
    exec(QStringLiteral("GRANT SELECT, INSERT ON `%1`.* TO '%2'@'%%'").arg(database_, user));
    ConnectionProfile limited = profile();
    limited.user = user;
    limited.password = "pw";
    struct Case {
        QString path;
        QString kept;
    };
    const Case cases[] = {
        {makeFile("big", 100000), "6 bytes where the file has 100000"},
        {makeFile("seven", 700), "other bytes of the same length"},
    };
    const QString small = makeFile("small", 500);
    int stored = 0;
    for (const ConnectionProfile& who : {profile(), limited}) {
        auto c = OpenUploadConnection(who);
        for (const Case& k : cases) {
            RecordedEvents events;
            const Failure f = refused(*c, "guarded", "data", k.path, events);
            EXPECT_EQ(f.description, "The server would have stored " + k.kept + " for the file \"" +
                                         k.path + "\"; it was not stored.");
            EXPECT_EQ(scalar("SELECT COUNT(*) FROM guarded"), QString::number(stored));
            UploadFileToBlob(*c, "guarded", "data", small, events);
            ++stored;
            EXPECT_EQ(events.log.last(), "stored " + small);
        }
    }
    EXPECT_EQ(
        scalar("SELECT COUNT(*) FROM guarded WHERE SHA2(data, 256) = '" + sha256Of(small) + "'"),
        QString::number(stored));
    exec(QStringLiteral("DROP USER '%1'@'%%'").arg(user));
}

// A trigger that rewrites every value longer than 1000 bytes.
QString RewritingTrigger(const QString& name, const QString& table) {
    return "CREATE TRIGGER " + name + " BEFORE INSERT ON " + table +
           " FOR EACH ROW IF LENGTH(NEW.data) > 1000 THEN SET NEW.data = 'short!'; END IF";
}

TEST_F(UploadTest, EveryFileIsComparedWithWhatTheServerStoredHoweverTheTableChangedOrTheLinkLies) {
    // The server's own version with its major and minor number made 10.4, at the same length.
    const QByteArray version = scalar("SELECT VERSION()").toUtf8();
    const QByteArray majorMinor = version.left(version.indexOf('.', version.indexOf('.') + 1));
    const QByteArray claimed = "10." + QByteArray("4").rightJustified(majorMinor.size() - 3, '0');
    // The relay's thread runs an event loop, which wants the application object.
    int argc = 1;
    char name[] = "db_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    enum class Link { Direct, GreetingSays104, EverythingSays104 };
    enum class Change { TriggerBefore, TriggerBetween, Binary64Between, Ucs2Between };
    struct Case {
        const char* name;
        Link link;
        bool throughView;
        Change change;
        bool key;  // without one, a server without RETURNING leaves only its warnings to check
    };
    const Case cases[] = {
        {"view over a table with a trigger", Link::Direct, true, Change::TriggerBefore, true},
        {"trigger made between two files", Link::Direct, false, Change::TriggerBetween, true},
        {"trigger made between two files, into a view", Link::Direct, true, Change::TriggerBetween,
         true},
        {"table made anew with BINARY(64)", Link::Direct, false, Change::Binary64Between, true},
        {"table made anew with text in ucs2", Link::Direct, false, Change::Ucs2Between, true},
        {"greeting of 10.4 from a new server", Link::GreetingSays104, false, Change::TriggerBefore,
         false},
        {"server without RETURNING, trigger between files", Link::EverythingSays104, false,
         Change::TriggerBetween, true},
    };
    const QString small = makeFile("small", 500);
    const QString big = makeFile("big", 5000);
    const QString hello = dir_.path() + "/hello";
    {
        QFile f(hello);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("hello");
    }
    int n = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const QString table = QStringLiteral("t%1").arg(++n);
        const QString columns =
            QStringLiteral(" (id INT%1, data ").arg(k.key ? " AUTO_INCREMENT PRIMARY KEY" : "");
        exec("CREATE TABLE " + table + columns + "LONGBLOB)");
        exec("CREATE VIEW v" + table + " AS SELECT data FROM " + table);
        const QString target = k.throughView ? "v" + table : table;
        if (k.change == Change::TriggerBefore) exec(RewritingTrigger("rewrite" + table, table));
        // What the second file is and what the server makes of it.
        QString second = big;
        QString kept = "6 bytes where the file has 5000";
        const auto change = [&] {
            if (k.change == Change::TriggerBetween) {
                exec(RewritingTrigger("rewrite" + table, table));
                return;
            }
            if (k.change == Change::TriggerBefore) return;
            const bool wide = k.change == Change::Ucs2Between;
            exec("DROP TABLE " + table);
            exec("CREATE TABLE " + table + columns +
                 (wide ? "LONGTEXT CHARACTER SET ucs2)" : "BINARY(64))"));
            second = hello;
            kept = wide ? "6 bytes where the file has 5" : "64 bytes where the file has 5";
        };

        StallingRelay relay(server_.host, server_.port.toUShort(), -1, -1);
        ConnectionProfile via = profile();
        if (k.link != Link::Direct) {
            relay.rewriteFromServer(majorMinor + '.', claimed + '.',
                                    k.link == Link::EverythingSays104);
            via.server = "127.0.0.1";
            via.port = QString::number(relay.port());
        }
        // Random bytes keep the session uncompressed, so the relay can read the answers.
        auto c = OpenUploadConnection(via, {big});
        // Encrypted or not, in the server's words (Wine's Schannel names no cipher to the client).
        EXPECT_EQ(RowOn(*c, "SHOW SESSION STATUS LIKE 'Ssl_cipher'").value(1).isEmpty(),
                  k.link == Link::EverythingSays104);
        EXPECT_EQ(c->insertReturns(), k.link != Link::EverythingSays104);

        RecordedEvents events;
        UploadFileToBlob(*c, target, "data", small, events);
        EXPECT_EQ(events.log.last(), "stored " + small);
        change();
        const Failure f = refused(*c, target, "data", second, events);
        EXPECT_EQ(f.description, "The server would have stored " + kept + " for the file \"" +
                                     second + "\"; it was not stored.");
        // No row holds anything but a file's bytes.
        EXPECT_EQ(scalar("SELECT COUNT(*) FROM " + table + " WHERE SHA2(data, 256) <> '" +
                         sha256Of(small) + "'"),
                  "0");
        EXPECT_EQ(
            scalar("SELECT COUNT(*) FROM " + table),
            k.change == Change::TriggerBefore || k.change == Change::TriggerBetween ? "1" : "0");
    }
}

TEST_F(UploadTest, RowThatCannotBeRolledBackIsDeletedByItsKeyOrReportedAsStaying) {
    struct Case {
        const char* engine;
        const char* key;
        bool throughView;
        int rowsLeft;
    };
    const Case cases[] = {
        {"MyISAM", "id INT AUTO_INCREMENT PRIMARY KEY, ", false, 0},
        {"MyISAM", "", false, 1},
        // Numbered within each group only, so the number alone does not tell the row.
        {"MyISAM", "grp INT DEFAULT 1, id INT AUTO_INCREMENT, PRIMARY KEY (grp, id), ", false, 1},
        {"Aria", "id INT AUTO_INCREMENT PRIMARY KEY, ", true, 1},  // a view tells no key
    };
    const QString big = makeFile("big", 5000);
    int n = 0;
    for (const Case& k : cases) {
        const QString table = QStringLiteral("t%1").arg(++n);
        SCOPED_TRACE(table.toStdString() + " " + k.engine);
        exec("CREATE TABLE " + table + " (" + k.key + "data LONGBLOB) ENGINE=" + k.engine);
        exec(RewritingTrigger("rewrite" + table, table));
        exec("CREATE VIEW v" + table + " AS SELECT data FROM " + table);
        auto c = OpenUploadConnection(profile());
        RecordedEvents events;
        const Failure f = refused(*c, k.throughView ? "v" + table : table, "data", big, events);
        const QString stored = "6 bytes where the file has 5000 for the file \"" + big + "\"";
        EXPECT_EQ(f.description,
                  k.rowsLeft ? "The server stored " + stored +
                                   "; the row stays, because the table cannot undo it."
                             : "The server would have stored " + stored + "; it was not stored.");
        EXPECT_EQ(scalar("SELECT COUNT(*) FROM " + table), QString::number(k.rowsLeft));
    }
}

TEST_F(UploadTest, LostConnectionCostsOneFileAndTheNextIsSentOverANewOne) {
    const QStringList paths = {makeFile("one", 1048576), makeFile("two", 1048577),
                               makeFile("three", 1048578), makeFile("four", 1048579)};
    auto c = OpenUploadConnection(profile());
    const auto kill = [&] {
        const QString id = QString::number(mysql_thread_id(c->handle()));
        exec("KILL CONNECTION " + id);
        return id;
    };
    QStringList killed;
    RecordedEvents events;
    int file = 0;
    // Killed while the second file is sent, and while the run waits between the third and the
    // fourth, as on a "File Stored" box that the user leaves open past the server's wait_timeout.
    events.onYield = [&](int yields) {
        if (file == 1 && yields == 150) killed << kill();
    };
    QStringList failed;
    for (; file < paths.size(); ++file) {
        events.yields = 0;
        if (file == 3) {
            killed << kill();
            // The server closes the session before it takes it off its list.
            const QString listed =
                "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " + killed.last();
            for (int i = 0; i < 1000 && scalar(listed) != "0"; ++i) QThread::msleep(10);
        }
        try {
            UploadFileToBlob(*c, "files", "data", paths[file], events);
        } catch (const Failure& f) {
            failed << f.description;
        }
    }
    ASSERT_EQ(failed.size(), 1) << failed.join("\n").toStdString();
    EXPECT_TRUE(failed[0].startsWith("The file \"" + paths[1] + "\" was not stored: "))
        << failed[0].toStdString();
    EXPECT_EQ(events.log.filter("stored "),
              QStringList({"stored " + paths[0], "stored " + paths[2], "stored " + paths[3]}));
    EXPECT_EQ(killed.size(), 2);
    EXPECT_FALSE(killed.contains(QString::number(mysql_thread_id(c->handle()))));
    EXPECT_EQ(scalar("SELECT GROUP_CONCAT(SHA2(data, 256) ORDER BY id) FROM files"),
              sha256Of(paths[0]) + "," + sha256Of(paths[2]) + "," + sha256Of(paths[3]));
}

#ifndef Q_OS_WIN
TEST_F(UploadTest, NamedPipeOrFileOfUnknownSizeIsRefusedAsUnreadableWithoutWaiting) {
    const QString pipe = dir_.path() + "/pipe";
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    struct Case {
        QString path;
        const char* reason;
    };
    const Case cases[] = {
        {pipe, "it is not a regular file"},
#ifdef Q_OS_LINUX
        // Kernel files: /proc says 0 bytes, /sys says 4096; both read something else.
        {"/proc/self/status", "the system does not tell its size"},
        {"/sys/devices/system/cpu/online", "the system does not tell its size"},
#endif
    };
    auto c = OpenUploadConnection(profile());
    for (const Case& k : cases) {
        RecordedEvents events;
        auto upload = std::async(std::launch::async, [&] {
            return ExpectFailure([&] { UploadFileToBlob(*c, "files", "data", k.path, events); },
                                 "stored " + k.path.toStdString());
        });
        if (upload.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "the upload waits on " << k.path.toStdString();
            // A writer lets the waiting open go on.
            const int writer = ::open(QFile::encodeName(pipe).constData(), O_WRONLY);
            ::close(writer);
        }
        const Failure f = upload.get();
        EXPECT_EQ(f.number, Failure::kPathFileAccessError);
        EXPECT_EQ(f.description, "The file \"" + k.path + "\" could not be read: " + k.reason);
        EXPECT_TRUE(events.log.isEmpty());
    }
    EXPECT_EQ(rows(), "0");
    RecordedEvents events;
    UploadFileToBlob(*c, "files", "data", makeFile("next", 5000), events);
    EXPECT_EQ(rows(), "1");
}
#endif

// The session's statement counters of the given names.
QMap<QString, qint64> CountersOf(Connection& c, const QStringList& names) {
    ResultPtr result = QueryBuffered(
        c, "SHOW SESSION STATUS WHERE Variable_name IN ('" + names.join("','") + "')");
    QMap<QString, qint64> counters;
    while (MYSQL_ROW row = mysql_fetch_row(result.get()))
        counters.insert(QString::fromUtf8(row[0]), QByteArray(row[1]).toLongLong());
    return counters;
}

TEST_F(UploadTest, RunPreparesOnceAndSendsOneExecutePerFilePlusACommitWhereItChecks) {
    exec(
        "CREATE TABLE run (id INT AUTO_INCREMENT PRIMARY KEY, bin VARBINARY(2000), txt TEXT "
        "CHARACTER SET latin1)");
    const QStringList names = {
        "Com_stmt_prepare", "Com_stmt_execute", "Com_begin",       "Com_commit",
        "Com_rollback",     "Com_stmt_reset",   "Com_show_status", "Com_stmt_send_long_data",
        "Questions"};
    struct Case {
        const char* column;
        qint64 tooLong;  // a file the column refuses
        int commitsPerFile;
    };
    for (const Case& k : {Case{"bin", 3000, 0}, Case{"txt", 70000, 1}}) {
        SCOPED_TRACE(k.column);
        exec("TRUNCATE run");
        auto c = OpenUploadConnection(profile());
        RecordedEvents events;
        UploadFileToBlob(*c, "run", k.column, makeFile("first", 1000), events);
        const QMap<QString, qint64> before = CountersOf(*c, names);
        const QString next = makeFile("next", 1999);
        UploadFileToBlob(*c, "run", k.column, makeFile("second", 1500), events);
        const QString tooLong = makeFile(QStringLiteral("long%1").arg(k.tooLong), k.tooLong);
        const Failure f = refused(*c, "run", k.column, tooLong, events);
        EXPECT_EQ(f.number, 1406);
        EXPECT_TRUE(f.description.startsWith("The file \"" + tooLong +
                                             "\" was not stored: Data too long for column"))
            << f.description.toStdString();
        UploadFileToBlob(*c, "run", k.column, next, events);
        EXPECT_EQ(events.log.last(), "stored " + next);
        QMap<QString, qint64> spent = CountersOf(*c, names);
        for (const QString& name : names) spent[name] -= before.value(name);
        const int checked = k.commitsPerFile;
        // The refused file costs a reset of the statement's long data, and where it was checked,
        // the rollback of its transaction. Questions counts every command, long data included,
        // though only long data goes unanswered.
        const QMap<QString, qint64> wanted = {{"Com_stmt_prepare", 0},
                                              {"Com_stmt_execute", 3},
                                              {"Com_begin", 0},
                                              {"Com_commit", 2 * checked},
                                              {"Com_rollback", checked},
                                              {"Com_stmt_reset", 1},
                                              {"Com_show_status", 1},
                                              {"Com_stmt_send_long_data", 3},
                                              {"Questions", 3 + 3 + 3 * checked + 1}};
        EXPECT_EQ(spent, wanted);
        EXPECT_EQ(
            scalar(QStringLiteral("SELECT COUNT(*) FROM run WHERE %1 IS NOT NULL").arg(k.column)),
            "3");
    }
}

TEST_F(UploadTest, CompressionIsUsedOnlyWhenASampleOfTheFilesShrinks) {
    const QString random = makeFile("random", 200000);
    const QString text = dir_.path() + "/text";
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < 4000; ++i)
            f.write(QStringLiteral("%1 INFO request %2 served in %3 ms\n")
                        .arg(i)
                        .arg(i * 7919 % 10007)
                        .arg(i % 97)
                        .toUtf8());
    }
    // Compressible at its start only: a head of zeros on random bytes.
    const QString zeroHead = dir_.path() + "/zero-head";
    {
        QFile f(zeroHead);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(65536, '\0'));
        QFile r(random);
        ASSERT_TRUE(r.open(QIODevice::ReadOnly));
        for (int i = 0; i < 5; ++i) f.write(r.readAll()), r.seek(0);
    }
    struct Case {
        QStringList files;
        bool compressed;
    };
    const Case cases[] = {
        {{text}, true},
        {{zeroHead}, false},
        {{random}, false},
        {{random, random, text}, false},
        {{dir_.path() + "/missing", text}, true},
        {{}, true},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(CompressionPays(k.files), k.compressed) << k.files.join(",").toStdString();
        EXPECT_EQ(OpenUploadConnection(profile(), k.files)->compressed(), k.compressed);
    }
}

}  // namespace
