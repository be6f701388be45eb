#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QSettings>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

#include "core/Settings.h"
#include "core/platform/SettingsStore.h"
#include "support/TestServer.h"

namespace {

TEST(Settings, AnEmptyValueIsDistinctFromAnAbsentKey) {
    SettingsSandbox sandbox;
    EXPECT_EQ(Settings::read("MyServer", "localhost"), "localhost");
    EXPECT_FALSE(sandbox.storeExists()) << "reading must not create the store";
    Settings::write("MyServer", "");
    EXPECT_EQ(Settings::read("MyServer", "localhost"), "");
    EXPECT_TRUE(Settings::read("MyServer", "localhost").isEmpty());
    EXPECT_EQ(Settings::read("Absent"), "");
}

TEST(Settings, EveryTextRoundTripsExactly) {
    SettingsSandbox sandbox;
    const QString values[] = {
        "a;b",
        "k=v",
        "\"quoted\"",
        "back\\slash\\\\",
        "C:\\Users\\x\\",
        "comma, space ",
        " leading",
        QString::fromUtf8("\xc3\xa9t\xc3\xa9 \xd0\x9c\xd0\xb8\xd1\x80 \xe2\x82\xac"),
        "#hash",
        "[section]",
        "@Variant(x)",
        "tab\there",
        "line\nbreak\r\n",
        "%20",
    };
    for (const QString& v : values) {
        Settings::write("MyPassword", v);
        EXPECT_EQ(Settings::read("MyPassword"), v) << v.toStdString();
    }
    // Values live in one section of one store, readable again by the generic interface.
    EXPECT_EQ(ReadSetting("Kestrom", "Vantrelle", "MyPassword"), values[std::size(values) - 1]);
    EXPECT_EQ(ReadSetting("Kestrom", "Other", "MyPassword", "none"), "none");
}

#ifdef Q_OS_WIN
TEST(Settings, ValuesLiveInTheRegistryBranchOfTheApplicationAsText) {
    SettingsSandbox sandbox;
    Settings::write("MyServer", "localhost");
    Settings::write("MyPort", "3306");
    const QSettings branch(
        QStringLiteral(
            "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Kestrom\\Vantrelle"),
        QSettings::NativeFormat);
    EXPECT_EQ(branch.allKeys(), QStringList({"MyPort", "MyServer"}));
    EXPECT_EQ(branch.value("MyPort").metaType().id(), QMetaType::QString);
    EXPECT_EQ(branch.value("MyPort").toString(), "3306");
}
#else
TEST(Settings, TheFileIsPrivateToItsOwnerAndHoldsPlainKeys) {
    SettingsSandbox sandbox;
    Settings::write("MyServer", "localhost");
    Settings::write("MyPort", "3306");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(sandbox.settingsFile()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A store created by someone else with wider permissions is narrowed at the next write.
    ::chmod(QFile::encodeName(sandbox.settingsFile()).constData(), 0644);
    Settings::write("MyPort", "3307");
    ASSERT_EQ(::stat(QFile::encodeName(sandbox.settingsFile()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    QFile file(sandbox.settingsFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("[Vantrelle]\nMyPort=3307\nMyServer=localhost\n"));
}

#endif

TEST(Settings, AValueIsLocatedByTheNameTheStoreShowsForIt) {
    SettingsSandbox sandbox;
    const QString keys[] = {"MyServer", "Certificate.db-1.example.com.3306",
                            "Certificate.fe80::1.3306"};
    for (const QString& key : keys) Settings::write(key, "x");
#ifdef Q_OS_WIN
    const QString branch = sandbox.settingsFile() + "\\Vantrelle";
    const QSettings store(branch, QSettings::NativeFormat);
#else
    QFile file(sandbox.settingsFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(file.readAll()).split(u'\n');
#endif
    for (const QString& key : keys) {
        const QString location = platform::SettingsValueLocation("Kestrom", "Vantrelle", key);
        const QString named = location.section(u'"', 1, 1);
#ifdef Q_OS_WIN
        EXPECT_EQ(location,
                  QStringLiteral("the value \"%1\" of the registry key %2").arg(key, branch));
        EXPECT_TRUE(store.childKeys().contains(named)) << named.toStdString();
#else
        EXPECT_EQ(location, QStringLiteral("the line \"%1\" in section [Vantrelle] of the file %2")
                                .arg(named, sandbox.settingsFile()));
        ASSERT_TRUE(named.endsWith("=...")) << location.toStdString();
        EXPECT_TRUE(lines.contains(named.chopped(3) + 'x')) << named.toStdString();
#endif
    }
}

}  // namespace
