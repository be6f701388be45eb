#include "files/FolderScan.h"

#include "core/platform/Names.h"
#include "core/platform/Paths.h"

#include <QSet>
#include <utility>
#include <vector>

namespace {

// Whole attribute values, not single bits, of the hidden system folders that the scan leaves out.
constexpr int kHiddenSystemFolder = 22;
constexpr int kHiddenSystemLink = 1046;

struct Entry {
    explicit Entry(QString p) : path(std::move(p)) {}
    QString path;
    std::optional<platform::PathFacts> facts;
    bool examined = false;
    bool removed = false;        // its folder could not be read: it leaves the list
    bool reachedBefore = false;  // the same folder came up earlier in this walk
};

bool isBarred(const platform::PathFacts& facts) {
    return !facts.root &&
           (facts.attributes == kHiddenSystemFolder || facts.attributes == kHiddenSystemLink);
}

bool isUnreadable(const Failure& failure) {
    return failure.number == Failure::kPermissionDenied || failure.number == Failure::kPathNotFound;
}

// One level of the walk: examines each entry and lists the sub-folders of those that qualify.
class LevelWalk {
public:
    LevelWalk(Steps& steps, const std::function<void()>& yield, ScanFileSystem& fileSystem,
              QSet<std::pair<quint64, quint64>>& reached)
        : steps_(steps), yield_(yield), fileSystem_(fileSystem), reached_(reached) {}

    // Walks `level` and gives the sub-folders found, in order.
    std::vector<Entry> walk(std::vector<Entry>& level, bool isStart) {
        std::vector<Entry> found;
        // Until an entry is first examined, a failure is reported; from then on the listing
        // handler takes over for this level: it is quiet and removes folders that cannot be read.
        listingArmed_ = false;
        for (Entry& entry : level) walkEntry(entry, isStart, found);
        return found;
    }

private:
    // Runs a step of an entry under whichever handler is armed; false when it failed.
    bool attempt(int line, Entry& entry, const std::function<void()>& step) {
        if (!listingArmed_) return steps_.run(line, step);
        if (const auto failure = FailureOf(step)) {
            if (isUnreadable(*failure)) entry.removed = true;
            return false;
        }
        return true;
    }

    void walkEntry(Entry& entry, bool isStart, std::vector<Entry>& found) {
        // 110: a path that the platform cannot use is not walked.
        if (platform::PathTooLong(entry.path)) return;
        // 108, 112: is it a folder, and what are its attributes. A report for a folder that
        // cannot be examined is shown once; the walk goes on with the next entry.
        const bool examined =
            attempt(112, entry, [&] { entry.facts = fileSystem_.facts(entry.path); });
        entry.examined = true;
        if (!examined) {
            listingArmed_ = true;
            return;
        }
        if (!entry.facts || !entry.facts->folder) return;
        if (entry.facts->device != 0 || entry.facts->node != 0) {
            const bool first = !reached_.contains({entry.facts->device, entry.facts->node});
            reached_.insert({entry.facts->device, entry.facts->node});
            if (!first && !isStart) {
                entry.reachedBefore = true;
                return;
            }
        }
        // 114: under the listing handler a failure here ends the entry, under the report it
        // does not.
        const bool listing = listingArmed_;
        if (!attempt(114, entry, yield_) && listing) return;
        // 116
        listingArmed_ = true;
        if (isBarred(*entry.facts)) return;
        // 118 to 136
        const QChar separator = platform::Separator();
        const auto failure = FailureOf([&] {
            fileSystem_.subFolders(entry.path, [&](const QString& name) {
                yield_();                                                                 // 120
                if (platform::NameTooLong(name)) return;                                  // 124
                if (HasUnsafeCharacters(name)) return;                                    // 126
                if (name.contains(u'?')) return;                                          // 128
                if (name == QStringLiteral(".") || name == QStringLiteral("..")) return;  // 130
                found.emplace_back(entry.path + name + separator);  // 132, 134
            });
        });
        // 138 to 148: a folder that cannot be read leaves the list, so none of its files are
        // listed later; any other failure only ends its listing.
        if (failure && isUnreadable(*failure)) entry.removed = true;
    }

    Steps& steps_;
    const std::function<void()>& yield_;
    ScanFileSystem& fileSystem_;
    QSet<std::pair<quint64, quint64>>& reached_;
    bool listingArmed_ = false;
};

}  // namespace

std::optional<Failure> FailureOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const Failure& failure) {
        return failure;
    } catch (const std::exception& e) {
        return Failure(Failure::kPathFileAccessError, QString::fromLocal8Bit(e.what()));
    }
    return std::nullopt;
}

void GetSubDirectories2016(FolderList& list, bool recurse, ErrorReporter& reporter,
                           const std::function<void()>& yield, ScanFileSystem& fileSystem) {
    Steps steps(reporter, Location::folderScan("AddFolder", "GetSubDirectories2016"));
    QSet<std::pair<quint64, quint64>> reached;
    LevelWalk walker(steps, yield, fileSystem, reached);

    // The walk goes level by level, keeping each level apart, so that every folder is examined
    // once and listed once however deep the tree is.
    std::vector<std::vector<Entry>> levels(1);
    for (const QString& path : list) levels[0].emplace_back(path);
    for (std::size_t depth = 0; depth < levels.size(); ++depth) {
        if (depth > 0 && !recurse) break;
        std::vector<Entry> found = walker.walk(levels[depth], depth == 0);
        if (!found.empty()) levels.push_back(std::move(found));
    }

    // 150 to 160: the given entries that could be read, then each deeper level's folders.
    FolderList result;
    for (const Entry& entry : levels[0])
        if (!entry.removed) result.append(entry.path);
    for (std::size_t depth = 1; depth < levels.size(); ++depth) {
        for (Entry& entry : levels[depth]) {
            if (entry.removed || entry.reachedBefore) continue;
            if (!entry.examined) {
                // A level below the walk's end, or a path too long to walk: examined only here.
                if (!steps.run(158, [&] { entry.facts = fileSystem.facts(entry.path); })) {
                    result.append(entry.path);  // a failed test still lets its step run
                    continue;
                }
            }
            if (!entry.facts || !entry.facts->folder) continue;  // 154
            steps.run(156, yield);
            if (!isBarred(*entry.facts)) result.append(entry.path);  // 158, 160
        }
    }
    list = std::move(result);
}

bool HasUnsafeCharacters(const QString& name) {
    for (const uint code : platform::CodePageCodes(name))
        if (code < 32 || (code >= 127 && code <= 159) || code == '?') return true;
    return false;
}

bool HasUnsafeCharacters(const QByteArray& nativeName) {
    return !platform::IsValidNativeName(nativeName) ||
           HasUnsafeCharacters(QString::fromUtf8(nativeName));
}
