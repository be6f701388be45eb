#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QUrl>

#include "core/PathUtils.h"
#include "core/platform/Paths.h"
#include "support/Files.h"
#include "support/ScriptedDialogs.h"
#include "ui/main/UploadList.h"

namespace {

QMimeData* UrlList(const QList<QUrl>& urls) {
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

QMimeData* FileList(const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    return UrlList(urls);
}

// Drives the list with the events the toolkit delivers to its viewport.
class UploadListTest : public ::testing::Test {
protected:
    void SetUp() override {
        list.setDialogs(&dialogs);
        list.setScreenYSource([this] { return screenY; });
        list.resize(300, 400);
        list.show();
    }

    void fill(const QStringList& texts) {
        for (const QString& t : texts) list.appendPath(t);
        QApplication::processEvents();
    }

    void mouse(QEvent::Type type, int row, Qt::MouseButton button, Qt::MouseButtons held) {
        const QPoint at = list.visualItemRect(list.topLevelItem(row - 1)).center();
        QMouseEvent event(type, at, list.viewport()->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(list.viewport(), &event);
    }
    void press(int row) { mouse(QEvent::MouseButtonPress, row, Qt::LeftButton, Qt::LeftButton); }
    void moveHeld(int row) { mouse(QEvent::MouseMove, row, Qt::NoButton, Qt::LeftButton); }
    void moveFree(int row) { mouse(QEvent::MouseMove, row, Qt::NoButton, Qt::NoButton); }
    void release(int row) { mouse(QEvent::MouseButtonRelease, row, Qt::LeftButton, Qt::NoButton); }

    // Returns whether the drag's entry was accepted; an accepted drag is dropped as offered.
    bool drag(QMimeData* offered, Qt::DropActions actions = Qt::CopyAction,
              Qt::DropAction* action = nullptr) {
        std::unique_ptr<QMimeData> data(offered);
        QDragEnterEvent enter(QPoint(5, 5), actions, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list.viewport(), &enter);
        QDragMoveEvent move(QPoint(6, 6), actions, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list.viewport(), &move);
        if (action != nullptr) *action = move.dropAction();
        if (enter.isAccepted() != move.isAccepted()) ADD_FAILURE() << "entry and move disagree";
        if (!enter.isAccepted()) return false;
        QDropEvent drop(QPointF(6, 6), actions, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list.viewport(), &drop);
        EXPECT_TRUE(drop.isAccepted());
        QApplication::processEvents();
        return true;
    }

    ScriptedDialogs dialogs;
    UploadList list;
    int screenY = 330;
};

TEST_F(UploadListTest, HasOneHeadedColumnTheHintAndKeepsDuplicates) {
    EXPECT_EQ(list.columnCount(), 1);
    EXPECT_EQ(list.headerItem()->text(0), "Images");
    EXPECT_EQ(list.columnWidth(0), 266);
    EXPECT_EQ(list.toolTip(),
              "Drag and drop files here. Double-click item to remove it. Move | line to right and "
              "out of window to reveal full names.");
    fill({"/x/a", "/x/a"});
    EXPECT_EQ(list.paths(), (QStringList{"/x/a", "/x/a"}));
    EXPECT_EQ(list.count(), 2);
}

TEST_F(UploadListTest, TheCarriedPathSwapsDirectlyWithTheRowReachedAndFollows) {
    fill({"1", "2", "3", "4", "5", "6"});
    struct Step {
        int moveTo;
        QStringList want;
    };
    const Step steps[] = {
        {4, {"4", "2", "3", "1", "5", "6"}},  // rows 2 and 3, jumped over, keep their places
        {2, {"4", "1", "3", "2", "5", "6"}},
        {2, {"4", "1", "3", "2", "5", "6"}},
        {6, {"4", "6", "3", "2", "5", "1"}},
    };
    press(1);
    for (const Step& s : steps) {
        moveHeld(s.moveTo);
        EXPECT_EQ(list.paths(), s.want) << "after moving to row " << s.moveTo;
        EXPECT_EQ(list.dragItem(), list.topLevelItem(s.moveTo - 1));
        EXPECT_EQ(list.currentItem(), list.topLevelItem(s.moveTo - 1));
    }
    release(6);
    EXPECT_FALSE(list.isDragging());
    EXPECT_EQ(list.dragItem(), list.topLevelItem(5)) << "the release keeps the carrying row";
}

TEST_F(UploadListTest, RowsWithIdenticalTextsAreNeverSwapped) {
    fill({"/same", "/other", "/same"});
    press(1);
    moveHeld(3);
    EXPECT_EQ(list.paths(), (QStringList{"/same", "/other", "/same"}));
    EXPECT_EQ(list.dragItem(), list.topLevelItem(0));
    moveHeld(2);
    moveHeld(3);
    EXPECT_EQ(list.paths(), (QStringList{"/other", "/same", "/same"}));
}

TEST_F(UploadListTest, MovingWithoutAHeldButtonOnlySignalsTheMove) {
    fill({"1", "2", "3"});
    int moved = 0;
    QObject::connect(&list, &UploadList::mouseMovedOver, [&moved] { ++moved; });
    moveFree(3);
    press(1);
    release(1);
    moveFree(3);
    EXPECT_EQ(list.paths(), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(moved, 2);
}

TEST_F(UploadListTest, OnlyASwapScrollsAndOnlyNearTheScreenEdges) {
    QStringList rows;
    for (int i = 1; i <= 40; ++i) rows << QStringLiteral("/r/%1").arg(i);
    fill(rows);
    list.resize(300, 120);
    QApplication::processEvents();
    // Row 10 is reached from a visible neighbour. At the top of the view, showing row 9 scrolls
    // up; at the bottom, showing row 11 scrolls down.
    struct Case {
        int screenY;
        bool atTop;
        bool twin;      // the reached row holds the carried text
        int direction;  // -1 up, 0 none, +1 down
    };
    const Case cases[] = {
        {304, true, false, -1},  {305, true, false, 0},  {364, true, false, 0},
        {365, true, false, 0},   {304, false, false, 0}, {364, false, false, 0},
        {365, false, false, +1}, {304, true, true, 0},   {365, false, true, 0},
    };
    int round = 0;
    for (const Case& c : cases) {
        const int from = c.atTop ? 11 : 9;
        list.topLevelItem(9)->setText(0, c.twin ? list.topLevelItem(from - 1)->text(0)
                                                : QStringLiteral("/target/%1").arg(++round));
        list.scrollToItem(list.topLevelItem(9), c.atTop ? QAbstractItemView::PositionAtTop
                                                        : QAbstractItemView::PositionAtBottom);
        QApplication::processEvents();
        const int before = list.verticalScrollBar()->value();
        screenY = c.screenY;
        press(from);
        moveHeld(10);
        release(10);
        const int after = list.verticalScrollBar()->value();
        EXPECT_EQ(after < before   ? -1
                  : after > before ? 1
                                   : 0,
                  c.direction)
            << "y " << c.screenY << (c.atTop ? " top" : " bottom") << (c.twin ? " twin" : "");
    }
}

TEST_F(UploadListTest, DoubleClickRemovesThatRowOnly) {
    fill({"1", "2", "3"});
    press(2);
    release(2);
    mouse(QEvent::MouseButtonDblClick, 2, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(list.paths(), (QStringList{"1", "3"}));
    EXPECT_EQ(list.dragItem(), nullptr) << "the removed row no longer carries anything";
    release(2);
    press(1);
    moveHeld(2);
    EXPECT_EQ(list.paths(), (QStringList{"3", "1"}));
}

TEST_F(UploadListTest, ARowClickTakesThePointerFromTheIconBesideTheProgram) {
    fill({"1", "2"});
    const QString icon = ProgramFolder() + platform::Separator() + "drag.ico";
    const QString aside = icon + ".aside";
    const bool hadIcon = QFile::exists(icon);
    if (hadIcon) {
        ASSERT_TRUE(QFile::rename(icon, aside));
    }

    list.setCursor(Qt::CrossCursor);
    press(1);
    EXPECT_EQ(list.cursor().shape(), Qt::CrossCursor) << "a missing file changes nothing";
    release(1);
    EXPECT_EQ(list.cursor().shape(), Qt::ArrowCursor);

    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(icon, "ICO"));
    press(2);
    EXPECT_EQ(list.cursor().shape(), Qt::BitmapCursor) << "read again at this click";
    release(2);
    EXPECT_EQ(list.cursor().shape(), Qt::ArrowCursor);

    QFile::remove(icon);
    if (hadIcon) QFile::rename(aside, icon);
}

// ---- Drops --------------------------------------------------------------------------------------

// The list only reads dropped paths, so it never takes them as a move: a file manager deletes the
// originals of a move once the drop is done.
TEST_F(UploadListTest, OnlyLocalFileListsAreAcceptedAndNeverAsAMove) {
    auto* text = new QMimeData;
    text->setText("/tmp/a");
    EXPECT_FALSE(drag(text));
    EXPECT_FALSE(drag(UrlList({QUrl("https://example.org/a.png")})));
    EXPECT_FALSE(drag(UrlList({QUrl::fromLocalFile("/tmp/a"), QUrl("https://example.org/b")})));
    EXPECT_FALSE(drag(FileList({"/tmp/a"}), Qt::MoveAction));
    EXPECT_TRUE(list.paths().isEmpty());

    Qt::DropAction action = Qt::IgnoreAction;
    EXPECT_TRUE(drag(FileList({"/tmp/a", "/tmp/b"}), Qt::CopyAction | Qt::MoveAction, &action));
    EXPECT_EQ(action, Qt::CopyAction);
    EXPECT_TRUE(drag(FileList({"/tmp/a"}), Qt::LinkAction | Qt::MoveAction, &action));
    EXPECT_EQ(action, Qt::LinkAction);
    EXPECT_EQ(list.paths(), (QStringList{Native("/tmp/a"), Native("/tmp/b"), Native("/tmp/a")}));
}

class DroppedTree : public UploadListTest {
protected:
    QString make(const QString& relative) { return Native(MakeEmptyFile(root.path(), relative)); }

    QTemporaryDir root;
};

TEST_F(DroppedTree, TwoFoldersListEachTreeOnceInOrder) {
    const QString a1 = make("A/a1.bin"), a2 = make("A/deeper/a2"), b1 = make("B/b1.txt");
    EXPECT_TRUE(drag(FileList({root.filePath("A"), root.filePath("B")})));
    EXPECT_EQ(list.paths(), (QStringList{a1, a2, b1}));
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(DroppedTree, InsideFoldersLockAndDotFilesAreSkippedButDroppedFilesAreListedAsDropped) {
    const QString kept = make("A/report.doc");
    make("A/~$report.doc");
    make("A/.hidden");
    const QString lock = make("B/~lock.doc");
    EXPECT_TRUE(drag(FileList({root.filePath("A"), lock, lock})));
    EXPECT_TRUE(drag(FileList({lock})));
    EXPECT_EQ(list.paths(), (QStringList{kept, lock, lock, lock}));
}

}  // namespace
