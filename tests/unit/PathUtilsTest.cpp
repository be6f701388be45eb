#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdlib>

#include "TempTree.h"
#include "core/Failure.h"
#include "core/PathUtils.h"

namespace {

TEST(FixDoubleSlashes, DrivePathsLoseOneSeparatorOfEachPairInOnePass) {
    struct Case {
        const char* in;
        const char* want;
    };
    const Case cases[] = {
        {"C:\\a\\\\b.txt", "C:\\a\\b.txt"},
        {"C:\\a\\\\\\b.txt", "C:\\a\\\\b.txt"},
        {"C:\\a\\\\\\\\b", "C:\\a\\\\b"},
        {"C:\\a\\b", "C:\\a\\b"},
        {"", ""},
        {"\\\\server\\share\\\\x", "\\\\server\\share\\x"},
        {"\\\\\\\\server\\x", "\\\\server\\x"},
        {"\\x\\\\y", "\\\\x\\y"},
        {"\\", "\\\\"},
        {"\\\\\\\\", "\\\\"},
    };
    for (const Case& c : cases) EXPECT_EQ(FixDoubleSlashes(c.in, u'\\', true), c.want) << c.in;
}

TEST(FixDoubleSlashes, WithoutNetworkPathsALeadingSeparatorIsNoSpecialCase) {
    struct Case {
        const char* in;
        const char* want;
    };
    const Case cases[] = {
        {"/home/x//y", "/home/x/y"},
        {"//home/x", "/home/x"},
        {"/a///b", "/a//b"},
        {"/", "/"},
        {"//", "/"},
        {"", ""},
        {"a//b//c", "a/b/c"},
        {"C:\\\\x", "C:\\\\x"},
    };
    for (const Case& c : cases) EXPECT_EQ(FixDoubleSlashes(c.in, u'/', false), c.want) << c.in;
#ifdef Q_OS_WIN
    EXPECT_EQ(FixDoubleSlashes("C:\\a\\\\b"), "C:\\a\\b") << "this platform's own variant";
    EXPECT_EQ(FixDoubleSlashes("\\\\\\srv\\\\x"), "\\\\srv\\x");
#else
    EXPECT_EQ(FixDoubleSlashes("//home//x"), "/home/x") << "this platform's own variant";
#endif
}

TEST(PathExists, CountsFilesAndFoldersHiddenOrNotButNoPatternOrMissingPath) {
    TempTree tree;
    tree.file("plain.txt");
    tree.file(".hidden");
    tree.folder(".hiddenfolder");
    struct Case {
        QString path;
        bool want;
    };
    const Case cases[] = {
        {tree.path("plain.txt"), true},
        {tree.path(".hidden"), true},
        {tree.root(), true},
        {tree.path(".hiddenfolder"), true},
        {tree.root() + "/", true},
        {tree.path("missing"), false},
        {tree.path("*.txt"), false},
        {tree.path("plain.tx?"), false},
        {QString(), false},
        {tree.path("plain.txt/x"), false},
        {tree.path("plain.txt") + QChar(0) + "x", false},
    };
    for (const Case& c : cases) EXPECT_EQ(PathExists(c.path), c.want) << c.path.toStdString();
}

TEST(FileExists, CountsOnlyNormalFilesAndPatternsThatMatchOne) {
    TempTree tree;
    tree.file("plain.txt");
    const QString readOnly = tree.file("locked.dat");
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
    tree.hidden(tree.file(".hidden.txt"));
    tree.folder("folder.txt");
    tree.hidden(tree.file("only-hidden/.a.jpg"));
    struct Case {
        QString path;
        bool want;
    };
    const Case cases[] = {
        {tree.path("plain.txt"), true},
        {readOnly, true},
        {tree.path(".hidden.txt"), false},
        {tree.path("folder.txt"), false},
        {tree.path("missing.txt"), false},
        {tree.path("*.TXT"), true},
        {tree.path("p?ain.*"), true},
        {tree.path("*.dat"), true},
        {tree.path("*.jpg"), false},
        {tree.path("only-hidden/*.*"), false},
        {tree.path("missing/*.*"), false},
        {tree.root() + "/", false},
#ifdef Q_OS_WIN
        {QDir::toNativeSeparators(tree.path("plain.txt")), true},
        {QDir::toNativeSeparators(tree.path("*.dat")), true},
        {QDir::toNativeSeparators(tree.path(".hidden.txt")), false},
#endif
        {QString(), false},
    };
    for (const Case& c : cases) EXPECT_EQ(FileExists(c.path), c.want) << c.path.toStdString();
}

TEST(FileExists, APathThatCanNameNothingFails) {
    try {
        FileExists(QStringLiteral("a") + QChar(0) + "b");
        FAIL() << "expected a failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number, 52);
    }
}

TEST(FolderExists, IsTrueForFoldersOnlyAndNeverFails) {
    TempTree tree;
    tree.file("file");
    tree.hidden(tree.folder(".hidden"));
    EXPECT_TRUE(FolderExists(tree.root()));
    EXPECT_TRUE(FolderExists(tree.root() + "/"));
    EXPECT_TRUE(FolderExists(tree.path(".hidden")));
    EXPECT_FALSE(FolderExists(tree.path("file")));
    EXPECT_FALSE(FolderExists(tree.path("missing")));
    EXPECT_FALSE(FolderExists(tree.path("missing/deeper")));
    EXPECT_FALSE(FolderExists(QString()));
    EXPECT_FALSE(FolderExists(tree.path("*")));
#ifdef Q_OS_WIN
    EXPECT_TRUE(FolderExists(QDir::toNativeSeparators(tree.path(".hidden")) + "\\"));
    EXPECT_TRUE(FolderExists("C:\\"));
    EXPECT_FALSE(FolderExists(QDir::toNativeSeparators(tree.path("file"))));
#endif
}

#ifdef Q_OS_WIN
TEST(GetDesktopFolder, IsTheUsersDesktopWithExactlyOneTrailingBackslash) {
    const QString desktop =
        QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    ASSERT_GT(desktop.size(), 3);
    EXPECT_EQ(desktop.mid(1, 2), ":\\") << desktop.toStdString();
    EXPECT_EQ(GetSpecialFolder(0), desktop);
    EXPECT_EQ(GetDesktopFolder(), desktop + "\\");
    EXPECT_FALSE(GetDesktopFolder().endsWith("\\\\"));
    EXPECT_EQ(GetSpecialFolder(5), "") << "unknown numbers give nothing";
}
#else
TEST(GetDesktopFolder, IsTheDesktopOrWithoutOneTheHomeWithExactlyOneTrailingSeparator) {
    TempTree home;
    const QByteArray previous = qgetenv("HOME");
    qputenv("HOME", home.root().toUtf8());
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    ASSERT_NE(desktop, home.root());
    // No Desktop folder yet: a destination there could not be written, the home folder can.
    EXPECT_EQ(GetSpecialFolder(0), home.root());
    EXPECT_EQ(GetDesktopFolder(), home.root() + "/");
    ASSERT_TRUE(QDir().mkpath(desktop));
    EXPECT_EQ(GetSpecialFolder(0), desktop);
    EXPECT_EQ(GetDesktopFolder(), desktop + "/");
    EXPECT_FALSE(GetDesktopFolder().endsWith("//"));
    EXPECT_EQ(GetSpecialFolder(5), "") << "unknown numbers give nothing";
    qputenv("HOME", previous);
}
#endif

TEST(ProgramFolder, IsTheExecutablesFolderWithoutTrailingSeparator) {
    const QString folder = ProgramFolder();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_FALSE(folder.endsWith(u'/') || folder.endsWith(u'\\'));
#ifdef Q_OS_WIN
    EXPECT_TRUE(QFileInfo::exists(folder + "\\unit_tests.exe")) << folder.toStdString();
#else
    EXPECT_TRUE(QFileInfo::exists(folder + "/unit_tests"));
#endif
}

}  // namespace
