#pragma once

#include <QCursor>
#include <QHash>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <optional>

class QWidget;

// Reads a Windows cursor (.cur) or icon (.ico) file as a pointer, with the hot spot that a cursor
// file names; an icon's hot spot is its centre. Gives nothing when the file is missing or cannot
// be read.
std::optional<QCursor> LoadPointerFile(const QString& path);

// A window's mouse pointer: the default arrow, the window's custom image, or the hourglass that
// long operations show. While it is not the default it shows over the whole window and all its
// controls, text boxes included; back at the default, each control shows its own pointer again.
class WindowPointer {
public:
    enum class Shape { Default, Custom, Hourglass };

    explicit WindowPointer(QWidget& window) : window_(window) {}

    // Takes the custom image from a cursor file; a missing or unreadable file leaves the window
    // without one, and the custom pointer is then the ordinary arrow. Tells whether it loaded.
    bool loadCustomImage(const QString& path);
    bool hasCustomImage() const { return custom_.has_value(); }

    Shape shape() const { return shape_; }
    void set(Shape shape);
    void setDefault() { set(Shape::Default); }
    void setHourglass() { set(Shape::Hourglass); }

    // The hover rules: over a push button the custom pointer, over the background the default,
    // and neither replaces a showing hourglass.
    void hoverButton();
    void hoverBackground();

private:
    // Puts the cursor over every control that brings a pointer of their own, remembering theirs.
    void coverControls(const QCursor& cursor);
    // Gives the covered controls their own pointers back.
    void uncoverControls();

    struct Covered {
        QPointer<QWidget> control;
        QCursor own;
    };
    QWidget& window_;
    QHash<const QWidget*, Covered> covered_;
    std::optional<QCursor> custom_;
    Shape shape_ = Shape::Default;
};

// Applies the hover rules of a window's controls. A control reacts only to moves over itself (a
// move over a label inside a frame is not a move over the frame), and a control with no rule
// leaves the pointer as it is.
class HoverRules : public QObject {
    Q_OBJECT

public:
    enum class Rule { Button, Background, None };

    explicit HoverRules(WindowPointer& pointer, QObject* parent = nullptr)
        : QObject(parent), pointer_(pointer) {}

    // Gives the control (with everything inside it, such as a list's viewport) its rule.
    void add(QWidget* control, Rule rule);
    // The window itself: moves over its background.
    void addWindow(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watch(QWidget* widget);
    Rule ruleFor(const QObject* watched) const;
    WindowPointer& pointer_;
    QHash<const QObject*, Rule> rules_;
};
