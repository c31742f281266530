// Cutting clipboard text into search lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/mbcs.h"
#include "search/line_cutter.h"

namespace {

std::vector<std::string> AllLines(const std::string& text)
{
    const CString clip(text.data(), static_cast<int>(text.size()));
    CLineCutter cutter(clip);
    std::vector<std::string> lines;
    for (CString line; cutter.Next(line);)
        lines.emplace_back(static_cast<const char*>(line), line.GetLength());
    return lines;
}

using Lines = std::vector<std::string>;

TEST(LineCutter, CutsAtLineFeedsAndTrims)
{
    mbcs::SelectCodePage(932);
    const struct {
        std::string text;
        Lines expected;
    } cases[] = {
        {"abc", {"abc"}},
        {"", {""}},
        {"first\r\nsecond\r\n", {"first", "second", ""}},
        {"  spaced  \r\n\r\n\tx\r\n", {"spaced", "", "x", ""}},
        // A bare LF ends a line without costing it a byte.
        {"ab\ncd", {"ab", "cd"}},
        {"a\n\nb", {"a", "", "b"}},
        {"\n", {"", ""}},
        // 検索 LF abc: the whole first line survives.
        {"\x8C\x9F\x8D\xF5\nabc", {"\x8C\x9F\x8D\xF5", "abc"}},
        // A lead byte directly before an LF takes it in: no break there.
        {"a\x82\nb", {"a\x82\nb"}},
        {"a\x82\nb\nc", {"a\x82\nb", "c"}},
        // A lone CR is not a line break.
        {"a\rb", {"a\rb"}},
        {"x\r\r\n", {"x", ""}},
        // The CR before the LF goes; a CR that is the line's only byte too.
        {"\r\n", {"", ""}},
        // A trailing lone lead byte stays in its line.
        {"ab\x82", {"ab\x82"}},
        // Full-width blanks are text, not white space.
        {"\x81\x40q\x81\x40\r\n", {"\x81\x40q\x81\x40", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, AllLines(c.text)) << c.text;
}

TEST(LineCutter, SingleBytePageBreaksAfterHighBytes)
{
    mbcs::SelectCodePage(1252);
    EXPECT_EQ((Lines{"a\x82", "b"}), AllLines("a\x82\nb"));
    mbcs::SelectCodePage(932);
}

TEST(LineCutter, KeepsLongLinesWhole)
{
    std::string text(1 << 20, 'q');
    text += "\r\nz";
    const Lines lines = AllLines(text);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(std::string(1 << 20, 'q'), lines[0]);
    EXPECT_EQ("z", lines[1]);
}

}  // namespace
