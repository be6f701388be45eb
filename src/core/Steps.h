#pragma once

#include <QString>
#include <exception>
#include <utility>

#include "core/Failure.h"

// Where the error report shows the user to have seen a failure.
class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    // Shows the report text in a modal box titled "Application Error" (OK, warning icon).
    virtual void errorReport(const QString& text) = 0;
};

// The place named in an error report: "in " + prefix + "." + module + "." + procedure + " ".
class Location {
public:
    // The program's handlers.
    static Location of(const QString& module, const QString& procedure);
    // The folder scan, which names itself under a prefix of its own.
    static Location folderScan(const QString& module, const QString& procedure);

    const QString& text() const { return text_; }

private:
    explicit Location(QString text) : text_(std::move(text)) {}
    QString text_;
};

// The whole text of the report for a failure at the given step line; the description is shown as
// ReadableDescription makes it.
QString ReportText(const QString& description, const Location& where, int line);

// Runs a handler's numbered steps: a step that fails shows the report with its line number and the
// handler goes on with the next step, unless the handler says otherwise with runOrStop.
class Steps {
public:
    Steps(ErrorReporter& reporter, Location where)
        : reporter_(reporter), where_(std::move(where)) {}

    // Runs a step; a failure is reported. Returns whether the step succeeded.
    template <class F>
    bool run(int line, F&& step) {
        return guarded(line, std::forward<F>(step));
    }

    // Runs a step whose failure ends the handler: the caller returns when this gives false. It
    // runs and reports as run does; the name marks the places where a handler stops on purpose.
    template <class F>
    [[nodiscard]] bool runOrStop(int line, F&& step) {
        return run(line, std::forward<F>(step));
    }

    // Evaluates a test that decides whether the handler goes on. When the test itself fails, the
    // failure is reported and the test counts as passed: the steps it guards still run.
    template <class F>
    bool passes(int line, F&& condition) {
        bool result = true;
        guarded(line, [&] { result = condition(); });
        return result;
    }

    void report(int line, const QString& description);
    const Location& location() const { return where_; }
    // Where the reports go, for a called procedure that reports under a location of its own.
    ErrorReporter& reporter() const { return reporter_; }

private:
    template <class F>
    bool guarded(int line, F&& step) {
        try {
            step();
            return true;
        } catch (const Failure& f) {
            report(line, f.description);
        } catch (const std::exception& e) {
            report(line, QString::fromLocal8Bit(e.what()));
        }
        return false;
    }

    ErrorReporter& reporter_;
    Location where_;
};
