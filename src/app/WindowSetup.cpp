#include "app/WindowSetup.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QScreen>
#include <QWidget>

#include "app/AppIconShapes.h"
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

QIcon AppIcon() {
    static const QIcon icon = [] {
        QIcon i;
        for (int size : {16, 24, 32, 48, 64}) i.addPixmap(QPixmap::fromImage(RenderAppIcon(size)));
        return i;
    }();
    return icon;
}

void DoEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
