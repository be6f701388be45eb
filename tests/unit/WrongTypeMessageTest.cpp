#include <gtest/gtest.h>

#include "db/ColumnType.h"

namespace {

TEST(WrongTypeMessage, NamesTheTypeCodeWithSingleCarriageReturns) {
    EXPECT_EQ(WrongTypeMessage(203),
              "Selected field does not appear to be a blob.\r\rIf you feel that this is a valid "
              "field, please email support@kestrom.example with this: \r\rType: 203");
    EXPECT_TRUE(WrongTypeMessage(3).endsWith("\r\rType: 3"));
}

TEST(IsBlobType, AcceptsOnlyTheTwoBinaryStringCodes) {
    for (int code : {0, 2, 3, 128, 130, 131, 135, 200, 201, 202, 203, 206})
        EXPECT_FALSE(IsBlobType(code)) << code;
    EXPECT_TRUE(IsBlobType(204));
    EXPECT_TRUE(IsBlobType(205));
}

}  // namespace
