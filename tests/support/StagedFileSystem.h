#pragma once

#include <QStringList>
#include <algorithm>
#include <functional>
#include <map>

#include "core/Failure.h"
#include "files/ScanFileSystem.h"

// The real file system with changes staged by a test: folders whose listing fails (after giving
// some names), paths whose examination fails, attributes and roots that the platform cannot
// produce, folders whose files cannot be listed, and a fixed order of listing.
class StagedFileSystem final : public ScanFileSystem {
public:
    struct ListingFailure {
        Failure failure;
        int namesBefore = 0;
    };
    std::map<QString, ListingFailure> listingFailures;  // by folder path, with separator
    std::map<QString, Failure> examineFailures;
    std::map<QString, Failure> fileListingFailures;  // by folder path, without separator
    std::map<QString, int> attributes;
    QStringList roots;
    bool descending = false;  // list names in descending order instead of ascending
    QStringList listed;       // folders whose listing was asked for, in order
    std::function<void(const QString& folder)> whileListingFiles;  // runs at each file listing

    std::optional<platform::PathFacts> facts(const QString& path) override {
        if (const auto it = examineFailures.find(path); it != examineFailures.end())
            throw it->second;
        auto facts = real().facts(path);
        if (facts && attributes.count(path)) facts->attributes = attributes.at(path);
        if (facts && roots.contains(path)) facts->root = true;
        return facts;
    }

    void subFolders(const QString& folder,
                    const std::function<void(const QString& name)>& each) override {
        listed.append(folder);
        QStringList names;
        real().subFolders(folder, [&](const QString& name) { names.append(name); });
        std::sort(names.begin(), names.end());
        if (descending) std::reverse(names.begin(), names.end());
        const auto failure = listingFailures.find(folder);
        for (int i = 0; i < names.size(); ++i) {
            if (failure != listingFailures.end() && i == failure->second.namesBefore)
                throw failure->second.failure;
            each(names[i]);
        }
        if (failure != listingFailures.end()) throw failure->second.failure;
    }

    QStringList files(const QString& folder, const QString& pattern) override {
        if (whileListingFiles) whileListingFiles(folder);
        if (const auto it = fileListingFailures.find(folder); it != fileListingFailures.end())
            throw it->second;
        return ScanFileSystem::files(folder, pattern);
    }
};
