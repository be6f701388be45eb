#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "core/platform/FileSystem.h"

// The file system as the folder scan sees it: what a path is, and which sub-folders a folder has.
// The scan runs on the real one; another one can stand in its way, for example to make a folder
// unreadable where permissions block nothing.
class ScanFileSystem {
public:
    virtual ~ScanFileSystem() = default;

    // The facts of a path; nothing when it is missing or cannot be examined. A failure to examine
    // it that the scan must hear of throws Failure.
    virtual std::optional<platform::PathFacts> facts(const QString& path) = 0;
    // Gives the names of a folder's sub-folders in the order the folder lists them. A name that
    // cannot be decoded shows its undecodable parts as "?". A failure to read the folder throws
    // Failure (70 permission denied, 76 path not found, others) and ends the listing; the names
    // given before it stand.
    virtual void subFolders(const QString& folder,
                            const std::function<void(const QString& name)>& each) = 0;
    // The names of a folder's files that match the pattern, as ListFiles gives them. A failure to
    // read the folder throws Failure.
    virtual QStringList files(const QString& folder, const QString& pattern);

    // The real file system.
    static ScanFileSystem& real();
};
