#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "files/ScanFileSystem.h"

class Dialogs;
class QWidget;
class UploadList;

// The open-file dialog's title and its two name filters. The picture patterns are those of the
// description; "All Files" also lists names without a dot, as "*.*" does on Windows.
extern const QString kAddFilesTitle;
QStringList AddFilesFilters();

// "Add Images or Other File(s)": the chosen files become new last rows. One file is listed as the
// dialog gives it; several are listed as folder, separator and name with doubled separators made
// single, so a selection in a root folder gives clean paths.
void AddImagesOrOtherFiles(Dialogs& dialogs, QWidget* owner, UploadList& list);

// "Add All Files In Folder": asks for an extension and a folder and lists every file of the folder
// tree that ends in that extension. setBusy(true) and setBusy(false) surround the walk (the busy
// pointer); a folder that fails is reported at its step and the walk goes on, so setBusy(false)
// always follows. The walk reads the tree through `fileSystem`.
void AddAllFilesInFolder(Dialogs& dialogs, QWidget* owner, UploadList& list,
                         const std::function<void(bool busy)>& setBusy,
                         ScanFileSystem& fileSystem = ScanFileSystem::real());
