#include <gtest/gtest.h>

#include <functional>

#include "db/Connection.h"
#include "db/Openers.h"
#include "support/TestServer.h"

namespace {

class OpenersTest : public DatabaseTest {};

// Each operation's session, as the program opens it, carries that operation's properties: the
// transfers wait 5000 seconds for the server (client and server side alike) and the upload speaks
// the compressed protocol; the listings keep the defaults.
TEST_F(OpenersTest, EachOperationsSessionCarriesItsOwnProperties) {
    const QStringList defaults =
        RowOn(*OpenTableListConnection(profile()),
              "SELECT @@global.net_read_timeout, @@global.net_write_timeout");
    ASSERT_EQ(defaults.size(), 2);
    ASSERT_NE(defaults[0], "5000");
    struct Case {
        const char* operation;
        std::function<std::unique_ptr<Connection>(const ConnectionProfile&)> open;
        QString readTimeout, writeTimeout;
        unsigned connectTimeout, commandTimeout;
        const char* compression;
    };
    const Case cases[] = {
        {"table listing", OpenTableListConnection, defaults[0], defaults[1],
         Connection::kDefaultConnectionTimeout, Connection::kDefaultCommandTimeout, "OFF"},
        {"field listing", OpenFieldListConnection, defaults[0], defaults[1],
         Connection::kDefaultConnectionTimeout, Connection::kDefaultCommandTimeout, "OFF"},
        {"download", OpenDownloadConnection, "5000", "5000", 5000, 5000, "OFF"},
        {"upload", [](const ConnectionProfile& p) { return OpenUploadConnection(p); }, "5000",
         "5000", 5000, 5000, "ON"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        std::unique_ptr<Connection> session = c.open(profile());
        ASSERT_TRUE(session->isOpen());
        EXPECT_EQ(RowOn(*session,
                        "SELECT @@session.net_read_timeout, @@session.net_write_timeout, "
                        "(SELECT VARIABLE_VALUE FROM information_schema.SESSION_STATUS "
                        "WHERE VARIABLE_NAME='COMPRESSION')"),
                  (QStringList{c.readTimeout, c.writeTimeout, c.compression}));
        unsigned connectTimeout = 0;
        ASSERT_EQ(mysql_get_optionv(session->handle(), MYSQL_OPT_CONNECT_TIMEOUT, &connectTimeout),
                  0);
        EXPECT_EQ(connectTimeout, c.connectTimeout);
        unsigned readTimeout = 0;
        ASSERT_EQ(mysql_get_optionv(session->handle(), MYSQL_OPT_READ_TIMEOUT, &readTimeout), 0);
        EXPECT_EQ(readTimeout, c.commandTimeout);
    }
}

}  // namespace
