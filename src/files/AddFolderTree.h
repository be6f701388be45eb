#pragma once

#include <QString>
#include <functional>

#include "app/Steps.h"
#include "files/ScanFileSystem.h"

// Appends, through `append`, every qualifying file of `folder` (a folder path as the folder
// browser or a drop gives it, without a trailing separator except a root) and of all its
// reachable sub-folders: the folder's own files first, then level by level in the scan's order
// (GetSubDirectories2016), each folder's files in its listing order.
//
// A file qualifies when its name matches `pattern` ("*.*" for every file), does not start with
// "~", can be opened (IsExistingFile) and its attributes are not exactly 34 (a plain hidden file;
// hidden files with other attributes count). Each path is passed through FixDoubleSlashes.
//
// Yields through `yield` as the scan does; the scan's own failures are reported through
// `reporter`. A folder that turns unreadable between the scan and the listing of its files adds
// nothing; any other failure to list a folder's files throws Failure.
void AddFolderTree(const QString& folder, const QString& pattern, ErrorReporter& reporter,
                   const std::function<void()>& yield,
                   const std::function<void(const QString&)>& append);
// The same over another file system for the scan (the files themselves are always the real ones).
void AddFolderTree(const QString& folder, const QString& pattern, ErrorReporter& reporter,
                   const std::function<void()>& yield,
                   const std::function<void(const QString&)>& append, ScanFileSystem& fileSystem);
