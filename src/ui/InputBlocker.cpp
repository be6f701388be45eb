#include "ui/InputBlocker.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

bool InputBlocker::isAllowed(QObject* watched) const {
    if (!allowed_) return false;
    // A popup takes all input while it is up: the lists of a box's combo boxes, its completions,
    // its context menus. Only the box can have opened one, since every other window takes no
    // input, and one that took none in turn would hold the box for ever.
    if (watched->isWidgetType()) {
        const QWidget* window = static_cast<QWidget*>(watched)->window();
        return window == allowed_ || window->windowType() == Qt::Popup;
    }
    const auto* window = static_cast<QWindow*>(watched);
    return window == allowed_->windowHandle() || window->type() == Qt::Popup;
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType() && !watched->isWindowType()) return false;
    if (isAllowed(watched)) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
    }
}
