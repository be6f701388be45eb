#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "core/Settings.h"
#include "gui/GuiSupport.h"
#include "gui/MainWindowTest.h"
#include "gui/RealBoxes.h"
#include "support/Files.h"
#include "support/ScriptedDialogs.h"
#include "support/StallingRelay.h"
#include "support/TestServer.h"
#include "ui/Dialogs.h"
#include "ui/login/Form1.h"
#include "ui/main/Form2.h"
#include "ui/main/UploadList.h"

namespace {

using Clock = StallingRelay::Clock;
using namespace std::chrono_literals;

// Releases the relay after a while from a thread of its own, so that a window that could not act
// on its close while it waited still comes back, late, and the test fails instead of hanging.
class Watchdog {
public:
    Watchdog(StallingRelay& relay, std::chrono::seconds after)
        : thread_([this, &relay, after] {
              std::unique_lock lock(mutex_);
              if (!done_.wait_for(lock, after, [this] { return cancelled_; })) relay.release();
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            cancelled_ = true;
        }
        done_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool cancelled_ = false;
    std::thread thread_;
};

class WaitingWindowOnDisplay : public MainWindowTest {
protected:
    void TearDown() override {
        SetProgramEnding({});
        DatabaseTest::TearDown();
    }
    ConnectionProfile through(const StallingRelay& relay) const {
        ConnectionProfile p = profile();
        p.server = QStringLiteral("127.0.0.1");
        p.port = QString::number(relay.port());
        return p;
    }
    void chooseDownload() {
        choose(ListBox(*form, "List1"), ListBox(*form, "List2"), "pics", "data");
        TextBox(*form, "Text1")->setText(files.path());
        TextBox(*form, "Text3")->setText("bin");
    }
    void chooseUpload() {
        choose(ListBox(*form, "List4"), ListBox(*form, "List3"), "pics", "data");
    }
};

TEST_F(WaitingWindowOnDisplay, ClosingEndsTheProgramAtOnceWhateverTheWindowWaitsFor) {
    exec("INSERT INTO pics (data) SELECT REPEAT('v', 1048576) FROM seq_1_to_12");
    // Random bytes, which the upload's compression cannot shrink below the relay's limit.
    QByteArray noise(8 << 20, '\0');
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(noise.data()),
                                          noise.size() / 4);
    const QString big = writeFile("big.bin", noise);
    std::unique_ptr<Form1> restarted;
    struct Case {
        const char* action;
        qint64 fromServer, fromClient;                    // where the relay stops passing bytes on
        WindowPointer::Shape pointer;                     // the window's pointer while it waits
        std::function<QWidget*(StallingRelay&)> prepare;  // gives the window to close
        std::function<void()> act;
    };
    const Case cases[] = {
        // Nothing is on screen at first; the login window shows after a second of waiting.
        {"the probe at start-up", 1, -1, WindowPointer::Shape::Hourglass,
         [&](StallingRelay& r) {
             StoreProfile(through(r));
             restarted = std::make_unique<Form1>(dialogs, folder.environment());
             return restarted.get();
         },
         [&] { restarted->start(); }},
        {"Test Connection", 1, -1, WindowPointer::Shape::Hourglass,
         [&](StallingRelay& r) {
             TypeProfile(*login, through(r));
             return login.get();
         },
         [&] { login->PushButton5_Click(); }},
        {"Next >", 1, -1, WindowPointer::Shape::Default,
         [&](StallingRelay& r) {
             TypeProfile(*login, through(r));
             return login.get();
         },
         [&] { login->PushButton3_Click(); }},
        {"a field listing", 1, -1, WindowPointer::Shape::Hourglass,
         [&](StallingRelay& r) {
             TypeProfile(*login, through(r));
             return form;
         },
         [&] { form->List1_Click(); }},
        {"the upload's sends", -1, 2 << 20, WindowPointer::Shape::Hourglass,
         [&](StallingRelay& r) {
             TypeProfile(*login, through(r));
             FileList(*form, "ListView1")->appendPath(big);
             chooseUpload();
             return form;
         },
         [&] { form->PushButton7_Click(); }},
        {"the download", 3 << 20, -1, WindowPointer::Shape::Hourglass,
         [&](StallingRelay& r) {
             TypeProfile(*login, through(r));
             chooseDownload();
             return form;
         },
         [&] { form->PushButton1_Click(); }},
    };
    const std::optional<TestServer> server = TestServer::fromEnvironment();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        StallingRelay relay(server->host, server->port.toUShort(), c.fromServer, c.fromClient);
        QWidget* window = c.prepare(relay);
        // A window closed by an earlier case is on screen again, as the user would see it.
        if (window != restarted.get()) window->show();
        std::optional<Clock::time_point> endedAt, closedAt;
        SetProgramEnding([&] {
            endedAt = Clock::now();
            relay.release();
        });
        std::optional<WindowPointer::Shape> pointer;
        WhenReady(
            window, [&] { return relay.stalled() && window->isVisible(); },
            [&] {
                pointer = window == form ? form->pointer().shape()
                                         : static_cast<Form1*>(window)->pointer().shape();
                closedAt = Clock::now();
                window->close();
            });
        {
            const Watchdog watchdog(relay, 4s);
            c.act();
        }
        SetProgramEnding({});
        EXPECT_TRUE(endedAt && closedAt && *endedAt - *closedAt < 1s);
        EXPECT_EQ(pointer, c.pointer);
    }
    // The upload cut short left no row.
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM pics"), "12");
}

TEST_F(WaitingWindowOnDisplay, ClosingMidDownloadEndsTheProgramEveryTimeAndLeavesOnlyWholeFiles) {
    exec("INSERT INTO pics (data) SELECT REPEAT(CHAR(64 + seq), 1048576) FROM seq_1_to_40");
    chooseDownload();
    for (int round = 0; round < 8; ++round) {
        QDir(files.path()).removeRecursively();
        QDir().mkpath(files.path());
        form->show();
        std::optional<Clock::time_point> closedAt, endedAt;
        SetProgramEnding([&] { endedAt = Clock::now(); });
        QTimer::singleShot(QRandomGenerator::global()->bounded(40), form, [&] {
            closedAt = Clock::now();
            form->close();
        });
        form->PushButton1_Click();
        SetProgramEnding({});
        ASSERT_TRUE(closedAt && endedAt) << round;
        EXPECT_LT(*endedAt - *closedAt, 1s) << round;
        // The first rows' files, each whole, and nothing else.
        const QStringList present = FilesIn(files.path());
        QStringList first;
        for (int n = 1; n <= present.size(); ++n) first << QStringLiteral("%1.bin").arg(n);
        first.sort();
        EXPECT_EQ(present, first) << round;
        for (const QString& name : present)
            EXPECT_EQ(QFileInfo(files.filePath(name)).size(), 1048576) << round;
    }
    // No stopped download leaves the server sending the rest of its rows.
    const QString others = QStringLiteral(
                               "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE DB = "
                               "'%1' AND ID <> CONNECTION_ID()")
                               .arg(database_);
    for (int tries = 0; tries < 100 && scalar(others) != "0"; ++tries) QThread::msleep(20);
    EXPECT_EQ(scalar(others), "0");
}

TEST_F(WaitingWindowOnDisplay, AfterARunTheNextKeyPressChangesNoBox) {
    exec("INSERT INTO pics (data) VALUES ('a')");
    form->show();
    QApplication::setActiveWindow(form);
    const QString file = writeFile("one.bin", "1");
    dialogs.inputAnswers = {"bin"};
    dialogs.folderAnswers = {files.path()};
    chooseDownload();
    TextBox(*form, "Text3")->setText("jpg");
    chooseUpload();
    FileList(*form, "ListView1")->appendPath(file);
    for (QPushButton* start : {Button(*form, "PushButton1"), Button(*form, "PushButton7"),
                               Button(*form, "PushButton4")}) {
        start->setFocus();
        start->click();
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : form;
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, QStringLiteral("z"));
        QCoreApplication::sendEvent(target, &key);
        EXPECT_EQ(TextBox(*form, "Text3")->text(), "jpg") << start->text().toStdString();
        EXPECT_EQ(TextBox(*form, "Text2")->text(), "") << start->text().toStdString();
    }
}

// The program's real message and input boxes, each answered with Return once the window system
// has made it the active window, as a user answers them; the file and folder dialogs are scripted.
class ReturnAnswers final : public Dialogs {
public:
    explicit ReturnAnswers(ScriptedDialogs& scripted) : scripted_(scripted) {}
    void message(const QString& text, Icon icon, const QString& title) override {
        answerWhenActive();
        real_.message(text, icon, title);
    }
    void errorReport(const QString& text) override {
        answerWhenActive();
        real_.errorReport(text);
    }
    QString inputBox(const QString& prompt, const QString& title, const QString& def) override {
        answerWhenActive();
        return real_.inputBox(prompt, title, def);
    }
    QStringList openFiles(QWidget* owner, const QString& title, const QStringList& f) override {
        return scripted_.openFiles(owner, title, f);
    }
    QString browseForFolder(QWidget* owner, const QString& prompt, const QString& s) override {
        return scripted_.browseForFolder(owner, prompt, s);
    }
    void openInBrowser(const QString& address) override { scripted_.openInBrowser(address); }

    QStringList answered;    // the boxes' texts, in the order answered
    int neverActivated = 0;  // boxes that could not be made active within five seconds

private:
    // A box that the window manager did not make active (it may keep the focus where the user
    // last was) is clicked on, as a user would, after a while.
    void answerWhenActive() {
        auto* timer = new QTimer(qApp);
        auto* waited = new QElapsedTimer;
        waited->start();
        timer->setInterval(10);
        QObject::connect(timer, &QTimer::timeout, timer, [=, this] {
            QDialog* box = qobject_cast<QDialog*>(QApplication::activeWindow());
            if (!box) {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) box = d;
                if (!box) return;
                if (waited->elapsed() > 1500 && !box->property("clicked").isValid()) {
                    box->setProperty("clicked", true);
                    box->activateWindow();
                }
                if (waited->elapsed() < 5000) return;
                ++neverActivated;
            }
            timer->stop();
            timer->deleteLater();
            delete waited;
            QStringList texts;
            for (QLabel* label : box->findChildren<QLabel*>())
                if (!label->text().isEmpty()) texts << label->text();
            answered << texts.join(u'|');
            QWidget* to = box->focusWidget() ? box->focusWidget() : box;
            QKeyEvent down(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
            QCoreApplication::sendEvent(to, &down);
        });
        timer->start();
    }

    ScriptedDialogs& scripted_;
    QtDialogs real_;
};

class FocusOnDisplay : public MainWindowTest {
protected:
    FocusOnDisplay() { windowDialogs = &answers; }
    // Lets the window system finish activating the main window again after the last box.
    void settle() {
        QElapsedTimer waited;
        waited.start();
        while (!form->isActiveWindow() && waited.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QElapsedTimer more;
        more.start();
        while (more.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    ReturnAnswers answers{dialogs};
};

// After a run whose boxes were answered with Return, the window system activates the main window
// again; the focus is then where the run started, and the next key changes no box and no setting.
TEST_F(FocusOnDisplay, AfterARunAnsweredWithReturnTheFocusIsBackAndAKeyChangesNothing) {
    exec("INSERT INTO pics (data) VALUES ('a')");
    QTemporaryDir tree;
    QFile(tree.filePath("x.jpg")).open(QIODevice::WriteOnly);
    form->showWindow();
    settle();
    choose(ListBox(*form, "List1"), ListBox(*form, "List2"), "pics", "data");
    TextBox(*form, "Text1")->setText(files.path());
    TextBox(*form, "Text3")->setText("jpg");
    choose(ListBox(*form, "List4"), ListBox(*form, "List3"), "pics", "data");
    FileList(*form, "ListView1")->appendPath(writeFile("one.bin", "1"));
    FileList(*form, "ListView1")->appendPath(writeFile("two.bin", "22"));
    dialogs.folderAnswers = {tree.path()};
    const struct {
        const char* button;
        QStringList boxes;
    } runs[] = {
        {"PushButton7", {"File Stored", "File Stored", "Done."}},
        {"PushButton4",
         {"Enter file extension to load:\n\n(* for all files, txt for all txt files, doc for all "
          "doc "
          "files, etc.)"}},
        {"PushButton1", {"Done."}},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.button);
        answers.answered.clear();
        QPushButton* start = Button(*form, run.button);
        start->setFocus();
        start->click();
        settle();
        EXPECT_EQ(answers.answered, run.boxes);
        // The window's focus, where its keys go whenever it is the active window.
        EXPECT_EQ(form->focusWidget(), start);
        QWidget* target = form->focusWidget() ? form->focusWidget() : form;
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, QStringLiteral("q"));
        QCoreApplication::sendEvent(target, &key);
        EXPECT_EQ(TextBox(*form, "Text3")->text(), "jpg");
        EXPECT_EQ(Settings::read("Extension"), "jpg");
        EXPECT_EQ(Settings::read("Prefix"), "");
        EXPECT_EQ(Settings::read("Destination"), files.path());
    }
    EXPECT_EQ(answers.neverActivated, 0);
}

// The login window beside the program's real boxes.
class BoxesOnDisplay : public RealBoxes {};

TEST_F(BoxesOnDisplay, WhileABoxWaitsTheOtherWindowsTakeNoInputButClosingOneEndsTheProgram) {
    Dialogs& dialogs = real;
    struct Case {
        const char* box;
        std::function<QString()> show;
        QString want;
    };
    const Case cases[] = {
        {"message",
         [&] {
             dialogs.message("Done.");
             return QString();
         },
         ""},
        {"input box", [&] { return dialogs.inputBox("Extension?", "", "jpg"); }, "z"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box);
        EndWatch end;
        bool modal = true;
        bool popupTakesKeys = false;
        QTimer::singleShot(0, &login, [&] {
            modal = QGuiApplication::modalWindow() != nullptr;
            QDialog* box = Shown<QDialog>();
            ASSERT_NE(box, nullptr);
            // A key for the login window is dropped, one for the box's text is taken.
            for (QWidget* target : {static_cast<QWidget*>(TextBox(login, "Text2")),
                                    static_cast<QWidget*>(box->findChild<QLineEdit*>())})
                if (target) Press(target, Qt::Key_Z, "z");
            // A popup that the box opens, a menu or a list of completions, takes input too.
            QMenu popup(box);
            QAction* first = popup.addAction("first");
            popup.addAction("second");
            popup.popup(box->mapToGlobal(QPoint(0, 0)));
            Press(&popup, Qt::Key_Down);
            popupTakesKeys = popup.activeAction() == first;
            popup.close();
            login.close();
            box->accept();
        });
        EXPECT_EQ(c.show(), c.want);
        EXPECT_FALSE(modal);
        EXPECT_TRUE(popupTakesKeys);
        EXPECT_EQ(TextBox(login, "Text2")->text(), "");
        EXPECT_EQ(end.ends, 1);
        login.show();
    }
}

// A dialog that a box opens modally for an answer of its own, as Qt's file dialog does for "File
// not found.", waits without being modal: it alone takes input, the box takes none meanwhile, and
// closing a window still ends the program.
TEST_F(BoxesOnDisplay, ADialogThatABoxOpensWaitsAloneAndClosingAWindowStillEndsTheProgram) {
    EndWatch end;
    bool modal = true;
    bool warningTookKey = false;
    QTimer::singleShot(0, &login, [&] {
        QDialog* box = Shown<QDialog>();
        ASSERT_NE(box, nullptr);
        QTimer::singleShot(0, &login, [&, box] {
            modal = QGuiApplication::modalWindow() != nullptr;
            QMessageBox* warning = Shown<QMessageBox>();
            ASSERT_NE(warning, nullptr);
            Press(box->findChild<QLineEdit*>(), Qt::Key_Z, "z");
            login.close();
            Press(warning, Qt::Key_Escape);
            warningTookKey = !warning->isVisible();
            if (!warningTookKey) warning->reject();
        });
        QMessageBox::warning(box, "Files", "File not found.");
        box->accept();
    });
    EXPECT_EQ(real.inputBox("Extension?", "", "jpg"), "jpg");
    EXPECT_FALSE(modal);
    EXPECT_TRUE(warningTookKey);
    EXPECT_EQ(end.ends, 1);
}

}  // namespace
