#pragma once

#include <gtest/gtest.h>

#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>
#include <optional>

#include "db/Connection.h"
#include "db/ConnectionString.h"

// The private server that ./test.sh starts, from VANTRELLE_TEST_HOST, _PORT, _USER, _PASSWORD and
// _SOCKET.
struct TestServer {
    QString host;
    QString port;
    QString user;
    QString password;
    QString socket;

    static std::optional<TestServer> fromEnvironment();
};

// The first row of a statement on the given session, each column as text ("NULL" for NULL); empty
// when there is no row.
QStringList RowOn(Connection& c, const QString& sql);

// Gives the program an empty settings store for the life of the object: a fresh folder for the
// settings file, or on Windows an emptied registry branch whose values are put back afterwards.
class SettingsSandbox {
public:
    SettingsSandbox();
    ~SettingsSandbox();
    // The settings file, or on Windows the registry branch of the application name.
    QString settingsFile() const;
    QString folder() const { return dir_.path(); }
    // Whether the store holds anything.
    bool storeExists() const;
    // The keys of the program's section in the store, with their values.
    QMap<QString, QString> storedValues() const;

private:
    QTemporaryDir dir_;
    QByteArray previous_;
    bool hadPrevious_ = false;
    QMap<QString, QVariant> saved_;
};

// A fresh database on the private server for each test, dropped afterwards. Without a server the
// test is skipped, except under CI, where it fails.
//
// Tests run side by side against the one server. One that changes what the whole server does (a
// global variable) first takes the server for itself with holdServerAlone, until it ends; the
// others share it meanwhile.
class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Waits until no other test uses the server and keeps the others out until this one ends.
    void holdServerAlone();

    // The profile that reaches this test's database.
    ConnectionProfile profile() const;
    // Runs statements for setting up and checking, on a connection of the test's own.
    void exec(const QString& sql);
    // The first column of the first row, or a null string when there is no row or it is NULL.
    QString scalar(const QString& sql);
    // Makes the view "held" over the table's id and data, whose values from the row numbered
    // `heldRow` on wait for a lock that the test takes here, so that the test can act while a
    // download of the view runs. The lock gives up after 30 seconds, so a test that cannot act
    // meanwhile fails instead of hanging.
    void holdRowsFrom(const QString& table, int heldRow);
    // Lets the held rows come.
    void releaseHeld();

    TestServer server_;
    QString database_;
    // The certificates that the test's logins remember go to a store of the test's own.
    SettingsSandbox settings_;

private:
    Connection& admin();
    QString heldLock_;
    std::unique_ptr<Connection> admin_;
    int serverLock_ = -1;
};
