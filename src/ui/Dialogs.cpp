#include "ui/Dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QSpacerItem>
#include <QUrl>

#include "core/AppInfo.h"
#include "core/PathUtils.h"
#include "ui/InputBlocker.h"

QString DisplayText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    return shown;
}

int RunBox(QDialog& box) {
    // A box modal to the window system would keep the program's windows from hearing their close
    // boxes, and closing either window ends the program at any moment. So the box is not modal:
    // while it waits for its answer, every other window takes no input, and the box stays above
    // the window it belongs to.
    box.setWindowModality(Qt::NonModal);
    // A popup left open (a context menu of another window) would take input beside the box.
    for (int i = 0; i < 8 && QApplication::activePopupWidget(); ++i)
        QApplication::activePopupWidget()->close();
    InputBlocker blocker(&box);
    QCoreApplication::instance()->installEventFilter(&blocker);
    QEventLoop answered;
    QObject::connect(&box, &QDialog::finished, &answered, &QEventLoop::quit);
    box.show();
    box.raise();
    box.activateWindow();
    if (box.isVisible()) answered.exec();
    QCoreApplication::instance()->removeEventFilter(&blocker);
    return box.result();
}

int CaptionWidth(const QString& caption) {
    const QFontMetrics title(QApplication::font("QMdiSubWindowTitleBar"));
    // Some frames show a dialog's minimise and maximise buttons even where the box asks for the
    // close button alone; the room is for those too.
    return title.horizontalAdvance(caption) + 8 * title.height();
}

namespace {
// A box's frame offers its close button only, as a Windows message box's does, and shows the whole
// caption: the box is made at least as wide as the caption needs. Call it once the box holds its
// text, since a message box lays itself out again when its text or icon changes.
void FrameBox(QDialog& box, const QString& caption) {
    box.setWindowTitle(caption);
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                       Qt::MSWindowsFixedSizeDialogHint);
    // An input box makes its layout when it is first measured.
    if (!box.layout()) box.adjustSize();
    // A message box computes its own fixed size from its layout's minimum, so the width goes in as
    // an empty row across the whole layout, which adds no height.
    auto* room =
        new QSpacerItem(CaptionWidth(caption), 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(room, grid->rowCount(), 0, 1, grid->columnCount());
    else
        box.layout()->addItem(room);
}

void showBox(const QString& title, const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, title, DisplayText(text), QMessageBox::Ok, QApplication::activeWindow());
    FrameBox(box, title);
    RunBox(box);
}

// Qt shows the system's own file and folder dialogs on Windows, for a modal dialog that may be
// native. Elsewhere, and on the offscreen platform, it shows its own, the same on every desktop.
bool SystemFileDialogs() {
    return QGuiApplication::platformName() == QLatin1String("windows");
}

// Runs a file or folder dialog modal to its window, as the system's own dialogs are: the user
// opened it, so it is no wait that the window's close box must cut short. It starts in the given
// folder when that exists; otherwise the system's dialog opens where the system places it, and
// Qt's in the user's home folder, never in the program's working folder.
bool RunFileDialog(QFileDialog& dialog, const QString& start) {
    const bool system = SystemFileDialogs();
    dialog.setDirectory(FolderExists(start) ? start : system ? QString() : QDir::homePath());
    dialog.setWindowModality(Qt::WindowModal);
    return dialog.exec() == QDialog::Accepted;
}
}  // namespace

QtDialogs::QtDialogs() {
    // A file dialog decides when it is made whether it is the native one; elsewhere than on
    // Windows, where a desktop's own dialog could show, it is Qt's.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, !SystemFileDialogs());
}

void QtDialogs::message(const QString& text, Icon icon, const QString& title) {
    showBox(title.isEmpty() ? AppTitle() : title, text,
            icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon);
}

void QtDialogs::errorReport(const QString& text) {
    showBox(QStringLiteral("Application Error"), text, QMessageBox::Warning);
}

QString QtDialogs::inputBox(const QString& prompt, const QString& title,
                            const QString& defaultText) {
    QInputDialog box(QApplication::activeWindow());
    box.setLabelText(DisplayText(prompt));
    box.setTextValue(defaultText);
    FrameBox(box, title.isEmpty() ? AppTitle() : title);
    return RunBox(box) == QDialog::Accepted ? box.textValue() : QString();
}

QStringList QtDialogs::openFiles(QWidget* owner, const QString& title, const QStringList& filters) {
    QFileDialog dialog(owner, title, QString(), filters.join(QStringLiteral(";;")));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    return RunFileDialog(dialog, QString()) ? dialog.selectedFiles() : QStringList();
}

QString QtDialogs::browseForFolder(QWidget* owner, const QString& prompt, const QString& start) {
    QFileDialog dialog(owner, prompt);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    const QStringList chosen =
        RunFileDialog(dialog, start) ? dialog.selectedFiles() : QStringList();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return QString();
    return QDir::toNativeSeparators(QDir::cleanPath(chosen.first()));
}

void QtDialogs::openInBrowser(const QString& address) {
    QDesktopServices::openUrl(QUrl(address));
}
