#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <functional>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include "gui/GuiSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/TestServer.h"
#include "ui/login/Form1.h"
#include "ui/main/Form2.h"
#include "ui/main/TableLists.h"
#include "ui/main/UploadList.h"

namespace {

// The extracted "Module.Procedure at line N" of every report shown, in order.
QStringList ReportPlaces(const ScriptedDialogs& dialogs) {
    const QString prefix = "in Tarnwick2021/08/31.";
    QStringList places;
    for (const QString& report : dialogs.reports()) {
        const qsizetype from = report.indexOf(prefix) + prefix.size();
        places << report.mid(from, report.indexOf("\r\r") - from);
    }
    return places;
}

// How a case makes its step fail: the settings store cannot be used, or one kind of dialog fails
// while it is shown, or the start-up greeting's draw fails.
struct Case {
    const char* what;
    bool storeUnusable;
    QString failingDialog;  // a ScriptedDialogs call kind, or empty
    bool greetingFails;
    std::deque<QString> inputAnswers;
    std::function<void(Form1&)> act;
    QStringList want;  // "Module.Procedure at line N", one per report, in order
};

// Each handler's report names the handler and the line of the step that failed, and the handler
// goes on: every step that can fail through the program's seams, in turn.
TEST(ReportLines, EachFailingStepIsReportedWithItsHandlerAndLine) {
    const auto load = [](Form1& login) { login.mainWindow(); };
    const auto click = [](const char* button) {
        return [button](Form1& login) { Button(login.mainWindow(), button)->click(); };
    };
    const Case cases[] = {
        {"store unusable at start-up",
         true,
         "",
         false,
         {},
         [](Form1& l) { l.Form_Load(); },
         {"Form1.Form_Load at line 130", "Form1.Form_Load at line 132",
          "Form1.Form_Load at line 134", "Form1.Form_Load at line 136",
          "Form1.Form_Load at line 138"}},
        {"greeting fails",
         false,
         "",
         true,
         {},
         [](Form1& l) { l.Form_Load(); },
         {"Form1.Form_Load at line 106"}},
        {"help box fails",
         false,
         "message",
         false,
         {},
         [](Form1& l) { Button(l, "PushButton4")->click(); },
         {"Form1.PushButton4_Click at line 112"}},
        {"store unusable at the main window's load",
         true,
         "",
         false,
         {},
         load,
         {"Form2.Form_Load at line 112", "Form2.Form_Load at line 114",
          "Form2.Form_Load at line 116"}},
        {"typing with the store unusable",
         true,
         "",
         false,
         {},
         [](Form1& l) { TextBox(l.mainWindow(), "Text2")->setText("img"); },
         {"Form2.Form_Load at line 112", "Form2.Form_Load at line 114",
          "Form2.Form_Load at line 116", "Form2.Text2_Change at line 100"}},
        {"destination browser fails",
         false,
         "browseForFolder",
         false,
         {},
         click("PushButton2"),
         {"Form2.PushButton2_Click at line 100"}},
        {"file dialog fails",
         false,
         "openFiles",
         false,
         {},
         click("PushButton3"),
         {"Form2.PushButton3_Click at line 112"}},
        {"extension prompt fails",
         false,
         "inputBox",
         false,
         {},
         click("PushButton4"),
         {"Form2.PushButton4_Click at line 100"}},
        {"folder browser fails",
         false,
         "browseForFolder",
         false,
         {"txt"},
         click("PushButton4"),
         {"Form2.PushButton4_Click at line 104"}},
    };
    for (const Case& c : cases) {
#ifdef Q_OS_WIN
        if (c.storeUnusable) continue;  // the registry branch cannot be made unusable here
#endif
        SCOPED_TRACE(c.what);
        SettingsSandbox settings;
        ProgramFolderSandbox folder;
        ScriptedDialogs dialogs;
        StartEnvironment environment = folder.environment();
        if (c.greetingFails)
            environment.greetingDraw = []() -> int { throw Failure(6, "Overflow"); };
        Form1 login(dialogs, environment);
        // The settings file made a folder: the store can be neither read nor written.
        if (c.storeUnusable)
            QDir(settings.folder()).mkpath("Kestrom.ini");
        else
            login.mainWindow();
        dialogs.clear();
        dialogs.inputAnswers = c.inputAnswers;
        dialogs.whileShown = [&c](const ScriptedDialogs::Call& call) {
            if (call.kind == c.failingDialog) throw Failure(5, "Invalid procedure call");
        };
        c.act(login);
        EXPECT_EQ(ReportPlaces(dialogs), c.want);
    }
}

// A skin file that exists but cannot be read fails the skin's step of the start-up, and the load
// goes on with the next step.
TEST(ReportLines, ASkinThatCannotBeReadIsReportedAtItsStep) {
    SettingsSandbox settings;
    ProgramFolderSandbox folder;
    folder.addSkin("QWidget { }");
    const QString skin = folder.path() + "/x/o.cjs";
#ifdef Q_OS_WIN
    // Held open without sharing, the file cannot be opened by anyone else.
    const HANDLE held = CreateFileW(reinterpret_cast<const wchar_t*>(skin.utf16()), GENERIC_READ, 0,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
#else
    // A regular file that nobody may read, the system's administrator included.
    ASSERT_TRUE(QFileInfo("/proc/sys/vm/drop_caches").isFile());
    ASSERT_TRUE(QFile::remove(skin));
    ASSERT_TRUE(QFile::link("/proc/sys/vm/drop_caches", skin));
#endif
    ScriptedDialogs dialogs;
    Form1 login(dialogs, folder.environment());
    login.Form_Load();
#ifdef Q_OS_WIN
    CloseHandle(held);
#endif
    EXPECT_EQ(ReportPlaces(dialogs), QStringList{"Form1.Form_Load at line 100"});
    EXPECT_EQ(login.windowTitle(), "Vantrelle");
    EXPECT_EQ(TextBox(login, "Text1")->text(), "localhost");
}

class ServerReportLines : public DatabaseTest {
protected:
    // The one table with two values, and an empty folder for the files.
    void reset() {
        exec("DROP TABLE IF EXISTS pics");
        exec("CREATE TABLE pics (id INT AUTO_INCREMENT PRIMARY KEY, data LONGBLOB)");
        exec("INSERT INTO pics (data) VALUES ('one'), ('two')");
        QDir(files.path()).removeRecursively();
        QDir().mkpath(files.path());
    }
    SettingsSandbox settings;
    ProgramFolderSandbox folder;
    QTemporaryDir files;
};

// The same for the steps that the server or the files of a transfer make fail.
TEST_F(ServerReportLines, EachFailingStepIsReportedWithItsHandlerAndLine) {
    struct ServerCase {
        const char* what;
        std::function<void(Form1&, Form2&, Dialogs&)> act;
        QStringList want;
    };
    const auto refuse = [](Form1& login) { TextBox(login, "Text3")->setText("wrong"); };
    const auto download = [this](Form2& form) {
        ListBox(form, "List2")->setCurrentRow(Items(ListBox(form, "List2")).indexOf("data"));
        TextBox(form, "Text1")->setText(files.path());
        TextBox(form, "Text3")->setText("bin");
        Button(form, "PushButton1")->click();
    };
    const auto upload = [this](Form2& form) {
        ListBox(form, "List3")->setCurrentRow(Items(ListBox(form, "List3")).indexOf("data"));
        QFile file(files.filePath("up.bin"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("bytes");
        file.close();
        FileList(form, "ListView1")->appendPath(file.fileName());
        Button(form, "PushButton7")->click();
    };
    const ServerCase cases[] = {
        {"table listing cannot connect",
         [&](Form1& l, Form2& f, Dialogs& d) {
             refuse(l);
             AddMySQLToList1(d, *ListBox(f, "List1"), l.profile());
         },
         {"MySQL.AddMySQLToList1 at line 104"}},
        {"field listing cannot connect",
         [&](Form1& l, Form2& f, Dialogs&) {
             refuse(l);
             ClickRow(ListBox(f, "List1"), 0);
         },
         {"Form2.List1_Click at line 104"}},
        {"field listing of a dropped table",
         [&](Form1&, Form2& f, Dialogs&) {
             exec("DROP TABLE pics");
             ClickRow(ListBox(f, "List4"), 0);
         },
         {"Form2.List4_Click at line 108"}},
        {"download cannot connect",
         [&](Form1& l, Form2& f, Dialogs&) {
             refuse(l);
             download(f);
         },
         {"Form2.PushButton1_Click at line 110"}},
        {"download cannot write a file",
         [&](Form1&, Form2& f, Dialogs&) {
             QDir(files.path()).mkdir("1.bin");
             download(f);
         },
         {"Form2.PushButton1_Click at line 114"}},
        {"upload cannot connect",
         [&](Form1& l, Form2& f, Dialogs&) {
             refuse(l);
             upload(f);
         },
         {"Form2.PushButton7_Click at line 108"}},
        {"upload into a dropped table",
         [&](Form1&, Form2& f, Dialogs&) {
             exec("DROP TABLE pics");
             upload(f);
         },
         {"Form2.PushButton7_Click at line 110"}},
    };
    for (const ServerCase& c : cases) {
        SCOPED_TRACE(c.what);
        reset();
        ScriptedDialogs dialogs;
        Form1 login(dialogs, folder.environment());
        Form2& form = PressNext(login, profile());
        ASSERT_EQ(Items(ListBox(form, "List1")), QStringList{"pics"});
        dialogs.clear();
        c.act(login, form, dialogs);
        EXPECT_EQ(ReportPlaces(dialogs), c.want);
    }
}

}  // namespace
