// Which changes of the clipboard are copies to search, in either mode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent/copy_rule.h"
#include "search/clipboard_text.h"

namespace {

// One change: ms after the one before, and four characters: its text ('a',
// 'b'; '0' none, or private; '-' not read, as while monitoring is off); its
// owner window ('A' to 'C', '-' none); OLE's data object ('*' live, '~'
// released, ' ' none); and a window gone from then on (' ' none).
struct Step {
    std::uint32_t nAfter;
    const char* what;
};

TEST(CopyRule, SearchesCopiesNotRepeatedPressesNorAnOwnerRenderingAgain)
{
    const struct {
        const char* name;
        std::vector<Step> steps;
        const char* searched;        // a digit a step: 1 searched, 2 searched if its owner stays, 0 not
        const char* searchedDouble;  // the same in the double-copy mode
    } cases[] = {
        {"one copy", {{0, "aA  "}}, "1", "0"},
        {"twice within 0.2 s", {{0, "aA  "}, {200, "aA  "}}, "10", "02"},
        {"twice 1 s apart", {{0, "aA  "}, {1000, "aA  "}, {1000, "aB  "}}, "121", "000"},
        {"half a second is still a press", {{0, "aA  "}, {500, "aB  "}, {501, "aB  "}}, "102", "010"},
        {"three presses, then a double copy later",
         {{0, "aA  "}, {150, "aA  "}, {150, "aA  "}, {1000, "aA  "}, {300, "aA  "}}, "10020", "02002"},
        {"a run of presses chains", {{0, "aA  "}, {400, "aA  "}, {400, "aA  "}, {400, "aA  "}}, "1000", "0200"},
        {"set twice for one press", {{0, "aA  "}, {20, "aA  "}, {300, "aA  "}}, "100", "002"},
        {"two different texts", {{0, "aA  "}, {100, "bA  "}, {100, "aA  "}}, "111", "000"},
        {"no text between", {{0, "aA  "}, {100, "0A  "}, {100, "aA  "}}, "101", "000"},
        // The owner renders what it delayed as its window goes, and OLE flushes
        // as its program closes, then its window goes: the same copy.
        {"its owner closes", {{0, "aA  "}, {3000, "a- A"}, {5, "a-  "}}, "100", "000"},
        {"its owner closes, read before its window is gone", {{0, "aA  "}, {3000, "a-  "}, {5, "a- A"}}, "120", "000"},
        {"OLE flushes, then goes", {{0, "aA* "}, {3000, "aA~ "}, {5, "a- A"}}, "100", "000"},
        {"a double copy, then its owner closes", {{0, "aA  "}, {200, "aA  "}, {100, "a- A"}}, "100", "020"},
        {"copied again after its owner closed", {{0, "aA  "}, {3000, "a- A"}, {3000, "aB  "}}, "101", "000"},
        // A program that flushes as it copies never shows a live object.
        {"flushed as copied", {{0, "aA~ "}, {1500, "aA~ "}, {150, "aA~ "}}, "120", "002"},
        {"released with other text", {{0, "aA* "}, {3000, "bA~ "}}, "11", "00"},
        {"another owner's object released", {{0, "aA* "}, {3000, "aB~ "}}, "11", "00"},
        {"a program without a window, the first still there", {{0, "aA  "}, {3000, "a-  "}, {3000, "a-  "}}, "122", "000"},
        // Copied while off: neither it nor its owner's rendering is searched.
        {"off, then its owner closes", {{0, "aA  "}, {1000, "-B  "}, {1000, "b- B"}, {1000, "bC  "}}, "1001", "0000"},
        {"off, then another program's text", {{0, "aA  "}, {1000, "-B  "}, {1000, "bC~ "}}, "101", "000"},
        {"off, then pressed twice", {{0, "-A  "}, {100, "aA  "}, {100, "aA  "}}, "010", "002"},
        {"the tick count wraps", {{0xFFFFFF00u, "aA  "}, {0x1F0, "aA  "}}, "10", "02"},
    };
    for (const auto& c : cases) {
        for (const bool bDouble : {false, true}) {
            CCopyRule rule;
            ClipboardFacts facts;
            std::uint32_t nSequence = 0;
            std::string gone, searched;
            for (const Step& step : c.steps) {
                nSequence += 3;
                gone += step.what[3];
                const auto window = [](char name) { return name >= 'A' && name <= 'C' ? std::uintptr_t(name) : 0; };
                facts.nTime += step.nAfter;
                facts.bRead = step.what[0] != '-';
                facts.nText = facts.bRead && step.what[0] != '0' ? std::uint64_t(step.what[0]) : 0;
                facts.nOwner = window(step.what[1]);
                facts.bOwnerAlive = facts.nOwner && gone.find(step.what[1]) == std::string::npos;
                facts.bLastOwnerGone = rule.LastOwner() && gone.find(char(rule.LastOwner())) != std::string::npos;
                facts.bOleLive = step.what[2] == '*';
                facts.bOleReleased = step.what[2] == '~';
                EXPECT_TRUE(rule.IsChange(nSequence));
                // Its notification passed on again, by a viewer that rejoins the chain.
                EXPECT_FALSE(rule.IsChange(nSequence));
                searched += char('0' + static_cast<int>(rule.Judge(facts, bDouble)));
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
