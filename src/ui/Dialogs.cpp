#include "ui/Dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

#include "core/AppInfo.h"
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

namespace {
void showBox(const QString& title, const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, title, DisplayText(text), QMessageBox::Ok, QApplication::activeWindow());
    RunBox(box);
}
}  // namespace

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
    box.setWindowTitle(title.isEmpty() ? AppTitle() : title);
    box.setLabelText(DisplayText(prompt));
    box.setTextValue(defaultText);
    return RunBox(box) == QDialog::Accepted ? box.textValue() : QString();
}

// The file and folder dialogs run as the other boxes do, so that closing a window ends the program
// also while one of them is open. Where the system's own dialog cannot be shown without being
// modal, Qt's is shown.
QStringList QtDialogs::openFiles(QWidget* owner, const QString& title, const QStringList& filters) {
    QFileDialog box(owner, title, QString(), filters.join(QStringLiteral(";;")));
    box.setFileMode(QFileDialog::ExistingFiles);
    return RunBox(box) == QDialog::Accepted ? box.selectedFiles() : QStringList();
}

QString QtDialogs::browseForFolder(QWidget* owner, const QString& prompt, const QString& start) {
    QFileDialog box(owner, prompt, start);
    box.setFileMode(QFileDialog::Directory);
    box.setOption(QFileDialog::ShowDirsOnly);
    const QStringList chosen =
        RunBox(box) == QDialog::Accepted ? box.selectedFiles() : QStringList();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return QString();
    return QDir::toNativeSeparators(QDir::cleanPath(chosen.first()));
}

void QtDialogs::openInBrowser(const QString& address) {
    QDesktopServices::openUrl(QUrl(address));
}
