#include "ui/Controls.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegion>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QStylePainter>
#include <QVariant>
#include <cmath>
#include <functional>

#include "ui/WindowSetup.h"

namespace {
// A push button that the pointer does not light up: hovering changes the pointer only, never a
// colour, whatever the widget style or a skin would draw for a button under the pointer.
class PushButton final : public QPushButton {
    Q_OBJECT

public:
    using QPushButton::QPushButton;

protected:
    // Return and Enter press the focused button, as on Windows; QPushButton itself takes them only
    // for a default button.
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
            return QPushButton::keyPressEvent(event);
        if (!event->isAutoRepeat()) click();
    }

    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.state &= ~QStyle::State_MouseOver;
        painter.drawControl(QStyle::CE_PushButton, option);
    }
};

// A frame whose inside shows the frame's own background colour. The style's group-box panel is
// tinted, which turns a white window's frame and the labels in it light grey; a skinned window
// keeps what its style sheet draws.
class Frame final : public QGroupBox {
    Q_OBJECT

public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent* event) override {
        if (!window()->styleSheet().isEmpty()) return QGroupBox::paintEvent(event);
        QStylePainter painter(this);
        QStyleOptionGroupBox option;
        initStyleOption(&option);
        const QRect frame =
            style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, this);
        // Where the style puts the caption across the frame's top line, as Windows' does, the line
        // stops short of it.
        const QRect caption =
            style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, this);
        option.subControls &= ~QStyle::SC_GroupBoxFrame;
        painter.drawComplexControl(QStyle::CC_GroupBox, option);
        if (caption.top() < frame.top() && caption.bottom() > frame.top())
            painter.setClipRegion(QRegion(rect()).subtracted(caption.adjusted(-2, 0, 2, 0)));
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(frame.adjusted(0, 0, -1, -1));
    }
};

constexpr char kDesignGeometry[] = "designGeometry";

// A step of whole logical pixels that is a whole number of screen pixels too: 2 at 150%, 4 at 125%
// and 175%, 1 at whole scales.
int WholePixelStep(qreal ratio) {
    int step = 1;
    while (step < 8 && std::abs(ratio * step - std::round(ratio * step)) > 0.01) ++step;
    return step;
}

// The application's style, with a list's frame one pixel wider where the scale puts the list's
// lines between screen pixels: its view, which starts inside the frame, would otherwise cover the
// lines along the right and bottom edges.
class ListStyle final : public QProxyStyle {
    Q_OBJECT

public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        const int value = QProxyStyle::pixelMetric(metric, option, widget);
        if (metric == PM_DefaultFrameWidth && qobject_cast<const QAbstractScrollArea*>(widget) &&
            WholePixelStep(widget->devicePixelRatioF()) > 1)
            return value + 1;
        return value;
    }
};

template <class Control>
Control* placed(Control* control, const char* name, QRect geometry, double pointSize) {
    control->setObjectName(QLatin1String(name));
    Place(control, geometry);
    control->setFont(ArialFont(pointSize, true));
    return control;
}
}  // namespace

void Place(QWidget* control, QRect geometry) {
    control->setProperty(kDesignGeometry, geometry);
    control->setGeometry(geometry);
}

void KeepListEdges(QAbstractScrollArea* list) {
    static ListStyle* const style = new ListStyle;
    list->setStyle(style);
}

void PlaceOnDevicePixels(QWidget& window) {
    const int step = WholePixelStep(window.devicePixelRatioF());
    const auto snap = [step](int logical) {
        return static_cast<int>(std::lround(static_cast<double>(logical) / step)) * step;
    };
    // Each control's design place, taken from its parent's design place, snapped in the window's
    // coordinates; its geometry is then what is left of that relative to its snapped parent.
    const std::function<void(QWidget*, QPoint, QPoint)> placeChildren = [&](QWidget* parent,
                                                                            QPoint designOrigin,
                                                                            QPoint snappedOrigin) {
        for (QObject* child : parent->children()) {
            auto* w = qobject_cast<QWidget*>(child);
            if (!w || w->isWindow()) continue;
            const QVariant design = w->property(kDesignGeometry);
            if (!design.isValid()) continue;
            const QRect d = design.toRect().translated(designOrigin);
            const QPoint topLeft(snap(d.left()), snap(d.top()));
            const QPoint bottomRight(snap(d.left() + d.width()), snap(d.top() + d.height()));
            w->setGeometry(QRect(topLeft - snappedOrigin, QSize(bottomRight.x() - topLeft.x(),
                                                                bottomRight.y() - topLeft.y())));
            placeChildren(w, d.topLeft(), topLeft);
        }
    };
    placeChildren(&window, QPoint(), QPoint());
    // The lists' frames follow the scale.
    for (QAbstractScrollArea* list : window.findChildren<QAbstractScrollArea*>()) {
        if (qobject_cast<ListStyle*>(list->style())) {
            QEvent changed(QEvent::StyleChange);
            QCoreApplication::sendEvent(list, &changed);
        }
    }
}

QGroupBox* MakeFrame(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    return placed(new Frame(caption, parent), name, geometry, 9);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    QLabel* label = placed(new QLabel(caption, parent), name, geometry, 9);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLineEdit* MakeTextBox(QWidget* parent, const char* name, QRect geometry) {
    return placed(new QLineEdit(parent), name, geometry, 9);
}

QListWidget* MakeListBox(QWidget* parent, const char* name, QRect geometry) {
    QListWidget* list = placed(new QListWidget(parent), name, geometry, 9);
    KeepListEdges(list);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

QPushButton* MakePushButton(QWidget* parent, const char* name, const QString& caption,
                            QRect geometry) {
    QPushButton* button = placed(new PushButton(caption, parent), name, geometry, 11.25);
    button->setAutoDefault(false);
    return button;
}

#include "Controls.moc"
