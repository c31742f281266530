// The agent window: its tray records, clicks and menu, the clipboard chain, start-up and the ways out.
#include <thread>
#include <tuple>

#include "search/percent_encode.h"
#include "tests/support/agent_test.h"

namespace {

using namespace testutil;
using TrayWndTest = AgentTest;

// Whether the shell holds this icon: it accepts a change only for an icon it has.
bool ShellHasIcon(HWND hWnd, UINT nId)
{
    NOTIFYICONDATAA nid = {NOTIFYICONDATAA_V1_SIZE, hWnd, nId};
    return ::Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

struct Expected {
    DWORD dwMessage;
    UINT nIconId;
    // An icon the shell holds already is brought up to date with what an added one gets.
    UINT uFlags = dwMessage == NIM_ADD ? 7u : dwMessage == NIM_MODIFY ? 3u : 0u;
};

// The agent's records from the first on are these, each of the classic size
// for the agent's window (hWnd, once it is gone) and icon identifier, with
// the icon's image at the small-icon size the system asks for (nSize).
void ExpectRecords(const RecordingTrayWnd& agent, std::vector<Expected> expected, HWND hWnd = nullptr,
                   int nSize = ::GetSystemMetrics(SM_CXSMICON))
{
    ASSERT_EQ(expected.size(), agent.records.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const NOTIFYICONDATAA& d = agent.records[i].data;
        const UINT uFlags = expected[i].uFlags;
        const HICON hIcon = uFlags ? agent.TrayIcon(expected[i].nIconId) : nullptr;
        EXPECT_EQ(std::make_tuple(expected[i].dwMessage, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE), hWnd ? hWnd : agent.m_hWnd, agent.m_nTrayIconId, uFlags,
                                  uFlags ? 0x8258u : 0, hIcon),
                  std::make_tuple(agent.records[i].dwMessage, d.cbSize, d.hWnd, d.uID, d.uFlags, d.uCallbackMessage, d.hIcon))
            << i;
        EXPECT_STREQ(uFlags == 7 ? "Torven - Quill to Find" : "", d.szTip) << i;
        EXPECT_EQ(uFlags ? nSize : 0, IconWidth(d.hIcon)) << i;
    }
}

// The lines "1" to "n".
std::string Lines(int n)
{
    std::string text;
    for (int i = 1; i <= n; ++i)
        text += std::to_string(i) + "\r\n";
    return text;
}

// Without its icon the program can be neither switched off nor ended.
TEST_F(TrayWndTest, TheIconFollowsMonitoringAndTheDisplayScaleAndComesBackWhenRefusedOrLost)
{
    ExpectRecords(m_agent, {{NIM_ADD, IDI_ACTIVE}, {NIM_MODIFY, IDI_ACTIVE}});
    // A hidden tool window that other programs find by its title.
    EXPECT_EQ(m_agent.m_hWnd, ::FindWindowA(nullptr, "TORVEN_QUILLFIND"));
    EXPECT_FALSE(::IsWindowVisible(m_agent.m_hWnd));
    EXPECT_TRUE(::GetWindowLongA(m_agent.m_hWnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);

    // Refused, as by a shell still busy at sign-in: offered again a few seconds later.
    m_agent.nRefusedAdds = 1;
    Restart();
    EXPECT_FALSE(ShellHasIcon(m_agent.m_hWnd, m_agent.m_nTrayIconId));
    EXPECT_TRUE(PumpUntil([&] { return ShellHasIcon(m_agent.m_hWnd, m_agent.m_nTrayIconId); }, 10000));
    ExpectRecords(m_agent, {{NIM_ADD, IDI_ACTIVE}, {NIM_MODIFY, IDI_ACTIVE, 7}, {NIM_MODIFY, IDI_ACTIVE}, {NIM_ADD, IDI_ACTIVE}});

    // After a change of the display scale, lost, as when the shell restarts or
    // the user finds it missing and starts the program again: it comes back
    // drawn anew, as it was; one the shell still holds is brought up to date.
    const auto restart = [&] { m_agent.SendMessage(::RegisterWindowMessageA("TaskbarCreated")); };
    const auto startAgain = [] {
        const CKernelHandle running(::CreateMutexA(nullptr, FALSE, "Local\\TORVEN_QUILLFIND"));
        EXPECT_FALSE(theApp.InitInstance());
    };
    const struct {
        UINT nDpi;
        std::function<void()> ask;
        bool bLost;
        std::vector<Expected> records;
    } cases[] = {
        {144, restart, true, {{NIM_ADD, IDI_INACTIVE}}},
        {192, startAgain, true, {{NIM_ADD, IDI_INACTIVE}}},
        {192, startAgain, false, {{NIM_ADD, IDI_INACTIVE}, {NIM_MODIFY, IDI_INACTIVE, 7}}},
    };
    // Only a press of the left button switches monitoring, and the icon's
    // image with it, even while a dialog is open.
    m_agent.records.clear();
    m_agent.m_bDialogOpen = TRUE;
    for (UINT mouse :
         {WM_MOUSEMOVE, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP, WM_MBUTTONDOWN, WM_CONTEXTMENU, WM_LBUTTONDOWN})
        Notify(mouse);
    m_agent.m_bDialogOpen = FALSE;
    ExpectRecords(m_agent, {{NIM_MODIFY, IDI_INACTIVE}});
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        m_agent.records.clear();
        m_agent.SendMessage(WM_DPICHANGED, MAKEWPARAM(c.nDpi, c.nDpi));
        ExpectRecords(m_agent, {{NIM_MODIFY, IDI_INACTIVE}}, nullptr, static_cast<int>(c.nDpi / 6));
        NOTIFYICONDATAA nid = {NOTIFYICONDATAA_V1_SIZE, m_agent.m_hWnd, m_agent.m_nTrayIconId};
        ASSERT_TRUE(!c.bLost || ::Shell_NotifyIconA(NIM_DELETE, &nid));
        m_agent.records.clear();
        c.ask();
        PumpUntil([&] { return !m_agent.records.empty(); });
        ExpectRecords(m_agent, c.records);
        EXPECT_TRUE(ShellHasIcon(m_agent.m_hWnd, m_agent.m_nTrayIconId));
    }
    EXPECT_EQ(nullptr, theApp.m_wndAgent.m_hWnd) << "a second start makes no agent";
}

TEST_F(TrayWndTest, TheRightButtonShowsTheMenuAtTheCursor)
{
    ::SetCursorPos(300, 200);
    for (const char* text : {"\x96\xB3\x8C\xF8\x89\xBB", "\x97\x4C\x8C\xF8\x89\xBB"}) {  // 無効化, 有効化
        const bool bWasOn = m_agent.m_bMonitoring;
        HMENU hMenu = nullptr;
        std::vector<UINT> ids;
        char first[64] = {};
        RECT rect = {};
        const User user({[&] {
                             const HWND hWndMenu = ::FindWindowA("#32768", nullptr);
                             hMenu = reinterpret_cast<HMENU>(::SendMessageA(hWndMenu, MN_GETHMENU, 0, 0));
                             for (int i = 0; i < ::GetMenuItemCount(hMenu); ++i)
                                 ids.push_back(::GetMenuItemID(hMenu, i));
                             ::GetMenuStringA(hMenu, 0, first, sizeof first, MF_BYPOSITION);
                             ::GetWindowRect(hWndMenu, &rect);
                             for (UINT key : {VK_DOWN, VK_RETURN})
                                 ::PostMessageA(hWndMenu, WM_KEYDOWN, key, 0);
                         }});
        Notify(WM_RBUTTONDOWN);
        // The menu posts the chosen command; only that is run, so what follows it stays queued.
        MSG msg;
        if (::PeekMessageA(&msg, m_agent.m_hWnd, WM_COMMAND, WM_COMMAND, PM_REMOVE))
            ::DispatchMessageA(&msg);
        EXPECT_EQ((std::vector<UINT>{ID_TRAY_TOGGLE, ID_TRAY_VERSION, ID_TRAY_SETTINGS, ID_TRAY_EXIT}), ids);
        EXPECT_STREQ(text, first);
        EXPECT_EQ(std::make_pair(300L, 200L), std::make_pair(rect.left, rect.top));
        EXPECT_NE(bWasOn, !!m_agent.m_bMonitoring);
        // Destroyed, and followed by a message so that a click elsewhere closes the next one.
        EXPECT_FALSE(::IsMenu(hMenu));
        EXPECT_TRUE(::PeekMessageA(&msg, m_agent.m_hWnd, 0, 0, PM_REMOVE) && msg.message == WM_NULL);
    }
}

// A batch stops after its line under way, and the copy that waited behind
// it is dropped, for good: the left button and the menu's toggle stop it,
// the menu's exit and every other way out end the program, during the
// question before the batch too. Every way out leaves the chain whole,
// removes the icon and writes nothing. The menu opens during a search with
// no way to a dialog, which would hold the rest up.
TEST_F(TrayWndTest, ABatchStopsAfterItsLineUnderWayAndEveryWayOutLeavesTheChainWhole)
{
    SetHandler("https", "chrome.exe");
    const struct {
        UINT nMessage;  // posted to the agent, or WM_TRAYNOTIFY with the mouse message nParam
        UINT nParam;
        UINT nKey;    // in the menu: the first item, or the last
        bool bAsked;  // while the question before the batch is open, which Yes answers next
    } ways[] = {
        {WM_TRAYNOTIFY, WM_LBUTTONDOWN, 0, false},     {WM_TRAYNOTIFY, WM_RBUTTONDOWN, VK_DOWN, false},
        {WM_TRAYNOTIFY, WM_RBUTTONDOWN, VK_UP, false}, {WM_CLOSE, 0, 0, false},
        {WM_ENDSESSION, TRUE, 0, false},               {WM_COMMAND, ID_TRAY_EXIT, 0, true},
        {WM_CLOSE, 0, 0, true},                        {WM_ENDSESSION, TRUE, 0, true},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(&way - ways);
        const bool bTray = way.nMessage == WM_TRAYNOTIFY, bEnds = !bTray || way.nKey == VK_UP;
        const std::string settings = "[Url Setting]\r\nUse Default Browser=1\r\nWWW Search Site 1 Left=http://q/\r\n"
                                     "WWW Search Site 1 Right=\r\nSearches Before Asking=" +
                                     std::string(way.bAsked ? "1" : "0") + "\r\n";
        SettingsFile::Write(settings);
        Restart();
        const HWND hWnd = m_agent.m_hWnd;
        Recorders recorders;
        const auto arrived = [&] { return ReadLines(recorders.urlLog).size(); };
        const auto question = [] { return ::FindWindowA("#32770", "Torven - Quill to Find"); };
        size_t nStopped = 0;
        UINT uDialogItems = 0;
        std::thread user([&] {
            // A thread without windows: the pumping only waits.
            PumpUntil([&] { return way.bAsked ? question() != nullptr : arrived() >= 1; }, 10000);
            SetClipboard("waiting");
            PumpUntil([&] { return way.bAsked || arrived() >= 3; }, 10000);
            ::PostMessageA(hWnd, way.nMessage, bTray ? m_agent.m_nTrayIconId : way.nParam, bTray ? way.nParam : 0);
            if (way.bAsked)
                ::PostMessageA(question(), WM_COMMAND, IDYES, 0);
            if (way.nKey) {
                PumpUntil([] { return ::FindWindowA("#32768", nullptr) != nullptr; }, 10000);
                const HWND hWndMenu = ::FindWindowA("#32768", nullptr);
                const auto hMenu = reinterpret_cast<HMENU>(::SendMessageA(hWndMenu, MN_GETHMENU, 0, 0));
                uDialogItems = ::GetMenuState(hMenu, ID_TRAY_VERSION, MF_BYCOMMAND) & ::GetMenuState(hMenu, ID_TRAY_SETTINGS, MF_BYCOMMAND);
                // The launcher under way arrives while the menu is open.
                ::Sleep(500);
                for (UINT key : {way.nKey, static_cast<UINT>(VK_RETURN)})
                    ::PostMessageA(hWndMenu, WM_KEYDOWN, key, 0);
            }
            nStopped = arrived();
        });
        ASSERT_TRUE(SetClipboard(Lines(30)));
        if (bEnds)
            EXPECT_EQ(0, theApp.Run());
        else
            PumpUntil([] { return false; }, 2000);
        user.join();
        PumpUntil([] { return false; }, 1000);
        const Strings opened = ReadLines(recorders.urlLog);
        EXPECT_GE(opened.size(), way.bAsked ? 0u : 3u);
        EXPECT_LE(opened.size(), way.bAsked ? 0u : nStopped + (way.nKey ? 0 : 1));
        for (size_t i = 0; i < opened.size(); ++i)
            EXPECT_EQ("--new-window http://q/" + std::string(PercentEncodeAll(std::to_string(i + 1).c_str())), opened[i]);
        EXPECT_EQ(way.nKey ? static_cast<UINT>(MF_GRAYED) : 0u, uDialogItems & MF_GRAYED);
        if (bEnds) {
            ExpectRecords(m_agent, {{NIM_ADD, IDI_ACTIVE}, {NIM_MODIFY, IDI_ACTIVE}, {NIM_DELETE, 0}}, hWnd);
            EXPECT_FALSE(ShellHasIcon(hWnd, m_agent.m_nTrayIconId));
            EXPECT_EQ(settings, SettingsFile::Read()) << "nothing is written on the way out";
        } else {
            // On again: what waited stays dropped, and copies are searched again.
            Notify(WM_LBUTTONDOWN);
        }
        Strings after = opened;
        if (!bEnds)
            after.push_back("--new-window http://q/%61%66%74%65%72");
        Copy("after");
        PumpUntil([&] { return arrived() == after.size() && !bEnds; }, bEnds ? 1000 : 5000);
        EXPECT_EQ(after, ReadLines(recorders.urlLog));
    }
}

// A next viewer that has not asked for a message for seconds (hung, as
// Windows counts it after five) holds nothing up and misses the changes
// meanwhile, but the news of another viewer leaving waits for it a while: it
// would pass changes on to a window that is gone.
TEST_F(TrayWndTest, TheChainStaysWholeAroundViewersThatHangLeaveOrDie)
{
    m_agent.SendMessage(WM_CLOSE);
    {
        // The chain now runs: agent, hung, m_viewer.
        const ViewerThread hung([](ChainViewer& viewer) {
            ::Sleep(7000);
            PumpUntil([] { return false; }, 1000);
            EXPECT_EQ(0, viewer.m_nDraws);
            EXPECT_EQ((std::vector<std::pair<WPARAM, LPARAM>>{{1234, 5678}}), viewer.m_changes);
        });
        ASSERT_TRUE(m_agent.Create());
        ASSERT_EQ(hung.m_hWnd.load(), m_agent.m_hWndNextViewer);
        PumpUntil([] { return false; }, 6000);
        ASSERT_TRUE(SetClipboard("x"));
        m_agent.SendMessage(WM_CHANGECBCHAIN, 1234, 5678);
        EXPECT_TRUE(PumpUntil([&] { return m_recorders.Released() == 1; }));
    }

    // The next viewer has left: the one after it takes its place.
    EXPECT_EQ(m_viewer->m_hWnd, m_agent.m_hWndNextViewer);
    Copy("y");
    // The next viewer dies without leaving, as one whose program crashed:
    // searching goes on regardless.
    ::DestroyWindow(m_viewer->m_hWnd);
    ASSERT_TRUE(SetClipboard("z"));
    EXPECT_TRUE(PumpUntil([&] { return m_recorders.Released() == 3; }));
    EXPECT_EQ(Google("%7A"), m_recorders.Navigated().back());
}

// Start-up proper: text already on the clipboard goes to the shell's URL
// handler, and that first notification is not passed on.
TEST(StartUp, TextOnTheClipboardGoesToTheShellAndIsNotPassedOn)
{
    SettingsFile::Remove();
    Recorders recorders;
    ASSERT_TRUE(SetClipboard("abc\r\n\x8C\x9F"));
    ChainViewer viewer;
    PumpUntil([] { return false; }, 100);
    viewer.m_nDraws = 0;
    ASSERT_TRUE(theApp.InitInstance());
    EXPECT_EQ(theApp.m_pMainWnd, &theApp.m_wndAgent);
    EXPECT_EQ(viewer.m_hWnd, theApp.m_wndAgent.m_hWndNextViewer);

    ASSERT_TRUE(PumpUntil([&] { return ReadLines(recorders.urlLog).size() == 2; }, 20000));
    EXPECT_EQ((Strings{Google("%61%62%63"), Google("%8C%9F")}), ReadLines(recorders.urlLog));
    EXPECT_TRUE(recorders.BrowserLines().empty());
    EXPECT_EQ(0, viewer.m_nDraws);
    theApp.m_wndAgent.SendMessage(WM_CLOSE);
}

// A copy that would open more searches than the setting allows asks first,
// counting only the lines that are searched: No searches none of them, Yes
// (the default) all. Its change goes on at once, and what is copied while
// the question is open follows it; no menu opens then, nor the settings from
// a menu opened before.
TEST_F(TrayWndTest, ACopyOfMoreSearchesThanTheSettingAllowsAsksFirstAndWhatIsCopiedMeanwhileFollows)
{
    const struct {
        const char* setting;  // nullptr: no key
        std::vector<ClipData> copy;
        size_t searches;
        bool asked;
        int answer = IDNO;
    } cases[] = {
        {nullptr, {Text(Lines(15))}, 15, false},
        {nullptr, {Text(Lines(16))}, 16, true, IDYES},
        {"", {Text(Lines(16))}, 16, true},
        {"abc", {Text(Lines(16))}, 16, true},
        {"-3", {Text(Lines(16))}, 16, true},
        {"3", {Text(Lines(3))}, 3, false},
        {"3", {Text(Lines(4))}, 4, true},
        {"0", {Text(Lines(40))}, 40, false},
        // Only lines that are searched count: not blank ones, nor one the site's code page cannot hold.
        {"2", {Text("a\r\n\r\n?\r\n \r\nb"), Unicode(u"a\r\n\r\n\U0001F600\r\n \r\nb")}, 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        SettingsFile::Write(std::string("[Url Setting]\r\n") +
                            (c.setting ? std::string("Searches Before Asking=") + c.setting + "\r\n" : ""));
        Recorders recorders;
        Empty();
        const long before = m_viewer->m_nDraws;
        char text[512] = {};
        bool bDone = false;
        // Copied from a step of the user's, so that its question, if any, is
        // open when the next step runs, which acts inside it, then answers.
        const User user({[&] { ASSERT_TRUE(SetClipboard(c.copy)); },
                         [&] {
                             const HWND hBox = ::FindWindowA("#32770", "Torven - Quill to Find");
                             if (hBox) {
                                 ::GetDlgItemTextA(hBox, 0xFFFF, text, sizeof text);  // a message box's text
                                 EXPECT_TRUE(::GetWindowLongA(::GetDlgItem(hBox, IDYES), GWL_STYLE) & BS_DEFPUSHBUTTON);
                                 EXPECT_EQ(before + 1, m_viewer->m_nDraws) << "the change waits for no answer";
                                 ::PostMessageA(m_agent.m_hWnd, WM_TRAYNOTIFY, m_agent.m_nTrayIconId, WM_RBUTTONDOWN);
                                 m_agent.PostMessage(WM_COMMAND, ID_TRAY_SETTINGS);
                                 for (const char* later : {"later", "last"})
                                     EXPECT_TRUE(SetClipboard(later));
                                 ::PostMessageA(hBox, WM_COMMAND, c.answer, 0);
                             }
                             bDone = true;
                         }});
        EXPECT_TRUE(PumpUntil([&] { return bDone; }));
        // Asked, with the number of searches and the site's name, in Japanese.
        const std::string asked =
            std::to_string(c.searches) + " \x8C\x8F\x82\xCC\x8C\x9F\x8D\xF5\x82\xF0\x81\x75Google\x81\x76";
        EXPECT_EQ(c.asked, std::strstr(text, asked.c_str()) != nullptr) << text;
        const Strings urls = recorders.Navigated();
        EXPECT_EQ((c.asked && c.answer == IDNO ? 0 : c.searches) + (c.asked ? 2 : 0), urls.size());
        if (c.asked && urls.size() >= 2)
            EXPECT_EQ((Strings{Google("%6C%61%74%65%72"), Google("%6C%61%73%74")}),
                      Strings(urls.end() - 2, urls.end()));
    }
}

}  // namespace
