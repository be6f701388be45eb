#include "files/AddFolderTree.h"

#include "core/PathUtils.h"
#include "core/platform/FileSystem.h"
#include "core/platform/Paths.h"
#include "files/FileListing.h"
#include "files/FolderList.h"
#include "files/FolderScan.h"

namespace {
// Hidden and archive, nothing else: the plain dot-file that a folder add leaves out.
constexpr int kHiddenArchive = platform::attr::kHidden | platform::attr::kArchive;
}  // namespace

void AddFolderTree(const QString& folder, const QString& pattern, Steps& steps,
                   const FolderTreeLines& lines, const std::function<void()>& yield,
                   const std::function<void(const QString&)>& append, ScanFileSystem& fileSystem) {
    if (folder.isEmpty()) return;  // no folder chosen, not the root of the current drive
    const QChar separator = platform::Separator();
    FolderList folders;
    // A root already ends in its separator; it gets no second one.
    steps.run(lines.start, [&] {
        folders = FolderList{folder.endsWith(separator) ? folder : folder + separator};
    });
    steps.run(lines.scan,
              [&] { GetSubDirectories2016(folders, true, steps.reporter(), yield, fileSystem); });

    for (const QString& entry : folders) {
        const QString path = entry.left(entry.size() - 1);
        QStringList names;
        // One folder that cannot be listed costs its own files only; the walk goes on.
        steps.run(lines.list, [&] {
            if (const auto failure = FailureOf([&] { names = fileSystem.files(path, pattern); })) {
                if (failure->number != Failure::kPermissionDenied &&
                    failure->number != Failure::kPathNotFound)
                    throw *failure;
            }
        });
        for (const QString& name : names) {
            if (name.startsWith(u'~')) continue;
            const QString file = path + separator + name;
            steps.run(lines.append, [&] {
                if (!IsExistingFile(file)) return;
                const auto facts = platform::ReadPathFacts(file);
                if (!facts || facts->attributes == kHiddenArchive) return;
                append(FixDoubleSlashes(file));
            });
        }
    }
}
