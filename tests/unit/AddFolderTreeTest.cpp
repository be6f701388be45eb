#include <gtest/gtest.h>

#include <QFile>

#include "TempTree.h"
#include "files/AddFolderTree.h"
#include "support/ScriptedDialogs.h"
#include "support/StagedFileSystem.h"

namespace {

class AddFolderTreeTest : public ::testing::Test {
protected:
    QStringList add(const QString& folder, const QString& pattern = "*.*") {
        QStringList rows;
        Steps steps(dialogs, Location::of("Form2", "PushButton4_Click"));
        AddFolderTree(
            folder, pattern, steps, {114, 116, 122, 132}, [] {},
            [&](const QString& row) { rows.append(row); }, fs);
        return rows;
    }
    QStringList relative(const QStringList& rows) const {
        QStringList out;
        for (const QString& row : rows) out.append(tree.relative(row));
        return out;
    }

    TempTree tree;
    ScriptedDialogs dialogs;
    StagedFileSystem fs;
};

TEST_F(AddFolderTreeTest, AddsTheFolderFilesFirstThenEachLevel) {
    tree.file("top.txt");
    tree.file("A/a.txt");
    tree.file("A/C/c.txt");
    tree.file("B/b.txt");
    EXPECT_EQ(relative(add(tree.root())),
              QStringList({"top.txt", "A/a.txt", "B/b.txt", "A/C/c.txt"}));
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(AddFolderTreeTest, LeavesOutTildeNamesAndPlainDotFilesOnly) {
    const QString readOnlyDot = tree.hidden(tree.file(".readonly"));
    ASSERT_TRUE(QFile::setPermissions(readOnlyDot, QFileDevice::ReadOwner));
    tree.file("~temp.doc");
    tree.hidden(tree.file(".plain"));
    tree.file("keep~.doc");
    tree.file("visible.doc");
#ifdef Q_OS_WIN
    const QStringList want = {".readonly", "keep~.doc", "visible.doc"};
#else
    ASSERT_TRUE(QFile::link(tree.path("visible.doc"), tree.path(".linked")));
    const QStringList want = {".linked", ".readonly", "keep~.doc", "visible.doc"};
#endif
    QStringList rows = relative(add(tree.root()));
    rows.sort();
    // Attributes 35 (read-only hidden file) and 1058 (linked dot-file) are not the plain 34.
    EXPECT_EQ(rows, want);
}

TEST_F(AddFolderTreeTest, TwoTreesAddedInTurnKeepTheirOrder) {
    tree.file("first/1.txt");
    tree.file("first/deep/2.txt");
    tree.file("second/3.txt");
    QStringList rows = add(tree.path("first"));
    rows += add(tree.path("second"));
    EXPECT_EQ(relative(rows), QStringList({"first/1.txt", "first/deep/2.txt", "second/3.txt"}));
}

TEST_F(AddFolderTreeTest, AnUnreadableSubFolderAddsNothingAndShowsNothing) {
    tree.file("ok/1.txt");
    tree.file("locked/2.txt");
    tree.file("locked/inner/3.txt");
    fs.listingFailures.insert({tree.native("locked/"), {Failure::permissionDenied(), 0}});
    EXPECT_EQ(relative(add(tree.root())), QStringList({"ok/1.txt"}));
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(AddFolderTreeTest, AFolderWhoseFilesCannotBeListedIsReportedAtItsLineAndTheWalkGoesOn) {
    tree.file("1.txt");
    tree.file("A/2.txt");
    tree.file("B/3.txt");
    tree.file("B/C/4.txt");
    // A failure other than a folder gone unreadable since the scan: too many open files.
    fs.fileListingFailures.insert({tree.native("B"), Failure(67, "Too many files")});
    EXPECT_EQ(relative(add(tree.root())), QStringList({"1.txt", "A/2.txt", "B/C/4.txt"}));
    ASSERT_EQ(dialogs.reports().size(), 1);
    EXPECT_TRUE(dialogs.reports()[0].startsWith(
        "Too many files\r\nin Tarnwick2021/08/31.Form2.PushButton4_Click at line 122\r\r"));
}

}  // namespace
