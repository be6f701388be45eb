#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include "db/Download.h"
#include "db/Openers.h"
#include "support/ExpectFailure.h"
#include "support/Files.h"
#include "support/TestServer.h"

namespace {

class DownloadTest : public DatabaseTest {
protected:
    DownloadResult download(const QString& table, const QString& field, const QString& prefix,
                            const QString& extension, const QString& folder = {}) {
        auto c = OpenDownloadConnection(profile());
        return DownloadBlobs(*c, table, field, prefix, folder.isEmpty() ? dir_.path() : folder,
                             extension);
    }
    // The failure that a download ends with; one that goes through fails the test.
    static Failure failureOf(Connection& c, const QString& table, const QString& field,
                             const QString& prefix, const QString& folder,
                             const QString& extension) {
        return ExpectFailure([&] { DownloadBlobs(c, table, field, prefix, folder, extension); },
                             "the download of " + table.toStdString() + "." + field.toStdString() +
                                 " into " + folder.toStdString() + " went through");
    }
    QString at(const QString& name) const { return dir_.path() + QDir::separator() + name; }
    QStringList written() const { return FilesIn(dir_.path()); }

    QTemporaryDir dir_;
};

TEST_F(DownloadTest, WritesOneFilePerNonNullRowNumberedByRow) {
    exec("CREATE TABLE pics (id INT PRIMARY KEY, data LONGBLOB)");
    exec("INSERT INTO pics VALUES (1, X'00FF0D0A41'), (2, NULL), (3, X'42')");

    const DownloadResult r = download("pics", "data", "img", "jpg");

    EXPECT_FALSE(r.wrongType);
    EXPECT_EQ(r.adoType, 205);
    EXPECT_EQ(r.rows, 3);
    EXPECT_EQ(r.files, 2);
    EXPECT_EQ(r.bytes, 6);
    EXPECT_EQ(written(), QStringList({"img1.jpg", "img3.jpg"}));
    EXPECT_EQ(FileBytes(at("img1.jpg")), QByteArray("\x00\xFF\r\nA", 5));
    EXPECT_EQ(FileBytes(at("img3.jpg")), "B");
}

TEST_F(DownloadTest, FolderPrefixAndExtensionAreUsedExactlyAsGiven) {
    exec("CREATE TABLE pics (data BLOB)");
    exec("INSERT INTO pics VALUES ('x'), ('y')");
    struct Case {
        QString prefix, folderEnd, extension;
        QStringList names;
    };
    const QString sep = QDir::separator();
    const Case cases[] = {
        {"", "", "bmp", {"1.bmp", "2.bmp"}},
        {"img", sep, "jpg", {"img1.jpg", "img2.jpg"}},  // two separators still reach the folder
        {"img", "", ".png", {"img1..png", "img2..png"}},
        {"a b", "", "tar.gz", {"a b1.tar.gz", "a b2.tar.gz"}},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        // As the destination box holds it: on Windows with a drive letter and "\" separators.
        const QString folder = Native(dir.path()) + c.folderEnd;
        EXPECT_EQ(DownloadFileName(folder, c.prefix, 1, c.extension),
                  folder + sep + c.prefix + "1." + c.extension);
        download("pics", "data", c.prefix, c.extension, folder);
        EXPECT_EQ(FilesIn(dir.path()), c.names)
            << c.prefix.toStdString() << " " << c.extension.toStdString();
    }
}

// "x/../y" would put every row's file at folder/../y, each replacing the one before, while the
// run counted them all: such an extension is refused before any file is made, even where the
// folders it names exist.
TEST_F(DownloadTest, AnExtensionWithAFolderSeparatorIsRefusedBeforeAnyFile) {
    exec("CREATE TABLE pics (data BLOB)");
    exec("INSERT INTO pics VALUES ('x'), ('y')");
    QTemporaryDir outer;
    const QString folder = outer.filePath("out");
    ASSERT_TRUE(QDir().mkpath(folder + "/p1.x"));
    ASSERT_TRUE(QDir().mkpath(folder + "/p2.x"));
    auto c = OpenDownloadConnection(profile());
    const Failure f = failureOf(*c, "pics", "data", "p", folder, "x/../../y");
    EXPECT_EQ(f.number, Failure::kBadFileName);
    EXPECT_EQ(f.description,
              "The extension \"x/../../y\" holds a folder separator, so the files of different "
              "rows could get one name.");
    EXPECT_EQ(QDir(outer.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"out"});
    EXPECT_EQ(
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
        QStringList({"p1.x", "p2.x"}));
    EXPECT_TRUE(c->isOpen());
}

TEST_F(DownloadTest, EmptyTableWritesNothing) {
    exec("CREATE TABLE pics (data LONGBLOB)");
    const DownloadResult r = download("pics", "data", "img", "jpg");
    EXPECT_FALSE(r.wrongType);
    EXPECT_EQ(r.rows, 0);
    EXPECT_TRUE(written().isEmpty());
}

TEST_F(DownloadTest, ZeroLengthValueGivesEmptyFileAndExistingFilesAreReplaced) {
    exec("CREATE TABLE pics (id INT PRIMARY KEY, data VARBINARY(100))");
    exec("INSERT INTO pics VALUES (1, ''), (2, 'new')");
    for (const char* name : {"img1.jpg", "img2.jpg"}) {
        QFile f(at(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("an older and longer file");
    }

    const DownloadResult r = download("pics", "data", "img", "jpg");

    EXPECT_EQ(r.adoType, 204);
    EXPECT_EQ(r.files, 2);
    EXPECT_EQ(FileBytes(at("img1.jpg")), QByteArray(""));
    EXPECT_EQ(FileBytes(at("img2.jpg")), "new");
    EXPECT_EQ(written().size(), 2);
}

TEST_F(DownloadTest, NamesWithSpacesReservedWordsAndBackquotesWork) {
    exec("CREATE TABLE `order` (`my data` LONGBLOB, `a``b` BLOB)");
    exec("INSERT INTO `order` VALUES ('one', 'two')");
    EXPECT_EQ(DownloadStatement("order", "my data"), "Select `my data` FROM `order`");

    EXPECT_EQ(download("order", "my data", "o", "bin").files, 1);
    EXPECT_EQ(FileBytes(at("o1.bin")), "one");
    EXPECT_EQ(download("order", "a`b", "q", "bin").files, 1);
    EXPECT_EQ(FileBytes(at("q1.bin")), "two");
}

// The type codes come from the metadata the server really sends for each column type.
TEST_F(DownloadTest, OnlyBinaryColumnsDownloadOthersReportTheirTypeCode) {
    struct Case {
        const char* definition;
        int adoType;
    };
    const Case cases[] = {
        {"TINYBLOB", 205},
        {"BLOB", 205},
        {"MEDIUMBLOB", 205},
        {"LONGBLOB", 205},
        {"VARBINARY(10)", 204},
        {"BINARY(4)", 128},
        {"TINYTEXT", 203},
        {"TEXT", 203},
        {"LONGTEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_bin", 203},
        {"VARCHAR(10)", 202},
        {"CHAR(3)", 130},
        {"ENUM('a','b')", 130},
        {"INT", 3},
        {"INT UNSIGNED", 19},
        {"MEDIUMINT", 3},
        {"BIGINT", 20},
        {"BIGINT UNSIGNED", 21},
        {"SMALLINT", 2},
        {"TINYINT", 16},
        {"TINYINT UNSIGNED", 17},
        {"YEAR", 2},
        {"DOUBLE", 5},
        {"FLOAT", 4},
        {"DECIMAL(10,2)", 131},
        {"DATE", 133},
        {"TIME", 134},
        {"DATETIME", 135},
        {"TIMESTAMP NULL", 135},
        {"BIT(1)", 11},
        {"BIT(8)", 128},
        {"SET('a','b')", 130},
        {"JSON", 203},
        {"GEOMETRY", 205},
    };
    QStringList columns;
    for (size_t i = 0; i < std::size(cases); ++i)
        columns.append(QStringLiteral("c%1 %2").arg(i).arg(cases[i].definition));
    exec(QStringLiteral("CREATE TABLE t (%1)").arg(columns.join(",")));
    exec("INSERT INTO t (c0, c6) VALUES ('bytes', 'words')");

    for (size_t i = 0; i < std::size(cases); ++i) {
        QTemporaryDir dir;
        const DownloadResult r =
            download("t", QStringLiteral("c%1").arg(i), "f", "bin", dir.path());
        EXPECT_EQ(r.adoType, cases[i].adoType) << cases[i].definition;
        const bool blob = cases[i].adoType == 204 || cases[i].adoType == 205;
        EXPECT_EQ(r.wrongType, !blob) << cases[i].definition;
        if (!blob) {
            EXPECT_EQ(r.rows, 0) << cases[i].definition;
            EXPECT_TRUE(QDir(dir.path()).isEmpty()) << cases[i].definition;
        }
    }
}

TEST_F(DownloadTest, FailuresCarryTheReason) {
    exec("CREATE TABLE pics (data LONGBLOB)");
    exec("INSERT INTO pics VALUES ('x')");
    struct Case {
        QString table, field, folder;
        int number;
    };
    const Case cases[] = {
        {"nope", "data", dir_.path(), 1146},
        {"pics", "nope", dir_.path(), 1054},
        {"pics", "data", dir_.path() + "/missing", Failure::kPathFileAccessError},
    };
    for (const Case& c : cases) {
        auto connection = OpenDownloadConnection(profile());
        const Failure f = failureOf(*connection, c.table, c.field, "p", c.folder, "bin");
        EXPECT_EQ(f.number, c.number) << f.description.toStdString();
        EXPECT_FALSE(f.description.isEmpty());
    }
    EXPECT_TRUE(written().isEmpty());
}

TEST_F(DownloadTest, ConnectionKilledMidwayLeavesOnlyWholeFiles) {
    constexpr int kRows = 10;
    constexpr int kValueBytes = 4 * 1024 * 1024;
    exec("CREATE TABLE big (id INT PRIMARY KEY, data LONGBLOB)");
    exec(QStringLiteral("INSERT INTO big SELECT seq, REPEAT(CHAR(64 + seq), %1) FROM seq_1_to_%2")
             .arg(kValueBytes)
             .arg(kRows));
    // From the fourth row on, the values wait for a lock that this test holds, so the session is
    // ended while rows are still to come.
    ASSERT_NO_FATAL_FAILURE(holdRowsFrom("big", 4));
    auto c = OpenDownloadConnection(profile());
    const QString victim = QString::number(mysql_thread_id(c->handle()));

    bool failed = false;
    try {
        DownloadBlobs(*c, "held", "data", "v", dir_.path(), "bin", [&](const QString& path) {
            if (path.endsWith("v1.bin")) exec("KILL CONNECTION " + victim);
        });
    } catch (const Failure&) {
        failed = true;
    }
    releaseHeld();

    EXPECT_TRUE(failed);
    const QStringList files = written();
    EXPECT_GE(files.size(), 1);
    EXPECT_LE(files.size(), 3);
    // Row by row from the first: the files present are v1 .. vN, each whole.
    for (int n = 1; n <= files.size(); ++n) {
        const QString name = QStringLiteral("v%1.bin").arg(n);
        EXPECT_TRUE(files.contains(name)) << name.toStdString();
        EXPECT_EQ(FileBytes(at(name)), QByteArray(kValueBytes, char(64 + n))) << n;
    }
    EXPECT_FALSE(c->isOpen());
}

#ifdef Q_OS_LINUX
// A small file system, mounted for the life of the object where the test may mount one.
class TinyFileSystem {
public:
    explicit TinyFileSystem(qint64 kib) {
        if (geteuid() != 0 || !dir_.isValid()) return;
        const QByteArray where = QFile::encodeName(dir_.path());
        const QByteArray options = "size=" + QByteArray::number(kib) + "k";
        mounted_ = mount("tmpfs", where.constData(), "tmpfs", 0, options.constData()) == 0;
    }
    ~TinyFileSystem() {
        if (mounted_) umount(QFile::encodeName(dir_.path()).constData());
    }
    bool mounted() const { return mounted_; }
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

TEST_F(DownloadTest, FullDiskIsReportedWithTheSystemsTextAndLeavesOnlyWholeFiles) {
    // Files are written several at a time, so which of two small files finds the disk full
    // depends on timing. The first value is larger than what is handed to the file threads: it
    // is written whole before the second row is read, and leaves 8 KiB free.
    const qint64 first = qint64{9} * 1024 * 1024;
    TinyFileSystem disk(first / 1024 + 8);
    if (!disk.mounted()) GTEST_SKIP() << "mounting a small file system needs root";
    exec("CREATE TABLE pics (id INT PRIMARY KEY, data LONGBLOB)");
    // The second value is smaller than a file's write buffer: it must fail when written, not
    // be saved short.
    exec(QStringLiteral("INSERT INTO pics VALUES (1, REPEAT('a', %1)), (2, REPEAT('b', 12000))")
             .arg(first));
    auto c = OpenDownloadConnection(profile());
    const Failure f = failureOf(*c, "pics", "data", "p", disk.path(), "bin");
    EXPECT_EQ(f.number, Failure::kPathFileAccessError);
    const QString name = disk.path() + QDir::separator() + "p2.bin";
    EXPECT_EQ(f.description,
              "The file \"" + name + "\" could not be written: No space left on device");
    EXPECT_EQ(FilesIn(disk.path()), QStringList({"p1.bin"}));
    EXPECT_EQ(FileBytes(disk.path() + "/p1.bin"), QByteArray(first, 'a'));
}
#endif

TEST_F(DownloadTest, FilesSyncedSeveralAtATimeKeepRowOrderGapsAndWholeValues) {
    // Above the size that is handed to the file threads as a copy: written before the next row.
    const qint64 large = qint64{24} * 1024 * 1024;
    exec("CREATE TABLE pics (id INT PRIMARY KEY, data LONGBLOB)");
    exec(QStringLiteral("INSERT INTO pics VALUES (1, REPEAT('a', 70000)), (2, NULL), "
                        "(3, CONCAT(REPEAT('b', %1), 'end')), (4, 'short'), (5, NULL), (6, '')")
             .arg(large - 3));

    const DownloadResult r = download("pics", "data", "p", "bin");

    EXPECT_EQ(r.rows, 6);
    EXPECT_EQ(r.files, 4);
    EXPECT_EQ(r.bytes, 70000 + large + 5);
    EXPECT_EQ(written(), QStringList({"p1.bin", "p3.bin", "p4.bin", "p6.bin"}));
    EXPECT_EQ(FileBytes(at("p1.bin")), QByteArray(70000, 'a'));
    const QByteArray third = FileBytes(at("p3.bin"));
    EXPECT_EQ(third.size(), large);
    EXPECT_EQ(third.count('b'), large - 3);
    EXPECT_TRUE(third.endsWith("end"));
    EXPECT_EQ(FileBytes(at("p4.bin")), "short");
    EXPECT_EQ(FileBytes(at("p6.bin")), "");
}

TEST_F(DownloadTest, AFileThatCannotBePlacedStopsTheRunWithTheSystemsWords) {
    exec("CREATE TABLE pics (id INT PRIMARY KEY, data LONGBLOB)");
    exec("INSERT INTO pics SELECT seq, REPEAT(CHAR(64 + seq), 50000) FROM seq_1_to_8");
    // A folder of the third file's name: its file can be written but not renamed into place.
    ASSERT_TRUE(QDir(dir_.path()).mkdir("v3.bin"));
    auto c = OpenDownloadConnection(profile());

    const Failure f = failureOf(*c, "pics", "data", "v", dir_.path(), "bin");
    EXPECT_EQ(f.number, Failure::kPathFileAccessError);
    EXPECT_TRUE(f.description.contains(at("v3.bin")));
#ifdef Q_OS_WIN
    const QString because = qt_error_string(ERROR_ACCESS_DENIED);
#else
    const QString because = QString::fromLocal8Bit(std::strerror(EISDIR));
#endif
    EXPECT_TRUE(f.description.endsWith(because)) << f.description.toStdString();

    // The two files before it are whole; nothing after it and no temporary file was left.
    EXPECT_EQ(written(), QStringList({"v1.bin", "v2.bin"}));
    EXPECT_EQ(FileBytes(at("v1.bin")), QByteArray(50000, 'A'));
    EXPECT_EQ(FileBytes(at("v2.bin")), QByteArray(50000, 'B'));
    EXPECT_FALSE(c->isOpen());
}

TEST_F(DownloadTest, AStopDiscardsTheFileBeingWrittenAndKeepsThoseBefore) {
    // The whole result fits the connection's buffers, so the server is never left waiting to send
    // rows that the stopped run does not read.
    exec("CREATE TABLE pics (id INT PRIMARY KEY, data LONGBLOB)");
    exec("INSERT INTO pics SELECT seq, REPEAT(CHAR(64 + seq), 20000) FROM seq_1_to_20");
    struct Case {
        int stopAfter;  // 0: before the run starts
        QStringList files;
    };
    const Case cases[] = {{0, {}}, {2, {"v1.bin", "v2.bin"}}};
    for (const Case& k : cases) {
        QTemporaryDir dir;
        DownloadStop stop;
        if (k.stopAfter == 0) stop.discard();
        auto c = OpenDownloadConnection(profile());
        const DownloadResult r = DownloadBlobs(
            *c, "pics", "data", "v", dir.path(), "bin",
            [&](const QString& path) {
                if (path.endsWith(QStringLiteral("v%1.bin").arg(k.stopAfter))) stop.discard();
            },
            &stop);
        EXPECT_TRUE(r.stopped) << k.stopAfter;
        EXPECT_EQ(r.files, k.files.size()) << k.stopAfter;
        EXPECT_EQ(FilesIn(dir.path()), k.files) << k.stopAfter;
        for (int n = 1; n <= k.files.size(); ++n)
            EXPECT_EQ(FileBytes(dir.filePath(QStringLiteral("v%1.bin").arg(n))),
                      QByteArray(20000, char(64 + n)));
    }
}

}  // namespace
