#pragma once

#include <QStringList>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "files/ScanFileSystem.h"

class Dialogs;
class QTreeWidgetItem;

// The list of files that an upload stores, one full path per row, first row first. Rows can be
// reordered by carrying one with the mouse, files and folders can be dropped on it from the
// desktop's file manager, and double-clicking a row removes it; nothing else removes rows.
//
// Dropped paths are added on the next turn of the event loop, once the file manager has seen the
// drop finish. Failures while they are added are shown as error reports through the dialog seam;
// until setDialogs() names one, the list uses real dialogs of its own.
class UploadList : public QTreeWidget {
    Q_OBJECT
public:
    explicit UploadList(QWidget* parent = nullptr);
    ~UploadList() override;

    // A new last row whose text is the path, nothing else set.
    void appendPath(const QString& path);
    // The rows' texts in display order.
    QStringList paths() const;
    int count() const;

    // Where failures inside a drop are reported; the list does not own it. Null restores the list's
    // own real dialogs.
    void setDialogs(Dialogs* dialogs);
    // Gives the pointer's vertical screen position in pixels, which decides the edge scrolling
    // while a row is carried. By default the real pointer position.
    void setScreenYSource(std::function<int()> source);

    // Adds dropped paths in order: folders with their whole tree, anything else as it is. A folder
    // is added as "Add All Files In Folder" adds one: the window is busy meanwhile.
    void addDroppedPaths(const QStringList& paths);
    // What makes the window busy (true) and idle again (false) around a dropped folder's walk.
    void setBusyHandler(std::function<void(bool busy)> setBusy);
    // The file system that a dropped folder's walk reads; by default the real one.
    void setFileSystem(ScanFileSystem* fileSystem);

    // The reorder state: true from a button press over the list until its release.
    bool isDragging() const { return Dragging; }
    // The row that currently carries the path being moved, or null.
    QTreeWidgetItem* dragItem() const { return DragItem; }

signals:
    // Every pointer move over the list, button held or not.
    void mouseMovedOver();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void rowClicked();
    void carryTo(QTreeWidgetItem* target);
    void scrollNearEdge(QTreeWidgetItem* target);
    Dialogs& dialogs();

    // The reorder state: a button is held over the list; the row carrying the moved path, kept
    // after the release until the next row click, a swap or the row's removal.
    bool Dragging = false;
    QTreeWidgetItem* DragItem = nullptr;
    std::function<int()> screenY_;
    std::function<void(bool busy)> setBusy_;
    ScanFileSystem* fileSystem_ = &ScanFileSystem::real();
    Dialogs* dialogs_ = nullptr;
    std::unique_ptr<Dialogs> ownDialogs_;
};
