#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QRect>
#include <QSize>

class QWidget;
class SkinEngine;

// Window layouts are given in twips; at 15 twips a pixel they become device-independent pixels,
// which Qt scales on high-density screens.
constexpr int Twips(int twips) {
    return (twips * 2 + 15) / 30;
}
constexpr QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(Twips(left), Twips(top), Twips(width), Twips(height));
}

// Arial in the given size; fonts-liberation stands in for it with the same metrics.
QFont ArialFont(double pointSize, bool bold);

// The system's 3-D face colour: the button face of the application's palette.
QColor SystemFaceColour();

// Gives the window and its frames, labels, option buttons and check boxes the 3-D face colour;
// every other control (text boxes, lists, buttons, progress bars) keeps its own colour.
void ApplySystemColors(QWidget& window);

// The custom pointer image of both windows, in the program's folder.
QString PointerFilePath(const QString& programFolder);

// The skin file of the login window, in the program's folder.
QString SkinFilePath(const QString& programFolder);
// When the skin file exists, colours the login window as ApplySystemColors does and has the skin
// engine draw it; when it does not, changes nothing. A skin that cannot be read fails.
void ApplySkin(QWidget& loginWindow, SkinEngine& engine, const QString& programFolder);

// A window of fixed client size with a minimise button but no maximise button.
void MakeFixedWindow(QWidget& window, QSize clientSize);
// Places the window in the middle of the screen it is on.
void CenterOnScreen(QWidget& window);

// The program's icon, drawn here: a database drum with an arrow in and out.
QIcon AppIcon();

// Lets the event loop process everything pending, as long operations do at fixed points.
void DoEvents();
