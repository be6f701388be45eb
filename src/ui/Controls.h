#pragma once

#include <QRect>
#include <QString>

class QAbstractScrollArea;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

// The controls both windows are made of, at a fixed geometry, each under its name in the window
// ("Text1", "PushButton7"). Frames, labels, boxes and lists use Arial 9 pt bold; push buttons
// Arial 11.25 pt bold.
QGroupBox* MakeFrame(QWidget* parent, const char* name, const QString& caption, QRect geometry);
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, QRect geometry);
QLineEdit* MakeTextBox(QWidget* parent, const char* name, QRect geometry);
QListWidget* MakeListBox(QWidget* parent, const char* name, QRect geometry);
// Places a control at its design geometry, in the window's pixels at 100%; PlaceOnDevicePixels
// keeps it on whole pixels of the screen at any scale.
void Place(QWidget* control, QRect geometry);
// Moves the window's controls by at most a pixel or two from their design geometry, so that each
// one's edges fall on whole pixels of the screen at the window's scale (125%, 150%, ...). A control
// that starts between two pixels loses the lines it draws along its left and top edges, since the
// part of the screen it may paint starts at the next whole pixel.
void PlaceOnDevicePixels(QWidget& window);
// Keeps the list's right and bottom edges in sight at such scales.
void KeepListEdges(QAbstractScrollArea* list);

// Buttons never become the default button, so Return in a text box presses nothing; Return or
// Enter on a button that has the focus presses it, as Space does. They look the same with or
// without the pointer over them.
QPushButton* MakePushButton(QWidget* parent, const char* name, const QString& caption,
                            QRect geometry);
