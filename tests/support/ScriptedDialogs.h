#pragma once

#include <QList>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "ui/Dialogs.h"

// Records every dialog the program opens and answers from queues set up by the test. An empty
// queue answers as a cancel.
class ScriptedDialogs final : public Dialogs {
public:
    struct Call {
        QString kind;  // "message", "errorReport", "inputBox", "openFiles", "browseForFolder",
                       // "openInBrowser"
        QString text;  // message text, prompt, dialog title or address
        QString title;
        Icon icon = Icon::None;
        QString extra;  // input default, browse start folder
        QStringList filters;
    };

    std::vector<Call> calls;
    std::deque<QString> inputAnswers;
    std::deque<QStringList> fileAnswers;
    std::deque<QString> folderAnswers;
    // Runs while a dialog is "on screen", for tests that look at the window meanwhile.
    std::function<void(const Call&)> whileShown;

    void message(const QString& text, Icon icon, const QString& title) override;
    void errorReport(const QString& text) override;
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    QStringList openFiles(QWidget* owner, const QString& title,
                          const QStringList& filters) override;
    QString browseForFolder(QWidget* owner, const QString& prompt, const QString& start) override;
    void openInBrowser(const QString& address) override;

    // The texts of message boxes and error reports, in the order shown.
    QStringList shownTexts() const;
    // Only the error reports.
    QStringList reports() const;
    void clear() { calls.clear(); }

private:
    void record(Call call);
};
