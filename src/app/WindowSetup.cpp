#include "app/WindowSetup.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QRadioButton>
#include <QScreen>
#include <QWidget>

#include "app/PathUtils.h"
#include "app/Platform.h"
#include "app/SkinEngine.h"

QFont ArialFont(double pointSize, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

QColor SystemFaceColour() {
    return QApplication::palette().color(QPalette::Button);
}

namespace {
void setBackground(QWidget& widget, const QColor& colour) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, colour);
    widget.setPalette(palette);
    // The window paints the colour; its frames and labels show it through, so that they blend
    // with the panel a frame's style draws.
    if (widget.isWindow()) widget.setAutoFillBackground(true);
}

bool takesFaceColour(const QWidget* control) {
    return qobject_cast<const QGroupBox*>(control) || qobject_cast<const QLabel*>(control) ||
           qobject_cast<const QRadioButton*>(control) || qobject_cast<const QCheckBox*>(control);
}
}  // namespace

void ApplySystemColors(QWidget& window) {
    const QColor face = SystemFaceColour();
    setBackground(window, face);
    for (QWidget* control : window.findChildren<QWidget*>())
        if (takesFaceColour(control)) setBackground(*control, face);
}

QString PointerFilePath(const QString& programFolder) {
    return programFolder + platform::Separator() + QStringLiteral("HAND-M.CUR");
}

QString SkinFilePath(const QString& programFolder) {
    return programFolder + platform::Separator() + QStringLiteral("x") + platform::Separator() +
           QStringLiteral("o.cjs");
}

void ApplySkin(QWidget& loginWindow, SkinEngine& engine, const QString& programFolder) {
    const QString path = SkinFilePath(programFolder);
    if (!FileExists(path)) return;
    ApplySystemColors(loginWindow);
    engine.loadSkin(path);
    engine.setApplyOptions(engine.applyOptions() | SkinEngine::kThisWindowOnly);
    engine.setEnabled(true);
    engine.setRepaintAtOnce(true);
    engine.applyWindow(loginWindow);
}

void MakeFixedWindow(QWidget& window, QSize clientSize) {
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    window.setFixedSize(clientSize);
}

void CenterOnScreen(QWidget& window) {
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

namespace {
QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    const QColor body(40, 90, 170);
    const QColor top(110, 160, 230);
    p.setPen(QPen(QColor(20, 40, 90), 1.2));
    QPainterPath drum;
    drum.moveTo(4, 9);
    drum.lineTo(4, 25);
    drum.arcTo(QRectF(4, 21, 20, 8), 180, 180);
    drum.lineTo(24, 9);
    drum.closeSubpath();
    p.setBrush(body);
    p.drawPath(drum);
    p.setBrush(top);
    p.drawEllipse(QRectF(4, 5, 20, 8));
    // The arrow: files go into the drum and come out again.
    p.setPen(QPen(QColor(30, 30, 30), 1.0));
    p.setBrush(QColor(250, 190, 40));
    const QPointF arrow[] = {{20, 14}, {26, 14}, {26, 10}, {31, 17}, {26, 24}, {26, 20}, {20, 20}};
    p.drawPolygon(arrow, 7);
    return pixmap;
}
}  // namespace

QIcon AppIcon() {
    static const QIcon icon = [] {
        QIcon i;
        for (int size : {16, 24, 32, 48, 64}) i.addPixmap(drawIcon(size));
        return i;
    }();
    return icon;
}

void DoEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
