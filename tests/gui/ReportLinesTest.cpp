#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "app/Form1.h"
#include "gui/GuiSupport.h"
#include "mainwindow/Form2.h"
#include "support/ScriptedDialogs.h"
#include "support/TestServer.h"

namespace {

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
    const QString prefix = "in Tarnwick2021/08/31.";
    const auto click = [](QPushButton* Form2::*button) {
        return [button](Form1& login) { (login.mainWindow().*button)->click(); };
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
         [](Form1& l) { l.PushButton4->click(); },
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
         [](Form1& l) { l.mainWindow().Text2->setText("img"); },
         {"Form2.Form_Load at line 112", "Form2.Form_Load at line 114",
          "Form2.Form_Load at line 116", "Form2.Text2_Change at line 100"}},
        {"destination browser fails",
         false,
         "browseForFolder",
         false,
         {},
         click(&Form2::PushButton2),
         {"Form2.PushButton2_Click at line 100"}},
        {"file dialog fails",
         false,
         "openFiles",
         false,
         {},
         click(&Form2::PushButton3),
         {"Form2.PushButton3_Click at line 112"}},
        {"extension prompt fails",
         false,
         "inputBox",
         false,
         {},
         click(&Form2::PushButton4),
         {"Form2.PushButton4_Click at line 100"}},
        {"folder browser fails",
         false,
         "browseForFolder",
         false,
         {"txt"},
         click(&Form2::PushButton4),
         {"Form2.PushButton4_Click at line 104"}},
    };
    for (const Case& c : cases) {
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
        QStringList got;
        for (const QString& report : dialogs.reports()) {
            const qsizetype from = report.indexOf(prefix) + prefix.size();
            got << report.mid(from, report.indexOf("\r\r") - from);
        }
        EXPECT_EQ(got, c.want) << got.join(" | ").toStdString();
    }
}

}  // namespace
