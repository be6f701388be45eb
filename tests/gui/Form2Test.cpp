#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include "core/PathUtils.h"
#include "core/Settings.h"
#include "gui/GuiSupport.h"
#include "support/Files.h"
#include "support/ScriptedDialogs.h"
#include "support/TestServer.h"
#include "ui/WindowSetup.h"
#include "ui/login/Form1.h"
#include "ui/main/Form2.h"
#include "ui/main/UploadList.h"

namespace {

using Shape = WindowPointer::Shape;

class Form2Test : public ::testing::Test {
protected:
    SettingsSandbox settings;
    ProgramFolderSandbox folder;
    ScriptedDialogs dialogs;
};

TEST_F(Form2Test, FirstLoadShowsTheDesktopAndStoresAllThreeFields) {
    Form1 login(dialogs, folder.environment());
    Form2& form = login.mainWindow();
    const QString desktop = GetDesktopFolder();
    EXPECT_TRUE(desktop.endsWith(QDir::separator()));
    EXPECT_EQ(TextBox(form, "Text1")->text(), desktop);
    EXPECT_EQ(TextBox(form, "Text2")->text(), "");
    EXPECT_EQ(TextBox(form, "Text3")->text(), "");
    const QMap<QString, QString> want{{"Destination", desktop}, {"Prefix", ""}, {"Extension", ""}};
    EXPECT_EQ(settings.storedValues(), want);
    EXPECT_EQ(form.windowTitle(), "Vantrelle");
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(Form2Test, StoredAndEmptiedValuesComeBackAsTheyWereLeft) {
    Settings::write("Destination", "");
    Settings::write("Prefix", "img");
    Settings::write("Extension", "jpg");
    Form1 login(dialogs, folder.environment());
    Form2& form = login.mainWindow();
    EXPECT_EQ(TextBox(form, "Text1")->text(), "");
    EXPECT_EQ(TextBox(form, "Text2")->text(), "img");
    EXPECT_EQ(TextBox(form, "Text3")->text(), "jpg");
    TextBox(form, "Text3")->setText("png");
    TextBox(form, "Text2")->clear();
    EXPECT_EQ(Settings::read("Extension"), "png");
    EXPECT_EQ(Settings::read("Prefix", "unset"), "");
    EXPECT_EQ(Settings::read("Destination", "unset"), "");
}

TEST_F(Form2Test, TheWindowHasItsLayoutFocusAndColours) {
    Form1 login(dialogs, folder.environment());
    Form2& form = login.mainWindow();
    EXPECT_EQ(form.size(), QSize(792, 462));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(FrameOf(form, "Frame2")->geometry(), QRect(8, 8, 382, 449));
    EXPECT_EQ(FileList(form, "ListView1")->parentWidget(), FrameOf(form, "Frame3"));
    EXPECT_EQ(FileList(form, "ListView1")->geometry(), QRect(16, 24, 329, 81));
    EXPECT_EQ(Button(form, "PushButton2")->geometry(), QRect(320, 208, 22, 23));
    EXPECT_EQ(ProgressBarOf(form, "ProgressBar1")->geometry(), QRect(402, 395, 382, 27));
    EXPECT_EQ(LabelOf(form, "Label8")->text(), " Save images to this folder:");
    EXPECT_EQ(FileList(form, "ListView1")->headerItem()->text(0), "Images");
    EXPECT_EQ(FileList(form, "ListView1")->columnWidth(0), 267);
    EXPECT_EQ(Button(form, "PushButton1")->font().pointSizeF(), 11.25);
    EXPECT_TRUE(ListBox(form, "List1")->font().bold());
    EXPECT_EQ(form.focusWidget(), TextBox(form, "Text3"));
    const QColor face = SystemFaceColour();
    EXPECT_EQ(form.palette().color(QPalette::Window), face);
    EXPECT_EQ(FrameOf(form, "Frame5")->palette().color(QPalette::Window), face);
    EXPECT_EQ(LabelOf(form, "Label1")->palette().color(QPalette::Window), face);
    EXPECT_EQ(ListBox(form, "List1")->viewport()->palette().color(QPalette::Base),
              QApplication::palette().color(QPalette::Base));
}

TEST_F(Form2Test, TheDestinationBrowseStoresTheFolderAndStartsThereNextTime) {
    Settings::write("LastFolderDot", "/srv/start");
    Form1 login(dialogs, folder.environment());
    Form2& form = login.mainWindow();
    const QString before = TextBox(form, "Text1")->text();
    Button(form, "PushButton2")->click();  // cancelled
    EXPECT_EQ(TextBox(form, "Text1")->text(), before);
    EXPECT_EQ(Settings::read("LastFolderDot"), "/srv/start");
    dialogs.folderAnswers = {"/srv/pictures"};
    Button(form, "PushButton2")->click();
    EXPECT_EQ(TextBox(form, "Text1")->text(), "/srv/pictures");
    EXPECT_EQ(Settings::read("Destination"), "/srv/pictures");
    EXPECT_EQ(Settings::read("LastFolderDot"), "/srv/pictures");
    Button(form, "PushButton2")->click();
    QStringList starts, prompts;
    for (const auto& call : dialogs.calls) {
        starts << call.extra;
        prompts << call.text;
    }
    EXPECT_EQ(starts, (QStringList{"/srv/start", "/srv/start", "/srv/pictures"}));
    EXPECT_EQ(prompts, (QStringList(3, "Please select folder:")));
}

TEST_F(Form2Test, SwitchingBackShowsTheLoginWindowAndKeepsEverything) {
    Form1 login(dialogs, folder.environment());
    Form2& form = login.mainWindow();
    ListBox(form, "List2")->addItem("picture");
    FileList(form, "ListView1")->appendPath("/tmp/a.png");
    TextBox(form, "Text2")->setText("img");
    form.showWindow();
    Button(form, "PushButton5")->click();
    EXPECT_TRUE(login.isVisible());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(ListBox(form, "List2")->count(), 1);
    EXPECT_EQ(FileList(form, "ListView1")->paths(), QStringList{"/tmp/a.png"});
    EXPECT_EQ(TextBox(form, "Text2")->text(), "img");
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(Form2Test, HoveringFollowsTheRulesOfEachControl) {
    folder.addPointerImage();
    Form1 login(dialogs, folder.environment());
    Form2& form = login.mainWindow();
    ASSERT_TRUE(form.pointer().hasCustomImage());
    struct Step {
        QWidget* over;
        Shape want;
    };
    const Step walk[] = {
        {Button(form, "PushButton7"), Shape::Custom},
        {ListBox(form, "List4"), Shape::Custom},
        {LabelOf(form, "Label2"), Shape::Custom},
        {ProgressBarOf(form, "ProgressBar1"), Shape::Custom},
        {ListBox(form, "List3"), Shape::Custom},
        {FrameOf(form, "Frame4"), Shape::Default},
        {Button(form, "PushButton2"), Shape::Custom},
        {LabelOf(form, "Label5"), Shape::Custom},
        {LabelOf(form, "Label8"), Shape::Default},
        {Button(form, "PushButton1"), Shape::Custom},
        {ListBox(form, "List2"), Shape::Default},
        {Button(form, "PushButton3"), Shape::Custom},
        {FileList(form, "ListView1"), Shape::Default},
        {Button(form, "PushButton4"), Shape::Custom},
        {TextBox(form, "Text1"), Shape::Default},
        {Button(form, "PushButton5"), Shape::Custom},
        {&form, Shape::Default},
    };
    for (const Step& s : walk) {
        MoveOver(s.over);
        EXPECT_EQ(form.pointer().shape(), s.want) << s.over->metaObject()->className();
    }
    form.pointer().setHourglass();
    for (QWidget* w :
         {static_cast<QWidget*>(Button(form, "PushButton1")),
          static_cast<QWidget*>(FrameOf(form, "Frame1")),
          static_cast<QWidget*>(FileList(form, "ListView1")), static_cast<QWidget*>(&form)}) {
        MoveOver(w);
        EXPECT_EQ(form.pointer().shape(), Shape::Hourglass);
    }
}

TEST_F(Form2Test, TheAddButtonsFillTheFileList) {
    Form1 login(dialogs, folder.environment());
    Form2& form = login.mainWindow();
    QTemporaryDir tree;
    QDir(tree.path()).mkpath("sub");
    for (const char* name : {"a.txt", "sub/b.txt", "c.png"}) {
        QFile f(tree.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    dialogs.fileAnswers = {{tree.filePath("c.png")}};
    Button(form, "PushButton3")->click();
    dialogs.inputAnswers = {"txt"};
    dialogs.folderAnswers = {Native(tree.path())};
    Button(form, "PushButton4")->click();
    EXPECT_EQ(FileList(form, "ListView1")->paths(),
              (QStringList{Native(tree.filePath("c.png")), Native(tree.filePath("a.txt")),
                           Native(tree.filePath("sub/b.txt"))}));
    EXPECT_EQ(form.pointer().shape(), Shape::Default);
    EXPECT_TRUE(Button(form, "PushButton4")->isEnabled());
    EXPECT_TRUE(dialogs.reports().isEmpty());
}

// Close events need a real window system under Wine.
class Form2OnDisplay : public Form2Test {};

TEST_F(Form2OnDisplay, ClosingEitherWindowEndsTheProgram) {
    EndWatch end;
    Form1 login(dialogs, folder.environment());
    Form2& form = login.mainWindow();
    form.showWindow();
    form.close();  // the login window is still there, hidden
    EXPECT_EQ(end.ends, 1);
    login.show();
    login.close();
    EXPECT_EQ(end.ends, 2);
}

}  // namespace
