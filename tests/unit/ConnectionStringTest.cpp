#include <gtest/gtest.h>

#include "db/ConnectionString.h"

namespace {

TEST(ConnectionString, KeepsEveryPlainValueVerbatim) {
    struct Case {
        ConnectionProfile in;
        bool upload;
        const char* want;
    };
    const Case cases[] = {
        {{"localhost", "", "", "", "3306"},
         false,
         "DRIVER={MySQL ODBC 5.1 Driver};SERVER=localhost;USER=;PASSWORD=;DATABASE=;PORT=3306;"},
        {{"localhost", "", "", "", "3306"},
         true,
         "DRIVER={MySQL ODBC 5.1 Driver};SERVER=localhost;USER=;PASSWORD=;DATABASE=;PORT=3306;"
         "OPTION=133121;"},
        {{"db.example", "ann", "p=w", "shop", ""},
         false,
         "DRIVER={MySQL ODBC 5.1 Driver};SERVER=db.example;USER=ann;PASSWORD=p=w;DATABASE=shop;"
         "PORT=;"},
        {{"10.0.0.5", "bob", "", "images", "abc"},
         true,
         "DRIVER={MySQL ODBC 5.1 Driver};SERVER=10.0.0.5;USER=bob;PASSWORD=;DATABASE=images;"
         "PORT=abc;OPTION=133121;"},
        {{"h", "\xc3\xa9mile", "x'y\"z\\", "d b", "3307"},
         false,
         "DRIVER={MySQL ODBC 5.1 Driver};SERVER=h;USER=\xc3\xa9mile;PASSWORD=x'y\"z\\;"
         "DATABASE=d b;PORT=3307;"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildConnectionString(c.in, c.upload), QString::fromUtf8(c.want));
}

TEST(ConnectionString, BracesValuesThatWouldOtherwiseBreakTheString) {
    struct Case {
        const char* password;
        const char* written;
    };
    const Case cases[] = {
        {"a;b", "{a;b}"},     {"a}b", "{a}}b}"},      {"{x}", "{{x}}}"},
        {" lead", "{ lead}"}, {"trail ", "{trail }"}, {";}=", "{;}}=}"},
    };
    for (const Case& c : cases) {
        const ConnectionProfile p{"localhost", "u", c.password, "d", "3306"};
        const QString s = BuildConnectionString(p, false);
        EXPECT_TRUE(s.contains(QStringLiteral("PASSWORD=%1;").arg(c.written))) << s.toStdString();
        EXPECT_EQ(ParseConnectionString(s).value("PASSWORD"), QString::fromUtf8(c.password));
    }
}

TEST(ConnectionString, ParserReadsKeysCaseInsensitivelyAndEveryValueBack) {
    const auto v = ParseConnectionString(
        "driver={MySQL ODBC 5.1 Driver};Server=h;uSeR=u;PASSWORD=;Database=d b;port=1;Option=3;");
    EXPECT_EQ(v.value("DRIVER"), "MySQL ODBC 5.1 Driver");
    EXPECT_EQ(v.value("SERVER"), "h");
    EXPECT_EQ(v.value("USER"), "u");
    EXPECT_TRUE(v.contains("PASSWORD"));
    EXPECT_EQ(v.value("PASSWORD"), "");
    EXPECT_EQ(v.value("DATABASE"), "d b");
    EXPECT_EQ(v.value("PORT"), "1");
    EXPECT_EQ(v.value("OPTION"), "3");

    const ConnectionProfile p{"s;1", "{u}", "p}}", " d ", "33;06"};
    const auto back = ParseConnectionString(BuildConnectionString(p, true));
    EXPECT_EQ(back.value("SERVER"), p.server);
    EXPECT_EQ(back.value("USER"), p.user);
    EXPECT_EQ(back.value("PASSWORD"), p.password);
    EXPECT_EQ(back.value("DATABASE"), p.database);
    EXPECT_EQ(back.value("PORT"), p.port);
    EXPECT_EQ(back.value("OPTION"), "133121");
}

}  // namespace
