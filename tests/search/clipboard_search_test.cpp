// Copies to searches, through the real clipboard, the real settings file and
// the recording automation server.
#include <atomic>
#include <thread>

#include "tests/support/agent_test.h"

namespace {

using namespace testutil;
using SearchTest = AgentTest;

// Adds the log of one launch of instance n: whole, or up to the step that
// failed, and a window that failed before it was shown is told to quit.
void Launch(Strings& log, int n, const std::string& url, const std::string& failing = "")
{
    const std::string id = std::to_string(n);
    if (failing == "create")
        return log.push_back("create " + id + " FAILED");
    log.push_back("create " + id);
    const Strings steps = {"put_Offline 0", "put_AddressBar -1", "put_StatusBar -1", "put_StatusText Torven",
                           "put_Visible -1", "Navigate2 " + url + "|missing|missing|missing|missing"};
    for (const std::string& step : failing == "query" ? Strings() : steps) {
        const bool bFails = !failing.empty() && step.rfind(failing, 0) == 0;
        log.push_back(id + " " + step + (bFails ? " FAILED" : ""));
        if (bFails && failing != "Navigate2")
            log.push_back(id + " Quit");
        if (bFails)
            break;
    }
    log.push_back(id + " released");
}

// What a copy searches, on the site and in the encoding the settings file
// gives at that moment: every line with text, one search each, from the text
// the copying program put there itself in that encoding; nothing of a copy
// marked private or without text. A line that the site's code page cannot
// hold is not searched, and one balloon counts such lines.
TEST_F(SearchTest, EveryNonEmptyLineIsOneSearchOnTheCurrentSiteInItsEncodingUnlessMarkedPrivate)
{
    const std::string kKensaku = "\x8C\x9F\x8D\xF5", kUtf8Kensaku = "%E6%A4%9C%E7%B4%A2";  // 検索
    // Site 2 with empty left and right parts: each URL is the query alone.
    const auto site2 = [](const char* pszEncoding) {
        return "Current Url Index=1\r\nWWW Search Site 2 Left=\r\nWWW Search Site 2 Right=\r\n" +
               (pszEncoding ? "WWW Search Site 2 Encoding=" + std::string(pszEncoding) + "\r\n" : std::string());
    };
    const std::string kAnsi = site2(nullptr), kUtf8 = site2("UTF-8"), kAllowed("\x01\0\0\0", 4), kOwn = "%F0%9F%98%80";
    const ClipData q = Text("q"), ansi = Text("?"), unicode = Unicode(u"\U0001F600");
    const ClipData oem = {CF_OEMTEXT, std::string("?\0", 2)}, japanese = {CF_LOCALE, std::string("\x11\x04\0\0", 4)};
    // Windows makes Unicode from the ANSI text in the code page of the locale, here 1252.
    const ClipData english = {CF_LOCALE, std::string("\x09\x04\0\0", 4)};
    const struct {
        std::string settings;                         // under [Url Setting]
        std::vector<std::vector<ClipData>> openings;  // of the clipboard, for the one copy
        Strings urls;
        int unsearched = 0;
    } cases[] = {
        {"", {{q}}, {Google("%71")}},
        // A Shift_JIS left part (検索) reaches the browser as the same characters, its escapes as they stand.
        {"Current Url Index=9\r\nWWW Search Site 10 Left=http://x/\x8C\x9F\x8D\xF5?c=%41%25&q=\r\n", {{q}},
         {"http://x/\xE6\xA4\x9C\xE7\xB4\xA2?c=%41%25&q=%71&"}},
        // An empty value is not the built-in one; a value of any length is read whole.
        {"WWW Search Site 1 Right=\r\n", {{q}}, {"http://www.google.co.jp/search?q=%71"}},
        {"WWW Search Site 1 Left=" + std::string(9000, 'v') + "\r\n", {{q}},
         {std::string(9000, 'v') + "%71&hl=ja&lr="}},
        // An index that names no site reads as the first.
        {"Current Url Index=10\r\n", {{q}}, {Google("%71")}},
        {"Current Url Index=-1\r\n", {{q}}, {Google("%71")}},
        {"Current Url Index=x\r\n", {{q}}, {Google("%71")}},
        {kAnsi, {{Text("first\r\nsecond\r\n")}}, {"%66%69%72%73%74", "%73%65%63%6F%6E%64"}},
        // A lead byte directly before an LF takes it into its character: no break there.
        {kAnsi, {{Text("  spaced  \r\n\r\n\t\x8C\x9F\x82\nz")}}, {"%73%70%61%63%65%64", "%8C%9F%82%0A%7A"}},
        {kAnsi, {{Text(std::string("a\rb\0cd", 6))}}, {"%61%0D%62"}},
        {kUtf8, {{Unicode(u"\u691C\u7D22"), Text(kKensaku)}}, {kUtf8Kensaku}},
        {kAnsi, {{Unicode(u"\u691C\u7D22"), Text(kKensaku)}}, {"%8C%9F%8D%F5"}},
        // The copying program's own ANSI text is what an ANSI site searches.
        {kAnsi, {{Unicode(u"a"), Text("b")}}, {"%62"}},
        {site2("utf-8"), {{Unicode(std::u16string(u"\U0001F600 a b\r\n\xD800\u3000\n\0z", 13))}},
         {"%F0%9F%98%80%20%61%20%62", "%EF%BF%BD%E3%80%80"}},
        // Without a Unicode form of its own, the ANSI text is converted.
        {kUtf8, {{Text(kKensaku + " \x81\x40")}}, {kUtf8Kensaku + "%20%E3%80%80"}},
        // Its own Unicode form is read whatever order its forms and its locale
        // came in, and whether it put them there in one opening or two.
        {kUtf8, {{unicode, ansi}}, {kOwn}},
        {kUtf8, {{ansi, unicode}}, {kOwn}},
        {kUtf8, {{japanese, ansi, unicode}}, {kOwn}},
        {kUtf8, {{ansi, oem, unicode}}, {kOwn}},
        {kUtf8, {{ansi}, {unicode}}, {"%3F", kOwn}},
        {kUtf8, {{english, Text("\x8C\x9F?")}}, {"%E6%A4%9C%3F"}},  // 検?
        // What the code page cannot hold is not searched; the other lines are, as ever.
        {site2(""), {{Unicode(u"a\r\n\U0001F600\r\ncaf\u00E9\r\n\u691C")}}, {"%61", "%8C%9F"}, 2},
        {kAnsi, {{ansi, unicode}}, {}, 1},
        {site2("Shift_JIS"), {{Text("\x8C\x9F\n?"), unicode}}, {"%8C%9F", "%3F"}},
        {"", {{q, Named("Clipboard Viewer Ignore", std::string(1, '\0'))}}, {}},
        {"", {{q, Named("ExcludeClipboardContentFromMonitorProcessing", std::string(1, '\0'))}}, {}},
        {"", {{q, Named("CanIncludeInClipboardHistory", std::string(4, '\0'))}}, {}},
        {"", {{q, Named("CanIncludeInClipboardHistory", kAllowed)}}, {Google("%71")}},
        {"", {{Named("CanIncludeInClipboardHistory", kAllowed)}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        SettingsFile::Write("[Url Setting]\r\n" + c.settings);
        Recorders recorders;
        Empty();
        m_agent.records.clear();
        for (const std::vector<ClipData>& opening : c.openings)
            Copy(opening, &opening != &c.openings.front());
        EXPECT_EQ(c.urls, recorders.Navigated());
        EXPECT_EQ(static_cast<int>(c.urls.size()), recorders.Released());
        EXPECT_EQ(c.unsearched ? 1u : 0u, m_agent.records.size());
        for (const RecordingTrayWnd::Record& balloon : m_agent.records) {
            EXPECT_EQ(static_cast<DWORD>(NIIF_WARNING), balloon.data.dwInfoFlags);
            EXPECT_EQ(std::to_string(c.unsearched) + " ", std::string(balloon.data.szInfo, 2));
        }
    }
}

TEST_F(SearchTest, AFailingStepCostsOnlyItsOwnLineAndShowsOneBalloon)
{
    const struct {
        const char* step;
        const char* code;
    } cases[] = {
        {"create", "0x80004003"},         {"query", "0x80004003"},         {"put_Offline", "0x80041001"},
        {"put_AddressBar", "0x80041001"}, {"put_StatusBar", "0x80041001"}, {"put_StatusText", "0x80041001"},
        {"put_Visible", "0x80041001"},    {"Navigate2", "0x80041001"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        Recorders recorders;
        Recorders::Fail(c.step, n + 2);
        Empty();
        m_agent.records.clear();
        Copy("a\r\nb\r\nc");
        Strings expected;
        Launch(expected, ++n, Google("%61"));
        Launch(expected, ++n, Google("%62"), c.step);
        Launch(expected, ++n, Google("%63"));
        EXPECT_EQ(expected, recorders.BrowserLines());

        ASSERT_EQ(1u, m_agent.records.size());
        const NOTIFYICONDATAA& balloon = m_agent.records[0].data;
        EXPECT_EQ(std::vector<DWORD>({NIM_MODIFY, NOTIFYICONDATAA_V2_SIZE, NIF_INFO, NIIF_ERROR}),
                  std::vector<DWORD>({m_agent.records[0].dwMessage, balloon.cbSize, balloon.uFlags, balloon.dwInfoFlags}));
        EXPECT_NE(nullptr, std::strstr(balloon.szInfo, c.code)) << balloon.szInfo;
        EXPECT_STREQ("Torven - Quill to Find", balloon.szInfoTitle);
    }
}

// Another program copies at these moments, from no window of its own or as
// one of the two owners, which close a second after their last copy. A copy
// is searched once whatever its owner does afterwards: copy again at once,
// or render its text again as it closes. Copied again later, it is searched
// again: the user may have closed the first window. In the double-copy mode
// only the same text copied twice within half a second searches, once.
TEST_F(SearchTest, ACopyIsSearchedOnceWhateverItsOwnerDoesAndInTheDoubleCopyModeOnlyWhenCopiedTwice)
{
    const ClipData kPrivate = Named("Clipboard Viewer Ignore", std::string(1, '\0'));
    const std::vector<ClipData> a = {Text("a")}, b = {Text("b")}, secret = {Text("a"), kPrivate};
    const struct {
        bool bDouble;
        // ms after the one before, and what is copied; nothing: the owner closes.
        std::vector<std::pair<DWORD, std::vector<ClipData>>> copies;
        // "off": monitoring off; "start": the first on the clipboard at start-up; "owner" or "ole": the
        // copies are the owner's, of "a", with delayed rendering or through OLE.
        std::string how;
        size_t searched;
    } cases[] = {
        // Each owner closes well after its last copy, so that its rendering cannot pass for a repeated press.
        {false, {{0, a}, {1000, a}, {100, a}, {1000, {}}}, "owner", 2},
        {false, {{0, a}, {1000, a}, {100, a}, {1000, {}}}, "ole", 2},
        {true, {{0, a}}, "", 0},
        {true, {{0, a}, {200, a}}, "", 1},
        {true, {{0, a}, {1000, a}}, "", 0},
        {true, {{0, a}, {150, a}, {150, a}}, "", 1},
        {true, {{0, a}, {150, b}}, "", 0},
        {true, {{0, a}}, "start", 0},
        {true, {{0, a}, {200, a}}, "off", 0},
        {true, {{0, secret}, {200, secret}}, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        SettingsFile::Write(std::string("[Url Setting]\r\nSearch On Double Copy=") + (c.bDouble ? "1\r\n" : "0\r\n"));
        Recorders recorders;
        Empty();
        if (c.how == "start")
            Restart(c.copies[0].second);
        if (c.how == "off")
            Notify(WM_LBUTTONDOWN);
        std::unique_ptr<OwnerThread> owner;
        if (c.how == "owner" || c.how == "ole")
            owner = std::make_unique<OwnerThread>(c.how == "ole", "a");
        std::atomic<bool> bDone(false);
        std::thread copier([&] {
            for (size_t i = c.how == "start" ? 1 : 0; i < c.copies.size(); ++i) {
                ::Sleep(c.copies[i].first);
                if (c.copies[i].second.empty())
                    owner.reset();
                else if (owner)
                    owner->Copy();
                else
                    SetClipboard(c.copies[i].second);
            }
            bDone = true;
        });
        PumpUntil([&] { return bDone.load(); });
        copier.join();
        PumpUntil([] { return false; }, 300);
        if (c.how == "off")
            Notify(WM_LBUTTONDOWN);
        EXPECT_EQ(Strings(c.searched, Google("%61")), recorders.Navigated());
    }
}

// Another program's thread writes the clipboard and keeps it open until
// hGo is set, then writes pszThen (if any) before it lets go. Wine notifies
// the viewers without waiting for them, so this thread's messages are left
// alone until the clipboard is held: the agent may not read the change first.
std::thread WriteAndHold(const char* pszText, HANDLE hGo, const char* pszThen)
{
    const CKernelHandle held(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
    std::thread holder([=, hHeld = held.get()] {
        // With a window: Wine lets anyone open a clipboard held without one.
        const HWND hWnd = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        SetClipboard(pszText);
        ::OpenClipboard(hWnd);
        ::SetEvent(hHeld);
        ::WaitForSingleObject(hGo, 5000);
        if (pszThen) {
            ::EmptyClipboard();
            PutOnClipboard({Text(pszThen)});
        }
        ::CloseClipboard();
        ::DestroyWindow(hWnd);
    });
    ::WaitForSingleObject(held.get(), 5000);
    return holder;
}

// A clipboard history ahead of the agent in the chain hears of each change
// first and passes it on from a thread of its own, after reading it: a call
// into the browser's process is refused while that message is answered, and
// the clipboard may still be held.
TEST_F(SearchTest, EachChangeIsSearchedOnceAfterItsMessageAndOnceTheClipboardIsFree)
{
    // Held, then let go, and another program copies before the next try: the
    // change that was held is gone, and the new one is searched at once, once.
    const CKernelHandle go(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
    std::thread holder = WriteAndHold("old", go.get(), nullptr);
    EXPECT_TRUE(PumpUntil([&] { return m_viewer->m_nDraws == 1; }));
    ::SetEvent(go.get());
    holder.join();
    ASSERT_TRUE(SetClipboard("free"));
    EXPECT_TRUE(PumpUntil([&] { return m_viewer->m_nDraws == 2; }));

    std::atomic<bool> bDone(false);
    const ViewerThread front([&](ChainViewer& viewer) {
        viewer.m_nPauseMs = 300;
        PumpUntil([&] { return bDone.load(); }, 10000);
    });
    holder = WriteAndHold("held", go.get(), nullptr);
    EXPECT_TRUE(PumpUntil([&] { return m_viewer->m_nDraws == 3; }));
    EXPECT_EQ(1, m_recorders.Released()) << "the change went on at once, before the clipboard was free";
    ::SetEvent(go.get());
    holder.join();
    EXPECT_TRUE(PumpUntil([&] { return m_recorders.Released() == 2; }));
    // Changed again while held, and announced late: the change that was held
    // is gone, and the new one is searched once, from its own notification.
    holder = WriteAndHold("gone", go.get(), "newer");
    EXPECT_TRUE(PumpUntil([&] { return m_viewer->m_nDraws == 4; }));
    ::SetEvent(go.get());
    EXPECT_TRUE(PumpUntil([&] { return m_viewer->m_nDraws == 5; }));
    holder.join();
    // Held while monitoring is switched off: not read once free.
    holder = WriteAndHold("off", go.get(), nullptr);
    EXPECT_TRUE(PumpUntil([&] { return m_viewer->m_nDraws == 6; }));
    Notify(WM_LBUTTONDOWN);
    ::SetEvent(go.get());
    holder.join();
    PumpUntil([] { return false; }, 300);
    // A viewer that leaves and joins again, keeping its next viewer, as
    // programs that mend the chain do, passes on the notification that its
    // joining brings: nothing has changed since a copy made while off.
    Copy("copied while off");
    Notify(WM_LBUTTONDOWN);
    ChainViewer rejoining;
    ::ChangeClipboardChain(rejoining.m_hWnd, rejoining.m_hWndNext);
    ::SetClipboardViewer(rejoining.m_hWnd);
    Copy("next");
    bDone = true;
    EXPECT_EQ((Strings{Google("%66%72%65%65"), Google("%68%65%6C%64"), Google("%6E%65%77%65%72"), Google("%6E%65%78%74")}),
              m_recorders.Navigated());
    EXPECT_EQ(9, m_viewer->m_nDraws) << "every notification is passed on";
}

TEST_F(SearchTest, AHugeCopyIsSurvivedAndLaterCopiesAreSearched)
{
    // Unlogged, or the recorder would write the URL out.
    ::SetEnvironmentVariableA("FAKE_BROWSER_LOG", nullptr);
    Copy(std::string(64 << 20, 'x'));
    Recorders recorders;
    Copy("after");
    EXPECT_EQ(Strings{Google("%61%66%74%65%72")}, recorders.Navigated());
}

}  // namespace
