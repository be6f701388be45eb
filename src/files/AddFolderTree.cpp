#include "files/AddFolderTree.h"

#include "app/PathUtils.h"
#include "app/Platform.h"
#include "files/FileListing.h"
#include "files/FolderList.h"
#include "files/FolderScan.h"

namespace {
// Hidden and archive, nothing else: the plain dot-file that a folder add leaves out.
constexpr int kHiddenArchive = platform::attr::kHidden | platform::attr::kArchive;
}  // namespace

void AddFolderTree(const QString& folder, const QString& pattern, ErrorReporter& reporter,
                   const std::function<void()>& yield,
                   const std::function<void(const QString&)>& append) {
    AddFolderTree(folder, pattern, reporter, yield, append, ScanFileSystem::real());
}

void AddFolderTree(const QString& folder, const QString& pattern, ErrorReporter& reporter,
                   const std::function<void()>& yield,
                   const std::function<void(const QString&)>& append, ScanFileSystem& fileSystem) {
    if (folder.isEmpty()) return;  // no folder chosen, not the root of the current drive
    const QChar separator = platform::Separator();
    // A root already ends in its separator; it gets no second one.
    FolderList folders{folder.endsWith(separator) ? folder : folder + separator};
    GetSubDirectories2016(folders, true, reporter, yield, fileSystem);

    for (const QString& entry : folders) {
        const QString path = entry.left(entry.size() - 1);
        QStringList names;
        if (const auto failure = FailureOf([&] { names = ListFiles(path, pattern); })) {
            if (failure->number == Failure::kPermissionDenied ||
                failure->number == Failure::kPathNotFound)
                continue;
            throw *failure;
        }
        for (const QString& name : names) {
            if (name.startsWith(u'~')) continue;
            const QString file = path + separator + name;
            if (!IsExistingFile(file)) continue;
            const auto facts = platform::ReadPathFacts(file);
            if (!facts || facts->attributes == kHiddenArchive) continue;
            append(FixDoubleSlashes(file));
        }
    }
}
