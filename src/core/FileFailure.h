#pragma once

#include <QFileDevice>
#include <QString>

#include "core/Failure.h"

// What the program was doing with a file when it failed.
enum class FileAction { Read, Write };

// The failure of a file operation, worded "The file "<path>" could not be read: <reason>" (or
// "written"), where the reason is the operating system's own text for the error, for example
// "No space left on device". Numbered 75 (path/file access error).
Failure FileFailure(FileAction action, const QString& path, const QString& systemText);

// The same for an operation on an open file that has just failed: the reason is the text the
// system gave for it. Where the file recorded no error (a write that only came up short), the
// system's text for the last error of the calling thread is used.
Failure FileFailure(FileAction action, const QString& path, const QFileDevice& file);
