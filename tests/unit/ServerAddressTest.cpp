#include <gtest/gtest.h>

#include <future>

#include "core/Failure.h"
#include "db/ServerAddress.h"
#include "support/ExpectFailure.h"

namespace {

TEST(ServerAddress, NamesAndAddressesPassAndBracketsAreTakenOff) {
    struct Case {
        QString server;
        QString host;
    };
    const Case cases[] = {
        {"localhost", "localhost"},
        {"LocalHost", "LocalHost"},
        {"db.example.com", "db.example.com"},
        {"db-1.internal.", "db-1.internal."},
        {"my_db", "my_db"},
        {"127.0.0.1", "127.0.0.1"},
        {"10.0.0.255", "10.0.0.255"},
        {"::1", "::1"},
        {"[::1]", "::1"},
        {"[2001:db8::5]", "2001:db8::5"},
        {"fe80::1%eth0", "fe80::1%eth0"},
    };
    for (const Case& c : cases) {
        try {
            EXPECT_EQ(LibraryHostFor(c.server), c.host) << c.server.toStdString();
        } catch (const Failure& f) {
            ADD_FAILURE() << c.server.toStdString() << ": " << f.description.toStdString();
        }
    }
}

TEST(ServerAddress, AnythingElseIsRefusedWithTheValueNamed) {
    const QString refused[] = {
        "",
        "host=127.0.0.1;init_command=CREATE TABLE x.pwned (a int)",
        "127.0.0.1;plugin_dir=/tmp;default_auth=marker",
        "read_default_file=/tmp/my.cnf",
        "aurora://127.0.0.1",
        "127.0.0.1:3306",
        "a b",
        " localhost",
        "localhost ",
        "local\thost",
        "localhost\n",
        QStringLiteral("local") + QChar(u'\0') + QStringLiteral("host"),
        "host/path",
        "-leading.example",
        "trailing-.example",
        "a..b",
        QString(64, u'a') + ".example",
        "[127.0.0.1]",
        "[::1",
        "caf\u00e9.example",
        "server{1}",
    };
    for (const QString& server : refused) {
        const Failure f =
            ExpectFailure([&] { LibraryHostFor(server); }, "accepted: " + server.toStdString());
        EXPECT_EQ(
            f.description,
            QStringLiteral("The server name \"%1\" is not a host name or an address.").arg(server));
    }
}

TEST(ServerAddress, ANulCharacterCannotCutAValueShort) {
    EXPECT_NO_THROW(CheckProfileText("password", "a;b=c{d}e f"));
    const Failure f = ExpectFailure(
        [] {
            CheckProfileText("password",
                             QStringLiteral("abc") + QChar(u'\0') + QStringLiteral("def"));
        },
        "a password with NUL passed");
    EXPECT_EQ(f.description,
              "The password holds a NUL character, which cannot be sent to the server.");
}

class ResolveHostTest : public ::testing::Test {
protected:
    void TearDown() override { SetHostLookupForTesting({}); }
};

TEST_F(ResolveHostTest, AddressesAreNotLookedUpAndNamesGiveTheirAddressesInOrder) {
    int lookups = 0;
    SetHostLookupForTesting([&](const QString& host) {
        ++lookups;
        EXPECT_EQ(host, "db.example.com");
        return QStringList{"192.0.2.7", "2001:db8::7"};
    });
    EXPECT_EQ(ResolveHost("192.0.2.1", 5), QStringList{"192.0.2.1"});
    EXPECT_EQ(ResolveHost("::1", 5), QStringList{"::1"});
    EXPECT_EQ(lookups, 0);
    EXPECT_EQ(ResolveHost("db.example.com", 5), (QStringList{"192.0.2.7", "2001:db8::7"}));
    EXPECT_EQ(lookups, 1);
}

TEST_F(ResolveHostTest, AResolverThatDoesNotAnswerFailsWhenTheTimeoutRunsOut) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    SetHostLookupForTesting([released](const QString&) {
        released.wait();
        return QStringList{"192.0.2.9"};
    });
    const Failure f = ExpectFailure([] { ResolveHost("slow.example", 1); },
                                    "a lookup that never answered gave an address");
    EXPECT_EQ(f.description,
              "The server name \"slow.example\" could not be resolved within 1 second.");
    release.set_value();
}

TEST_F(ResolveHostTest, ALookupFailureIsPassedOn) {
    SetHostLookupForTesting([](const QString&) -> QStringList {
        throw Failure(2005, "The server name \"nowhere.invalid\" could not be found: none");
    });
    const Failure f =
        ExpectFailure([] { ResolveHost("nowhere.invalid", 5); }, "an unknown name resolved");
    EXPECT_EQ(f.number, 2005);
    EXPECT_TRUE(f.description.contains("could not be found")) << f.description.toStdString();
}

}  // namespace
