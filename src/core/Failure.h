#pragma once

#include <QString>
#include <exception>

// The one exception type of the program. Database failures carry the server's text, file failures
// the system's, and the failures that the program words itself carry the runtime's familiar number
// and wording, so callers that care (the folder walk) test the number, never the text.
struct Failure : std::exception {
    int number = 0;
    QString description;

    Failure(int n, QString text) : number(n), description(std::move(text)) {}
    const char* what() const noexcept override;

    static constexpr int kInvalidProcedureCall = 5;
    static constexpr int kBadFileName = 52;
    static constexpr int kFileNotFound = 53;
    static constexpr int kPermissionDenied = 70;
    static constexpr int kPathFileAccessError = 75;
    static constexpr int kPathNotFound = 76;

    static Failure invalidProcedureCall() {
        return {kInvalidProcedureCall, QStringLiteral("Invalid procedure call or argument")};
    }
    static Failure fileNotFound() { return {kFileNotFound, QStringLiteral("File not found")}; }
    static Failure permissionDenied() {
        return {kPermissionDenied, QStringLiteral("Permission denied")};
    }
    static Failure pathNotFound() { return {kPathNotFound, QStringLiteral("Path not found")}; }

private:
    mutable QByteArray what_;
};

// A description longer than this many characters is cut there and "..." appended.
constexpr qsizetype kReadableDescriptionLength = 400;

// A description as a person can read it in a dialog: every character that cannot be printed
// (control characters, formatting marks, unassigned or private code points, lone surrogates, and
// the replacement character that stands for bytes that were no text) is shown as "?", and a text
// longer than kReadableDescriptionLength characters is cut there with "..." appended. Characters
// are counted as code points, so a cut never splits one. A server message that quotes a file's
// bytes therefore shows at most a line of question marks and letters.
QString ReadableDescription(const QString& text);
