// Which changes of the clipboard are copies to search, in either mode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent/copy_rule.h"
#include "search/clipboard_text.h"

namespace {

// One change: ms after the one before, its text ('a', 'b'; '0' none, or
// private; '-' not read, as while monitoring is off), and its owner: 'L' a
// live window, 'G' gone or none, 'R' live, with OLE's data object released.
struct Step {
    std::uint32_t nAfter;
    char text;
    char owner;
};

TEST(CopyRule, SearchesCopiesNotRepeatedPressesNorAnOwnerRenderingAgain)
{
    const struct {
        const char* name;
        std::vector<Step> steps;
        const char* searched;        // a digit a step, 1 for searched
        const char* searchedDouble;  // the same in the double-copy mode
    } cases[] = {
        {"one copy", {{0, 'a', 'L'}}, "1", "0"},
        {"twice within 0.2 s", {{0, 'a', 'L'}, {200, 'a', 'L'}}, "10", "01"},
        {"twice 1 s apart", {{0, 'a', 'L'}, {1000, 'a', 'L'}}, "11", "00"},
        {"half a second is still a press", {{0, 'a', 'L'}, {500, 'a', 'L'}, {501, 'a', 'L'}}, "101", "010"},
        {"three presses, then a double copy later",
         {{0, 'a', 'L'}, {150, 'a', 'L'}, {150, 'a', 'L'}, {1000, 'a', 'L'}, {300, 'a', 'L'}}, "10010", "01001"},
        {"a run of presses chains", {{0, 'a', 'L'}, {400, 'a', 'L'}, {400, 'a', 'L'}, {400, 'a', 'L'}}, "1000", "0100"},
        {"two different texts", {{0, 'a', 'L'}, {100, 'b', 'L'}, {100, 'a', 'L'}}, "111", "000"},
        {"no text between", {{0, 'a', 'L'}, {100, '0', 'L'}, {100, 'a', 'L'}}, "101", "000"},
        // The owner renders what it delayed as its window goes, and OLE flushes
        // as its program closes, then its window goes: the same copy.
        {"its owner closes", {{0, 'a', 'L'}, {3000, 'a', 'G'}, {5, 'a', 'G'}}, "100", "000"},
        {"OLE flushes, then goes", {{0, 'a', 'L'}, {3000, 'a', 'R'}, {5, 'a', 'G'}}, "100", "000"},
        {"a double copy, then its owner closes", {{0, 'a', 'L'}, {200, 'a', 'L'}, {100, 'a', 'G'}}, "100", "010"},
        {"copied again after its owner closed", {{0, 'a', 'L'}, {3000, 'a', 'G'}, {3000, 'a', 'L'}}, "101", "000"},
        {"released with other text", {{0, 'a', 'L'}, {3000, 'b', 'R'}}, "11", "00"},
        {"another program without a window", {{0, 'a', 'L'}, {3000, 'b', 'G'}, {3000, 'b', 'G'}}, "111", "000"},
        // Copied while off: neither it nor its owner's rendering is searched.
        {"off, then its owner closes", {{0, 'a', 'L'}, {1000, '-', 'L'}, {1000, 'b', 'G'}, {1000, 'b', 'L'}}, "1001", "0000"},
        {"off, then pressed twice", {{0, '-', 'L'}, {100, 'a', 'L'}, {100, 'a', 'L'}}, "010", "001"},
        {"the tick count wraps", {{0xFFFFFF00u, 'a', 'L'}, {0x1F0, 'a', 'L'}}, "10", "01"},
    };
    for (const auto& c : cases) {
        for (const bool bDouble : {false, true}) {
            CCopyRule rule;
            ClipboardFacts facts;
            std::uint32_t nSequence = 0;
            std::string searched;
            for (const Step& step : c.steps) {
                nSequence += 3;
                facts.nTime += step.nAfter;
                facts.bRead = step.text != '-';
                facts.nText = facts.bRead && step.text != '0' ? static_cast<std::uint64_t>(step.text) : 0;
                facts.bOwnerAlive = step.owner != 'G';
                facts.bOleReleased = step.owner == 'R';
                EXPECT_TRUE(rule.IsChange(nSequence));
                // Its notification passed on again, by a viewer that rejoins the chain.
                EXPECT_FALSE(rule.IsChange(nSequence));
                searched += rule.IsSearched(facts, bDouble) ? '1' : '0';
            }
            EXPECT_EQ(bDouble ? c.searchedDouble : c.searched, searched) << c.name;
        }
    }
}

TEST(CopyRule, TheFingerprintTakesBothFormsApart)
{
    const auto print = [](const char* pszAnsi, std::u16string unicode) {
        CClipboardText text;
        text.text = pszAnsi;
        text.unicode = CWideBuffer(unicode.data(), static_cast<int>(unicode.size()));
        return CCopyRule::Fingerprint(text);
    };
    EXPECT_EQ(print("?", u"\U0001F600"), print("?", u"\U0001F600"));
    for (const std::uint64_t other :
         {print("?", u"?"), print("", u"?\U0001F600"), print("?\x3D\xD8", u"\xDE00"), print("", u"")})
        EXPECT_NE(print("?", u"\U0001F600"), other);
    EXPECT_NE(0u, print("", u""));
}

}  // namespace
