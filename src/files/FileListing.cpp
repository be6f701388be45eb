#include "files/FileListing.h"

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
    return names;
}

bool IsExistingFile(const QString& path) {
    return platform::OpensWithoutReading(path);
}
