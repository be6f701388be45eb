#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "TempTree.h"
#include "core/platform/ProgramFolders.h"

namespace {

#ifdef Q_OS_WIN
TEST(RealFolderOf, IsTheNativeFolderWithoutTrailingSeparatorExceptADrivesRoot) {
    TempTree tree;
    tree.file("Program/vantrelle.exe");
    const QString folder = QDir::toNativeSeparators(tree.path("Program"));
    EXPECT_EQ(platform::RealFolderOf(tree.path("Program/vantrelle.exe")), folder);
    EXPECT_EQ(platform::RealFolderOf(folder + "\\vantrelle.exe"), folder);
    EXPECT_EQ(platform::RealFolderOf("C:\\vantrelle-not-here"), "C:\\");
}
#else
// The installed layout: the executable in a folder of its own, reached from a bin folder through a
// relative link. The program must find the files beside the real executable, whatever way it was
// started.
TEST(RealFolderOf, FollowsEveryLinkToTheRealExecutablesFolder) {
    TempTree tree;
    tree.file("lib/vantrelle/vantrelle");
    tree.folder("bin");
    ASSERT_TRUE(QFile::link("../lib/vantrelle/vantrelle", tree.path("bin/vantrelle")));
    ASSERT_TRUE(QFile::link("vantrelle", tree.path("bin/chained")));
    ASSERT_TRUE(QFile::link("lib", tree.path("linkedlib")));
    ASSERT_TRUE(QFile::link(tree.path("bin/vantrelle"), tree.path("absolute")));

    const QString real = QFileInfo(tree.root()).canonicalFilePath();
    struct Case {
        const char* start;
        QString want;
    };
    const Case cases[] = {
        {"lib/vantrelle/vantrelle", real + "/lib/vantrelle"},
        {"bin/vantrelle", real + "/lib/vantrelle"},
        {"bin/chained", real + "/lib/vantrelle"},
        {"linkedlib/vantrelle/vantrelle", real + "/lib/vantrelle"},
        {"absolute", real + "/lib/vantrelle"},
        {"bin/../lib/vantrelle/vantrelle", real + "/lib/vantrelle"},
        {"missing/vantrelle", tree.root() + "/missing"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::RealFolderOf(tree.path(c.start)), c.want) << c.start;
}

TEST(RealFolderOf, KeepsTheRootsSeparator) {
    EXPECT_EQ(platform::RealFolderOf("/vantrelle-not-here"), "/");
}

#endif

}  // namespace
