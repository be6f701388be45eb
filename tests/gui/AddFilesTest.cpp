#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "core/AppInfo.h"
#include "core/Settings.h"
#include "support/Files.h"
#include "support/ScriptedDialogs.h"
#include "support/StagedFileSystem.h"
#include "support/TestServer.h"
#include "ui/main/AddFiles.h"
#include "ui/main/UploadList.h"

namespace {

// The patterns of a Qt name filter, "Description (p1 p2)".
QStringList PatternsOf(const QString& filter) {
    const QRegularExpressionMatch m = QRegularExpression(R"(\(([^()]*)\)$)").match(filter);
    return m.captured(1).split(u' ', Qt::SkipEmptyParts);
}

TEST(AddImagesOrOtherFiles, OpensTheDialogWithItsTitleAndTwoFilters) {
    ScriptedDialogs dialogs;
    UploadList list;
    AddImagesOrOtherFiles(dialogs, nullptr, list);
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].kind, "openFiles");
    EXPECT_EQ(dialogs.calls[0].title, "Add File(s) - Hold Ctrl to select multiple files");
    const QStringList filters = dialogs.calls[0].filters;
    ASSERT_EQ(filters.size(), 2);
    EXPECT_EQ(filters[0],
              "All Pictures (*.emf *.wmf *.jpg *.jpeg *.jfif *.jpe *.png *.bmp *.dib *.rle *.bmz "
              "*.gif *.gfa *.emz *.wmz *.pcz *.tif *.tiff *.cgm *.eps *.pct *.pict *.wpg)");
    EXPECT_EQ(PatternsOf(filters[0]).size(), 23);
    EXPECT_EQ(filters[1], "All Files(*.* *)");
    // The dialog matches as QDir::match does, ignoring case; "All Files" takes dotless names too.
    for (const char* name : {"photo.jpg", "PHOTO.JPG", "scan.Tiff"})
        EXPECT_TRUE(QDir::match(PatternsOf(filters[0]), name)) << name;
    EXPECT_FALSE(QDir::match(PatternsOf(filters[0]), "notes.txt"));
    for (const char* name : {"notes.txt", "README", ".profile"})
        EXPECT_TRUE(QDir::match(PatternsOf(filters[1]), name)) << name;
    EXPECT_EQ(list.count(), 0) << "a cancelled dialog adds nothing";
}

TEST(AddImagesOrOtherFiles, OneFileIsListedAsGivenSeveralAsFolderSeparatorAndName) {
    struct Case {
        QStringList chosen;
        QStringList want;
    };
    // The dialog gives "/" separators; the list shows the platform's own.
    const Case cases[] = {
#ifdef Q_OS_WIN
        {{"C:/data//one.png"}, {"C:\\data\\\\one.png"}},
        {{"C:/a.png", "C:/b.png"}, {"C:\\a.png", "C:\\b.png"}},
        {{"C:/data//x/one.png", "C:/data//x/two"}, {"C:\\data\\x\\one.png", "C:\\data\\x\\two"}},
        {{"//srv/share/a.png", "//srv/share/b"}, {"\\\\srv\\share\\a.png", "\\\\srv\\share\\b"}},
#else
        {{"/data//one.png"}, {"/data//one.png"}},
        {{"/a.png", "/b.png", "/c.png"}, {"/a.png", "/b.png", "/c.png"}},
        {{"/data//x/one.png", "/data//x/two"}, {"/data/x/one.png", "/data/x/two"}},
#endif
    };
    for (const Case& c : cases) {
        ScriptedDialogs dialogs;
        dialogs.fileAnswers.push_back(c.chosen);
        UploadList list;
        list.appendPath("/already/there");
        AddImagesOrOtherFiles(dialogs, nullptr, list);
        EXPECT_EQ(list.paths(), QStringList{"/already/there"} + c.want)
            << c.chosen.join(',').toStdString();
        EXPECT_TRUE(dialogs.reports().isEmpty());
    }
}

// ---- Add All Files In Folder -------------------------------------------------------------------

class AddAllFilesInFolderTest : public ::testing::Test {
protected:
    QString make(const QString& relative) { return Native(MakeEmptyFile(tree.path(), relative)); }
    void click() {
        AddAllFilesInFolder(
            dialogs, nullptr, list, [this](bool busy) { busyCalls.push_back(busy); }, fs);
    }

    SettingsSandbox sandbox;
    QTemporaryDir tree;
    ScriptedDialogs dialogs;
    UploadList list;
    std::vector<bool> busyCalls;
    StagedFileSystem fs;
};

TEST_F(AddAllFilesInFolderTest, ListsTheFilesOfTheTreeWithTheEnteredExtension) {
    const QString a = make("a.txt"), upper = make("B.TXT"), deep = make("sub/d.txt");
    make("c.doc");
    make("~lock.txt");
    make(".hidden.txt");
    make("plain");
    dialogs.inputAnswers.push_back("txt");
    dialogs.folderAnswers.push_back(Native(tree.path()));
    click();

    QStringList got = list.paths();
    ASSERT_EQ(got.size(), 3) << got.join('\n').toStdString();
    EXPECT_EQ(got.last(), deep) << "the folder's own files come before its sub-folder's";
    got.removeLast();
    got.sort();
    EXPECT_EQ(got, (QStringList{upper, a}));

    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[0].kind, "inputBox");
    EXPECT_EQ(dialogs.calls[0].text,
              "Enter file extension to load:\r\r(* for all files, txt for all txt files, doc for "
              "all doc files, etc.)");
    EXPECT_EQ(dialogs.calls[0].title, AppTitle());
    EXPECT_EQ(dialogs.calls[0].extra, "*") << "the proposal without a stored extension";
    EXPECT_EQ(dialogs.calls[1].kind, "browseForFolder");
    EXPECT_EQ(dialogs.calls[1].text, "Please select folder:");
    EXPECT_EQ(dialogs.calls[1].extra, "");
    EXPECT_EQ(busyCalls, (std::vector<bool>{true, false}));
    EXPECT_EQ(Settings::read("Extension"), "txt");
    EXPECT_EQ(Settings::read("LastFolder"), Native(tree.path()));
}

TEST_F(AddAllFilesInFolderTest, TheNextClickProposesTheLastAnswersAndStartsInTheLastFolder) {
    make("x.doc");
    const QString twoDots = make("y..txt");
    make("z.txt");
    dialogs.inputAnswers = {"doc", ".txt"};
    dialogs.folderAnswers = {Native(tree.path()), Native(tree.path())};
    click();
    click();
    EXPECT_EQ(list.paths(), (QStringList{Native(tree.filePath("x.doc")), twoDots}))
        << "an entered dot makes the pattern *..txt";
    ASSERT_EQ(dialogs.calls.size(), 4u);
    EXPECT_EQ(dialogs.calls[2].extra, "doc");
    EXPECT_EQ(dialogs.calls[3].extra, Native(tree.path()));
}

TEST_F(AddAllFilesInFolderTest, AFolderThatFailsIsReportedAtItsLineAndTheWalkGoesOn) {
    const QString top = make("1.txt"), deep = make("B/C/3.txt");
    make("B/2.txt");
    make("D/4.txt");
    fs.fileListingFailures.insert({Native(tree.filePath("B")), Failure(67, "Too many files")});
    fs.fileListingFailures.insert({Native(tree.filePath("D")), Failure(67, "Too many files")});
    dialogs.inputAnswers.push_back("txt");
    dialogs.folderAnswers.push_back(Native(tree.path()));
    click();
    EXPECT_EQ(list.paths(), (QStringList{top, deep}));
    const QString report =
        "Too many files\r\nin Tarnwick2021/08/31.Form2.PushButton4_Click at line 122\r\r";
    ASSERT_EQ(dialogs.reports().size(), 2);
    for (const QString& r : dialogs.reports()) EXPECT_TRUE(r.startsWith(report)) << r.toStdString();
    EXPECT_EQ(busyCalls, (std::vector<bool>{true, false})) << "the pointer comes back";
}

TEST_F(AddAllFilesInFolderTest, AnEmptyAnswerEndsTheClickAndKeepsTheStoredExtension) {
    Settings::write("Extension", "doc");
    dialogs.inputAnswers.push_back("");
    click();
    EXPECT_EQ(dialogs.calls.size(), 1u) << "no folder browser";
    EXPECT_EQ(Settings::read("Extension"), "doc");
    EXPECT_TRUE(busyCalls.empty());
    EXPECT_EQ(list.count(), 0);
}

TEST_F(AddAllFilesInFolderTest, ACancelledBrowseKeepsTheExtensionButNotAFolder) {
    Settings::write("LastFolder", "/earlier");
    dialogs.inputAnswers.push_back("pdf");
    click();
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[1].extra, "/earlier");
    EXPECT_EQ(Settings::read("Extension"), "pdf");
    EXPECT_EQ(Settings::read("LastFolder"), "/earlier");
    EXPECT_TRUE(busyCalls.empty());
    EXPECT_EQ(list.count(), 0);
}

}  // namespace
