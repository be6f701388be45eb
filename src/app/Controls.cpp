#include "app/Controls.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/WindowSetup.h"

namespace {
template <class Control>
Control* placed(Control* control, QRect geometry, double pointSize) {
    control->setGeometry(geometry);
    control->setFont(ArialFont(pointSize, true));
    return control;
}
}  // namespace

QGroupBox* MakeFrame(QWidget* parent, const QString& caption, QRect geometry) {
    return placed(new QGroupBox(caption, parent), geometry, 9);
}

QLabel* MakeLabel(QWidget* parent, const QString& caption, QRect geometry) {
    QLabel* label = placed(new QLabel(caption, parent), geometry, 9);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLineEdit* MakeTextBox(QWidget* parent, QRect geometry) {
    return placed(new QLineEdit(parent), geometry, 9);
}

QListWidget* MakeListBox(QWidget* parent, QRect geometry) {
    QListWidget* list = placed(new QListWidget(parent), geometry, 9);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

QPushButton* MakePushButton(QWidget* parent, const QString& caption, QRect geometry) {
    QPushButton* button = placed(new QPushButton(caption, parent), geometry, 11.25);
    button->setAutoDefault(false);
    return button;
}
