#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QListWidget>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <cmath>

#include "gui/GuiSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/TestServer.h"
#include "ui/login/Form1.h"
#include "ui/main/Form2.h"

namespace {

// Whether a line darker than the pixels on both sides of it runs along most of the given column
// (or row) between the two ends, within two pixels of where it is expected.
bool LineAlong(const QImage& image, bool vertical, int at, int from, int to) {
    const auto grey = [&](int along, int across) {
        const QPoint p = vertical ? QPoint(across, along) : QPoint(along, across);
        return image.rect().contains(p) ? qGray(image.pixel(p)) : 255;
    };
    for (int across = at - 2; across <= at + 2; ++across) {
        int dark = 0, all = 0;
        for (int along = from + (to - from) / 10; along < to - (to - from) / 10; ++along, ++all)
            if (grey(along, across) + 8 <
                std::min(grey(along, across - 3), grey(along, across + 3)))
                ++dark;
        if (all > 0 && dark * 10 >= all * 9) return true;
    }
    return false;
}

// At 150%, as most Windows laptops run, the main window keeps its proportions and every frame and
// list of it is drawn with all four of its edges.
TEST(MainWindowAtScale, EveryFrameAndListKeepsItsFourEdges) {
    SettingsSandbox settings;
    ProgramFolderSandbox folder;
    ScriptedDialogs dialogs;
    Form1 login(dialogs, folder.environment());
    Form2& form = login.mainWindow();
    form.showWindow();
    QApplication::processEvents();
    const qreal ratio = form.devicePixelRatioF();
    ASSERT_EQ(ratio, 1.5) << "run with QT_SCALE_FACTOR=1.5";
    const QImage image = form.grab().toImage();
    EXPECT_EQ(image.size(), QSize(1188, 693));
    for (const char* name : {"Frame1", "Frame2", "Frame3", "Frame4", "Frame5", "ListView1", "List1",
                             "List2", "List3", "List4"}) {
        SCOPED_TRACE(name);
        const QWidget* control = Control<QWidget>(form, name);
        QRect edges = control->rect();
        if (auto* frame = qobject_cast<const QGroupBox*>(control)) {
            QStyleOptionGroupBox option;
            option.initFrom(frame);
            option.text = frame->title();
            option.subControls = QStyle::SC_GroupBoxFrame;
            edges = frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                   QStyle::SC_GroupBoxFrame, frame);
        }
        const QRectF on =
            QRectF(edges.translated(control->mapTo(&form, QPoint()))).adjusted(0, 0, -1, -1);
        const auto px = [&](qreal logical) {
            return static_cast<int>(std::round(logical * ratio));
        };
        EXPECT_TRUE(LineAlong(image, true, px(on.left()), px(on.top()), px(on.bottom()))) << "left";
        // The upload list's header stands in for its top line.
        if (qstrcmp(name, "ListView1") != 0) {
            EXPECT_TRUE(LineAlong(image, false, px(on.top()), px(on.left()), px(on.right())))
                << "top";
        }
        EXPECT_TRUE(LineAlong(image, true, px(on.right()), px(on.top()), px(on.bottom())))
            << "right";
        EXPECT_TRUE(LineAlong(image, false, px(on.bottom()), px(on.left()), px(on.right())))
            << "bottom";
    }
}

}  // namespace
