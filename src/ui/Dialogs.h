#pragma once

#include <QString>
#include <QStringList>

#include "core/Steps.h"

class QWidget;

// Every modal box the program shows goes through this seam, so tests can script the answers and no
// test ever waits on a window. Message texts use carriage returns as line breaks.
class Dialogs : public ErrorReporter {
public:
    enum class Icon { None, Warning };

    // A message box with an OK button only; an empty title means the application title.
    virtual void message(const QString& text, Icon icon = Icon::None,
                         const QString& title = QString()) = 0;
    // The error report: title "Application Error", OK only, warning icon.
    void errorReport(const QString& text) override = 0;
    // An input box; gives the empty text when the user cancels.
    virtual QString inputBox(const QString& prompt, const QString& title,
                             const QString& defaultText) = 0;
    // The file and folder dialogs are modal to their owner window; on Windows they are the
    // system's own.
    // The open-file dialog with multiple selection; filters are Qt name filters
    // ("Description (*.a *.b)"). Gives the chosen paths, none when the user cancels.
    virtual QStringList openFiles(QWidget* owner, const QString& title,
                                  const QStringList& filters) = 0;
    // The folder browser, starting at `start` when it names a folder. Gives the chosen folder
    // without a trailing separator (except a root), or the empty text when the user cancels.
    virtual QString browseForFolder(QWidget* owner, const QString& prompt,
                                    const QString& start) = 0;
    // Opens an address in the user's browser, without waiting for it.
    virtual void openInBrowser(const QString& address) = 0;
};

// The real dialogs: Qt's message and input boxes, and the system's file and folder dialogs where
// Qt can show them, Qt's own elsewhere.
class QtDialogs final : public Dialogs {
public:
    // Made once the application object exists.
    QtDialogs();
    void message(const QString& text, Icon icon, const QString& title) override;
    void errorReport(const QString& text) override;
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    QStringList openFiles(QWidget* owner, const QString& title,
                          const QStringList& filters) override;
    QString browseForFolder(QWidget* owner, const QString& prompt, const QString& start) override;
    void openInBrowser(const QString& address) override;
};

// The width a box needs to show its whole caption in its frame: the caption in the title bar's
// font, and room for the frame's icon, its buttons and its borders.
int CaptionWidth(const QString& caption);

class QDialog;
// Shows the box and waits for its answer (the dialog's result) with every other window taking no
// input, without making the box modal to the window system, so that the program's windows still
// end the program when they are closed.
int RunBox(QDialog& box);

// Carriage returns, alone or before a line feed, become the line breaks a Qt box shows.
QString DisplayText(const QString& text);
