#include <gtest/gtest.h>

#include "db/Discovery.h"

namespace {

TEST(IsListedTable, LeavesOutOnlyNamesStartingWithSysInAnyCase) {
    struct Case {
        const char* name;
        bool listed;
    };
    const Case cases[] = {
        {"sysconfig", false}, {"System_log", false}, {"SYS", false},  {"sYs", false},
        {"sys_users", false}, {"SYSLOG", false},     {"sy", true},    {"s", true},
        {"", true},           {"mysys", true},       {"a_sys", true}, {"orders", true},
        {" sys", true},
    };
    for (const Case& c : cases) EXPECT_EQ(IsListedTable(c.name), c.listed) << c.name;
}

TEST(FieldListingStatement, EnclosesTheNameAndDoublesItsBackquotes) {
    EXPECT_EQ(FieldListingStatement("orders"), "SELECT * FROM `orders`");
    EXPECT_EQ(FieldListingStatement("my table"), "SELECT * FROM `my table`");
    EXPECT_EQ(FieldListingStatement("a`b"), "SELECT * FROM `a``b`");
}

}  // namespace
