#pragma once

#include <QObject>
#include <functional>

class QListWidget;

// A list box's click: it fires when the selected row changes, by the user (mouse or keys) or by
// the program, and also when the user clicks the row that is already selected. One click of the
// mouse fires it once, whether or not it moved the selection.
class ListClick : public QObject {
    Q_OBJECT

public:
    ListClick(QListWidget& list, std::function<void()> click);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> click_;
    // Whether the selection moved since the last mouse press.
    bool movedByPress_ = false;
};
