#include <gtest/gtest.h>

#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "support/ExpectFailure.h"
#include "support/TestServer.h"

namespace {

class ConnectionTest : public DatabaseTest {};

TEST_F(ConnectionTest, ProbeAcceptsTheRightLoginAndRefusesEveryBadOne) {
    EXPECT_TRUE(CanConnectToMySQL(profile()));

    ConnectionProfile p = profile();
    p.password = "wrong";
    EXPECT_FALSE(CanConnectToMySQL(p));

    p = profile();
    p.port = "1";  // nothing listens there
    EXPECT_FALSE(CanConnectToMySQL(p));

    p = profile();
    p.port = "33o6";
    EXPECT_FALSE(CanConnectToMySQL(p));

    p = profile();
    p.database = "no_such_database_here";
    EXPECT_FALSE(CanConnectToMySQL(p));
}

TEST_F(ConnectionTest, OpenFailuresCarryAClearDescription) {
    struct Case {
        QString connectionString;
        QString wantContains;
    };
    ConnectionProfile wrongPassword = profile();
    wrongPassword.password = "wrong";
    ConnectionProfile badPort = profile();
    badPort.port = "70000";
    const Case cases[] = {
        {BuildConnectionString(wrongPassword, false), "Access denied for user"},
        {BuildConnectionString(badPort, false),
         "The port \"70000\" is not a whole number from 1 to 65535."},
        {BuildConnectionString(profile(), false).replace("MySQL ODBC 5.1", "MySQL ODBC 9.9"),
         "Data source name not found and no default driver specified"},
    };
    for (const Case& c : cases) {
        Connection connection;
        const Failure f = ExpectFailure([&] { connection.open(c.connectionString); },
                                        "opened " + c.connectionString.toStdString());
        EXPECT_TRUE(f.description.contains(c.wantContains)) << f.description.toStdString();
        EXPECT_FALSE(connection.isOpen());
    }
}

TEST_F(ConnectionTest, APasswordWithSemicolonBraceAndEqualsConnects) {
    const QString user = QStringLiteral("pw_%1").arg(database_.right(9));
    const QString password = QStringLiteral("a;b}c=d{e");
    exec(QStringLiteral("CREATE USER '%1'@'%%' IDENTIFIED BY 'a;b}c=d{e'").arg(user));
    exec(QStringLiteral("GRANT ALL ON `%1`.* TO '%2'@'%%'").arg(database_, user));
    ConnectionProfile p = profile();
    p.user = user;
    p.password = password;
    EXPECT_TRUE(CanConnectToMySQL(p));
    p.password = "a;b}c=d";
    EXPECT_FALSE(CanConnectToMySQL(p));
    exec(QStringLiteral("DROP USER '%1'@'%%'").arg(user));
}

// The client's side of ed25519 is a plug-in file that the library loads from the program's plug-in
// folder: on Windows the folder "plugin" beside the executable.
TEST_F(ConnectionTest, AUserOfAMethodFromAPlugInLogsIn) {
    if (scalar("SELECT COUNT(*) FROM information_schema.PLUGINS WHERE PLUGIN_NAME='ed25519'") ==
        "0")
        exec("INSTALL SONAME 'auth_ed25519'");
    const QString user = QStringLiteral("ed_%1").arg(database_.right(9));
    exec(QStringLiteral("CREATE USER '%1'@'%%' IDENTIFIED VIA ed25519 USING PASSWORD('s3cret')")
             .arg(user));
    exec(QStringLiteral("GRANT ALL ON `%1`.* TO '%2'@'%%'").arg(database_, user));
    ConnectionProfile p = profile();
    p.user = user;
    p.password = "s3cret";
    Connection connection;
    try {
        connection.open(BuildConnectionString(p, false));
    } catch (const Failure& f) {
        ADD_FAILURE() << f.description.toStdString();
    }
    EXPECT_TRUE(connection.isOpen());
    p.password = "s3cre";
    EXPECT_FALSE(CanConnectToMySQL(p));
    exec(QStringLiteral("DROP USER '%1'@'%%'").arg(user));
}

TEST_F(ConnectionTest, PropertiesReachTheSession) {
    Connection c;
    c.setCommandTimeout(5000);
    c.setConnectionTimeout(5000);
    c.open(BuildConnectionString(profile(), true));
    EXPECT_TRUE(c.compressed());
    ResultPtr r = QueryBuffered(c,
                                "SELECT @@session.net_read_timeout, @@session.net_write_timeout, "
                                "(SELECT VARIABLE_VALUE FROM information_schema.SESSION_STATUS "
                                "WHERE VARIABLE_NAME='COMPRESSION')");
    MYSQL_ROW row = mysql_fetch_row(r.get());
    ASSERT_NE(row, nullptr);
    EXPECT_STREQ(row[0], "5000");
    EXPECT_STREQ(row[1], "5000");
    EXPECT_STREQ(row[2], "ON");

    Connection plain;
    plain.open(BuildConnectionString(profile(), false));
    EXPECT_FALSE(plain.compressed());
}

TEST(QuoteIdentifier, DoublesBackquotesInsideTheName) {
    EXPECT_EQ(QuoteIdentifier("order"), "`order`");
    EXPECT_EQ(QuoteIdentifier("my data"), "`my data`");
    EXPECT_EQ(QuoteIdentifier("a`b"), "`a``b`");
    EXPECT_EQ(QuoteIdentifier("x` FROM y; DROP TABLE z; --"), "`x`` FROM y; DROP TABLE z; --`");
}

}  // namespace
