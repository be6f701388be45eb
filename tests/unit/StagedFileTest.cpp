#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>

#include "app/Platform.h"

namespace {

QByteArray Contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A file reaches its name only once placed; until then an existing file of that name is untouched
// and nothing else is left in the folder when the staged file goes.
TEST(StagedFile, TheTargetChangesOnlyWhenTheWholeFileIsPlaced) {
    struct Case {
        bool existing;
        bool place;
        QByteArray want;
    };
    const Case cases[] = {
        {false, true, "new bytes"},
        {true, true, "new bytes"},
        {false, false, "<missing>"},
        {true, false, "old and longer bytes"},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString target = dir.filePath("v1.bin");
        if (c.existing) {
            QFile old(target);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("old and longer bytes");
        }
        {
            platform::StagedFile file(target);
            EXPECT_TRUE(QFile::exists(file.temporaryPath()));
            EXPECT_TRUE(file.temporaryPath().startsWith(target));
            file.write("new ", 4);
            file.write("bytes", 5);
            file.sync();
            if (c.place) file.place();
        }
        EXPECT_EQ(Contents(target), c.want) << c.existing << c.place;
        const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(left.size(), c.existing || c.place ? 1 : 0) << left.join(' ').toStdString();
    }
}

TEST(StagedFile, FailuresNameTheTargetInTheSystemsWords) {
    QTemporaryDir dir;
    const QString target = dir.filePath("missing/v1.bin");
    try {
        platform::StagedFile file(target);
        ADD_FAILURE() << "created in a missing folder";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number, Failure::kPathFileAccessError);
        EXPECT_EQ(f.description, QStringLiteral("The file \"%1\" could not be written: %2")
                                     .arg(target, QString::fromLocal8Bit(std::strerror(ENOENT))));
    }
}

}  // namespace
