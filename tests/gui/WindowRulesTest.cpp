#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include "core/Settings.h"
#include "gui/GuiSupport.h"
#include "support/Files.h"
#include "support/ScriptedDialogs.h"
#include "support/StagedFileSystem.h"
#include "support/TestServer.h"
#include "ui/Controls.h"
#include "ui/login/Form1.h"
#include "ui/main/Form2.h"
#include "ui/main/UploadList.h"

namespace {

using Shape = WindowPointer::Shape;

class WindowRulesTest : public ::testing::Test {
protected:
    SettingsSandbox settings;
    ProgramFolderSandbox folder;
    ScriptedDialogs dialogs;
};

TEST_F(WindowRulesTest, TheLoginWindowIsCentredWhenItFirstAppears) {
    Form1 login(dialogs, folder.environment());
    ASSERT_FALSE(IsCentred(login));
    login.start();  // an incomplete profile: the login window stays
    EXPECT_TRUE(login.isVisible());
    EXPECT_TRUE(IsCentred(login));
    // Moved by the user, it stays where it was put when it comes back.
    login.move(3, 4);
    login.hide();
    login.showWindow();
    EXPECT_EQ(login.pos(), QPoint(3, 4));
}

TEST_F(WindowRulesTest, TheMainWindowTabsInTheOrderOfItsTabIndexes) {
    Form1 login(dialogs, folder.environment());
    Form2& form = login.mainWindow();
    const QList<QWidget*> want{
        TextBox(form, "Text3"),      TextBox(form, "Text2"),      TextBox(form, "Text1"),
        ListBox(form, "List2"),      ListBox(form, "List1"),      FileList(form, "ListView1"),
        ListBox(form, "List3"),      ListBox(form, "List4"),      Button(form, "PushButton2"),
        Button(form, "PushButton1"), Button(form, "PushButton3"), Button(form, "PushButton4"),
        Button(form, "PushButton5"), Button(form, "PushButton7")};
    QList<QWidget*> chain;
    QWidget* w = TextBox(form, "Text3");
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(&form))
            chain << w;
        w = w->nextInFocusChain();
    } while (w != TextBox(form, "Text3") && chain.size() <= want.size());
    EXPECT_EQ(chain, want);
    EXPECT_EQ(ProgressBarOf(form, "ProgressBar1")->focusPolicy(), Qt::NoFocus);
}

TEST_F(WindowRulesTest, TextBoxesShowTheWindowsPointerWhileItIsNotTheDefault) {
    folder.addPointerImage();
    Form1 login(dialogs, folder.environment());
    login.Form_Load();
    Form2& form = login.mainWindow();
    struct Case {
        WindowPointer& pointer;
        QList<QLineEdit*> boxes;
    };
    const Case cases[] = {
        {login.pointer(),
         {TextBox(login, "Text1"), TextBox(login, "Text2"), TextBox(login, "Text3"),
          TextBox(login, "Text4"), TextBox(login, "Text5")}},
        {form.pointer(), {TextBox(form, "Text1"), TextBox(form, "Text2"), TextBox(form, "Text3")}}};
    for (const Case& c : cases) {
        for (QLineEdit* box : c.boxes) ASSERT_EQ(box->cursor().shape(), Qt::IBeamCursor);
        c.pointer.setHourglass();
        for (QLineEdit* box : c.boxes) EXPECT_EQ(box->cursor().shape(), Qt::WaitCursor);
        c.pointer.set(Shape::Custom);  // the hand image, over a button
        for (QLineEdit* box : c.boxes) EXPECT_EQ(box->cursor().shape(), Qt::BitmapCursor);
        c.pointer.setDefault();
        for (QLineEdit* box : c.boxes) EXPECT_EQ(box->cursor().shape(), Qt::IBeamCursor);
    }
}

TEST_F(WindowRulesTest, WhileTestConnectionRunsTheTextBoxesShowTheHourglass) {
    Form1 login(dialogs, folder.environment());
    login.Form_Load();
    TextBox(login, "Text1")->setText("127.0.0.1");
    TextBox(login, "Text5")->setText("1");  // nothing listens there: the test fails at once
    std::vector<Qt::CursorShape> shown;
    dialogs.whileShown = [&](const ScriptedDialogs::Call&) {
        for (QLineEdit* box :
             {TextBox(login, "Text1"), TextBox(login, "Text2"), TextBox(login, "Text3"),
              TextBox(login, "Text4"), TextBox(login, "Text5")})
            shown.push_back(box->cursor().shape());
    };
    Button(login, "PushButton5")->click();
    ASSERT_EQ(dialogs.shownTexts().size(), 1);
    EXPECT_EQ(shown, std::vector<Qt::CursorShape>(5, Qt::WaitCursor));
    EXPECT_EQ(TextBox(login, "Text1")->cursor().shape(), Qt::IBeamCursor);
}

TEST_F(WindowRulesTest, PushButtonsLookTheSameWithThePointerOverThem) {
    QWidget window;
    window.resize(200, 60);
    QPushButton* button =
        MakePushButton(&window, "PushButton7", "Start Uploading", QRect(10, 10, 160, 27));
    window.show();
    QApplication::processEvents();
    const QImage away = button->grab().toImage();
    button->setAttribute(Qt::WA_UnderMouse, true);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(button, &enter);
    const QImage over = button->grab().toImage();
    EXPECT_EQ(over, away);
}

TEST_F(WindowRulesTest, ReturnAndEnterPressTheFocusedButtonButNothingFromATextBox) {
    QWidget window;
    QPushButton* button =
        MakePushButton(&window, "PushButton7", "Start Uploading", QRect(10, 10, 160, 27));
    QLineEdit* box = MakeTextBox(&window, "Text3", QRect(10, 40, 160, 20));
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    const auto press = [](QWidget* to, int key, Qt::KeyboardModifiers modifiers, bool repeat) {
        QKeyEvent down(QEvent::KeyPress, key, modifiers, QString(), repeat);
        QApplication::sendEvent(to, &down);
    };
    press(button, Qt::Key_Return, Qt::NoModifier, false);
    press(button, Qt::Key_Enter, Qt::KeypadModifier, false);
    press(button, Qt::Key_Return, Qt::NoModifier, true);  // a held key presses once
    EXPECT_EQ(clicks, 2);
    press(box, Qt::Key_Return, Qt::NoModifier, false);
    press(box, Qt::Key_Enter, Qt::KeypadModifier, false);
    EXPECT_EQ(clicks, 2);
}

TEST_F(WindowRulesTest, TheDestinationShowsTheStartOfItsPathAfterLoadingAndBrowsing) {
    const QString stored = "/srv/a/rather/long/path/to/the/folder/where/the/pictures/are/kept";
    const QString browsed = "/home/someone/with/another/long/path/for/the/downloaded/images/now";
    Settings::write("Destination", stored);
    Form1 login(dialogs, folder.environment());
    Form2& form = login.mainWindow();
    form.showWindow();
    EXPECT_EQ(TextBox(form, "Text1")->text(), stored);
    EXPECT_EQ(TextBox(form, "Text1")->cursorPosition(), 0);
    dialogs.folderAnswers = {browsed};
    Button(form, "PushButton2")->click();
    EXPECT_EQ(TextBox(form, "Text1")->text(), browsed);
    EXPECT_EQ(TextBox(form, "Text1")->cursorPosition(), 0);
}

// What the window looked like while a dropped folder's files were listed.
struct Seen {
    bool busy;
    bool uploadEnabled;
    Qt::CursorShape overTextBox;
};

TEST_F(WindowRulesTest, ADroppedFolderIsAddedAsAFolderAddIsAndGoesOnAfterAFailure) {
    QTemporaryDir root;
    const auto make = [&](const QString& relative) {
        return Native(MakeEmptyFile(root.path(), relative));
    };
    const QString top = make("1.txt"), deep = make("B/C/3.txt");
    make("B/2.txt");
    Form1 login(dialogs, folder.environment());
    Form2& form = login.mainWindow();
    StagedFileSystem fs;
    fs.fileListingFailures.insert({Native(root.filePath("B")), Failure(67, "Too many files")});
    std::vector<Seen> seen;
    fs.whileListingFiles = [&](const QString&) {
        seen.push_back({form.isBusy(), Button(form, "PushButton7")->isEnabled(),
                        TextBox(form, "Text1")->cursor().shape()});
    };
    FileList(form, "ListView1")->setFileSystem(&fs);
    FileList(form, "ListView1")->addDroppedPaths({Native(root.path())});

    EXPECT_EQ(FileList(form, "ListView1")->paths(), (QStringList{top, deep}));
    ASSERT_EQ(dialogs.reports().size(), 1);
    EXPECT_TRUE(dialogs.reports()[0].startsWith(
        "Too many files\r\nin Tarnwick2021/08/31.Form2.ListView1_OLEDragDrop at line 102\r\r"));
    ASSERT_EQ(seen.size(), 3u);
    for (const Seen& s : seen) {
        EXPECT_TRUE(s.busy);
        EXPECT_FALSE(s.uploadEnabled);
        EXPECT_EQ(s.overTextBox, Qt::WaitCursor);
    }
    EXPECT_FALSE(form.isBusy());
    EXPECT_TRUE(Button(form, "PushButton7")->isEnabled());
    EXPECT_EQ(form.pointer().shape(), Shape::Default);
    EXPECT_EQ(TextBox(form, "Text1")->cursor().shape(), Qt::IBeamCursor);
}

}  // namespace
