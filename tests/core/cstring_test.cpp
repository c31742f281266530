// CString in Shift_JIS and in a single-byte code page.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "framework/cstring.h"
#include "framework/mbcs.h"

namespace {

CString Of(const std::string& bytes)
{
    return CString(bytes.data(), static_cast<int>(bytes.size()));
}

TEST(CString, FindAndTrimStepOverDoubleByteCharactersInShiftJisOnly)
{
    // 表 is 95 5C, its trail byte a backslash; 82 20 and 82 0A are a lead byte
    // and a blank or an LF, one character in Shift_JIS; 81 40 is the
    // ideographic space, which is not white space.
    const struct {
        unsigned codePage;
        std::string text, sub;
        int start, found;
        std::string trimmed;
    } cases[] = {
        {932, "abcabc", "bc", 2, 4, "abcabc"},
        {932, "abc", "a", 3, -1, "abc"},
        {932, "abc", "a", -1, -1, "abc"},
        {932, std::string("a\0b\0", 4), std::string(1, '\0'), 2, 3, std::string("a\0b\0", 4)},
        {932, "ab", std::string(1, '\0'), 0, -1, "ab"},
        {932, "\x95\x5C\\", "\\", 0, 2, "\x95\x5C\\"},
        {1252, "\x95\x5C\\", "\\", 0, 1, "\x95\x5C\\"},
        {932, "\x8C\x9F\x8D\xF5", "\x9F", 0, -1, "\x8C\x9F\x8D\xF5"},
        {932, " a\x82\nb\n ", "\n", 0, 5, "a\x82\nb"},
        {1252, " a\x82\nb\n ", "\n", 0, 3, "a\x82\nb"},
        {932, "\t\v\f\r x\x82 ", " ", 0, 4, "x\x82 "},
        {1252, "x\x82 ", " ", 0, 2, "x\x82"},
        {932, "\x81\x40x \x82", "\x82", 0, 4, "\x81\x40x \x82"},
    };
    for (const auto& c : cases) {
        mbcs::SelectCodePage(c.codePage);
        CString text = Of(c.text);
        EXPECT_EQ(c.found, text.Find(c.sub[0], c.start)) << c.text;
        if (c.sub != std::string(1, '\0')) {
            EXPECT_EQ(c.found, text.Find(c.sub.c_str(), c.start)) << c.text;
        }
        EXPECT_EQ(Of(c.trimmed), text.Trim()) << c.text;
    }
    mbcs::SelectCodePage(932);
}

TEST(CString, MidClipsToTheText)
{
    const struct {
        int first, count;
        const char* expected;
    } cases[] = {{0, 3, "abc"}, {1, 1, "b"}, {2, 10, "c"}, {3, 1, ""}, {-2, 2, "ab"}, {1, -1, ""}};
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.expected), CString("abc").Mid(c.first, c.count)) << c.first << "," << c.count;
}

TEST(CString, GrowsCopiesAndFormatsToAnyLength)
{
    CString text("ab");
    for (int i = 0; i < 12; ++i)
        text += text;
    CString copy = text;
    copy += CString("!") + "?";
    const CString moved = std::move(copy);
    EXPECT_EQ(8192, text.GetLength());
    EXPECT_EQ("abab", std::string(text, 8192).substr(4094, 4));
    EXPECT_EQ("!?", std::string(moved, 8194).substr(8192));
    EXPECT_NE(CString("a"), Of(std::string("a\0b", 3)));

    const std::string big(100000, 'x');
    text.Format("<%s|%d|%02X>", big.c_str(), -42, 0xAB);
    EXPECT_EQ("<" + big + "|-42|AB>", std::string(text, text.GetLength()));
    text.Format("%s", "");
    EXPECT_TRUE(text.IsEmpty());
}

}  // namespace
