// Builds a folder tree in a temporary folder and times the folder add over it, the same call that
// a dropped folder makes. Prints one JSON line.
//
//   vantrelle-scan-bench [folders [files-per-folder]]      (defaults: 20000 folders, 10 files each)

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/Steps.h"
#include "files/AddFolderTree.h"

namespace {

class CountingReporter final : public ErrorReporter {
public:
    int reports = 0;
    void errorReport(const QString&) override { ++reports; }
};

}  // namespace

int main(int argc, char** argv) {
    const int folders = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int filesPerFolder = argc > 2 ? std::atoi(argv[2]) : 10;
    if (folders < 1 || filesPerFolder < 0) {
        std::fprintf(stderr, "usage: %s [folders [files-per-folder]]\n", argv[0]);
        return 2;
    }

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }

    // Folder i hangs below folder (i - 1) / 10: ten sub-folders each, filled level by level.
    QElapsedTimer timer;
    timer.start();
    std::vector<QString> paths(folders);
    paths[0] = dir.path() + QStringLiteral("/root");
    QDir().mkpath(paths[0]);
    for (int i = 1; i < folders; ++i) {
        paths[i] = paths[(i - 1) / 10] + QStringLiteral("/d%1").arg(i);
        if (!QDir().mkdir(paths[i])) {
            std::fprintf(stderr, "cannot create %s\n", qPrintable(paths[i]));
            return 1;
        }
    }
    for (const QString& folder : paths) {
        for (int f = 0; f < filesPerFolder; ++f) {
            QFile file(folder + QStringLiteral("/f%1.dat").arg(f));
            if (!file.open(QIODevice::WriteOnly)) {
                std::fprintf(stderr, "cannot create %s\n", qPrintable(file.fileName()));
                return 1;
            }
        }
    }
    const double buildSeconds = timer.nsecsElapsed() / 1e9;

    CountingReporter reporter;
    long long yields = 0;
    long long rows = 0;
    timer.restart();
    Steps steps(reporter,
                Location::of(QStringLiteral("Form2"), QStringLiteral("PushButton4_Click")));
    AddFolderTree(
        paths[0], QStringLiteral("*.*"), steps, FolderTreeLines::all(122), [&] { ++yields; },
        [&](const QString&) { ++rows; });
    const double scanSeconds = timer.nsecsElapsed() / 1e9;

    std::printf(
        "{\"bench\":\"scan\",\"folders\":%d,\"files\":%lld,\"rows\":%lld,\"yields\":%lld,"
        "\"reports\":%d,\"build_seconds\":%.3f,\"scan_seconds\":%.3f}\n",
        folders, static_cast<long long>(folders) * filesPerFolder, rows, yields, reporter.reports,
        buildSeconds, scanSeconds);
    return rows == static_cast<long long>(folders) * filesPerFolder ? 0 : 1;
}
