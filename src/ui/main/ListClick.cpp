#include "ui/main/ListClick.h"

#include <QEvent>
#include <QListWidget>

ListClick::ListClick(QListWidget& list, std::function<void()> click)
    : QObject(&list), click_(std::move(click)) {
    connect(&list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0) return;
        // A press clears this before it can move the selection, so only the press's own move
        // is left marked when its click comes.
        movedByPress_ = true;
        click_();
    });
    // The view tells of a click once the button is released over the row it was pressed on; a
    // click that did not move the selection fires here.
    connect(&list, &QAbstractItemView::clicked, this, [this] {
        const bool moved = movedByPress_;
        movedByPress_ = false;
        if (!moved) click_();
    });
    list.viewport()->installEventFilter(this);
}

bool ListClick::eventFilter(QObject* watched, QEvent* event) {
    // Seen before the view handles the press, so the selection change it causes is known to be
    // this press's.
    if (event->type() == QEvent::MouseButtonPress) movedByPress_ = false;
    return QObject::eventFilter(watched, event);
}
