#include "ui/main/AddFiles.h"

#include <QDir>

#include "core/AppInfo.h"
#include "core/PathUtils.h"
#include "core/Settings.h"
#include "core/Steps.h"
#include "core/platform/Paths.h"
#include "files/AddFolderTree.h"
#include "ui/Dialogs.h"
#include "ui/WindowSetup.h"
#include "ui/main/UploadList.h"

const QString kAddFilesTitle = QStringLiteral("Add File(s) - Hold Ctrl to select multiple files");

namespace {

const QString kPicturePatterns = QStringLiteral(
    "*.emf;*.wmf;*.jpg;*.jpeg;*.jfif;*.jpe;*.png;*.bmp;*.dib;*.rle;*.bmz;*.gif;*.gfa;*.emz;*.wmz;"
    "*.pcz;*.tif;*.tiff;*.cgm;*.eps;*.pct;*.pict;*.wpg");

const QString kExtensionPrompt = QStringLiteral(
    "Enter file extension to load:\r\r(* for all files, txt for all txt files, doc for all doc "
    "files, etc.)");

struct FolderAndName {
    QString folder;
    QString name;
};

// A full path from the dialog, cut at its last separator.
FolderAndName Split(const QString& path) {
    const qsizetype cut = path.lastIndexOf(platform::Separator());
    if (cut < 0) return {QString(), path};
    return {path.left(cut), path.mid(cut + 1)};
}

}  // namespace

QStringList AddFilesFilters() {
    // Qt name filters separate their patterns with blanks. A Qt "*.*" needs a dot in the name, so
    // "*" is added to list every file.
    QString pictures = kPicturePatterns;
    pictures.replace(u';', u' ');
    return {QStringLiteral("All Pictures (") + pictures + u')', QStringLiteral("All Files(*.* *)")};
}

void AddImagesOrOtherFiles(Dialogs& dialogs, QWidget* owner, UploadList& list) {
    Steps steps(dialogs,
                Location::of(QStringLiteral("Form2"), QStringLiteral("PushButton3_Click")));
    QStringList chosen;
    steps.run(112, [&] {
        // The dialog gives its paths in the platform's own form.
        for (const QString& path : dialogs.openFiles(owner, kAddFilesTitle, AddFilesFilters()))
            chosen << QDir::toNativeSeparators(path);
    });
    if (!steps.passes(114, [&] { return !chosen.isEmpty(); })) return;

    if (steps.passes(118, [&] { return chosen.size() == 1; })) {
        steps.run(122, [&] { list.appendPath(chosen.first()); });
        return;
    }
    for (const QString& path : chosen) {
        QString joined;
        steps.run(136, [&] {
            const FolderAndName parts = Split(path);
            joined = parts.folder + platform::Separator() + parts.name;
        });
        steps.run(138, [&] { joined = FixDoubleSlashes(joined); });
        steps.run(140, [&] { list.appendPath(joined); });
    }
}

void AddAllFilesInFolder(Dialogs& dialogs, QWidget* owner, UploadList& list,
                         const std::function<void(bool busy)>& setBusy,
                         ScanFileSystem& fileSystem) {
    Steps steps(dialogs,
                Location::of(QStringLiteral("Form2"), QStringLiteral("PushButton4_Click")));
    QString extension;
    steps.run(100, [&] {
        extension =
            dialogs.inputBox(kExtensionPrompt, AppTitle(),
                             Settings::read(QStringLiteral("Extension"), QStringLiteral("*")));
        if (!extension.isEmpty()) Settings::write(QStringLiteral("Extension"), extension);
    });
    if (!steps.passes(102, [&] { return !extension.isEmpty(); })) return;

    QString folder;
    steps.run(104, [&] {
        const QString start = Settings::read(QStringLiteral("LastFolder"));
        folder = dialogs.browseForFolder(owner, QStringLiteral("Please select folder:"), start);
    });
    if (!steps.passes(106, [&] { return !folder.isEmpty(); })) return;
    steps.run(334, [&] { Settings::write(QStringLiteral("LastFolder"), folder); });

    steps.run(112, [&] { setBusy(true); });
    // The tree walk reports each failure at its own step and goes on; the scan reports its own.
    AddFolderTree(
        folder, QStringLiteral("*.") + extension, steps, {114, 116, 122, 132}, DoEvents,
        [&list](const QString& path) { list.appendPath(path); }, fileSystem);
    steps.run(136, [&] { setBusy(false); });
}
