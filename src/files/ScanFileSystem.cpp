#include "files/ScanFileSystem.h"

#include "files/FileListing.h"

namespace {

class RealFileSystem final : public ScanFileSystem {
public:
    std::optional<platform::PathFacts> facts(const QString& path) override {
        return platform::ReadPathFacts(path);
    }
    void subFolders(const QString& folder,
                    const std::function<void(const QString& name)>& each) override {
        platform::ListFolder(folder, [&](const platform::FolderEntry& entry) {
            // A folder's sub-folders are its real children; "." and ".." are not among them.
            if (entry.folder && entry.name != QStringLiteral(".") &&
                entry.name != QStringLiteral(".."))
                each(entry.name);
        });
    }
};

}  // namespace

ScanFileSystem& ScanFileSystem::real() {
    static RealFileSystem fileSystem;
    return fileSystem;
}

QStringList ScanFileSystem::files(const QString& folder, const QString& pattern) {
    return ListFiles(folder, pattern);
}
