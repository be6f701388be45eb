#include "app/Dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

#include "app/AppInfo.h"

QString DisplayText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    return shown;
}

namespace {
void showBox(const QString& title, const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, title, DisplayText(text), QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
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
    bool ok = false;
    const QString answer =
        QInputDialog::getText(QApplication::activeWindow(), title.isEmpty() ? AppTitle() : title,
                              DisplayText(prompt), QLineEdit::Normal, defaultText, &ok);
    return ok ? answer : QString();
}

QStringList QtDialogs::openFiles(QWidget* owner, const QString& title, const QStringList& filters) {
    return QFileDialog::getOpenFileNames(owner, title, QString(),
                                         filters.join(QStringLiteral(";;")));
}

QString QtDialogs::browseForFolder(QWidget* owner, const QString& prompt, const QString& start) {
    const QString chosen = QFileDialog::getExistingDirectory(owner, prompt, start);
    if (chosen.isEmpty()) return QString();
    return QDir::toNativeSeparators(QDir::cleanPath(chosen));
}

void QtDialogs::openInBrowser(const QString& address) {
    QDesktopServices::openUrl(QUrl(address));
}
