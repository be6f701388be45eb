#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <functional>
#include <vector>

#include "db/Download.h"
#include "db/Openers.h"
#include "db/Upload.h"
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
    const QString previous = scalar("SELECT @@GLOBAL.max_allowed_packet");
    exec("SET GLOBAL max_allowed_packet = 2097152");
    std::unique_ptr<Connection> c;
    try {
        c = OpenUploadConnection(profile());  // the session keeps the limit it started with
    } catch (...) {
    }
    exec("SET GLOBAL max_allowed_packet = " + previous);
    ASSERT_TRUE(c);
    auto received = [&] {
        ResultPtr r = Query(*c, "SHOW SESSION STATUS LIKE 'Bytes_received'");
        MYSQL_ROW row = mysql_fetch_row(r.get());
        return row ? QByteArray(row[1]).toLongLong() : -1;
    };
    const qint64 before = received();

    RecordedEvents events;
    try {
        UploadFileToBlob(*c, "files", "data", makeFile("big", 2097153), events);
        ADD_FAILURE() << "stored a file above the limit";
    } catch (const Failure& f) {
        for (const char* part : {"2097153 bytes", "2097152 bytes", "max_allowed_packet",
                                 "SET GLOBAL max_allowed_packet"})
            EXPECT_TRUE(f.description.contains(part)) << f.description.toStdString();
    }
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
        try {
            UploadFileToBlob(*c, k.table, k.field, k.path, events);
            ADD_FAILURE() << "uploaded to " << k.table.toStdString() << "."
                          << k.field.toStdString();
        } catch (const Failure& f) {
            EXPECT_EQ(f.number, k.number) << f.description.toStdString();
        }
        EXPECT_TRUE(events.log.isEmpty());
    }
    EXPECT_EQ(rows(), "0");
}

}  // namespace
