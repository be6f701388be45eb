#include "support/TestServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <cstdlib>
#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include "core/platform/SettingsStore.h"

std::optional<TestServer> TestServer::fromEnvironment() {
    const QString host = qEnvironmentVariable("VANTRELLE_TEST_HOST");
    if (host.isEmpty()) return std::nullopt;
    return TestServer{host, qEnvironmentVariable("VANTRELLE_TEST_PORT"),
                      qEnvironmentVariable("VANTRELLE_TEST_USER"),
                      qEnvironmentVariable("VANTRELLE_TEST_PASSWORD"),
                      qEnvironmentVariable("VANTRELLE_TEST_SOCKET")};
}

#ifdef Q_OS_WIN
SettingsSandbox::SettingsSandbox() {
    QSettings store(settingsFile(), QSettings::NativeFormat);
    for (const QString& key : store.allKeys()) saved_.insert(key, store.value(key));
    store.remove(QString());
}

SettingsSandbox::~SettingsSandbox() {
    QSettings store(settingsFile(), QSettings::NativeFormat);
    store.remove(QString());
    for (auto it = saved_.cbegin(); it != saved_.cend(); ++it) store.setValue(it.key(), it.value());
}

QString SettingsSandbox::settingsFile() const {
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Kestrom");
}
#else
SettingsSandbox::SettingsSandbox() {
    hadPrevious_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    previous_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
}

SettingsSandbox::~SettingsSandbox() {
    if (hadPrevious_)
        qputenv("XDG_CONFIG_HOME", previous_);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

QString SettingsSandbox::settingsFile() const {
    return dir_.path() + QStringLiteral("/Kestrom.ini");
}
#endif

bool SettingsSandbox::storeExists() const {
#ifdef Q_OS_WIN
    return !QSettings(settingsFile(), QSettings::NativeFormat).allKeys().isEmpty();
#else
    return QFileInfo::exists(settingsFile());
#endif
}

QMap<QString, QString> SettingsSandbox::storedValues() const {
    const std::unique_ptr<QSettings> store =
        platform::OpenSettingsStore(QStringLiteral("Kestrom"), false);
    store->beginGroup(QStringLiteral("Vantrelle"));
    QMap<QString, QString> values;
    for (const QString& key : store->childKeys()) values.insert(key, store->value(key).toString());
    return values;
}

void DatabaseTest::SetUp() {
    std::optional<TestServer> server = TestServer::fromEnvironment();
    if (!server) {
        if (qEnvironmentVariable("CI") == QLatin1String("true"))
            FAIL() << "No test server: VANTRELLE_TEST_HOST is not set (run ./test.sh)";
        GTEST_SKIP() << "No test server: run ./test.sh";
    }
    server_ = *server;
#ifndef Q_OS_WIN
    // Every test holds a shared lock on a file named for the server; holdServerAlone turns it into
    // an exclusive one. The lock goes with the process, so a crashed test holds nothing.
    const QByteArray lockFile =
        QDir::temp()
            .filePath(QStringLiteral("vantrelle-test-server-%1.lock").arg(server_.port))
            .toLocal8Bit();
    serverLock_ = ::open(lockFile.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (serverLock_ >= 0) ::flock(serverLock_, LOCK_SH);
#endif
    database_ = QStringLiteral("vt_%1_%2")
                    .arg(QCoreApplication::applicationPid())
                    .arg(QRandomGenerator::global()->generate() % 1000000000u);
    ConnectionProfile root = profile();
    root.database.clear();
    admin_ = std::make_unique<Connection>();
    admin_->setCommandTimeout(120);
    admin_->open(BuildConnectionString(root, false));
    admin_->execute(QStringLiteral("CREATE DATABASE `%1`").arg(database_));
    admin_->execute(QStringLiteral("USE `%1`").arg(database_));
}

void DatabaseTest::TearDown() {
    if (admin_) {
        try {
            if (!admin_->isOpen()) {
                ConnectionProfile root = profile();
                root.database.clear();
                admin_->open(BuildConnectionString(root, false));
            }
            admin_->execute(QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(database_));
        } catch (const Failure& f) {
            ADD_FAILURE() << "dropping the test database failed: " << f.description.toStdString();
        }
    }
#ifndef Q_OS_WIN
    if (serverLock_ >= 0) ::close(serverLock_);
    serverLock_ = -1;
#endif
}

void DatabaseTest::holdServerAlone() {
#ifndef Q_OS_WIN
    // A Windows build runs its tests one after another.
    if (serverLock_ >= 0) ::flock(serverLock_, LOCK_EX);
#endif
}

ConnectionProfile DatabaseTest::profile() const {
    return {server_.host, server_.user, server_.password, database_, server_.port};
}

Connection& DatabaseTest::admin() {
    if (!admin_->isOpen()) {
        admin_->open(BuildConnectionString(profile(), false));
    }
    return *admin_;
}

void DatabaseTest::exec(const QString& sql) {
    admin().execute(sql);
}

void DatabaseTest::holdRowsFrom(const QString& table, int heldRow) {
    heldLock_ = QStringLiteral("held-") + database_;
    exec(QStringLiteral("CREATE VIEW held AS SELECT id, CASE WHEN id < %1 OR GET_LOCK('%2', 30) IS "
                        "NOT NULL THEN data END AS data FROM `%3`")
             .arg(heldRow)
             .arg(heldLock_, table));
    ASSERT_EQ(scalar(QStringLiteral("SELECT GET_LOCK('%1', 0)").arg(heldLock_)), "1");
}

void DatabaseTest::releaseHeld() {
    exec(QStringLiteral("DO RELEASE_LOCK('%1')").arg(heldLock_));
}

QStringList RowOn(Connection& c, const QString& sql) {
    ResultPtr result = QueryBuffered(c, sql);
    MYSQL_ROW values = mysql_fetch_row(result.get());
    QStringList texts;
    if (!values) return texts;
    for (unsigned i = 0; i < mysql_num_fields(result.get()); ++i)
        texts << QString::fromUtf8(values[i] ? values[i] : "NULL");
    return texts;
}

QString DatabaseTest::scalar(const QString& sql) {
    ResultPtr result = QueryBuffered(admin(), sql);
    MYSQL_ROW row = mysql_fetch_row(result.get());
    if (!row || !row[0]) return QString();
    return QString::fromUtf8(row[0], static_cast<qsizetype>(mysql_fetch_lengths(result.get())[0]));
}
