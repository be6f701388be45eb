#include "ui/InputBlocker.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {
// Whether the window is the given one or was opened from it (a dialog of the box's own).
bool OpenedFrom(const QWidget* window, const QWidget* owner) {
    for (const QWidget* w = window; w; w = w->parentWidget())
        if (w == owner) return true;
    return false;
}

bool OpenedFrom(const QWindow* window, const QWindow* owner) {
    for (const QWindow* w = window; w; w = w->transientParent())
        if (w == owner) return true;
    return false;
}
}  // namespace

const QWidget* InputBlocker::current() const {
    for (auto it = inner_.rbegin(); it != inner_.rend(); ++it)
        if (*it && (*it)->isVisible()) return *it;
    return allowed_;
}

void InputBlocker::follow(QWidget* widget, const QEvent* event) {
    if (event->type() == QEvent::Show && widget->isWindow() &&
        widget->windowModality() != Qt::NonModal && OpenedFrom(widget, current())) {
        // Seen before it reaches the screen, so the window system never learns of its modality.
        widget->setWindowModality(Qt::NonModal);
        inner_.append(widget);
    } else if (event->type() == QEvent::Hide && inner_.contains(widget)) {
        inner_.removeAll(widget);
    }
}

bool InputBlocker::isAllowed(QObject* watched) const {
    const QWidget* box = current();
    if (!box) return false;
    // A popup takes all input while it is up: the lists of a box's combo boxes, its completions,
    // its context menus. Only the box can have opened one: every other window takes no input,
    // and the popups open when the box appeared were closed then (RunBox).
    if (watched->isWidgetType()) {
        const QWidget* window = static_cast<QWidget*>(watched)->window();
        return OpenedFrom(window, box) || window->windowType() == Qt::Popup;
    }
    const auto* window = static_cast<QWindow*>(watched);
    return OpenedFrom(window, box->windowHandle()) || window->type() == Qt::Popup;
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType() && !watched->isWindowType()) return false;
    if (allowed_ && watched->isWidgetType()) follow(static_cast<QWidget*>(watched), event);
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
