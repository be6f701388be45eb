#include "ui/main/UploadList.h"

#include <QCursor>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include "core/PathUtils.h"
#include "core/Steps.h"
#include "core/platform/Paths.h"
#include "files/AddFolderTree.h"
#include "ui/Dialogs.h"
#include "ui/WindowPointer.h"
#include "ui/WindowSetup.h"

namespace {

// The column is 4000 twips wide at 15 twips per pixel.
constexpr int kColumnWidth = 266;
// Screen heights between which a carried row never scrolls the list.
constexpr int kScrollUpBelow = 305;
constexpr int kScrollDownFrom = 365;

const QString kToolTip = QStringLiteral(
    "Drag and drop files here. Double-click item to remove it. Move | line to right and out of "
    "window to reveal full names.");

// The desktop's file drop: a list of URLs that all name local files or folders.
bool IsLocalFileList(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return false;
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty()) return false;
    for (const QUrl& url : urls)
        if (!url.isLocalFile() || url.toLocalFile().isEmpty()) return false;
    return true;
}

// The list only reads the dropped paths, so it takes them as a copy (or a link). Accepting a move
// would let the file manager delete the originals once the drop is done.
bool AcceptAsCopy(QDropEvent* event) {
    if (!IsLocalFileList(event->mimeData())) return false;
    const Qt::DropActions offered = event->possibleActions();
    if (offered & Qt::CopyAction) {
        event->setDropAction(Qt::CopyAction);
    } else if (offered & Qt::LinkAction) {
        event->setDropAction(Qt::LinkAction);
    } else {
        return false;
    }
    event->accept();
    return true;
}

}  // namespace

UploadList::UploadList(QWidget* parent)
    : QTreeWidget(parent), screenY_([] { return QCursor::pos().y(); }) {
    setColumnCount(1);
    setHeaderLabels({QStringLiteral("Images")});
    setColumnWidth(0, kColumnWidth);
    header()->setStretchLastSection(false);
    setToolTip(kToolTip);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Carrying a row reorders the list and never drags the row out of it.
    setDragEnabled(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
}

UploadList::~UploadList() = default;

void UploadList::appendPath(const QString& path) {
    auto* item = new QTreeWidgetItem(QStringList{path});
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    addTopLevelItem(item);
}

QStringList UploadList::paths() const {
    QStringList texts;
    texts.reserve(topLevelItemCount());
    for (int i = 0; i < topLevelItemCount(); ++i) texts << topLevelItem(i)->text(0);
    return texts;
}

int UploadList::count() const {
    return topLevelItemCount();
}

void UploadList::setDialogs(Dialogs* dialogs) {
    dialogs_ = dialogs;
}

void UploadList::setScreenYSource(std::function<int()> source) {
    screenY_ = std::move(source);
}

Dialogs& UploadList::dialogs() {
    if (dialogs_ != nullptr) return *dialogs_;
    if (!ownDialogs_) ownDialogs_ = std::make_unique<QtDialogs>();
    return *ownDialogs_;
}

void UploadList::mousePressEvent(QMouseEvent* event) {
    Dragging = true;
    QTreeWidget::mousePressEvent(event);
    if (itemAt(event->position().toPoint()) != nullptr) rowClicked();
}

void UploadList::rowClicked() {
    // Read at every click, so a replaced image shows without a restart; a missing or unreadable
    // file leaves the pointer as it is.
    if (const auto pointer =
            LoadPointerFile(ProgramFolder() + platform::Separator() + QStringLiteral("drag.ico")))
        setCursor(*pointer);
    const QList<QTreeWidgetItem*> selected = selectedItems();
    DragItem = selected.isEmpty() ? currentItem() : selected.first();
}

void UploadList::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMovedOver();
    if (!Dragging) {
        QTreeWidget::mouseMoveEvent(event);
        return;
    }
    QTreeWidgetItem* under = itemAt(event->position().toPoint());
    if (under == nullptr || DragItem == nullptr) return;
    // Rows holding the same path are never swapped, so carrying a path over its twin changes
    // nothing.
    if (under->text(0) == DragItem->text(0)) return;
    carryTo(under);
}

// The carried path changes places with the row reached, directly: rows that one pointer step
// jumped over keep their places.
void UploadList::carryTo(QTreeWidgetItem* target) {
    const QString carried = DragItem->text(0);
    DragItem->setText(0, target->text(0));
    target->setText(0, carried);
    // While a row is carried the list scrolls only by its edge rule, not to the new current row.
    const bool scrollsToCurrent = hasAutoScroll();
    setAutoScroll(false);
    setCurrentItem(target);
    setAutoScroll(scrollsToCurrent);
    DragItem = target;
    scrollNearEdge(target);
}

void UploadList::scrollNearEdge(QTreeWidgetItem* target) {
    const int y = screenY_();
    const int index = indexOfTopLevelItem(target) + 1;  // 1-based
    if (y < kScrollUpBelow && index >= 2) {
        scrollToItem(topLevelItem(index - 2));
    } else if (y >= kScrollDownFrom && index + 1 <= topLevelItemCount()) {
        scrollToItem(topLevelItem(index));
    }
}

void UploadList::mouseReleaseEvent(QMouseEvent* event) {
    Dragging = false;
    setCursor(Qt::ArrowCursor);
    QTreeWidget::mouseReleaseEvent(event);
}

void UploadList::mouseDoubleClickEvent(QMouseEvent* event) {
    Dragging = true;  // the second press of the double click
    QTreeWidgetItem* under = itemAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || under == nullptr) {
        QTreeWidget::mouseDoubleClickEvent(event);
        return;
    }
    if (DragItem == under) DragItem = nullptr;
    delete under;
    event->accept();
}

void UploadList::dragEnterEvent(QDragEnterEvent* event) {
    if (!AcceptAsCopy(event)) event->ignore();
}

void UploadList::dragMoveEvent(QDragMoveEvent* event) {
    if (!AcceptAsCopy(event)) event->ignore();
}

void UploadList::dropEvent(QDropEvent* event) {
    if (!AcceptAsCopy(event)) {
        event->ignore();
        return;
    }
    QStringList dropped;
    for (const QUrl& url : event->mimeData()->urls())
        dropped << QDir::toNativeSeparators(url.toLocalFile());
    // The file manager waits for the drop to finish; a large folder tree is added afterwards, so
    // it is not held up by the scan.
    QMetaObject::invokeMethod(
        this, [this, dropped] { addDroppedPaths(dropped); }, Qt::QueuedConnection);
}

void UploadList::setBusyHandler(std::function<void(bool busy)> setBusy) {
    setBusy_ = std::move(setBusy);
}

void UploadList::setFileSystem(ScanFileSystem* fileSystem) {
    fileSystem_ = fileSystem ? fileSystem : &ScanFileSystem::real();
}

void UploadList::addDroppedPaths(const QStringList& dropped) {
    Steps steps(dialogs(),
                Location::of(QStringLiteral("Form2"), QStringLiteral("ListView1_OLEDragDrop")));
    const auto append = [this](const QString& path) { appendPath(path); };
    const auto busy = [this](bool on) {
        if (setBusy_) setBusy_(on);
    };
    for (const QString& path : dropped) {
        bool isFolder = false;
        steps.run(100, [&] { isFolder = FolderExists(path); });
        if (isFolder) {
            // The walk lets the event loop turn, so the window is busy meanwhile: no upload can
            // start on the rows listed so far.
            busy(true);
            AddFolderTree(path, QStringLiteral("*.*"), steps, FolderTreeLines::all(102), DoEvents,
                          append, *fileSystem_);
            busy(false);
        } else {
            steps.run(104, [&] { appendPath(path); });
        }
    }
}
