#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
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

// Points the settings store at a fresh folder for the life of the object.
class SettingsSandbox {
public:
    SettingsSandbox();
    ~SettingsSandbox();
    QString settingsFile() const;
    QString folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QByteArray previous_;
    bool hadPrevious_ = false;
};

// A fresh database on the private server for each test, dropped afterwards. Without a server the
// test is skipped, except under CI, where it fails.
class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The profile that reaches this test's database.
    ConnectionProfile profile() const;
    // Runs statements for setting up and checking, on a connection of the test's own.
    void exec(const QString& sql);
    // The first column of the first row, or a null string when there is no row or it is NULL.
    QString scalar(const QString& sql);

    TestServer server_;
    QString database_;

private:
    Connection& admin();
    std::unique_ptr<Connection> admin_;
};
