#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "core/Failure.h"
#include "db/ConnectionString.h"
#include "ui/ProgramWindow.h"
#include "ui/SkinEngine.h"

class ChangeHandlers;
class Dialogs;
class Form2;
class HoverRules;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// A whole number from 1 to 100, drawn from a generator seeded by the system timer.
int DrawGreetingNumber();

// What the windows take from their surroundings: the program's folder (where the pointer image and
// the skin are looked for), the maker's home page and the draw of the start-up greeting.
struct StartEnvironment {
    QString programFolder;
    QString homePage;
    std::function<int()> greetingDraw;

    static StartEnvironment ofThisProgram();
};

// The login window: the five values of the connection profile, remembered between runs, with
// "Test Connection", "Help" and "Next >". It is the start window and stays loaded for the whole
// run, hidden while the main window is in use, because every connection reads its boxes.
//
// Its controls, each with its name as its objectName (tests find them by it):
//   Frame1         "MySQL Login", around all but "Next >"
//   Label2, Text1  "Server:", the server (MyServer)
//   Label9, Text5  "Port:", the port (MyPort)
//   Label1, Text2  "Username:", the user name (MyUser)
//   Label4, Text3  "Password:", the password (MyPassword), shown as "*"
//   Label3, Text4  "Database:", the database (MyDatabase)
//   PushButton5    "Test Connection"
//   PushButton4    "Help"
//   PushButton3    "Next >"
class Form1 : public ProgramWindow {
    Q_OBJECT

public:
    Form1(Dialogs& dialogs, StartEnvironment environment, QWidget* parent = nullptr);
    ~Form1() override;

    // Loads the window and shows it, unless the load went on to the main window by itself.
    void start();

    void Form_Load();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();

    // The profile as the boxes hold it now.
    ConnectionProfile profile() const;
    const StartEnvironment& environment() const { return environment_; }
    // The main window, loaded (its load handler run) on first use.
    Form2& mainWindow();
    // The main window if it is loaded, else null.
    Form2* loadedMainWindow() const { return form2_.get(); }
    // True once "Next >" has handed over to the main window and hidden this one.
    bool handedOver() const { return handedOver_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    bool profileIsComplete() const;
    // CanConnectToMySQL with the profile as the boxes hold it now, waited for off this thread.
    bool probe() const;
    // The same, telling why the connection did not open.
    std::optional<Failure> probeFailure() const;

    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label9 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLineEdit* Text5 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton5 = nullptr;
    SkinEngine SkinFramework1;

    Dialogs& dialogs_;
    StartEnvironment environment_;
    HoverRules* hover_ = nullptr;
    ChangeHandlers* changes_ = nullptr;
    bool handedOver_ = false;
    std::unique_ptr<Form2> form2_;
};
