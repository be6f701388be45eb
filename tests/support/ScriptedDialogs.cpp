#include "support/ScriptedDialogs.h"

void ScriptedDialogs::record(Call call) {
    calls.push_back(call);
    if (whileShown) whileShown(calls.back());
}

void ScriptedDialogs::message(const QString& text, Icon icon, const QString& title) {
    record({QStringLiteral("message"), text, title, icon, {}, {}});
}

void ScriptedDialogs::errorReport(const QString& text) {
    record({QStringLiteral("errorReport"),
            text,
            QStringLiteral("Application Error"),
            Icon::Warning,
            {},
            {}});
}

QString ScriptedDialogs::inputBox(const QString& prompt, const QString& title,
                                  const QString& defaultText) {
    record({QStringLiteral("inputBox"), prompt, title, Icon::None, defaultText, {}});
    if (inputAnswers.empty()) return QString();
    QString answer = inputAnswers.front();
    inputAnswers.pop_front();
    return answer;
}

QStringList ScriptedDialogs::openFiles(QWidget*, const QString& title, const QStringList& filters) {
    record({QStringLiteral("openFiles"), title, title, Icon::None, {}, filters});
    if (fileAnswers.empty()) return {};
    QStringList answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

QString ScriptedDialogs::browseForFolder(QWidget*, const QString& prompt, const QString& start) {
    record({QStringLiteral("browseForFolder"), prompt, QString(), Icon::None, start, {}});
    if (folderAnswers.empty()) return QString();
    QString answer = folderAnswers.front();
    folderAnswers.pop_front();
    return answer;
}

void ScriptedDialogs::openInBrowser(const QString& address) {
    record({QStringLiteral("openInBrowser"), address, QString(), Icon::None, {}, {}});
}

QStringList ScriptedDialogs::shownTexts() const {
    QStringList texts;
    for (const Call& c : calls)
        if (c.kind == QLatin1String("message") || c.kind == QLatin1String("errorReport"))
            texts << c.text;
    return texts;
}

QStringList ScriptedDialogs::reports() const {
    QStringList texts;
    for (const Call& c : calls)
        if (c.kind == QLatin1String("errorReport")) texts << c.text;
    return texts;
}
