// Percent-encoding of search queries.
#include <gtest/gtest.h>

#include <string>

#include "search/percent_encode.h"

namespace {

TEST(PercentEncodeAll, EncodesEveryByte)
{
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {"", ""},
        {"abc", "%61%62%63"},
        {" ", "%20"},
        {"A-z_0.9~", "%41%2D%7A%5F%30%2E%39%7E"},
        {"%&=?/#+", "%25%26%3D%3F%2F%23%2B"},
        {"\x8C\x9F\x8D\xF5", "%8C%9F%8D%F5"},
        {std::string("\x00\x01\x7F\x80\xFF", 5), "%00%01%7F%80%FF"},
        {"a\nb", "%61%0A%62"},
    };
    for (const auto& c : cases) {
        const CString text(c.text.data(), static_cast<int>(c.text.size()));
        EXPECT_EQ(CString(c.expected.c_str()), PercentEncodeAll(text)) << c.text;
    }
}

TEST(PercentEncodeAll, CoversAllByteValues)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const CString encoded = PercentEncodeAll(CString(all.data(), 256));
    ASSERT_EQ(768, encoded.GetLength());
    for (int b = 0; b < 256; ++b) {
        char expected[4];
        std::snprintf(expected, sizeof expected, "%%%02X", b);
        EXPECT_EQ(std::string(expected), std::string(static_cast<const char*>(encoded) + 3 * b, 3)) << b;
    }
}

}  // namespace
