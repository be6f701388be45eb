#include "ui/ProgramWindow.h"

#include <QCloseEvent>

#include "core/PathUtils.h"
#include "core/Steps.h"
#include "ui/Controls.h"
#include "ui/ProgramEnd.h"
#include "ui/WindowSetup.h"

ProgramWindow::ProgramWindow(QWidget* parent) : QWidget(parent), pointer_(*this) {}

void ProgramWindow::showWindow() {
    if (!shownBefore_) {
        CenterOnScreen(*this);
        shownBefore_ = true;
    }
    show();
    raise();
    activateWindow();
}

void ProgramWindow::loadPointerImage(Steps& steps, int existsLine, int loadLine,
                                     const QString& programFolder) {
    const QString file = PointerFilePath(programFolder);
    bool exists = false;
    steps.run(existsLine, [&] { exists = PathExists(file); });
    steps.run(loadLine, [&] {
        if (exists) pointer_.loadCustomImage(file);
    });
}

void ProgramWindow::setTabOrder(std::initializer_list<QWidget*> order) {
    QWidget* previous = nullptr;
    for (QWidget* w : order) {
        if (previous) QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

bool ProgramWindow::event(QEvent* event) {
    if (event->type() == QEvent::Show || event->type() == QEvent::ScreenChangeInternal)
        PlaceOnDevicePixels(*this);
    return QWidget::event(event);
}

void ProgramWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    EndProgram();
}
