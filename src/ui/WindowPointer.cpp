#include "ui/WindowPointer.h"

#include <QEvent>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <QtEndian>

namespace {
// The hot spot of the first picture of a cursor file: its directory entry keeps it where an icon
// keeps planes and bit count (bytes 10 to 13 of the file).
std::optional<QPoint> cursorHotSpot(const QByteArray& bytes) {
    constexpr int kCursorType = 2;
    if (bytes.size() < 22) return std::nullopt;
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    if (qFromLittleEndian<quint16>(data + 2) != kCursorType) return std::nullopt;
    return QPoint(qFromLittleEndian<quint16>(data + 10), qFromLittleEndian<quint16>(data + 12));
}
}  // namespace

std::optional<QCursor> LoadPointerFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.readAll();
    QImage image;
    // Qt's icon reader takes cursor files too; it is told which one it reads.
    const std::optional<QPoint> cursorHot = cursorHotSpot(bytes);
    if (!image.loadFromData(bytes, cursorHot ? "cur" : "ico") || image.isNull())
        return std::nullopt;
    const QPoint hot = cursorHot.value_or(QPoint(image.width() / 2, image.height() / 2));
    return QCursor(QPixmap::fromImage(image), hot.x(), hot.y());
}

bool WindowPointer::loadCustomImage(const QString& path) {
    custom_ = LoadPointerFile(path);
    if (shape_ == Shape::Custom) set(Shape::Custom);
    return custom_.has_value();
}

void WindowPointer::set(Shape shape) {
    shape_ = shape;
    QCursor cursor;
    switch (shape) {
        case Shape::Default:
            window_.unsetCursor();
            uncoverControls();
            return;
        case Shape::Custom:
            cursor = custom_ ? *custom_ : QCursor(Qt::ArrowCursor);
            break;
        case Shape::Hourglass:
            cursor = QCursor(Qt::WaitCursor);
            break;
    }
    window_.setCursor(cursor);
    coverControls(cursor);
}

void WindowPointer::coverControls(const QCursor& cursor) {
    // A control with a pointer of its own (a text box's text cursor) would hide the window's
    // pointer just where the user looks, so it takes the window's pointer while that is not the
    // default.
    for (QWidget* control : window_.findChildren<QWidget*>()) {
        if (control->isWindow()) continue;
        if (!covered_.contains(control)) {
            if (!control->testAttribute(Qt::WA_SetCursor)) continue;
            covered_.insert(control, {control, control->cursor()});
        }
        control->setCursor(cursor);
    }
}

void WindowPointer::uncoverControls() {
    for (const Covered& c : std::as_const(covered_))
        if (c.control) c.control->setCursor(c.own);
    covered_.clear();
}

void WindowPointer::hoverButton() {
    if (shape_ != Shape::Hourglass && shape_ != Shape::Custom) set(Shape::Custom);
}

void WindowPointer::hoverBackground() {
    if (shape_ != Shape::Hourglass && shape_ != Shape::Default) set(Shape::Default);
}

void HoverRules::add(QWidget* control, Rule rule) {
    // Qt hands a move that a control leaves alone on to the control's parent; here every control
    // keeps its moves, as each answers only for itself.
    control->setAttribute(Qt::WA_NoMousePropagation);
    rules_.insert(control, rule);
    watch(control);
    for (QWidget* inner : control->findChildren<QWidget*>()) watch(inner);
}

void HoverRules::addWindow(QWidget* window) {
    rules_.insert(window, Rule::Background);
    watch(window);
}

void HoverRules::watch(QWidget* widget) {
    widget->setMouseTracking(true);
    widget->removeEventFilter(this);
    widget->installEventFilter(this);
}

HoverRules::Rule HoverRules::ruleFor(const QObject* watched) const {
    // The part of a control that was moved over (a list's viewport, say) follows the nearest
    // control that has a rule of its own.
    for (const QObject* o = watched; o; o = o->parent()) {
        const auto found = rules_.constFind(o);
        if (found != rules_.constEnd()) return *found;
    }
    return Rule::None;
}

bool HoverRules::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        switch (ruleFor(watched)) {
            case Rule::Button:
                pointer_.hoverButton();
                break;
            case Rule::Background:
                pointer_.hoverBackground();
                break;
            case Rule::None:
                break;
        }
    }
    return QObject::eventFilter(watched, event);
}
