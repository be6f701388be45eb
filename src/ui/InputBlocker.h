#pragma once

#include <QObject>

class QWidget;

// While installed on the application, drops user input to every window: clicks, keys, wheel
// turns, shortcuts, drops, touches. Paint, timer and window events pass, so the windows keep
// painting, and so do close requests, so closing a window still ends the program. Input to the
// one window it is given, a box waiting for its answer, passes too, and so does input to the
// popups that the box opens.
class InputBlocker : public QObject {
public:
    explicit InputBlocker(const QWidget* allowed = nullptr) : allowed_(allowed) {}
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isAllowed(QObject* watched) const;
    const QWidget* allowed_;
};
