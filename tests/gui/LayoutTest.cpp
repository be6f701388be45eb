#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "gui/GuiSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/TestServer.h"
#include "ui/login/Form1.h"
#include "ui/main/Form2.h"
#include "ui/main/UploadList.h"

namespace {

// What a control shows as its caption.
QString CaptionOf(const QWidget* w) {
    if (auto* frame = qobject_cast<const QGroupBox*>(w)) return frame->title();
    if (auto* label = qobject_cast<const QLabel*>(w)) return label->text();
    if (auto* button = qobject_cast<const QPushButton*>(w)) return button->text();
    if (auto* bar = qobject_cast<const QProgressBar*>(w)) return bar->format();
    return w->toolTip();
}

struct Control {
    const QWidget* widget;
    const QWidget* container;
    QString caption;
    int left, top, width, height;  // twips, relative to the container
};

void ExpectLayout(const QWidget& window, const std::vector<Control>& controls) {
    EXPECT_EQ(window.windowTitle(), "Vantrelle");
    for (const Control& c : controls) {
        SCOPED_TRACE(c.caption.toStdString());
        EXPECT_EQ(c.widget->parentWidget(), c.container);
        EXPECT_EQ(CaptionOf(c.widget), c.caption);
        const auto px = [](int twips) { return qRound(twips / 15.0); };
        EXPECT_EQ(c.widget->geometry(), QRect(px(c.left), px(c.top), px(c.width), px(c.height)));
    }
}

TEST(Layout, EveryControlOfBothWindowsHasItsCaptionPlaceAndSize) {
    SettingsSandbox settings;
    ProgramFolderSandbox folder;
    ScriptedDialogs dialogs;
    Form1 f1(dialogs, folder.environment());
    f1.Form_Load();
    ExpectLayout(
        f1, {
                {FrameOf(f1, "Frame1"), &f1, "MySQL Login", 120, 120, 7800, 2895},
                {LabelOf(f1, "Label2"), FrameOf(f1, "Frame1"), "Server:", 240, 405, 1095, 255},
                {TextBox(f1, "Text1"), FrameOf(f1, "Frame1"), "", 1320, 360, 4575, 345},
                {LabelOf(f1, "Label9"), FrameOf(f1, "Frame1"), "Port:", 6000, 405, 495, 255},
                {TextBox(f1, "Text5"), FrameOf(f1, "Frame1"), "", 6480, 360, 1095, 345},
                {LabelOf(f1, "Label1"), FrameOf(f1, "Frame1"), "Username:", 240, 885, 1095, 255},
                {TextBox(f1, "Text2"), FrameOf(f1, "Frame1"), "", 1320, 840, 6255, 345},
                {LabelOf(f1, "Label4"), FrameOf(f1, "Frame1"), "Password:", 240, 1365, 1095, 255},
                {TextBox(f1, "Text3"), FrameOf(f1, "Frame1"), "", 1320, 1320, 6255, 345},
                {LabelOf(f1, "Label3"), FrameOf(f1, "Frame1"), "Database:", 240, 1845, 975, 255},
                {TextBox(f1, "Text4"), FrameOf(f1, "Frame1"), "", 1320, 1800, 6255, 345},
                {Button(f1, "PushButton5"), FrameOf(f1, "Frame1"), "Test Connection", 240, 2280,
                 3600, 405},
                {Button(f1, "PushButton4"), FrameOf(f1, "Frame1"), "Help", 3960, 2280, 3600, 405},
                {Button(f1, "PushButton3"), &f1, "Next >", 120, 3150, 7800, 405},
            });
    Form2& f2 = f1.mainWindow();
    ExpectLayout(
        f2,
        {
            {FrameOf(f2, "Frame2"), &f2, "Upload", 120, 120, 5730, 6730},
            {FrameOf(f2, "Frame3"), FrameOf(f2, "Frame2"), "Select files to upload", 165, 345, 5415,
             2775},
            {FileList(f2, "ListView1"), FrameOf(f2, "Frame3"),
             "Drag and drop files here. Double-click item to remove it. Move | line to right and "
             "out "
             "of window to reveal full names.",
             240, 360, 4935, 1215},
            {Button(f2, "PushButton3"), FrameOf(f2, "Frame3"), "Add Images or Other File(s)", 240,
             1680, 4935, 405},
            {Button(f2, "PushButton4"), FrameOf(f2, "Frame3"), "Add All Files In Folder", 240, 2160,
             4935, 405},
            {FrameOf(f2, "Frame4"), FrameOf(f2, "Frame2"), "Select table and field to upload to",
             165, 3240, 5415, 2775},
            {LabelOf(f2, "Label4"), FrameOf(f2, "Frame4"), " Tables:", 240, 360, 1695, 255},
            {LabelOf(f2, "Label5"), FrameOf(f2, "Frame4"), " Blob/Image Field:", 2760, 360, 2295,
             255},
            {ListBox(f2, "List4"), FrameOf(f2, "Frame4"), "", 240, 720, 2370, 1860},
            {ListBox(f2, "List3"), FrameOf(f2, "Frame4"), "", 2760, 720, 2370, 1860},
            {Button(f2, "PushButton7"), FrameOf(f2, "Frame2"), "Start Uploading", 120, 6150, 5415,
             405},
            {FrameOf(f2, "Frame1"), &f2, "Download", 6030, 120, 5730, 5700},
            {FrameOf(f2, "Frame5"), FrameOf(f2, "Frame1"),
             "Select table and field which contain images to save", 180, 360, 5415, 4635},
            {LabelOf(f2, "Label3"), FrameOf(f2, "Frame5"), " Tables:", 240, 360, 1695, 255},
            {LabelOf(f2, "Label2"), FrameOf(f2, "Frame5"), " Blob/Image Field:", 2760, 360, 2295,
             255},
            {ListBox(f2, "List1"), FrameOf(f2, "Frame5"), "", 240, 720, 2370, 2310},
            {ListBox(f2, "List2"), FrameOf(f2, "Frame5"), "", 2760, 720, 2370, 2310},
            {LabelOf(f2, "Label8"), FrameOf(f2, "Frame5"), " Save images to this folder:", 240,
             3120, 2415, 255},
            {TextBox(f2, "Text1"), FrameOf(f2, "Frame5"), "", 2760, 3120, 1935, 330},
            {Button(f2, "PushButton2"), FrameOf(f2, "Frame5"), "...", 4800, 3113, 325, 345},
            {LabelOf(f2, "Label6"), FrameOf(f2, "Frame5"), " Use this as filename prefix:", 240,
             3600, 2415, 255},
            {TextBox(f2, "Text2"), FrameOf(f2, "Frame5"), "", 2760, 3600, 2355, 330},
            {LabelOf(f2, "Label1"), FrameOf(f2, "Frame5"), " Use this as an extension:", 240, 4080,
             2415, 255},
            {TextBox(f2, "Text3"), FrameOf(f2, "Frame5"), "", 2760, 4080, 2355, 330},
            {Button(f2, "PushButton1"), FrameOf(f2, "Frame1"),
             "Start Saving Blob/Image As Local File", 180, 5160, 5415, 405},
            {ProgressBarOf(f2, "ProgressBar1"), &f2, "Progress Bar", 6030, 5930, 5730, 405},
            {Button(f2, "PushButton5"), &f2, "Switch MySQL Database", 6030, 6450, 5730, 405},
        });
}

}  // namespace
