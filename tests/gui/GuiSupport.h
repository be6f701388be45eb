#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <functional>
#include <stdexcept>

#include "core/Settings.h"
#include "ui/ProgramEnd.h"
#include "ui/login/Form1.h"
#include "ui/main/UploadList.h"

// A control of a window, found by the name the window gives it ("Text1", "PushButton7"), as the
// tests reach every control. A name the window does not have fails the test.
template <class T>
T* Control(const QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        throw std::logic_error(std::string("no control ") + name + " in " +
                               window.objectName().toStdString());
    return found;
}
inline QLineEdit* TextBox(const QWidget& w, const char* name) {
    return Control<QLineEdit>(w, name);
}
inline QListWidget* ListBox(const QWidget& w, const char* name) {
    return Control<QListWidget>(w, name);
}
inline QPushButton* Button(const QWidget& w, const char* name) {
    return Control<QPushButton>(w, name);
}
inline QLabel* LabelOf(const QWidget& w, const char* name) {
    return Control<QLabel>(w, name);
}
inline QGroupBox* FrameOf(const QWidget& w, const char* name) {
    return Control<QGroupBox>(w, name);
}
inline UploadList* FileList(const QWidget& w, const char* name) {
    return Control<UploadList>(w, name);
}
inline QProgressBar* ProgressBarOf(const QWidget& w, const char* name) {
    return Control<QProgressBar>(w, name);
}

// A mouse move with no button held, delivered to the widget as the platform would deliver it:
// through the application, so Qt's own rules of which widget hears it apply.
inline void MoveOver(QWidget* widget) {
    const QPoint local = widget->rect().center();
    QMouseEvent move(QEvent::MouseMove, QPointF(local), QPointF(widget->mapToGlobal(local)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

// The pointer image and icon the build places beside the program, found from the test program's
// own folder.
inline QString BuiltResource(const QString& name) {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../") + name;
}

// A program folder of the test's own, empty unless the test puts files in it.
class ProgramFolderSandbox {
public:
    QString path() const { return dir_.path(); }
    void addPointerImage() const {
        QFile::copy(BuiltResource(QStringLiteral("HAND-M.CUR")), dir_.filePath("HAND-M.CUR"));
    }
    void addSkin(const QByteArray& sheet) const {
        QDir(dir_.path()).mkpath(QStringLiteral("x"));
        QFile file(dir_.filePath(QStringLiteral("x/o.cjs")));
        if (file.open(QIODevice::WriteOnly)) file.write(sheet);
    }
    StartEnvironment environment(int greeting = 50, const QString& homePage = QString()) const {
        return {path(), homePage, [greeting] { return greeting; }};
    }

private:
    QTemporaryDir dir_;
};

// Runs `act` from the event loop of `owner`'s thread as soon as `ready` holds, looking every few
// milliseconds.
inline void WhenReady(QObject* owner, std::function<bool()> ready, std::function<void()> act) {
    auto* timer = new QTimer(owner);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        if (!ready()) return;
        timer->stop();
        timer->deleteLater();
        act();
    });
    timer->start();
}

// Records the program's end instead of ending the test process.
class EndWatch {
public:
    EndWatch() {
        SetProgramEnding([this] { ++ends; });
    }
    ~EndWatch() { SetProgramEnding({}); }
    int ends = 0;
};

// Types a profile into the login window's five boxes.
inline void TypeProfile(Form1& form, const ConnectionProfile& p) {
    TextBox(form, "Text1")->setText(p.server);
    TextBox(form, "Text2")->setText(p.user);
    TextBox(form, "Text3")->setText(p.password);
    TextBox(form, "Text4")->setText(p.database);
    TextBox(form, "Text5")->setText(p.port);
}

// Types the profile and presses "Next >"; gives the main window it opened.
inline Form2& PressNext(Form1& login, const ConnectionProfile& p) {
    TypeProfile(login, p);
    login.PushButton3_Click();
    return login.mainWindow();
}

// Stores a profile as the login window's edits would.
inline void StoreProfile(const ConnectionProfile& p) {
    Settings::write(QStringLiteral("MyServer"), p.server);
    Settings::write(QStringLiteral("MyUser"), p.user);
    Settings::write(QStringLiteral("MyPassword"), p.password);
    Settings::write(QStringLiteral("MyDatabase"), p.database);
    Settings::write(QStringLiteral("MyPort"), p.port);
}

// The texts of a list box, first item first.
inline QStringList Items(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
    return texts;
}

// Whether the window stands in the middle of its screen, give or take the few pixels of a frame
// that the window system adds once the window shows.
inline bool IsCentred(const QWidget& window) {
    const QPoint offset =
        window.frameGeometry().center() - window.screen()->availableGeometry().center();
    return std::abs(offset.x()) <= 3 && std::abs(offset.y()) <= 3;
}

// A click of the left button on a list box's row, as the user gives it.
inline void ClickRow(QListWidget* list, int row) {
    const QPoint at = list->visualItemRect(list->item(row)).center();
    const QPoint global = list->viewport()->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(global), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), QPointF(global), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &release);
}
