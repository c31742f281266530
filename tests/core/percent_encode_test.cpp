// Percent-encoding of search queries.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "search/percent_encode.h"

namespace {

TEST(PercentEncodeAll, WritesEveryByteAsThreeUpperCaseCharacters)
{
    std::string all, expected;
    for (int b = 0; b < 256; ++b) {
        char escape[4];
        std::snprintf(escape, sizeof escape, "%%%02X", b);
        all += static_cast<char>(b);
        expected += escape;
    }
    const CString encoded = PercentEncodeAll(CString(all.data(), 256));
    EXPECT_EQ(expected, std::string(encoded, encoded.GetLength()));
    EXPECT_EQ(CString("%8C%9F%8D%F5"), PercentEncodeAll(CString("\x8C\x9F\x8D\xF5")));
    EXPECT_TRUE(PercentEncodeAll(CString()).IsEmpty());
}

}  // namespace
