#pragma once

#include <QString>
#include <functional>

#include "core/Steps.h"
#include "files/ScanFileSystem.h"

// The line numbers under which a folder add's steps are reported by the handler that runs it.
struct FolderTreeLines {
    int start;   // the folder list starts with the folder
    int scan;    // the scan of the whole tree
    int list;    // listing one folder's files
    int append;  // the tests of one file and its row

    // Every step under the one line of the handler's step that adds the tree.
    static constexpr FolderTreeLines all(int line) { return {line, line, line, line}; }
};

// Appends, through `append`, every qualifying file of `folder` (a folder path as the folder
// browser or a drop gives it, without a trailing separator except a root) and of all its
// reachable sub-folders: the folder's own files first, then level by level in the scan's order
// (GetSubDirectories2016), each folder's files in its listing order.
//
// A file qualifies when its name matches `pattern` ("*.*" for every file), does not start with
// "~", can be opened (IsExistingFile) and its attributes are not exactly 34 (a plain hidden file;
// hidden files with other attributes count). Each path is passed through FixDoubleSlashes.
//
// Yields through `yield` as the scan does; the scan reports its own failures. A folder that turns
// unreadable between the scan and the listing of its files adds nothing and is not reported; any
// other failure is reported through `steps` at its line in `lines`, and the add goes on with the
// next file or folder.
void AddFolderTree(const QString& folder, const QString& pattern, Steps& steps,
                   const FolderTreeLines& lines, const std::function<void()>& yield,
                   const std::function<void(const QString&)>& append,
                   ScanFileSystem& fileSystem = ScanFileSystem::real());
