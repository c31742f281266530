// CString in Shift_JIS and in a single-byte code page.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "framework/cstring.h"
#include "framework/mbcs.h"

namespace {

// 検索 is 8C 9F 8D F5; 表 is 95 5C, whose trail byte is a backslash.
const char kKensaku[] = "\x8C\x9F\x8D\xF5";
const char kHyou[] = "\x95\x5C";

class CStringTest : public ::testing::TestWithParam<unsigned> {
protected:
    void SetUp() override { mbcs::SelectCodePage(GetParam()); }
    void TearDown() override { mbcs::SelectCodePage(932); }
    bool IsShiftJis() const { return GetParam() == 932; }
};

TEST(CStringFind, StepsOverDoubleByteCharacters)
{
    mbcs::SelectCodePage(932);
    const struct {
        std::string text;
        std::string sub;
        int start;
        int expected;
    } cases[] = {
        {"abc", "c", 0, 2},
        {"abc", "x", 0, -1},
        {"abc", "a", 3, -1},
        {"abc", "a", 4, -1},
        {"abc", "a", -1, -1},
        {"abcabc", "bc", 2, 4},
        {std::string(kHyou) + "\\", "\\", 0, 2},
        {std::string(kKensaku) + "\n", "\n", 0, 4},
        // 0x8D 0xF5: a pair that straddles two characters is no match.
        {std::string(kKensaku), "\x9F\x8D", 0, -1},
        // A lead byte takes the LF after it into its character.
        {"a\x82\nb\n", "\n", 0, 4},
        // A lone lead byte at the end is a character of its own.
        {"ab\x82", "\x82", 0, 2},
    };
    for (const auto& c : cases) {
        const CString text(c.text.data(), static_cast<int>(c.text.size()));
        EXPECT_EQ(c.expected, text.Find(c.sub.c_str(), c.start)) << c.text << " / " << c.sub;
    }
}

TEST(CStringFind, FindsAZeroByteInsideTheText)
{
    const CString text("a\0b\0", 4);
    EXPECT_EQ(1, text.Find('\0'));
    EXPECT_EQ(3, text.Find('\0', 2));
    EXPECT_EQ(-1, CString("ab").Find('\0'));
}

TEST(CStringFind, SingleBytePageSeesEveryByte)
{
    mbcs::SelectCodePage(1252);
    const CString text(std::string(kHyou).c_str());
    EXPECT_EQ(1, text.Find('\\'));
    EXPECT_EQ(2, CString("a\x82\nb").Find('\n'));
    mbcs::SelectCodePage(932);
}

TEST(CStringMid, ClipsToTheText)
{
    const struct {
        int first;
        int count;
        const char* expected;
    } cases[] = {
        {0, 3, "abc"}, {1, 1, "b"}, {2, 10, "c"}, {3, 1, ""}, {4, 1, ""},
        {-2, 2, "ab"}, {1, -1, ""}, {0, 0, ""},
    };
    const CString text("abc");
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.expected), text.Mid(c.first, c.count)) << c.first << "," << c.count;
    EXPECT_EQ(CString("bc"), text.Mid(1));
}

TEST_P(CStringTest, TrimRemovesOnlyAsciiWhiteSpace)
{
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {"  spaced  ", "spaced"},
        {"\t\n\v\f\r x \r\n", "x"},
        {"   ", ""},
        {"", ""},
        {"a b", "a b"},
        // The ideographic space 81 40 is not white space and stays.
        {"\x81\x40x\x81\x40", "\x81\x40x\x81\x40"},
        // Non-breaking space and other high bytes are not white space either.
        {"\xA0x\xA0", "\xA0x\xA0"},
    };
    for (const auto& c : cases) {
        CString text(c.text.data(), static_cast<int>(c.text.size()));
        text.Trim();
        EXPECT_EQ(CString(c.expected.data(), static_cast<int>(c.expected.size())), text) << c.text;
    }
}

TEST_P(CStringTest, TrimRightKeepsWholeCharacters)
{
    // 0x82 0x20: in Shift_JIS the blank is the trail byte of one character
    // and must stay; in a single-byte page it is a trailing blank.
    CString pair("x\x82 ");
    pair.TrimRight();
    EXPECT_EQ(CString(IsShiftJis() ? "x\x82 " : "x\x82"), pair);

    // A lone lead byte at the end is one character, not white space: it stays.
    CString lone("x \x82");
    lone.TrimRight();
    EXPECT_EQ(CString("x \x82"), lone);

    CString loneThenBlank("x\x82 \x82");
    loneThenBlank.TrimRight();
    EXPECT_EQ(CString("x\x82 \x82"), loneThenBlank);
}

INSTANTIATE_TEST_SUITE_P(CodePages, CStringTest, ::testing::Values(932u, 1252u));

TEST(CStringFormat, GrowsToAnyLength)
{
    const std::string big(100000, 'x');
    CString text;
    text.Format("<%s|%d|%02X>", big.c_str(), -42, 0xAB);
    ASSERT_EQ(100000 + 9, text.GetLength());
    EXPECT_EQ(std::string("<") + big + "|-42|AB>", std::string(text));

    text.Format("%s", "");
    EXPECT_TRUE(text.IsEmpty());
}

TEST(CStringValue, AppendsToItselfAndCopiesIndependently)
{
    CString text("ab");
    for (int i = 0; i < 12; ++i)
        text += text;
    ASSERT_EQ(2 << 12, text.GetLength());
    EXPECT_EQ(0, std::memcmp(static_cast<const char*>(text) + 4094, "abab", 4));

    CString copy = text;
    text.Trim();
    copy += "!";
    EXPECT_EQ((2 << 12) + 1, copy.GetLength());
    EXPECT_EQ(2 << 12, text.GetLength());

    CString moved = std::move(copy);
    EXPECT_EQ('!', moved[2 << 12]);
    EXPECT_STREQ("", static_cast<const char*>(CString()));
}

TEST(CStringValue, CountsBytesAndCompares)
{
    const CString withZero("a\0b", 3);
    EXPECT_EQ(3, withZero.GetLength());
    EXPECT_NE(CString("a"), withZero);
    EXPECT_EQ(CString("left") + "mid" + CString("right"), CString("leftmidright"));
    EXPECT_TRUE(CString().IsEmpty());
    EXPECT_TRUE(CString(nullptr).IsEmpty());
    EXPECT_EQ(CString(""), CString());
}

}  // namespace
