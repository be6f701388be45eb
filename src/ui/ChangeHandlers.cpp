#include "ui/ChangeHandlers.h"

#include <QLineEdit>

void ChangeHandlers::connect(QLineEdit* box, const QString& procedure,
                             std::function<void()> handler) {
    handlers_.insert(box, {procedure, handler});
    QObject::connect(box, &QLineEdit::textChanged, this,
                     [this, procedure, handler = std::move(handler)] { run(procedure, handler); });
}

void ChangeHandlers::run(const QString& procedure, const std::function<void()>& handler) {
    // A failure must not unwind through Qt's signal delivery, so it is caught here and either
    // handed to the step that set the box or reported.
    try {
        handler();
    } catch (const Failure& f) {
        if (settingByProgram_)
            pending_ = f;
        else
            Steps(reporter_, Location::of(module_, procedure)).report(100, f.description);
    }
}

void ChangeHandlers::setText(QLineEdit* box, const QString& text) {
    settingByProgram_ = true;
    pending_.reset();
    box->setText(text);
    // A box that the program has just filled shows the start of its text, not the end: for a
    // long path, the drive or root that tells where it is.
    box->setCursorPosition(0);
    settingByProgram_ = false;
    throwPending();
}

void ChangeHandlers::load(QLineEdit* box, const QString& text) {
    if (box->text() != text) {
        setText(box, text);
        return;
    }
    box->setCursorPosition(0);
    const Handler handler = handlers_.value(box);
    if (!handler.run) return;
    settingByProgram_ = true;
    pending_.reset();
    run(handler.procedure, handler.run);
    settingByProgram_ = false;
    throwPending();
}

void ChangeHandlers::throwPending() {
    if (pending_) {
        const Failure failure = *pending_;
        pending_.reset();
        throw failure;
    }
}
