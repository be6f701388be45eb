#pragma once

#include <QWidget>
#include <initializer_list>

#include "ui/WindowPointer.h"

class Steps;

// What the program's two windows share: their pointer, showing them (centred the first time they
// appear), the custom pointer image from the program's folder, their tab order, and the close box,
// which ends the program with every window.
class ProgramWindow : public QWidget {
    Q_OBJECT

public:
    // Shows the window, centred the first time it appears, in front of the program's other window.
    void showWindow();
    WindowPointer& pointer() { return pointer_; }

protected:
    explicit ProgramWindow(QWidget* parent = nullptr);

    // The load's two steps for the custom pointer: whether the file "HAND-M.CUR" is in the
    // program's folder, and taking the image from it when it is.
    void loadPointerImage(Steps& steps, int existsLine, int loadLine, const QString& programFolder);
    // The tab order, along the controls as given.
    static void setTabOrder(std::initializer_list<QWidget*> order);

    // Form_Unload: closing either window ends the program, the other window with it.
    void closeEvent(QCloseEvent* event) override;
    // Keeps the controls on whole pixels of the screen the window shows on.
    bool event(QEvent* event) override;

private:
    WindowPointer pointer_;
    bool shownBefore_ = false;
};
