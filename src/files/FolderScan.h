#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

#include "core/Failure.h"
#include "core/Steps.h"
#include "files/FolderList.h"
#include "files/ScanFileSystem.h"

// Collects the sub-folders of the folders in `list`, which it changes in place: an entry whose
// folder cannot be read (permission denied or path not found) is removed, and every qualifying
// sub-folder is appended after the given entries, each ending in the separator. With `recurse` the
// walk goes down level by level: first every sub-folder of depth 1, grouped by parent in the
// parents' order and in each folder's listing order, then depth 2, and so on.
//
// A sub-folder is skipped, with everything beneath it, when its name is too long, holds a
// character that the file-name code page cannot carry, a control character or "?" (see
// HasUnsafeCharacters), or when it is a hidden system folder (attributes exactly 22, or 1046 as a
// link) that is not a drive root. A folder that was already reached in this walk through another
// path (a link) is not walked again, so a link loop ends. The given entries themselves stay
// whatever their attributes.
//
// Yields through `yield` once per folder examined, once per sub-folder found and once per folder
// returned. Failures until the first entry is examined, and after the walk, are reported through
// `reporter` with their step number; failures while folders are listed are handled quietly.
void GetSubDirectories2016(FolderList& list, bool recurse, ErrorReporter& reporter,
                           const std::function<void()>& yield,
                           ScanFileSystem& fileSystem = ScanFileSystem::real());

// Whether the scan refuses a name: one of its characters has a code below 32, from 127 to 159, is
// "?" (63), or cannot be carried by the file-name code page (which also gives 63). The empty name
// is safe.
bool HasUnsafeCharacters(const QString& name);
// The same for a name as the file system stores it; bytes that do not decode make it unsafe.
bool HasUnsafeCharacters(const QByteArray& nativeName);

// Runs `step` and gives the failure it threw, if any; for the places that handle failures quietly.
std::optional<Failure> FailureOf(const std::function<void()>& step);
