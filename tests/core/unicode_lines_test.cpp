// Cutting Unicode clipboard text into search lines, and writing them as UTF-8.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "search/unicode_lines.h"

namespace {

TEST(UnicodeLines, CutAsAnsiTextIsAndComeOutAsUtf8)
{
    const struct {
        std::u16string text;
        std::vector<std::string> expected;
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
        std::vector<std::string> lines;
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
