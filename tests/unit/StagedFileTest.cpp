#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <cerrno>
#include <cstring>
#include <utility>

#include "core/platform/Paths.h"
#include "core/platform/StagedFile.h"
#include "support/ExpectFailure.h"
#include "support/Files.h"

namespace {

// A file reaches its name only once placed; until then an existing file of that name is untouched
// and nothing else is left in the folder when the staged file goes. The temporary file lies in the
// target's folder under a short name, so a target whose name is as long as a file system allows
// (255 bytes) gets one too.
TEST(StagedFile, TheTargetChangesOnlyWhenTheWholeFileIsPlaced) {
    struct Case {
        QString name;
        bool existing;
        bool place;
        QByteArray want;
    };
    const QString longest = QString(251, u'v') + ".bin";
    const Case cases[] = {
        {"v1.bin", false, true, "new bytes"},  {"v1.bin", true, true, "new bytes"},
        {"v1.bin", false, false, "<missing>"}, {"v1.bin", true, false, "old and longer bytes"},
        {longest, false, true, "new bytes"},   {longest, true, true, "new bytes"},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString target = dir.filePath(c.name);
        if (c.existing) {
            QFile old(target);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly)) << c.name.size();
            old.write("old and longer bytes");
        }
        {
            platform::StagedFile file(target);
            EXPECT_TRUE(QFile::exists(file.temporaryPath()));
            EXPECT_EQ(QFileInfo(file.temporaryPath()).absolutePath(), dir.path());
            file.write("new ", 4);
            file.write("bytes", 5);
            file.sync();
            if (c.place) file.place();
        }
        EXPECT_EQ(FileBytes(target), c.want) << c.name.size() << c.existing << c.place;
        const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(left, c.existing || c.place ? QStringList{c.name} : QStringList{});
    }
}

TEST(StagedFile, FailuresNameTheTargetInTheSystemsWords) {
    QTemporaryDir dir;
    const QString target = dir.filePath("missing/v1.bin");
    const Failure f =
        ExpectFailure([&] { platform::StagedFile file(target); }, "created in a missing folder");
    EXPECT_EQ(f.number, Failure::kPathFileAccessError);
#ifdef Q_OS_WIN
    const QString because = qt_error_string(ERROR_PATH_NOT_FOUND);
#else
    const QString because = QString::fromLocal8Bit(std::strerror(ENOENT));
#endif
    EXPECT_EQ(f.description,
              QStringLiteral("The file \"%1\" could not be written: %2").arg(target, because));
}

TEST(FolderPart, IsThePathUpToAndWithItsLastSeparator) {
    const std::pair<QString, QString> cases[] = {
        {"/tmp/out/v1.bin", "/tmp/out/"},
        {"/v1.bin", "/"},
        {"out/img/v1.bin", "out/img/"},
        {"v1.bin", ""},
#ifdef Q_OS_WIN
        {"C:\\out\\v1.bin", "C:\\out\\"},
        {"C:/out\\v1.bin", "C:/out\\"},
        {"C:v1.bin", "C:"},
#endif
    };
    for (const auto& [path, want] : cases)
        EXPECT_EQ(platform::FolderPart(path), want) << path.toStdString();
}

TEST(SyncFolder, ForcesAFolderAndNamesOneThatIsMissingInTheSystemsWords) {
    QTemporaryDir dir;
    EXPECT_NO_THROW(platform::SyncFolder(dir.path()));
#ifndef Q_OS_WIN  // where renames are written through, there is nothing to force
    const QString missing = dir.filePath("missing");
    const Failure f =
        ExpectFailure([&] { platform::SyncFolder(missing); }, "a missing folder was synced");
    EXPECT_EQ(f.number, Failure::kPathFileAccessError);
    EXPECT_EQ(f.description, QStringLiteral("The file \"%1\" could not be written: %2")
                                 .arg(missing, QString::fromLocal8Bit(std::strerror(ENOENT))));
#endif
}

}  // namespace
