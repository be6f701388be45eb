#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "core/Failure.h"
#include "core/Steps.h"

class QLineEdit;

// Runs the change handlers of a window's text boxes, which store a box's text at every change.
// A handler has no error report of its own: when the program itself sets a box (setText below),
// a failure of the handler reaches the step that set it; when the user types, the failure is
// reported at once under the handler's own name, and the program goes on.
class ChangeHandlers : public QObject {
    Q_OBJECT

public:
    ChangeHandlers(ErrorReporter& reporter, QString module, QObject* parent = nullptr)
        : QObject(parent), reporter_(reporter), module_(std::move(module)) {}

    void connect(QLineEdit* box, const QString& procedure, std::function<void()> handler);

    // Sets the box's text like an edit: its handler runs when the text differs. The box then
    // shows the start of its text. Throws the handler's failure.
    void setText(QLineEdit* box, const QString& text);
    // Sets the box's text as a load does over a box that starts with a design text of its own:
    // the handler always runs, also when the text equals what the box shows. Throws the
    // handler's failure.
    void load(QLineEdit* box, const QString& text);

private:
    void run(const QString& procedure, const std::function<void()>& handler);
    void throwPending();

    struct Handler {
        QString procedure;
        std::function<void()> run;
    };
    QHash<const QLineEdit*, Handler> handlers_;

    ErrorReporter& reporter_;
    QString module_;
    bool settingByProgram_ = false;
    std::optional<Failure> pending_;
};
