#include "core/PathUtils.h"

#include "core/Failure.h"
#include "core/platform/FileSystem.h"
#include "core/platform/Names.h"
#include "core/platform/Paths.h"
#include "core/platform/ProgramFolders.h"

namespace {
constexpr int kDesktop = 0;

bool isNormalFile(const platform::PathFacts& facts) {
    return facts.regularFile && !facts.folder &&
           !(facts.attributes & (platform::attr::kHidden | platform::attr::kSystem));
}
}  // namespace

QString ProgramFolder() {
    return platform::ExecutableFolder();
}

bool PathExists(const QString& path) {
    return !platform::HasWildcards(path) && platform::LastModifiedReadable(path);
}

QString GetSpecialFolder(int folderNumber) {
    return folderNumber == kDesktop ? platform::DesktopFolder() : QString();
}

QString GetDesktopFolder() {
    QString desktop = GetSpecialFolder(kDesktop);
    if (desktop.isEmpty()) throw Failure::invalidProcedureCall();
    if (!desktop.endsWith(platform::Separator())) desktop += platform::Separator();
    return desktop;
}

bool FileExists(const QString& pathOrPattern) {
    if (pathOrPattern.contains(QChar(0)))
        throw Failure(Failure::kBadFileName, QStringLiteral("Bad file name or number"));
    const qsizetype cut = platform::LastSeparator(pathOrPattern);
    const QString name = pathOrPattern.mid(cut + 1);
    // An empty text or a path that ends in a separator names a folder, not a file.
    if (name.isEmpty()) return false;
    if (!platform::HasWildcards(name)) {
        const auto facts = platform::ReadPathFacts(pathOrPattern);
        return facts && isNormalFile(*facts);
    }
    const QString prefix = pathOrPattern.left(cut + 1);
    const platform::Wildcard wildcard(name);
    bool found = false;
    try {
        platform::ListFolder(
            prefix.isEmpty() ? QStringLiteral(".") : prefix,
            [&](const platform::FolderEntry& entry) {
                if (found || entry.folder || !entry.validName || !wildcard.matches(entry.name))
                    return;
                const auto facts = platform::ReadPathFacts(prefix + entry.name);
                found = facts && isNormalFile(*facts);
            });
    } catch (const Failure&) {
        // A folder that cannot be searched shows no file, as an empty search does.
    }
    return found;
}

bool FolderExists(const QString& path) {
    const auto facts = platform::ReadPathFacts(path);
    return facts && (facts->attributes & platform::attr::kDirectory);
}

QString FixDoubleSlashes(const QString& path, QChar separator, bool networkPaths) {
    const QString doubled(2, separator);
    const QString single(1, separator);
    if (!networkPaths || !path.startsWith(separator)) return QString(path).replace(doubled, single);
    qsizetype first = 1;
    while (first < path.size() && path[first] == separator) ++first;
    return doubled + path.mid(first).replace(doubled, single);
}

QString FixDoubleSlashes(const QString& path) {
    return FixDoubleSlashes(path, platform::Separator(), platform::HasNetworkPaths());
}
