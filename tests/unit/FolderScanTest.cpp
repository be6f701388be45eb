#include <gtest/gtest.h>

#include <QFile>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

#include "TempTree.h"
#include "files/FolderScan.h"
#include "support/ScriptedDialogs.h"
#include "support/StagedFileSystem.h"

namespace {

class FolderScan : public ::testing::Test {
protected:
    // Scans the tree's root (or `start`) with recursion and gives the paths relative to the root,
    // with their trailing separator, the root itself as "".
    QStringList scan(const QString& start = QString(), bool recurse = true) {
        FolderList list{(start.isEmpty() ? tree.root() : start) + platform::Separator()};
        GetSubDirectories2016(
            list, recurse, dialogs, [&] { ++yields; }, fs);
        QStringList relative;
        for (const QString& path : list)
            relative.append(path.startsWith(tree.native("")) ? tree.relative(path) : path);
        return relative;
    }

    TempTree tree;
    ScriptedDialogs dialogs;
    StagedFileSystem fs;
    int yields = 0;
};

TEST_F(FolderScan, GivesTheFolderThenEachLevelInTurn) {
    tree.folder("A/C");
    tree.folder("B");
    tree.file("A/file.txt");
    const QStringList found = scan();
    ASSERT_EQ(found.size(), 4);
    EXPECT_EQ(found[0], "");
    EXPECT_EQ(QStringList({found[1], found[2]}).size(), 2);
    EXPECT_TRUE(found.mid(1, 2).contains("A/") && found.mid(1, 2).contains("B/"));
    EXPECT_EQ(found[3], "A/C/");
    // Once per folder examined (4), per sub-folder found (3) and per folder returned (3).
    EXPECT_EQ(yields, 10);
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(FolderScan, GroupsEachLevelByParentInTheOrderTheFoldersList) {
    for (const char* f : {"A/A1", "A/A2", "B/B1", "B/B1/deep"}) tree.folder(f);
    EXPECT_EQ(scan(), QStringList({"", "A/", "B/", "A/A1/", "A/A2/", "B/B1/", "B/B1/deep/"}));
    fs.descending = true;
    EXPECT_EQ(scan(), QStringList({"", "B/", "A/", "B/B1/", "A/A2/", "A/A1/", "B/B1/deep/"}));
}

TEST_F(FolderScan, WithoutRecursionGivesOnlyTheFirstLevel) {
    tree.folder("A/C");
    tree.folder("B");
    EXPECT_EQ(scan(QString(), false), QStringList({"", "A/", "B/"}));
}

TEST_F(FolderScan, AFolderThatCannotBeReadLeavesTheListQuietly) {
    struct Case {
        int number;
        int namesBefore;
        QStringList want;
    };
    const Case cases[] = {
        {Failure::kPermissionDenied, 0, {"", "A/", "B/"}},
        {Failure::kPathNotFound, 1, {"", "A/", "B/", "C/X/"}},
        // Any other failure only ends that folder's listing: what it gave before stands.
        {Failure::kPathFileAccessError, 1, {"", "A/", "B/", "C/", "C/X/"}},
        {Failure::kPathFileAccessError, 0, {"", "A/", "B/", "C/"}},
    };
    for (const char* f : {"A", "B", "C/X", "C/Y"}) tree.folder(f);
    for (const Case& c : cases) {
        fs.listingFailures.clear();
        fs.listingFailures.insert({tree.native("C/"), {Failure(c.number, "x"), c.namesBefore}});
        EXPECT_EQ(scan(), c.want) << c.number;
    }
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(FolderScan, AnUnreadableStartFolderLeavesNothing) {
    tree.folder("A");
    fs.listingFailures.insert({tree.native(""), {Failure::permissionDenied(), 0}});
    EXPECT_EQ(scan(), QStringList());
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(FolderScan, ReportsAFailureBeforeTheFirstFolderIsExaminedAndIsQuietAfter) {
    tree.folder("one/sub");
    tree.folder("two/sub");
    fs.examineFailures.insert({tree.path("one/"), Failure(75, "Path/File access error")});
    fs.examineFailures.insert({tree.path("two/"), Failure::permissionDenied()});
    FolderList list{tree.path("one/"), tree.path("two/")};
    GetSubDirectories2016(
        list, true, dialogs, [] {}, fs);
    ASSERT_EQ(dialogs.reports().size(), 1);
    EXPECT_TRUE(dialogs.reports()[0].startsWith(
        "Path/File access error\r\nin Corvalin2021/08/31.AddFolder.GetSubDirectories2016 at line "
        "112\r\r"));
    // The reported folder stays, unlisted; the quietly failing one is removed.
    EXPECT_EQ(list.paths(), QStringList({tree.path("one/")}));
}

TEST_F(FolderScan, LeavesOutHiddenSystemFoldersExceptDriveRoots) {
    for (const char* f : {"sys/below", "hidden/below", "link"}) tree.folder(f);
    fs.attributes[tree.native("sys/")] = 22;
    fs.attributes[tree.native("hidden/")] = 18;
    fs.attributes[tree.native("link/")] = 1046;
    EXPECT_EQ(scan(), QStringList({"", "hidden/", "hidden/below/"}));

    // A start folder that is barred stays in the list but is not walked, unless it is a root.
    fs.attributes[tree.native("")] = 22;
    EXPECT_EQ(scan(), QStringList({""}));
    fs.roots.append(tree.native(""));
    EXPECT_EQ(scan(), QStringList({"", "hidden/", "hidden/below/"}));
}

#ifdef Q_OS_WIN
// The file system's own attributes: a hidden system folder is left out with everything beneath it;
// a folder that is only hidden or only a system folder is walked.
TEST_F(FolderScan, LeavesOutTheFileSystemsHiddenSystemFolders) {
    for (const char* f : {"both/below", "hidden/below", "system/below"}) tree.folder(f);
    const auto set = [&](const char* folder, DWORD attributes) {
        const QString path = tree.native(folder);
        ASSERT_TRUE(SetFileAttributesW(reinterpret_cast<const wchar_t*>(path.utf16()), attributes));
    };
    set("both", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    set("hidden", FILE_ATTRIBUTE_HIDDEN);
    set("system", FILE_ATTRIBUTE_SYSTEM);
    QStringList found = scan();
    found.sort();
    EXPECT_EQ(found, QStringList({"", "hidden/", "hidden/below/", "system/", "system/below/"}));
}
#endif

#ifndef Q_OS_WIN  // names with these characters and symbolic links are Unix's
TEST_F(FolderScan, SkipsUnsafeNamesWithEverythingBeneath) {
    tree.folder("good/inner");
    for (const char* name : {"what?", "ctl\x01", "c1\xc2\x85", "bad\xff"}) {
        const QByteArray path = QFile::encodeName(tree.root()) + "/" + name;
        ASSERT_EQ(::mkdir(path.constData(), 0755), 0) << name;
        ASSERT_EQ(::mkdir((path + "/deep").constData(), 0755), 0) << name;
    }
    tree.folder(QString::fromUtf8("\xd0\x9c\xd0\xb8\xd1\x80"));  // representable in UTF-8
    const QStringList found = scan();
    EXPECT_EQ(found.size(), 4) << found.join(" | ").toStdString();
    EXPECT_TRUE(found.contains("good/inner/"));
    EXPECT_TRUE(found.contains(QString::fromUtf8("\xd0\x9c\xd0\xb8\xd1\x80/")));
}

TEST_F(FolderScan, FollowsLinksButWalksEachFolderOnce) {
    TempTree outside;
    outside.folder("X");
    tree.folder("A");
    tree.folder("B");
    ASSERT_EQ(QFile::link(tree.root(), tree.path("A/loop")), true);
    ASSERT_EQ(QFile::link(tree.path("A"), tree.path("B/back")), true);
    ASSERT_EQ(QFile::link(outside.root(), tree.path("out")), true);
    EXPECT_EQ(scan(), QStringList({"", "A/", "B/", "out/", "out/X/"}));
}
#endif

TEST(HasUnsafeCharacters, RefusesControlCodesQuestionMarksAndWhatTheCodePageCannotHold) {
    struct Case {
        QString name;
        bool want;
    };
    const Case cases[] = {
        {"", false},
        {"plain name.txt", false},
#ifdef Q_OS_WIN  // no ANSI code page holds it
        {QString::fromUtf8("\xf0\x9f\x98\x80"), true},
#else
        {QString::fromUtf8("\xd0\x9c\xd0\xb8\xd1\x80 \xc3\xa9\xe2\x82\xac"), false},
        {QString::fromUtf8("\xf0\x9f\x98\x80"), false},
#endif
        {QString(QChar(0xA0)), false},
        {"a?b", true},
        {"tab\there", true},
        {QString(QChar(0x1F)), true},
        {QString(QChar(0x7F)), true},
        {QString(QChar(0x80)), true},
        {QString(QChar(0x9F)), true},
        {QString(QChar(0xD800)), true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HasUnsafeCharacters(c.name), c.want) << c.name.toStdString();
    EXPECT_TRUE(HasUnsafeCharacters(QByteArray("bad\xff")));
    EXPECT_TRUE(HasUnsafeCharacters(QByteArray("\xc3")));
    EXPECT_FALSE(HasUnsafeCharacters(QByteArray("\xc3\xa9t\xc3\xa9")));
}

}  // namespace
