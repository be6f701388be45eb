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
