#include "ui/main/Form2.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "core/AppInfo.h"
#include "core/PathUtils.h"
#include "core/Settings.h"
#include "core/Steps.h"
#include "db/ColumnType.h"
#include "db/Discovery.h"
#include "db/Download.h"
#include "db/Openers.h"
#include "db/Upload.h"
#include "ui/ChangeHandlers.h"
#include "ui/Controls.h"
#include "ui/Dialogs.h"
#include "ui/ProgramEnd.h"
#include "ui/WindowSetup.h"
#include "ui/WorkerConnection.h"
#include "ui/login/Form1.h"
#include "ui/main/AddFiles.h"
#include "ui/main/ListClick.h"
#include "ui/main/UploadList.h"

namespace {
bool HasSelection(const QListWidget& list) {
    return !list.selectedItems().isEmpty();
}

// The text of the selected item, or the empty text when none is selected.
QString SelectedText(const QListWidget& list) {
    const QList<QListWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

Location form2(const char* procedure) {
    return Location::of(QStringLiteral("Form2"), QString::fromLatin1(procedure));
}
}  // namespace

Form2::Form2(Dialogs& dialogs, Form1& login) : dialogs_(dialogs), login_(login) {
    setObjectName(QStringLiteral("Form2"));
    MakeFixedWindow(*this, QSize(Twips(11880), Twips(6930)));
    setFont(ArialFont(9, true));
    buildControls();
    connectHandlers();
}

Form2::~Form2() = default;

void Form2::buildControls() {
    Frame2 = MakeFrame(this, "Frame2", QStringLiteral("Upload"), TwipsRect(120, 120, 5730, 6730));
    Frame3 = MakeFrame(Frame2, "Frame3", QStringLiteral("Select files to upload"),
                       TwipsRect(165, 345, 5415, 2775));
    ListView1 = new UploadList(Frame3);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    Place(ListView1, TwipsRect(240, 360, 4935, 1215));
    KeepListEdges(ListView1);
    ListView1->setFont(ArialFont(9, true));
    ListView1->setDialogs(&dialogs_);
    ListView1->setBusyHandler([this](bool busy) { setBusy(busy); });
    PushButton3 =
        MakePushButton(Frame3, "PushButton3", QStringLiteral("Add Images or Other File(s)"),
                       TwipsRect(240, 1680, 4935, 405));
    PushButton4 = MakePushButton(Frame3, "PushButton4", QStringLiteral("Add All Files In Folder"),
                                 TwipsRect(240, 2160, 4935, 405));
    Frame4 = MakeFrame(Frame2, "Frame4", QStringLiteral("Select table and field to upload to"),
                       TwipsRect(165, 3240, 5415, 2775));
    Label4 =
        MakeLabel(Frame4, "Label4", QStringLiteral(" Tables:"), TwipsRect(240, 360, 1695, 255));
    Label5 = MakeLabel(Frame4, "Label5", QStringLiteral(" Blob/Image Field:"),
                       TwipsRect(2760, 360, 2295, 255));
    List4 = MakeListBox(Frame4, "List4", TwipsRect(240, 720, 2370, 1860));
    List3 = MakeListBox(Frame4, "List3", TwipsRect(2760, 720, 2370, 1860));
    PushButton7 = MakePushButton(Frame2, "PushButton7", QStringLiteral("Start Uploading"),
                                 TwipsRect(120, 6150, 5415, 405));

    Frame1 =
        MakeFrame(this, "Frame1", QStringLiteral("Download"), TwipsRect(6030, 120, 5730, 5700));
    Frame5 = MakeFrame(Frame1, "Frame5",
                       QStringLiteral("Select table and field which contain images to save"),
                       TwipsRect(180, 360, 5415, 4635));
    Label3 =
        MakeLabel(Frame5, "Label3", QStringLiteral(" Tables:"), TwipsRect(240, 360, 1695, 255));
    Label2 = MakeLabel(Frame5, "Label2", QStringLiteral(" Blob/Image Field:"),
                       TwipsRect(2760, 360, 2295, 255));
    List1 = MakeListBox(Frame5, "List1", TwipsRect(240, 720, 2370, 2310));
    List2 = MakeListBox(Frame5, "List2", TwipsRect(2760, 720, 2370, 2310));
    Label8 = MakeLabel(Frame5, "Label8", QStringLiteral(" Save images to this folder:"),
                       TwipsRect(240, 3120, 2415, 255));
    Text1 = MakeTextBox(Frame5, "Text1", TwipsRect(2760, 3120, 1935, 330));
    PushButton2 = MakePushButton(Frame5, "PushButton2", QStringLiteral("..."),
                                 TwipsRect(4800, 3113, 325, 345));
    Label6 = MakeLabel(Frame5, "Label6", QStringLiteral(" Use this as filename prefix:"),
                       TwipsRect(240, 3600, 2415, 255));
    Text2 = MakeTextBox(Frame5, "Text2", TwipsRect(2760, 3600, 2355, 330));
    Label1 = MakeLabel(Frame5, "Label1", QStringLiteral(" Use this as an extension:"),
                       TwipsRect(240, 4080, 2415, 255));
    Text3 = MakeTextBox(Frame5, "Text3", TwipsRect(2760, 4080, 2355, 330));
    PushButton1 = MakePushButton(Frame1, "PushButton1",
                                 QStringLiteral("Start Saving Blob/Image As Local File"),
                                 TwipsRect(180, 5160, 5415, 405));

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    Place(ProgressBar1, TwipsRect(6030, 5930, 5730, 405));
    ProgressBar1->setFormat(QStringLiteral("Progress Bar"));
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    PushButton5 = MakePushButton(this, "PushButton5", QStringLiteral("Switch MySQL Database"),
                                 TwipsRect(6030, 6450, 5730, 405));

    // Tab order by tab index; the frames, labels and the progress bar take no focus.
    setTabOrder({Text3, Text2, Text1, List2, List1, ListView1, List3, List4, PushButton2,
                 PushButton1, PushButton3, PushButton4, PushButton5, PushButton7});
    ProgressBar1->setFocusPolicy(Qt::NoFocus);
    Text3->setFocus();
}

void Form2::connectHandlers() {
    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });
    connect(PushButton5, &QPushButton::clicked, this, [this] { PushButton5_Click(); });
    connect(PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(); });
    // A table list's click lists the table's columns: at every change of its selected row and at
    // every click on a table, also the one already selected, which shows columns added since.
    new ListClick(*List1, [this] { List1_Click(); });
    new ListClick(*List4, [this] { List4_Click(); });

    changes_ = new ChangeHandlers(dialogs_, QStringLiteral("Form2"), this);
    changes_->connect(Text1, QStringLiteral("Text1_Change"),
                      [this] { Settings::write(QStringLiteral("Destination"), Text1->text()); });
    changes_->connect(Text2, QStringLiteral("Text2_Change"),
                      [this] { Settings::write(QStringLiteral("Prefix"), Text2->text()); });
    changes_->connect(Text3, QStringLiteral("Text3_Change"),
                      [this] { Settings::write(QStringLiteral("Extension"), Text3->text()); });

    hover_ = new HoverRules(pointer(), this);
    hover_->addWindow(this);
    for (QWidget* w : std::initializer_list<QWidget*>{PushButton1, PushButton2, PushButton3,
                                                      PushButton4, PushButton5, PushButton7})
        hover_->add(w, HoverRules::Rule::Button);
    for (QWidget* w :
         std::initializer_list<QWidget*>{Frame1, Frame2, Frame3, Frame4, Frame5, Label1, Label6,
                                         Label8, List1, List2, Text1, Text2, Text3})
        hover_->add(w, HoverRules::Rule::Background);
    for (QWidget* w : std::initializer_list<QWidget*>{Label2, Label3, Label4, Label5, List3, List4,
                                                      ProgressBar1})
        hover_->add(w, HoverRules::Rule::None);
    // The file list applies the background rule itself, on every move over it.
    ListView1->setAttribute(Qt::WA_NoMousePropagation);
    connect(ListView1, &UploadList::mouseMovedOver, this, [this] { pointer().hoverBackground(); });
}

void Form2::Form_Load() {
    Steps steps(dialogs_, form2("Form_Load"));
    steps.run(100, [&] { ApplySystemColors(*this); });
    steps.run(102, [&] { setWindowIcon(AppIcon()); });
    loadPointerImage(steps, 106, 108, login_.environment().programFolder);
    steps.run(110, [&] { setWindowTitle(kProductName); });
    // The boxes count as changed at every load, so the three keys are written back each time and
    // the first start stores the defaults.
    steps.run(112, [&] {
        changes_->load(Text1, Settings::read(QStringLiteral("Destination"), GetDesktopFolder()));
    });
    steps.run(114, [&] { changes_->load(Text2, Settings::read(QStringLiteral("Prefix"))); });
    steps.run(116, [&] { changes_->load(Text3, Settings::read(QStringLiteral("Extension"))); });
    steps.run(118, [&] { ListView1->setHeaderLabels({QStringLiteral("Images")}); });
    steps.run(120, [&] { ListView1->setColumnWidth(0, Twips(4000)); });
}

void Form2::PushButton2_Click() {
    Steps steps(dialogs_, form2("PushButton2_Click"));
    QString chosen;
    steps.run(100, [&] {
        chosen = dialogs_.browseForFolder(this, QStringLiteral("Please select folder:"),
                                          Settings::read(QStringLiteral("LastFolderDot")));
    });
    if (!steps.passes(102, [&] { return !chosen.isEmpty(); })) return;
    steps.run(104, [&] {
        changes_->setText(Text1, chosen);
        Settings::write(QStringLiteral("LastFolderDot"), chosen);
    });
}

void Form2::PushButton5_Click() {
    Steps steps(dialogs_, form2("PushButton5_Click"));
    steps.run(100, [&] { login_.showWindow(); });
    steps.run(102, [&] { hide(); });
}

void Form2::PushButton1_Click() {
    Steps steps(dialogs_, form2("PushButton1_Click"));
    if (!steps.passes(102, [&] { return HasSelection(*List2); }))
        return dialogs_.message(QStringLiteral("Please select blob field."));
    if (!steps.passes(104, [&] { return FolderExists(Text1->text()); }))
        return dialogs_.message(QStringLiteral("Folder does not appear to be valid."));
    if (!steps.passes(106, [&] { return !Text3->text().isEmpty(); }))
        return dialogs_.message(QStringLiteral("Please give a file extension such as bmp."));
    steps.run(108, [&] { DoEvents(); });
    // What the run works on is taken once, at its start.
    const QString table = SelectedText(*List1);
    const QString field = SelectedText(*List2);
    const QString folder = Text1->text();
    const QString prefix = Text2->text();
    const QString extension = Text3->text();
    const ConnectionProfile profile = login_.profile();

    // The connection is opened, used and closed on a thread of the download's own, so the window
    // keeps painting while the network and the disk work; it takes no input meanwhile but its
    // close box. Closing it ends the program and discards the files not yet in place.
    WorkerConnection db;
    DownloadStop stop;
    const AtProgramEnd discard([&stop] { stop.discard(); });
    // The hourglass comes before the connect, which also runs off this thread, so the window is
    // busy for all of it.
    steps.run(112, [&] { setBusy(true); });
    // A connection that does not open is reported once and ends the download: there is nothing
    // the remaining steps could do without it.
    if (!steps.runOrStop(110, [&] { db.open([&] { return OpenDownloadConnection(profile); }); }))
        return setBusy(false);
    steps.run(114, [&] {
        const DownloadResult result = db.run([&](Connection& connection) {
            return DownloadBlobs(connection, table, field, prefix, folder, extension, {}, &stop);
        });
        // A stopped run is one whose program has ended: it says nothing more.
        if (result.stopped) return;
        dialogs_.message(result.wrongType ? WrongTypeMessage(result.adoType)
                                          : QStringLiteral("Done."));
    });
    steps.run(116, [&] { setBusy(false); });
    steps.run(118, [&] { db.close(); });
}

namespace {
// The main window's side of an upload, which runs on a thread of its own: the progress bar moves
// through the window's event queue, in the order the upload reports it, while the window keeps
// painting. "File Stored" is shown from the window's own thread once the file's upload returns.
class WindowTransferEvents final : public TransferEvents {
public:
    explicit WindowTransferEvents(QProgressBar& bar) : bar_(bar) {}
    void progressRange(int minimum, int maximum) override {
        QMetaObject::invokeMethod(
            &bar_, [bar = &bar_, minimum, maximum] { bar->setRange(minimum, maximum); });
    }
    void progressValue(int value) override {
        QMetaObject::invokeMethod(&bar_, [bar = &bar_, value] { bar->setValue(value); });
    }
    // The window's own thread is never held up by the upload, so there is nothing to let through.
    void yield() override {}
    void fileStored(const QString&) override { stored_ = true; }
    // Whether the file of the last upload was stored; asking forgets it.
    bool takeStored() { return std::exchange(stored_, false); }

private:
    QProgressBar& bar_;
    bool stored_ = false;
};
}  // namespace

void Form2::PushButton7_Click() {
    Steps steps(dialogs_, form2("PushButton7_Click"));
    if (!steps.passes(102, [&] { return ListView1->count() > 0; }))
        return dialogs_.message(QStringLiteral("No files added."));
    if (!steps.passes(104, [&] { return HasSelection(*List3); }))
        return dialogs_.message(QStringLiteral("Please select blob field."));
    steps.run(106, [&] {
        DoEvents();
        setBusy(true);
    });
    // What the run works on is taken once, at its start.
    const QString table = SelectedText(*List4);
    const QString field = SelectedText(*List3);
    const QStringList paths = ListView1->paths();
    const ConnectionProfile profile = login_.profile();
    // The connection is opened, used and closed on a thread of the upload's own; this thread
    // keeps painting and takes no input but the close box. Closing the window ends the program:
    // a file whose row was not yet saved leaves no row.
    WorkerConnection db;
    // A connection that does not open is reported once and ends the run: every file would only
    // fail the same way, and "Done." would claim a success.
    if (!steps.runOrStop(108,
                         [&] { db.open([&] { return OpenUploadConnection(profile, paths); }); }))
        return setBusy(false);
    WindowTransferEvents events(*ProgressBar1);
    for (const QString& path : paths) {
        steps.run(110, [&] {
            const bool exists = db.run([&](Connection& connection) {
                if (!FileExists(path)) return false;
                UploadFileToBlob(connection, table, field, path, events);
                return true;
            });
            if (!exists)
                return dialogs_.message(QStringLiteral("File does not appear to be valid."));
            if (events.takeStored()) {
                dialogs_.message(QStringLiteral("File Stored"));
                ProgressBar1->setValue(0);
            }
        });
    }
    steps.run(112, [&] { dialogs_.message(QStringLiteral("Done.")); });
    steps.run(114, [&] {
        db.close();
        setBusy(false);
    });
}

void Form2::PushButton3_Click() {
    AddImagesOrOtherFiles(dialogs_, this, *ListView1);
}

void Form2::PushButton4_Click() {
    AddAllFilesInFolder(dialogs_, this, *ListView1, [this](bool busy) { setBusy(busy); });
}
void Form2::List1_Click() {
    ListFieldsOfTable(*List1, *List2, QStringLiteral("List1_Click"));
}

void Form2::List4_Click() {
    ListFieldsOfTable(*List4, *List3, QStringLiteral("List4_Click"));
}

void Form2::ListFieldsOfTable(QListWidget& tables, QListWidget& fields, const QString& procedure) {
    // A failure (a table dropped meanwhile, a lost server) is reported under the click and leaves
    // the field list as it was; the pointer is restored either way.
    Steps steps(dialogs_, Location::of(QStringLiteral("Form2"), procedure));
    const WindowPointer::Shape before = pointer().shape();
    pointer().setHourglass();
    QStringList names;
    const QString table = tables.currentItem() ? tables.currentItem()->text() : QString();
    const ConnectionProfile profile = login_.profile();
    {
        WorkerConnection db;
        if (steps.runOrStop(104,
                            [&] { db.open([&] { return OpenFieldListConnection(profile); }); }) &&
            steps.runOrStop(108, [&] {
                names =
                    db.run([&](Connection& connection) { return FieldNames(connection, table); });
            })) {
            fields.clear();
            fields.addItems(names);
        }
    }
    // A run that was already busy (the list clicked during an upload) keeps its hourglass.
    pointer().set(before == WindowPointer::Shape::Hourglass ? before
                                                            : WindowPointer::Shape::Default);
}

void Form2::setBusy(bool busy) {
    // Runs can nest (a folder dropped while a folder add or an upload goes on): the window stays
    // busy until the outermost one ends.
    const bool wasBusy = isBusy();
    busyDepth_ = busy ? busyDepth_ + 1 : std::max(0, busyDepth_ - 1);
    if (isBusy() == wasBusy) return;
    // While the run goes on the focus rests on the window itself, which takes no key: a disabled
    // button would pass its focus along the tab order, and a window that the window system
    // activates again when a box closes would give it to the first box in that order, where the
    // next key would replace the stored text. When the run ends the focus goes back to the control
    // that had it, whatever the window system did meanwhile.
    if (isBusy()) {
        focusBeforeBusy_ = focusWidget();
        setFocus(Qt::OtherFocusReason);
    }
    for (QPushButton* b :
         {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton7})
        b->setEnabled(!isBusy());
    if (!isBusy() && focusBeforeBusy_ && focusBeforeBusy_ != this)
        focusBeforeBusy_->setFocus(Qt::OtherFocusReason);
    if (isBusy())
        pointer().setHourglass();
    else
        pointer().setDefault();
}
