#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;

// While installed on the application, drops user input to every window: clicks, keys, wheel
// turns, shortcuts, drops, touches. Paint, timer and window events pass, so the windows keep
// painting, and so do close requests, so closing a window still ends the program. Input to the
// one window it is given, a box waiting for its answer, passes too, and so does input to the
// popups that the box opens.
//
// A dialog that the box itself opens modally for an answer of its own (a file dialog's "File not
// found." warning, a question) is shown not modal, since a modal window would keep the others from
// hearing their close boxes; until it closes, it is the one window that takes input.
class InputBlocker : public QObject {
    Q_OBJECT

public:
    explicit InputBlocker(const QWidget* allowed = nullptr) : allowed_(allowed) {}
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The window that takes input now: the innermost dialog that the box opened, else the box.
    const QWidget* current() const;
    bool isAllowed(QObject* watched) const;
    void follow(QWidget* widget, const QEvent* event);

    const QWidget* allowed_;
    QList<QPointer<QWidget>> inner_;
};
