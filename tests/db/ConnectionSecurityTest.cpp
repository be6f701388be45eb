#include <errmsg.h>
#include <gtest/gtest.h>
#include <mysql.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSslCertificate>
#include <QSslKey>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "core/platform/ServerCertificate.h"
#include "core/platform/SettingsStore.h"
#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "db/Download.h"
#include "db/Openers.h"
#include "db/Upload.h"
#include "support/ExpectFailure.h"
#include "support/FakeServer.h"
#include "support/TestServer.h"

namespace {

// The client library's default local socket is the private server's, so that "localhost" has a
// socket to fall back to. Set before anything in the program starts the client library.
const bool kDefaultSocketSet = [] {
    const QByteArray socket = qgetenv("VANTRELLE_TEST_SOCKET");
    if (!socket.isEmpty()) qputenv("MYSQL_UNIX_PORT", socket);
    return true;
}();

QString SessionStatus(Connection& c, const QString& name) {
    return RowOn(c, QStringLiteral("SHOW SESSION STATUS LIKE '%1'").arg(name)).value(1);
}

struct NoEvents : TransferEvents {
    QStringList stored;
    void progressRange(int, int) override {}
    void progressValue(int) override {}
    void yield() override {}
    void fileStored(const QString& path) override { stored << path; }
};

class ConnectionSecurityTest : public DatabaseTest {
protected:
    // Runs the body with the server demanding secure transport, and puts the setting back.
    void withSecureTransportRequired(const std::function<void()>& body) {
        holdServerAlone();
        exec("SET GLOBAL require_secure_transport=ON");
        struct Restore {
            ConnectionSecurityTest* test;
            ~Restore() { test->exec("SET GLOBAL require_secure_transport=OFF"); }
        } restore{this};
        body();
    }
};

TEST_F(ConnectionSecurityTest, EveryConnectionOverTcpIsEncrypted) {
    using Opener = std::unique_ptr<Connection> (*)(const ConnectionProfile&);
    const Opener openers[] = {OpenTableListConnection, OpenFieldListConnection,
                              OpenDownloadConnection, OpenUploadConnection};
    for (Opener open : openers) {
        std::unique_ptr<Connection> c = open(profile());
        const QString cipher = SessionStatus(*c, "Ssl_cipher");
        EXPECT_FALSE(cipher.isEmpty()) << "the server sees the session in clear";
#ifndef Q_OS_WIN  // Schannel need not name the cipher to the client library
        EXPECT_EQ(c->tlsCipher(), cipher);
#endif
    }
    std::unique_ptr<Connection> upload = OpenUploadConnection(profile());
    EXPECT_EQ(SessionStatus(*upload, "Compression"), "ON");

    // The logins remembered the server's certificate, by its public key, and nothing else. The
    // system does not trust it: a throw-away authority signed it.
    const QString key = QStringLiteral("Certificate.%1.%2").arg(server_.host, server_.port);
    const QMap<QString, QString> stored = settings_.storedValues();
    EXPECT_EQ(stored.keys(), QStringList{key});
    const platform::ServerCertificate seen =
        platform::SessionCertificate(upload->handle(), server_.host);
    EXPECT_EQ(seen.publicKeySha256.toHex(), stored.value(key));
    EXPECT_FALSE(seen.trusted);
#ifndef Q_OS_WIN  // where the server's certificate file is at hand
    const QList<QSslCertificate> certificate =
        QSslCertificate::fromPath(scalar("SELECT @@ssl_cert"));
    ASSERT_EQ(certificate.size(), 1);
    EXPECT_EQ(stored.value(key), QCryptographicHash::hash(certificate[0].publicKey().toDer(),
                                                          QCryptographicHash::Sha256)
                                     .toHex());
#endif
}

TEST_F(ConnectionSecurityTest, AServerThatRequiresSecureTransportTakesEveryAction) {
    exec("CREATE TABLE files (id INT AUTO_INCREMENT PRIMARY KEY, data LONGBLOB)");
    QTemporaryDir dir;
    const QString source = dir.filePath("source.bin");
    {
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(25000, 'x'));
    }
    QDir(dir.path()).mkdir("out");

    withSecureTransportRequired([&] {
        EXPECT_TRUE(CanConnectToMySQL(profile()));
        NoEvents events;
        std::unique_ptr<Connection> up = OpenUploadConnection(profile());
        UploadFileToBlob(*up, "files", "data", source, events);
        EXPECT_EQ(events.stored, QStringList{source});

        std::unique_ptr<Connection> down = OpenDownloadConnection(profile());
        const DownloadResult result =
            DownloadBlobs(*down, "files", "data", "f", dir.filePath("out"), "bin");
        EXPECT_EQ(result.files, 1);
        EXPECT_EQ(QFileInfo(dir.filePath("out/f1.bin")).size(), 25000);

#ifndef Q_OS_WIN  // where "localhost" has a local socket
        // A local socket counts as secure and needs no TLS.
        ConnectionProfile local = profile();
        local.server = "localhost";
        local.port = "1";  // nothing listens there, so the socket is used
        Connection c;
        c.open(BuildConnectionString(local, false));
        EXPECT_TRUE(c.tlsCipher().isEmpty());
#endif
    });
}

TEST_F(ConnectionSecurityTest, EveryMethodOfThePrivateServerStillLogsInOverTls) {
    if (scalar("SELECT COUNT(*) FROM information_schema.PLUGINS WHERE PLUGIN_NAME='ed25519'") ==
        "0")
        exec("INSTALL SONAME 'auth_ed25519'");
    struct Case {
        QString user;
        QString via;
        QString password;
    };
    const Case cases[] = {
        {"vt_native", "mysql_native_password USING PASSWORD('Native-pw1')", "Native-pw1"},
        {"vt_empty", "mysql_native_password USING PASSWORD('')", ""},
        {"vt_ed25519", "ed25519 USING PASSWORD('Edwards-pw2')", "Edwards-pw2"},
    };
    for (const Case& c : cases) {
        exec(QStringLiteral("DROP USER IF EXISTS '%1'@'%'").arg(c.user));
        exec(QStringLiteral("CREATE USER '%1'@'%' IDENTIFIED VIA %2").arg(c.user, c.via));
        ConnectionProfile p = profile();
        p.user = c.user;
        p.password = c.password;
        p.database.clear();
        Connection connection;
        EXPECT_NO_THROW(connection.open(BuildConnectionString(p, false))) << c.user.toStdString();
        if (connection.isOpen()) {
            EXPECT_FALSE(SessionStatus(connection, "Ssl_cipher").isEmpty()) << c.user.toStdString();
            EXPECT_EQ(RowOn(connection, "SELECT CURRENT_USER()").value(0), c.user + "@%");
        }
        exec(QStringLiteral("DROP USER '%1'@'%'").arg(c.user));
    }
}

TEST_F(ConnectionSecurityTest, LocalhostIsReachedOverTcpAtItsPortBeforeTheSocket) {
    ASSERT_TRUE(kDefaultSocketSet);
    ConnectionProfile p = profile();
    p.server = "localhost";
    Connection tcp;
    tcp.open(BuildConnectionString(p, false));
    EXPECT_FALSE(SessionStatus(tcp, "Ssl_cipher").isEmpty()) << "went to the socket, not the port";
    EXPECT_TRUE(QString::fromUtf8(mysql_get_host_info(tcp.handle())).contains("TCP/IP"));

    p.port = "1";
#ifdef Q_OS_WIN
    // Windows reaches "localhost" over TCP only: a closed port is a failure like any other.
    const QString closed[] = {"localhost", "127.0.0.1"};
#else
    Connection socket;
    socket.open(BuildConnectionString(p, false));
    EXPECT_TRUE(QString::fromUtf8(mysql_get_host_info(socket.handle())).contains("socket"));

    // Other names never fall back to the socket.
    const QString closed[] = {"127.0.0.1"};
#endif
    for (const QString& server : closed) {
        p.server = server;
        Connection none;
        const Failure f = ExpectFailure([&] { none.open(BuildConnectionString(p, false)); },
                                        server.toStdString() + " at a closed port opened");
        EXPECT_TRUE(f.number == CR_CONNECTION_ERROR || f.number == CR_CONN_HOST_ERROR)
            << f.description.toStdString();
    }
}

TEST_F(ConnectionSecurityTest, NoProfileValueRunsAStatementOrLoadsALibrary) {
    QTemporaryDir dir;
    const QString marker = dir.filePath("loaded");
    qputenv("VANTRELLE_MARKER_FILE", QFile::encodeName(marker));
    const QString pluginDir = QStringLiteral(VANTRELLE_MARKER_PLUGIN_DIR);
    const QString create = QStringLiteral("CREATE TABLE `%1`.pwned (a int)").arg(database_);
    const QString address = QStringLiteral("host=%1;port=%2").arg(server_.host, server_.port);

    // The planted library is one that the client library would load, given the chance.
    {
        const QByteArray hostile =
            (address + ";plugin_dir=" + pluginDir + ";default_auth=marker").toUtf8();
        MYSQL* raw = mysql_init(nullptr);
        mysql_real_connect(raw, hostile.constData(), server_.user.toUtf8().constData(),
                           server_.password.toUtf8().constData(), nullptr, 0, nullptr, 0);
        mysql_close(raw);
        ASSERT_TRUE(QFile::exists(marker)) << "the planted library was not loadable";
        QFile::remove(marker);
    }

    struct Case {
        QString ConnectionProfile::*field;
        QString value;
        QString wantDescription;  // empty: any failure
    };
    const QString serverCases[] = {
        address + ";init_command=" + create,
        address + ";plugin_dir=" + pluginDir + ";default_auth=marker",
        address + ";read_default_file=" + dir.filePath("my.cnf"),
        server_.host + ";init_command=" + create,
    };
    std::vector<Case> cases;
    for (const QString& s : serverCases)
        cases.push_back(
            {&ConnectionProfile::server, s,
             QStringLiteral("The server name \"%1\" is not a host name or an address.").arg(s)});
    cases.push_back({&ConnectionProfile::user, server_.user + ";init_command=" + create, {}});
    cases.push_back(
        {&ConnectionProfile::password, server_.password + ";init_command=" + create, {}});
    cases.push_back({&ConnectionProfile::database,
                     database_ + ";plugin_dir=" + pluginDir + ";default_auth=marker",
                     {}});
    cases.push_back({&ConnectionProfile::port, server_.port + ";init_command=" + create, {}});

    for (const Case& c : cases) {
        ConnectionProfile p = profile();
        p.*(c.field) = c.value;
        for (bool upload : {false, true}) {
            Connection connection;
            const Failure f =
                ExpectFailure([&] { connection.open(BuildConnectionString(p, upload)); },
                              "opened with " + c.value.toStdString());
            if (!c.wantDescription.isEmpty()) {
                EXPECT_EQ(f.description, c.wantDescription);
            }
        }
        EXPECT_FALSE(CanConnectToMySQL(p));
        EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM information_schema.TABLES WHERE "
                                        "TABLE_SCHEMA='%1' AND TABLE_NAME='pwned'")
                             .arg(database_)),
                  "0")
            << c.value.toStdString();
        EXPECT_FALSE(QFile::exists(marker)) << c.value.toStdString();
    }
    qunsetenv("VANTRELLE_MARKER_FILE");
}

// The logins of these tests remember the fake servers' certificates in a store of their own.
class PasswordInClear : public ::testing::Test {
protected:
    SettingsSandbox settings;
};

TEST_F(PasswordInClear, NoServerGetsThePasswordByAskingForAClearTextMethod) {
    const QByteArray password = "Secret-Pa55word-XYZ";
    struct Case {
        QByteArray greeting;
        QByteArray switchTo;
        QString method;
    };
    const Case cases[] = {
        {"mysql_native_password", "mysql_clear_password", "mysql_clear_password"},
        {"mysql_clear_password", "", "mysql_clear_password"},
        {"mysql_native_password", "dialog", "dialog"},
    };
    for (const Case& c : cases) {
        FakeServer server(c.greeting, c.switchTo);
        ASSERT_NE(server.port(), 0);
        const ConnectionProfile p{"127.0.0.1", "someone", password, "",
                                  QString::number(server.port())};
        Connection connection;
        const Failure f = ExpectFailure([&] { connection.open(BuildConnectionString(p, false)); },
                                        "the fake server let the connection open");
        EXPECT_EQ(f.description,
                  QStringLiteral("The server asked for the authentication method \"%1\", "
                                 "which would send the password unencrypted; the program "
                                 "does not allow it.")
                      .arg(c.method));
        EXPECT_FALSE(CanConnectToMySQL(p));
        EXPECT_EQ(server.connections(), 2);
        EXPECT_FALSE(server.received().contains(password)) << c.greeting.constData();
        if (!c.switchTo.isEmpty()) {
            // The login went out in clear, because this server offers no TLS.
            EXPECT_TRUE(server.received().contains("someone"));
        }
    }
}

const QString kNeedsTls = QStringLiteral(
    "The server asked for the authentication method \"%1\", which sends the password itself and "
    "is safe only over an encrypted connection, but the server offers no encryption; the program "
    "does not allow it.");

TEST_F(PasswordInClear, APasswordSendingMethodSendsThePasswordOnlyInsideTls) {
    const QByteArray password = "Secret-Pa55word-XYZ";
    const QByteArray nativeGreeting = "mysql_native_password";
    const QByteArray sha2 = "caching_sha2_password";
    const QByteArray sha256 = "sha256_password";
    struct Case {
        QByteArray greeting;
        QByteArray method;
        bool tls;
        bool cached;
        QByteArray password;
        bool opens;
    };
    const Case cases[] = {
        // Without TLS: full authentication and sha256_password are refused before the password
        // (or a request for the server's key) leaves; the scramble and an empty password go.
        {nativeGreeting, sha2, false, false, password, false},
        {sha2, sha2, false, false, password, false},
        {nativeGreeting, sha256, false, false, password, false},
        {sha2, sha2, false, true, password, true},
        {nativeGreeting, sha2, false, true, password, true},
        {nativeGreeting, sha256, false, false, "", true},
        // Inside TLS the exchange goes on; the fast path still needs no password.
        {nativeGreeting, sha2, true, false, password, true},
        {sha2, sha2, true, false, password, true},
        {nativeGreeting, sha256, true, false, password, true},
        {sha2, sha2, true, true, password, true},
    };
    for (const Case& c : cases) {
        if (c.tls && !FakeServer::kSpeaksTls) continue;
        const std::string name =
            (c.greeting + "/" + c.method + (c.tls ? " tls" : " clear") +
             (c.cached ? " cached" : "") + (c.password.isEmpty() ? " empty" : ""))
                .toStdString();
        FakeServer server({c.greeting, c.method, c.password, c.tls, c.cached, {}});
        ASSERT_NE(server.port(), 0);
        const ConnectionProfile p{"127.0.0.1", "someone", c.password, "",
                                  QString::number(server.port())};
        Connection connection;
        if (c.opens) {
            EXPECT_NO_THROW(connection.open(BuildConnectionString(p, false))) << name;
            EXPECT_EQ(connection.isOpen() && !connection.tlsCipher().isEmpty(), c.tls) << name;
            EXPECT_EQ(server.accepted(), 1) << name;
        } else {
            const Failure f = ExpectFailure(
                [&] { connection.open(BuildConnectionString(p, false)); }, name + " opened");
            EXPECT_EQ(f.description, kNeedsTls.arg(QString::fromLatin1(c.method))) << name;
            EXPECT_EQ(server.accepted(), 0) << name;
        }
        if (!c.password.isEmpty()) {
            EXPECT_FALSE(server.received().contains(c.password)) << name;
            const bool sent = c.opens && c.tls && !c.cached;
            EXPECT_EQ(server.plainText().contains(c.password + '\0'), sent) << name;
        }
        for (const QByteArray& answer : server.answers()) {
            EXPECT_NE(answer, QByteArray("\x01")) << name << ": asked for the server's key";
            EXPECT_NE(answer, QByteArray("\x02")) << name << ": asked for the server's key";
        }
    }
}

#if VANTRELLE_FAKE_SERVER_TLS  // a Windows build's fake server speaks no TLS
TEST_F(PasswordInClear, ThePasswordGoesOnlyToTheCertificateFirstSeenOrOneTheSystemTrusts) {
    const QByteArray password = "Secret-Pa55word-XYZ";
    using Certificate = FakeServer::Certificate;
    FakeServer::Script script{.greetingMethod = "caching_sha2_password",
                              .method = "caching_sha2_password",
                              .password = password,
                              .tls = true};
    FakeServer server(script);
    ASSERT_NE(server.port(), 0);
    const ConnectionProfile p{"127.0.0.1", "someone", password, "", QString::number(server.port())};
    const QString key = QStringLiteral("Certificate.127.0.0.1.%1").arg(server.port());
    const QString changed = QStringLiteral(
        "The certificate of the server 127.0.0.1 (port %1) has changed since it was first seen "
        "and the system does not trust it, so the password that \"%2\" asks for was not sent. "
        "To accept the new certificate, remove the line \"%3=...\" in section [Vantrelle] of "
        "the file %4; the next login remembers it.");

    // The system's trust store, for OpenSSL, is the file this variable names.
    QTemporaryDir dir;
    const QString authority = dir.filePath("authority.pem");
    {
        QFile f(authority);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(FakeServer::AuthorityPem());
    }
    const QByteArray systemStore = qgetenv("SSL_CERT_FILE");

    const QByteArray sha2 = "caching_sha2_password";
    const QByteArray sha256 = "sha256_password";
    struct Case {
        const char* what;
        Certificate certificate;
        QByteArray method;
        bool cached;        // the scramble is enough, no password is asked for
        bool systemTrusts;  // the throw-away authority is the system's
        const char* edit;   // the remembered value is removed as the refusal says (""), or
                            // edited by hand into this text
        bool opens;
    };
    const Case cases[] = {
        {"the first certificate seen", Certificate::First, sha2, false, false, nullptr, true},
        {"another certificate", Certificate::Second, sha2, false, false, nullptr, false},
        {"another certificate, asked by sha256_password", Certificate::Second, sha256, false, false,
         nullptr, false},
        {"the scramble to another certificate", Certificate::Second, sha2, true, false, nullptr,
         true},
        {"the remembered certificate again", Certificate::First, sha2, false, false, nullptr, true},
        {"one the system trusts", Certificate::SignedForLoopback, sha2, false, true, nullptr, true},
        {"the same, untrusted", Certificate::SignedForLoopback, sha2, false, false, nullptr, false},
        {"trusted for another name", Certificate::SignedForAnotherName, sha2, false, true, nullptr,
         false},
        {"another one, once forgotten", Certificate::Second, sha2, false, false, "", true},
        {"the first one, now changed", Certificate::First, sha2, false, false, nullptr, false},
        {"the remembered one, its value edited", Certificate::Second, sha2, false, false, "edited",
         false},
    };
    for (const Case& c : cases) {
        if (c.systemTrusts)
            qputenv("SSL_CERT_FILE", QFile::encodeName(authority));
        else
            qunsetenv("SSL_CERT_FILE");
        if (c.edit) {
            std::unique_ptr<QSettings> store = platform::OpenSettingsStore("Kestrom", true);
            if (*c.edit)
                store->setValue("Vantrelle/" + key, c.edit);
            else
                store->remove("Vantrelle/" + key);
        }
        script.certificate = c.certificate;
        script.method = c.method;
        script.cached = c.cached;
        server.setScript(script);
        const int accepted = server.accepted();
        const qsizetype sent = server.plainText().count(password + '\0');

        Connection connection;
        if (c.opens) {
            EXPECT_NO_THROW(connection.open(BuildConnectionString(p, false))) << c.what;
            EXPECT_EQ(server.accepted(), accepted + 1) << c.what;
        } else {
            const Failure f =
                ExpectFailure([&] { connection.open(BuildConnectionString(p, false)); }, c.what);
            EXPECT_EQ(f.description,
                      changed.arg(server.port())
                          .arg(QString::fromLatin1(c.method), key, settings.settingsFile()))
                << c.what;
            EXPECT_EQ(ReadableDescription(f.description), f.description) << "shown whole";
            EXPECT_EQ(server.accepted(), accepted) << c.what;
        }
        // The password arrives, inside TLS, only where the login needs it and the server is known.
        EXPECT_EQ(server.plainText().count(password + '\0'), sent + (c.opens && !c.cached ? 1 : 0))
            << c.what;
        EXPECT_FALSE(server.received().contains(password)) << c.what;
    }
    if (systemStore.isNull())
        qunsetenv("SSL_CERT_FILE");
    else
        qputenv("SSL_CERT_FILE", systemStore);

    QFile file(settings.settingsFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("\n" + key.toLatin1() + '=')) << "not named as stored";
}
#endif

TEST_F(PasswordInClear, ARefusedMethodIsNamedAsTheServerAskedForIt) {
    const QByteArray password = "Secret-Pa55word-XYZ";
    struct Case {
        QByteArray greeting;
        QByteArray method;
    };
    const Case cases[] = {
        {"mysql_native_password", "auth_gssapi_client"},
        {"auth_gssapi_client", "auth_gssapi_client"},
        {"mysql_native_password", "../../../tmp/own_password"},
        {"/tmp/own_password", "/tmp/own_password"},
        {"mysql_native_password", "mysql_old_password"},
    };
    for (const Case& c : cases) {
        FakeServer server(c.greeting, c.method);
        const ConnectionProfile p{"127.0.0.1", "someone", password, "",
                                  QString::number(server.port())};
        Connection connection;
        const Failure f = ExpectFailure([&] { connection.open(BuildConnectionString(p, false)); },
                                        c.method.toStdString() + " opened");
        EXPECT_EQ(f.description, QStringLiteral("The server asked for the authentication method "
                                                "\"%1\", which the program does not allow.")
                                     .arg(QString::fromLatin1(c.method)));
        EXPECT_FALSE(server.received().contains(password)) << c.method.toStdString();
    }
}

TEST_F(PasswordInClear, AServerMessageWithoutTextIsDescribedByItsNumber) {
    struct Case {
        QByteArray message;
        QString want;
    };
    const QString numbered =
        QStringLiteral("The server reported error 1045 without a description.");
    const Case cases[] = {
        {QByteArray("\0Access denied", 14), numbered},
        {QByteArray(), numbered},
        {"Access denied for user", "Access denied for user"},
    };
    for (const Case& c : cases) {
        FakeServer server(
            {"mysql_native_password", "mysql_native_password", {}, false, false, c.message});
        const ConnectionProfile p{"127.0.0.1", "someone", "pw", "", QString::number(server.port())};
        Connection connection;
        const Failure f = ExpectFailure([&] { connection.open(BuildConnectionString(p, false)); },
                                        "an account the server refused opened");
        EXPECT_EQ(f.number, 1045);
        EXPECT_EQ(f.description, c.want);
    }
}

}  // namespace
