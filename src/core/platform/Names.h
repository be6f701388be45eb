#pragma once

// File names as the file system compares and stores them.

#include <QByteArray>
#include <QList>
#include <QString>

namespace platform {

// Wildcard matching of file names as Windows does it: "*" any run of characters, "?" any one
// character, letters compared without regard to case; "*.*" matches every name, with or without a
// dot, and a pattern that ends in "." matches names without an extension.
class Wildcard {
public:
    explicit Wildcard(const QString& pattern);
    bool matches(const QString& name) const;

private:
    QString folded_;
    bool everything_ = false;
    bool noExtension_ = false;
};
bool HasWildcards(const QString& text);

// Whether every character of the name exists in the code page that file names are stored in.
// Where file names are UTF-8 that is every character.
bool IsRepresentable(const QString& name);
// The code of each character of a name in the code page that file names are stored in; a
// character that the code page cannot hold gives 63 ("?"). Where names are UTF-8 these are the
// Unicode code points.
QList<uint> CodePageCodes(const QString& name);
// Whether the bytes of a name as the file system stores it decode without loss.
bool IsValidNativeName(const QByteArray& nativeName);

}  // namespace platform
