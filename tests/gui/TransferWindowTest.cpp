#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <functional>

#include "db/ColumnType.h"
#include "gui/GuiSupport.h"
#include "gui/MainWindowTest.h"
#include "support/Files.h"
#include "support/ScriptedDialogs.h"
#include "support/StallingRelay.h"
#include "support/TestServer.h"
#include "ui/login/Form1.h"
#include "ui/main/Form2.h"
#include "ui/main/UploadList.h"

namespace {

using Shape = WindowPointer::Shape;

QByteArray Pattern(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) % 256);
    return bytes;
}

class TransferTest : public MainWindowTest {
protected:
    bool buttonsEnabled() const {
        for (const QPushButton* b : {Button(*form, "PushButton1"), Button(*form, "PushButton2"),
                                     Button(*form, "PushButton3"), Button(*form, "PushButton4"),
                                     Button(*form, "PushButton5"), Button(*form, "PushButton7")})
            if (!b->isEnabled()) return false;
        return true;
    }
    void breakTheProfile() { TextBox(*login, "Text3")->setText("wrong"); }
    // Ends the session that the window's running transfer holds on the test's database.
    void killTheTransfersSession() {
        const QString id = scalar(
            QStringLiteral("SELECT ID FROM information_schema.PROCESSLIST WHERE DB = '%1' AND "
                           "ID <> CONNECTION_ID()")
                .arg(database_));
        ASSERT_FALSE(id.isEmpty());
        exec("KILL " + id);
    }
};

TEST_F(TransferTest, TheDownloadChecksItsInputsInOrderBeforeConnecting) {
    breakTheProfile();  // any connection attempt would be reported
    writeFile("plain.txt", "x");
    struct Case {
        bool field;
        QString folder;
        QString extension;
        QString want;
    };
    const Case cases[] = {
        {false, files.path(), "jpg", "Please select blob field."},
        {true, files.filePath("missing"), "jpg", "Folder does not appear to be valid."},
        {true, files.filePath("plain.txt"), "jpg", "Folder does not appear to be valid."},
        {true, "", "jpg", "Folder does not appear to be valid."},
        {true, files.path(), "", "Please give a file extension such as bmp."},
    };
    for (const Case& c : cases) {
        dialogs.clear();
        ListBox(*form, "List1")->setCurrentRow(0);
        ListBox(*form, "List2")->clearSelection();
        if (c.field) ListBox(*form, "List2")->setCurrentRow(1);
        TextBox(*form, "Text1")->setText(c.folder);
        TextBox(*form, "Text3")->setText(c.extension);
        Button(*form, "PushButton1")->click();
        EXPECT_EQ(dialogs.shownTexts(), QStringList{c.want}) << c.want.toStdString();
    }
}

TEST_F(TransferTest, TheDownloadWritesOneNumberedFilePerValueAndSaysDone) {
    exec("INSERT INTO pics (data) VALUES ('A'), (NULL), ('BB'), ('')");
    choose(ListBox(*form, "List1"), ListBox(*form, "List2"), "pics", "data");
    TextBox(*form, "Text1")->setText(files.path());
    TextBox(*form, "Text2")->setText("img");
    TextBox(*form, "Text3")->setText("jpg");
    Button(*form, "PushButton1")->click();
    EXPECT_EQ(dialogs.shownTexts(), QStringList{"Done."});
    QDir dir(files.path());
    EXPECT_EQ(dir.entryList(QDir::Files, QDir::Name),
              (QStringList{"img1.jpg", "img3.jpg", "img4.jpg"}));
    QFile third(dir.filePath("img3.jpg"));
    ASSERT_TRUE(third.open(QIODevice::ReadOnly));
    EXPECT_EQ(third.readAll(), "BB");
    EXPECT_EQ(QFileInfo(dir.filePath("img4.jpg")).size(), 0);
    EXPECT_EQ(form->pointer().shape(), Shape::Default);
    EXPECT_TRUE(buttonsEnabled());
}

TEST_F(TransferTest, ATextColumnShowsTheTypeMessageAndWritesNothing) {
    exec("INSERT INTO pics (note) VALUES ('words')");
    choose(ListBox(*form, "List1"), ListBox(*form, "List2"), "pics", "note");
    TextBox(*form, "Text1")->setText(files.path());
    TextBox(*form, "Text3")->setText("txt");
    Button(*form, "PushButton1")->click();
    EXPECT_EQ(dialogs.shownTexts(), QStringList{WrongTypeMessage(203)});
    EXPECT_TRUE(QDir(files.path()).isEmpty());
}

TEST_F(TransferTest, ADownloadThatCannotConnectIsReportedOnceAndEnds) {
    choose(ListBox(*form, "List1"), ListBox(*form, "List2"), "pics", "data");
    TextBox(*form, "Text1")->setText(files.path());
    TextBox(*form, "Text3")->setText("jpg");
    breakTheProfile();
    Button(*form, "PushButton1")->click();
    ASSERT_EQ(dialogs.shownTexts().size(), 1) << dialogs.shownTexts().join("\n").toStdString();
    EXPECT_TRUE(dialogs.reports()[0].contains("Form2.PushButton1_Click at line 110\r\r"));
    EXPECT_EQ(form->pointer().shape(), Shape::Default);
    EXPECT_TRUE(buttonsEnabled());
}

// A download that the test holds part-way: its rows come through the view of holdRowsFrom, so the
// test can act while the download runs.
class HeldDownloadTest : public TransferTest {
protected:
    void holdAt(int heldRow, int rows, int valueBytes) {
        exec(QStringLiteral("INSERT INTO pics (id, data) SELECT seq, REPEAT(CHAR(64 + seq), %1) "
                            "FROM seq_1_to_%2")
                 .arg(valueBytes)
                 .arg(rows));
        ASSERT_NO_FATAL_FAILURE(holdRowsFrom("pics", heldRow));
        // "Next >" again, so that the table lists show the view.
        login->PushButton3_Click();
        choose(ListBox(*form, "List1"), ListBox(*form, "List2"), "held", "data");
        TextBox(*form, "Text1")->setText(files.path());
        TextBox(*form, "Text2")->setText("v");
        TextBox(*form, "Text3")->setText("bin");
        dialogs.clear();
    }
    void whenReady(std::function<bool()> ready, std::function<void()> act) {
        WhenReady(form, std::move(ready), std::move(act));
    }
    QStringList written() const { return FilesIn(files.path()); }
    // The files present are v1.bin, v2.bin ... in row order, each holding its row's whole value.
    void expectWholeFilesFromTheFirst(int valueBytes) {
        const QStringList present = written();
        for (int n = 1; n <= present.size(); ++n) {
            const QString name = QStringLiteral("v%1.bin").arg(n);
            ASSERT_EQ(present.value(n - 1), name);
            QFile file(files.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), QByteArray(valueBytes, char(64 + n))) << n;
        }
    }
    bool fileWritten(int n) const {
        return QFile::exists(files.filePath(QStringLiteral("v%1.bin").arg(n)));
    }
    // Drops a file on the upload list the way the window system delivers a drop: to the window,
    // which hands it to the widget under the point.
    void dropOnList(const QString& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        const QPoint at = FileList(*form, "ListView1")->viewport()->mapTo(form, QPoint(5, 5));
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->windowHandle(), &enter);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->windowHandle(), &drop);
    }
};

// Counts the paint events that a widget receives.
class PaintCounter : public QObject {
    Q_OBJECT

public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
    int paints = 0;
};

// The paints and close events that these wait for need a real window system under Wine.
class HeldDownloadOnDisplay : public HeldDownloadTest {};

TEST_F(HeldDownloadOnDisplay, TheWindowPaintsAndTakesNoInputWhileTheDownloadRuns) {
    holdAt(1, 3, 1000);
    const QMap<QString, QString> stored = settings.storedValues();
    const int tableRow = ListBox(*form, "List1")->currentRow();
    PaintCounter counter;
    form->installEventFilter(&counter);
    QTemporaryDir elsewhere;
    const QString dropped = MakeEmptyFile(elsewhere.path(), "dropped.txt");
    bool busy = false;
    int paintsAtInput = -1;
    whenReady([&] { return form->isBusy(); },
              [&] {
                  busy = true;
                  paintsAtInput = counter.paints;
                  // A key for the prefix box and a click on another table, as the user would.
                  QCoreApplication::postEvent(TextBox(*form, "Text2"),
                                              new QKeyEvent(QEvent::KeyPress, Qt::Key_X,
                                                            Qt::NoModifier, QStringLiteral("x")));
                  QWidget* list = ListBox(*form, "List1")->viewport();
                  const QPoint at =
                      ListBox(*form, "List1")
                          ->visualItemRect(ListBox(*form, "List1")->item(tableRow == 0 ? 1 : 0))
                          .center();
                  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                      QCoreApplication::postEvent(
                          list, new QMouseEvent(type, QPointF(at), QPointF(list->mapToGlobal(at)),
                                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
                  dropOnList(dropped);
                  form->update();
              });
    whenReady([&] { return paintsAtInput >= 0 && counter.paints > paintsAtInput; },
              [&] { releaseHeld(); });
    Button(*form, "PushButton1")->click();

    EXPECT_TRUE(busy);
    EXPECT_GT(counter.paints, paintsAtInput);
    EXPECT_EQ(dialogs.shownTexts(), QStringList{"Done."});
    EXPECT_EQ(TextBox(*form, "Text2")->text(), "v");
    EXPECT_EQ(ListBox(*form, "List1")->currentRow(), tableRow);
    EXPECT_EQ(settings.storedValues(), stored);
    expectWholeFilesFromTheFirst(1000);
    EXPECT_EQ(written().size(), 3);
    EXPECT_EQ(FileList(*form, "ListView1")->topLevelItemCount(), 0);
    // The same drop once the download has ended is taken; the list adds it from the event loop.
    dropOnList(dropped);
    QCoreApplication::processEvents();
    EXPECT_EQ(FileList(*form, "ListView1")->topLevelItemCount(), 1);
    EXPECT_TRUE(buttonsEnabled());
}

TEST_F(HeldDownloadOnDisplay, ClosingTheWindowMidDownloadEndsTheProgramAndLeavesOnlyWholeFiles) {
    constexpr int kBytes = 200000;
    holdAt(3, 6, kBytes);
    EndWatch end;
    int endsAtClose = -1;
    whenReady([&] { return fileWritten(1); },
              [&] {
                  form->close();
                  endsAtClose = end.ends;
                  releaseHeld();
              });
    Button(*form, "PushButton1")->click();

    EXPECT_EQ(endsAtClose, 1);
    EXPECT_TRUE(dialogs.calls.empty());
    // The rows after the close are not written, and no temporary file is left.
    EXPECT_TRUE(fileWritten(1));
    EXPECT_LE(written().size(), 2);
    expectWholeFilesFromTheFirst(kBytes);
}

TEST_F(HeldDownloadTest, AConnectionKilledMidDownloadIsReportedAtItsLineWithoutDone) {
    constexpr int kBytes = 200000;
    holdAt(3, 6, kBytes);
    whenReady([&] { return fileWritten(1); },
              [&] {
                  killTheTransfersSession();
                  releaseHeld();
              });
    std::vector<bool> onWindowThread;
    dialogs.whileShown = [&](const ScriptedDialogs::Call&) {
        onWindowThread.push_back(QThread::currentThread() == form->thread());
    };
    Button(*form, "PushButton1")->click();
    dialogs.whileShown = nullptr;

    ASSERT_EQ(dialogs.shownTexts().size(), 1) << dialogs.shownTexts().join("\n").toStdString();
    EXPECT_TRUE(dialogs.reports().value(0).contains(
        "\r\nin Tarnwick2021/08/31.Form2.PushButton1_Click at line 114\r\r"));
    EXPECT_EQ(onWindowThread, std::vector<bool>{true});
    EXPECT_EQ(form->pointer().shape(), Shape::Default);
    EXPECT_TRUE(buttonsEnabled());
    EXPECT_TRUE(fileWritten(1));
    expectWholeFilesFromTheFirst(kBytes);
}

// Observable behaviour only, whatever runs the download: the report at its line, no "Done.", the
// files written before the failure intact, the pointer and the buttons back.
TEST_F(TransferTest, ADownloadThatFailsPartWayIsReportedAndKeepsTheFilesWrittenBefore) {
    exec("INSERT INTO pics (data) VALUES ('first'), ('second'), ('third')");
    // A folder where the second file must go: that file cannot be written.
    ASSERT_TRUE(QDir(files.path()).mkdir("img2.jpg"));
    choose(ListBox(*form, "List1"), ListBox(*form, "List2"), "pics", "data");
    TextBox(*form, "Text1")->setText(files.path());
    TextBox(*form, "Text2")->setText("img");
    TextBox(*form, "Text3")->setText("jpg");
    Button(*form, "PushButton1")->click();
    const QStringList shown = dialogs.shownTexts();
    ASSERT_EQ(dialogs.reports().size(), 1) << shown.join("\n").toStdString();
    EXPECT_TRUE(
        dialogs.reports()[0].contains("in Tarnwick2021/08/31.Form2.PushButton1_Click at "
                                      "line 114\r\r"))
        << dialogs.reports()[0].toStdString();
    EXPECT_FALSE(shown.contains("Done."));
    QFile first(files.filePath("img1.jpg"));
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), "first");
    EXPECT_FALSE(QFileInfo::exists(files.filePath("img3.jpg")));
    EXPECT_EQ(form->pointer().shape(), Shape::Default);
    EXPECT_TRUE(buttonsEnabled());
}

TEST_F(TransferTest, TheUploadChecksItsInputsInOrder) {
    breakTheProfile();
    Button(*form, "PushButton7")->click();
    EXPECT_EQ(dialogs.shownTexts(), QStringList{"No files added."});
    dialogs.clear();
    FileList(*form, "ListView1")->appendPath(writeFile("a.bin", "a"));
    ListBox(*form, "List3")->clearSelection();
    Button(*form, "PushButton7")->click();
    EXPECT_EQ(dialogs.shownTexts(), QStringList{"Please select blob field."});
}

TEST_F(TransferTest, EachListedFileBecomesARowAndTheRunSaysWhatHappened) {
    const QByteArray first = Pattern(25000);
    const QByteArray third = Pattern(10);
    FileList(*form, "ListView1")->appendPath(writeFile("one.bin", first));
    const QString gone = writeFile("two.bin", "soon gone");
    FileList(*form, "ListView1")->appendPath(gone);
    FileList(*form, "ListView1")->appendPath(writeFile("empty.bin", ""));
    FileList(*form, "ListView1")->appendPath(writeFile("three.bin", third));
    QFile::remove(gone);
    const QStringList listed = FileList(*form, "ListView1")->paths();
    choose(ListBox(*form, "List4"), ListBox(*form, "List3"), "pics", "data");

    std::vector<std::pair<Shape, bool>> duringRun;
    std::vector<int> barWhileShown;  // "File Stored" comes before the bar goes back to 0
    dialogs.whileShown = [&](const ScriptedDialogs::Call&) {
        duringRun.emplace_back(form->pointer().shape(), buttonsEnabled());
        barWhileShown.push_back(ProgressBarOf(*form, "ProgressBar1")->value());
    };
    std::vector<int> progress;
    QObject::connect(ProgressBarOf(*form, "ProgressBar1"), &QProgressBar::valueChanged,
                     [&](int v) { progress.push_back(v); });
    Button(*form, "PushButton7")->click();
    dialogs.whileShown = nullptr;

    EXPECT_EQ(dialogs.shownTexts(), (QStringList{"File Stored", "File does not appear to be valid.",
                                                 "File Stored", "Done."}));
    for (const auto& [shape, enabled] : duringRun) {
        EXPECT_EQ(shape, Shape::Hourglass);
        EXPECT_FALSE(enabled);
    }
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(barWhileShown, (std::vector<int>{2, 0, 0, 0}));
    EXPECT_EQ(ProgressBarOf(*form, "ProgressBar1")->value(), 0);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM pics"), "2");
    EXPECT_EQ(scalar("SELECT SHA2(data, 256) FROM pics ORDER BY id LIMIT 1"),
              QCryptographicHash::hash(first, QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(scalar("SELECT LENGTH(data) FROM pics ORDER BY id DESC LIMIT 1"), "10");
    EXPECT_EQ(FileList(*form, "ListView1")->paths(), listed);
    EXPECT_EQ(form->pointer().shape(), Shape::Default);
    EXPECT_TRUE(buttonsEnabled());
}

TEST_F(TransferTest, AnUploadThatCannotConnectIsReportedOnceWithoutDone) {
    FileList(*form, "ListView1")->appendPath(writeFile("a.bin", "a"));
    FileList(*form, "ListView1")->appendPath(writeFile("b.bin", "b"));
    choose(ListBox(*form, "List4"), ListBox(*form, "List3"), "pics", "data");
    breakTheProfile();
    Button(*form, "PushButton7")->click();
    ASSERT_EQ(dialogs.shownTexts().size(), 1) << dialogs.shownTexts().join("\n").toStdString();
    EXPECT_TRUE(dialogs.reports()[0].contains("Form2.PushButton7_Click at line 108\r\r"));
    EXPECT_EQ(form->pointer().shape(), Shape::Default);
    EXPECT_TRUE(buttonsEnabled());
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM pics"), "0");
}

TEST_F(TransferTest, AConnectionLostMidUploadLeavesNoRowAndTheWindowWorking) {
    // Random bytes, which the upload's compression cannot shrink below the relay's limit.
    QByteArray noise(30 * 10240 + 17, '\0');
    for (char& c : noise) c = static_cast<char>(QRandomGenerator::global()->bounded(256));
    const QString path = writeFile("big.bin", noise);
    FileList(*form, "ListView1")->appendPath(path);
    choose(ListBox(*form, "List4"), ListBox(*form, "List3"), "pics", "data");
    // The connection is lost while the file is on its way.
    const std::optional<TestServer> server = TestServer::fromEnvironment();
    StallingRelay relay(server->host, server->port.toUShort(), -1, 20000);
    TextBox(*login, "Text1")->setText("127.0.0.1");
    TextBox(*login, "Text5")->setText(QString::number(relay.port()));
    WhenReady(
        form, [&] { return relay.stalled(); }, [&] { relay.release(); });
    Button(*form, "PushButton7")->click();

    ASSERT_EQ(dialogs.shownTexts().size(), 2) << dialogs.shownTexts().join("\n").toStdString();
    // The server's own words come first ("Server has gone away" or "Lost connection ..."), then
    // the place.
    EXPECT_TRUE(dialogs.reports().value(0).contains(
        "\r\nin Tarnwick2021/08/31.Form2.PushButton7_Click at line 110\r\r"));
    EXPECT_EQ(dialogs.shownTexts()[1], "Done.");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM pics"), "0");
    EXPECT_EQ(form->pointer().shape(), Shape::Default);
    EXPECT_TRUE(buttonsEnabled());

    // The next run opens a connection of its own and stores the file.
    dialogs.clear();
    TypeProfile(*login, profile());
    Button(*form, "PushButton7")->click();
    EXPECT_EQ(dialogs.shownTexts(), (QStringList{"File Stored", "Done."}));
    EXPECT_EQ(scalar("SELECT LENGTH(data) FROM pics"), QString::number(30 * 10240 + 17));
}

TEST_F(TransferTest, AFileTheColumnRefusesIsReportedReadablyAndTheRunGoesOn) {
    // The server quotes the refused value in its message, here a picture's header bytes; the
    // report shows a bounded line of printable characters.
    QByteArray picture("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);
    picture += Pattern(5000);
    const QString picturePath = writeFile("picture.png", picture);
    FileList(*form, "ListView1")->appendPath(picturePath);
    FileList(*form, "ListView1")->appendPath(writeFile("number.txt", "42"));
    exec("ALTER TABLE pics ADD COLUMN caption VARCHAR(6000) CHARACTER SET utf8mb4");
    login->PushButton3_Click();  // lists the new column
    choose(ListBox(*form, "List4"), ListBox(*form, "List3"), "pics", "caption");
    Button(*form, "PushButton7")->click();

    ASSERT_EQ(dialogs.shownTexts().size(), 3) << dialogs.shownTexts().join("\n").toStdString();
    const QString report = dialogs.reports().value(0);
    const QString where = "\r\nin Tarnwick2021/08/31.Form2.PushButton7_Click at line 110\r\r";
    ASSERT_TRUE(report.contains(where)) << report.toStdString();
    const QString description = report.left(report.indexOf(where));
    EXPECT_TRUE(description.startsWith("The file \"" + picturePath +
                                       "\" was not stored: Incorrect string value: '"))
        << description.toStdString();
    EXPECT_LE(description.size(), 403);
    for (QChar c : description) EXPECT_TRUE(c.isPrint()) << int(c.unicode());
    EXPECT_EQ(dialogs.shownTexts().mid(1), (QStringList{"File Stored", "Done."}));
    EXPECT_EQ(scalar("SELECT GROUP_CONCAT(caption) FROM pics"), "42");
}

}  // namespace

#include "TransferWindowTest.moc"
