#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "TempTree.h"
#include "core/platform/FileSystem.h"
#include "core/platform/Names.h"
#include "files/FileListing.h"

namespace {

TEST(ListFiles, GivesNothingForAnEmptyOrMissingFolder) {
    TempTree tree;
    tree.folder("empty");
    EXPECT_EQ(ListFiles(tree.path("empty"), "*.*"), QStringList());
    EXPECT_EQ(ListFiles(tree.path("missing"), "*.*"), QStringList());
}

TEST(ListFiles, GivesEveryMatchingFileWithOrWithoutTrailingSeparator) {
    TempTree tree;
    for (int i = 0; i < 130; ++i) tree.file(QStringLiteral("f%1.jpg").arg(i));
    tree.file("other.png");
    tree.folder("folder.jpg");
    QStringList inNameOrder = ListFiles(tree.root(), "*.jpg");
    EXPECT_EQ(inNameOrder.size(), 130);
    inNameOrder.sort(Qt::CaseInsensitive);
    EXPECT_EQ(ListFiles(tree.root(), "*.jpg"), inNameOrder);
    EXPECT_EQ(ListFiles(tree.root() + "/", "*.jpg"), inNameOrder);
    EXPECT_FALSE(ListFiles(tree.root(), "*.jpg").contains("folder.jpg"));
}

// Whatever order the disk keeps them in, the names come in name order without regard to case, as
// Windows lists a folder.
TEST(ListFiles, MatchesWithoutRegardToCaseInNameOrderAndStarDotStarMatchesEveryName) {
    TempTree tree;
    for (const char* f : {"c.Jpg", "noext", "a.jpg", "x.jpeg", "B.JPG", ".hidden.jpg"})
        tree.file(f);
    EXPECT_EQ(ListFiles(tree.root(), "*.JPG"),
              QStringList({".hidden.jpg", "a.jpg", "B.JPG", "c.Jpg"}));
    EXPECT_EQ(ListFiles(tree.root(), "*.*").size(), 6);
    EXPECT_EQ(ListFiles(tree.root(), "*.").size(), 1) << "a trailing dot asks for no extension";
}

TEST(ListFiles, LeavesOutNamesThatCannotBeDecodedAndFilesThatCannotBeOpened) {
    TempTree tree;
    tree.file("good.txt");
#ifdef Q_OS_WIN
    // A name outside the ANSI code page cannot be named by the program's paths.
    tree.file(QString::fromUtf8("\xe2\x98\x83\xe2\x88\x9e.txt"));
#else
    const QByteArray bad = QFile::encodeName(tree.root()) + "/bad\xff.txt";
    ASSERT_GE(::close(::creat(bad.constData(), 0644)), 0);
    ASSERT_EQ(::symlink("nowhere", (QFile::encodeName(tree.root()) + "/dangling.txt").constData()),
              0);
#endif
    EXPECT_EQ(ListFiles(tree.root(), "*.txt"), QStringList({"good.txt"}));
}

TEST(IsExistingFile, IsTrueForFilesThatCanBeOpenedWithoutReading) {
    TempTree tree;
    const QString file = tree.file("file.bin");
#ifndef Q_OS_WIN
    const QString locked = tree.file("locked.bin");
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::Permissions()));
    const QString link = tree.path("link.bin");
    ASSERT_TRUE(QFile::link(file, link));
    const QString fifo = tree.path("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
#endif
    QFile open(file);
    ASSERT_TRUE(open.open(QIODevice::ReadWrite));

    struct Case {
        QString path;
        bool want;
    };
    const Case cases[] = {
        {file, true},
#ifdef Q_OS_WIN
        {QDir::toNativeSeparators(file), true},
#else
        {locked, true},
        {link, true},
        {fifo, false},
#endif
        {tree.root(), false},
        {tree.path("missing"), false},
        {QString(), false},
        {tree.path("file.bin") + QChar(0xD800), false},
        {tree.path("file.bin") + QChar(0) + "x", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsExistingFile(c.path), c.want) << c.path.toStdString();
}

TEST(Wildcard, MatchesAsWindowsDoes) {
    struct Case {
        const char* pattern;
        const char* name;
        bool want;
    };
    const Case cases[] = {
        {"*.*", "noext", true},
        {"*.txt", "a.txt.bak", false},
        {"a?c", "ac", false},
        {"a*b*c", "aXbYc", true},
        {"a*b*c", "aXbY", false},
        {"*.", "a.b", false},
        {"\xc3\x89T\xc3\x89.*", "\xc3\xa9t\xc3\xa9.x", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(
            platform::Wildcard(QString::fromUtf8(c.pattern)).matches(QString::fromUtf8(c.name)),
            c.want)
            << c.pattern << " " << c.name;
}

#ifdef Q_OS_WIN
TEST(FileAttributes, AreTheFileSystemsOwn) {
    TempTree tree;
    const QString plain = tree.file("plain");
    const QString hidden = tree.file("hidden");
    const QString readOnlySystem = tree.file("ro");
    const QString hiddenSystemFolder = tree.folder("hs");
    const auto set = [](const QString& path, DWORD attributes) {
        return SetFileAttributesW(
            reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()), attributes);
    };
    ASSERT_TRUE(set(hidden, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(set(readOnlySystem,
                    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(set(hiddenSystemFolder, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(set(plain, FILE_ATTRIBUTE_ARCHIVE));
    struct Case {
        QString path;
        int want;
    };
    const Case cases[] = {
        {plain, 32},
        {hidden, 34},
        {readOnlySystem, 37},
        {hiddenSystemFolder, 22},
        {QDir::toNativeSeparators(hiddenSystemFolder) + "\\", 22},
        {tree.root(), 16},
    };
    for (const Case& c : cases) {
        const auto facts = platform::ReadPathFacts(c.path);
        ASSERT_TRUE(facts) << c.path.toStdString();
        EXPECT_EQ(facts->attributes, c.want) << c.path.toStdString();
    }
    EXPECT_FALSE(platform::ReadPathFacts(tree.path("missing")));
    EXPECT_TRUE(platform::ReadPathFacts("C:\\")->root);
    EXPECT_TRUE(platform::ReadPathFacts("c:/")->root);
    EXPECT_FALSE(platform::ReadPathFacts(tree.root())->root);
}

TEST(WalkFailure, SortsSystemErrorsIntoThreeClasses) {
    struct Case {
        int error;
        int want;
    };
    const Case cases[] = {{ERROR_ACCESS_DENIED, 70},  {ERROR_SHARING_VIOLATION, 70},
                          {ERROR_FILE_NOT_FOUND, 76}, {ERROR_PATH_NOT_FOUND, 76},
                          {ERROR_DIRECTORY, 76},      {ERROR_INVALID_NAME, 76},
                          {ERROR_NOT_READY, 75},      {ERROR_CRC, 75}};
    for (const Case& c : cases) EXPECT_EQ(platform::WalkFailure(c.error).number, c.want) << c.error;
}
#else
TEST(FileAttributes, FollowTheWindowsValues) {
    TempTree tree;
    const QString plain = tree.file("plain");
    const QString dot = tree.file(".dot");
    const QString readOnlyDot = tree.file(".ro");
    ASSERT_TRUE(QFile::setPermissions(readOnlyDot, QFileDevice::ReadOwner));
    const QString link = tree.path(".link");
    ASSERT_TRUE(QFile::link(plain, link));
    tree.folder(".hiddenfolder");
    struct Case {
        QString path;
        int want;
    };
    const Case cases[] = {
        {plain, 32},
        {dot, 34},
        {readOnlyDot, 35},
        {link, 1058},
        {tree.root(), 16},
        {tree.path(".hiddenfolder"), 18},
        {tree.path(".hiddenfolder/"), 18},
    };
    for (const Case& c : cases) {
        const auto facts = platform::ReadPathFacts(c.path);
        ASSERT_TRUE(facts) << c.path.toStdString();
        EXPECT_EQ(facts->attributes, c.want) << c.path.toStdString();
    }
    EXPECT_FALSE(platform::ReadPathFacts(tree.path("missing")));
    EXPECT_TRUE(platform::ReadPathFacts("/")->root);
    EXPECT_FALSE(platform::ReadPathFacts(tree.root())->root);
}

TEST(WalkFailure, SortsSystemErrorsIntoThreeClasses) {
    struct Case {
        int error;
        int want;
    };
    const Case cases[] = {{EACCES, 70},  {EPERM, 70}, {ENOENT, 76},
                          {ENOTDIR, 76}, {EIO, 75},   {ELOOP, 75}};
    for (const Case& c : cases) EXPECT_EQ(platform::WalkFailure(c.error).number, c.want) << c.error;
}

#endif

}  // namespace
