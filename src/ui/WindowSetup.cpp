#include "ui/WindowSetup.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QScreen>
#include <QWidget>
#include <cstdlib>

#if defined(VANTRELLE_HAVE_XCB)
#include <xcb/xcb.h>
#include <QGuiApplication>
#endif

#include "core/PathUtils.h"
#include "core/platform/Paths.h"
#include "ui/AppIconShapes.h"
#include "ui/SkinEngine.h"

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

namespace {
// Qt offers every X11 window's frame for resizing in the Motif hints that window managers read;
// a window of fixed size replaces them with hints that offer moving, minimising and closing only.
void OfferNoResizing(QWidget& window) {
#if defined(VANTRELLE_HAVE_XCB)
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return;
    static const char kName[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof kName - 1, kName), nullptr);
    if (!atom) return;
    enum : uint32_t { kFunctions = 1, kDecorations = 2 };
    enum : uint32_t { kMove = 4, kMinimise = 8, kClose = 32 };
    enum : uint32_t { kBorder = 2, kTitle = 8, kMenu = 16, kMinimiseBox = 32 };
    const uint32_t hints[5] = {kFunctions | kDecorations, kMove | kMinimise | kClose,
                               kBorder | kTitle | kMenu | kMinimiseBox, 0, 0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE,
                        static_cast<xcb_window_t>(window.winId()), atom->atom, atom->atom, 32, 5,
                        hints);
    std::free(atom);
    xcb_flush(connection);
#else
    (void)window;
#endif
}
}  // namespace

void MakeFixedWindow(QWidget& window, QSize clientSize) {
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    window.setFixedSize(clientSize);
    OfferNoResizing(window);
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
