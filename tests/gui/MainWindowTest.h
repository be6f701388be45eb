#pragma once

#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <memory>

#include "gui/GuiSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/TestServer.h"
#include "ui/login/Form1.h"
#include "ui/main/Form2.h"

// The main window on a fresh test database holding the table "pics" (an id, the binary column
// "data" and the text column "note"), opened by "Next >", with a folder for the test's files.
class MainWindowTest : public DatabaseTest {
protected:
    void SetUp() override {
        DatabaseTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        exec("CREATE TABLE pics (id INT AUTO_INCREMENT PRIMARY KEY, data LONGBLOB, note TEXT)");
        login = std::make_unique<Form1>(*windowDialogs, folder.environment());
        form = &PressNext(*login, profile());
        dialogs.clear();
    }
    void choose(QListWidget* tables, QListWidget* fields, const QString& table,
                const QString& field) {
        tables->setCurrentRow(Items(tables).indexOf(table));
        fields->setCurrentRow(Items(fields).indexOf(field));
    }
    QString writeFile(const QString& name, const QByteArray& bytes) {
        QFile file(files.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    SettingsSandbox settings;
    ProgramFolderSandbox folder;
    ScriptedDialogs dialogs;
    // The dialogs the windows use: the scripted ones unless a test sets others before SetUp.
    Dialogs* windowDialogs = &dialogs;
    QTemporaryDir files;
    std::unique_ptr<Form1> login;
    Form2* form = nullptr;
};
