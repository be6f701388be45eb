#include "files/FileListing.h"

#include <algorithm>

#include "core/PathUtils.h"
#include "core/platform/FileSystem.h"
#include "core/platform/Names.h"
#include "core/platform/Paths.h"

QStringList ListFiles(const QString& folder, const QString& pattern) {
    QString prefix = folder;
    if (!prefix.endsWith(platform::Separator())) prefix += platform::Separator();
    QStringList names;
    if (!FolderExists(prefix)) return names;
    const platform::Wildcard wildcard(pattern);
    platform::ListFolder(prefix, [&](const platform::FolderEntry& entry) {
        if (entry.folder || !entry.validName || !wildcard.matches(entry.name)) return;
        if (IsExistingFile(prefix + entry.name)) names.append(entry.name);
    });
    // Name order without regard to case, as Windows' file systems list a folder; names that differ
    // in case alone (on the systems that allow them) keep one order too.
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    return names;
}

bool IsExistingFile(const QString& path) {
    return platform::OpensWithoutReading(path);
}
