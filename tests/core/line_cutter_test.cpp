// Cutting clipboard text into search lines, in either form, and writing the
// Unicode form's lines as UTF-8.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/mbcs.h"
#include "search/line_cutter.h"
#include "search/unicode_lines.h"

namespace {

using Lines = std::vector<std::string>;

TEST(LineCutter, CutsAtLineFeedsAndTrims)
{
    const struct {
        unsigned codePage;
        std::string text;
        Lines expected;
    } cases[] = {
        {932, "", {""}},
        {932, "first\r\nsecond\r\n", {"first", "second", ""}},
        {932, "  spaced  \r\n\r\n\t\v\f\x1Fx\x08\r\n", {"spaced", "", "\x1Fx\x08", ""}},
        // A bare LF ends a line without costing it a byte.
        {932, "ab\ncd", {"ab", "cd"}},
        {932, "\x8C\x9F\x8D\xF5\nabc", {"\x8C\x9F\x8D\xF5", "abc"}},
        // A lead byte directly before an LF takes it in: no break there, in Shift_JIS.
        {932, "a\x82\nb\nc", {"a\x82\nb", "c"}},
        {1252, "a\x82\nb", {"a\x82", "b"}},
        // A lone CR is not a line break; the CR before an LF goes with it.
        {932, "a\rb", {"a\rb"}},
        {932, "x\r\r\n", {"x", ""}},
        // Trimming steps whole characters: a trail byte is never a blank, a lone lead byte at the end stays.
        {932, "x\x82 \r\n \x95\x5C\x82", {"x\x82 ", "\x95\x5C\x82"}},
        {1252, "x\x82 ", {"x\x82"}},
        {932, "\x81\x40q\x81\x40\r\n", {"\x81\x40q\x81\x40", ""}},
        {932, std::string(1 << 20, 'q') + "\r\nz", {std::string(1 << 20, 'q'), "z"}},
    };
    for (const auto& c : cases) {
        mbcs::SelectCodePage(c.codePage);
        const CString clip(c.text.data(), static_cast<int>(c.text.size()));
        CLineCutter cutter(clip);
        Lines lines;
        for (CString line; cutter.Next(line);)
            lines.emplace_back(line, line.GetLength());
        EXPECT_EQ(c.expected, lines) << c.text.substr(0, 20);
        EXPECT_EQ(static_cast<int>(c.expected.size()), cutter.Count()) << c.text.substr(0, 20);
    }
    mbcs::SelectCodePage(932);
}

TEST(UnicodeLines, CutAsAnsiTextIsAndComeOutAsUtf8)
{
    const struct {
        std::u16string text;
        Lines expected;
    } cases[] = {
        {u"\u691C\u7D22", {"\xE6\xA4\x9C\xE7\xB4\xA2"}},
        {u"\x7F\x80\u07FF\u0800\uFFFF\U00010000\U0010FFFF",
         {"\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"}},
        // A surrogate without its partner is U+FFFD.
        {u"\xDC00x\xD800", {"\xEF\xBF\xBDx\xEF\xBF\xBD"}},
        {u" \t\v\f\u3000a b\u3000\x1F\r\n\r\nfirst\r\nsecond\n\rlone\rcr\n",
         {"\xE3\x80\x80" "a b\xE3\x80\x80\x1F", "", "first", "second", "lone\rcr", ""}},
        {u"", {""}},
    };
    for (const auto& c : cases) {
        CUnicodeLineCutter cutter(c.text.data(), static_cast<int>(c.text.size()));
        Lines lines;
        const char16_t* pLine;
        for (int nLength; cutter.Next(pLine, nLength);) {
            const CString utf8 = Utf16ToUtf8(pLine, nLength);
            lines.emplace_back(utf8, utf8.GetLength());
        }
        EXPECT_EQ(c.expected, lines) << &c - cases;
        EXPECT_EQ(static_cast<int>(c.expected.size()), cutter.Count()) << &c - cases;
    }
}

}  // namespace
