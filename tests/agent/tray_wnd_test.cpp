// The agent window: tray records, the clipboard chain, start-up and exit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "agent/tray_wnd.h"
#include "app/search_app.h"
#include "res/resource.h"
#include "tests/support/browser_log.h"
#include "tests/support/recording_tray_wnd.h"
#include "tests/support/settings_file.h"
#include "tests/support/wine_test_util.h"

namespace {

using testutil::Recorders;

HICON AppIcon(UINT id)
{
    return ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
}

// Whether the shell holds an icon for this window and identifier: it
// accepts a change only for an icon it has.
bool ShellHasIcon(HWND hWnd, UINT id)
{
    NOTIFYICONDATAA nid = {};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = hWnd;
    nid.uID = id;
    return ::Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

void ExpectIconRecord(const TrayRecord& r, DWORD message, UINT flags, UINT iconId, const char* context)
{
    SCOPED_TRACE(context);
    EXPECT_EQ(message, r.message);
    EXPECT_EQ(88u, r.data.cbSize);
    EXPECT_EQ(flags, r.data.uFlags);
    EXPECT_EQ(static_cast<UINT>(WM_TRAYNOTIFY), r.data.uCallbackMessage);
    EXPECT_EQ(0x8258u, r.data.uCallbackMessage);
    EXPECT_EQ(AppIcon(iconId), r.data.hIcon);
}

// After start-up, with the program's own agent silenced, a second agent
// under test, and a viewer of the test's joined before that agent.
class TrayWndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SettingsFile::Remove();
        testutil::EmptyTheClipboard();
        theApp.InitInstance();
        theApp.m_wndAgent.m_bMonitoring = FALSE;
        m_viewer = std::make_unique<testutil::ChainViewer>();
        ASSERT_TRUE(m_agent.Create());
    }

    void TearDown() override
    {
        if (::IsWindow(m_agent.m_hWnd))
            m_agent.SendMessage(WM_CLOSE);
        m_viewer.reset();
        theApp.m_wndAgent.SendMessage(WM_CLOSE);
    }

    void Copy(const std::string& text)
    {
        const int before = m_viewer->m_nDraws;
        ASSERT_TRUE(testutil::SetClipboard(text));
        ASSERT_TRUE(testutil::PumpUntil([&] { return m_viewer->m_nDraws > before; })) << "not passed on";
    }

    Recorders m_recorders;
    std::unique_ptr<testutil::ChainViewer> m_viewer;
    RecordingTrayWnd m_agent;
};

TEST_F(TrayWndTest, CreationAddsTheIconThenSwitchesMonitoringOn)
{
    ASSERT_EQ(2u, m_agent.records.size());
    const TrayRecord& add = m_agent.records[0];
    ExpectIconRecord(add, NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, IDI_ACTIVE, "add");
    EXPECT_EQ(7u, add.data.uFlags);
    EXPECT_EQ(m_agent.m_hWnd, add.data.hWnd);
    EXPECT_STREQ("Torven - Quill to Find", add.data.szTip);
    ExpectIconRecord(m_agent.records[1], NIM_MODIFY, 3, IDI_ACTIVE, "toggle on");
    EXPECT_EQ(add.data.uID, m_agent.records[1].data.uID);

    EXPECT_TRUE(m_agent.m_bMonitoring);
    EXPECT_FALSE(m_agent.m_bDialogOpen);
    EXPECT_TRUE(ShellHasIcon(m_agent.m_hWnd, add.data.uID));
}

TEST_F(TrayWndTest, TheWindowIsAHiddenToolWindow)
{
    char title[64] = {};
    ::GetWindowTextA(m_agent.m_hWnd, title, sizeof title);
    EXPECT_STREQ("TORVEN_QUILLFIND", title);
    EXPECT_FALSE(::IsWindowVisible(m_agent.m_hWnd));
    EXPECT_TRUE(::GetWindowLongA(m_agent.m_hWnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(nullptr, ::GetParent(m_agent.m_hWnd));
    EXPECT_EQ(nullptr, ::GetMenu(m_agent.m_hWnd));
}

TEST_F(TrayWndTest, TogglingSwitchesTheImageAndTwiceRestoresIt)
{
    m_agent.records.clear();
    m_agent.ToggleMonitoring();
    EXPECT_FALSE(m_agent.m_bMonitoring);
    m_agent.ToggleMonitoring();
    EXPECT_TRUE(m_agent.m_bMonitoring);
    ASSERT_EQ(2u, m_agent.records.size());
    ExpectIconRecord(m_agent.records[0], NIM_MODIFY, 3, IDI_INACTIVE, "off");
    ExpectIconRecord(m_agent.records[1], NIM_MODIFY, 3, IDI_ACTIVE, "on again");
}

TEST_F(TrayWndTest, ShellRestartBringsTheIconBackAsItWas)
{
    m_agent.ToggleMonitoring();
    m_agent.records.clear();
    m_agent.SendMessage(::RegisterWindowMessageA("TaskbarCreated"));
    ASSERT_EQ(1u, m_agent.records.size());
    ExpectIconRecord(m_agent.records[0], NIM_ADD, 7, IDI_INACTIVE, "re-added");
    EXPECT_STREQ("Torven - Quill to Find", m_agent.records[0].data.szTip);
}

TEST_F(TrayWndTest, ChangesAreSearchedThenPassedOn)
{
    Copy("abc");
    EXPECT_EQ(1u, m_recorders.Navigated().size());
    EXPECT_EQ(1, m_viewer->m_nDraws);
}

TEST_F(TrayWndTest, TheChainIsRepairedAroundViewersThatLeave)
{
    // The chain now runs: agent, m_viewer, inner (joined first).
    m_viewer.reset();
    testutil::ChainViewer inner;
    m_viewer = std::make_unique<testutil::ChainViewer>();
    m_agent.SendMessage(WM_CLOSE);
    m_agent.records.clear();
    ASSERT_TRUE(m_agent.Create());
    ASSERT_EQ(m_viewer->m_hWnd, m_agent.m_hWndNextViewer);

    // Some other window leaves: the agent passes the news on unchanged.
    const HWND hWndOther = ::GetDesktopWindow();
    m_viewer->m_changes.clear();
    inner.m_changes.clear();
    m_agent.SendMessage(WM_CHANGECBCHAIN, reinterpret_cast<WPARAM>(hWndOther), reinterpret_cast<LPARAM>(m_agent.m_hWnd));
    EXPECT_EQ(m_viewer->m_hWnd, m_agent.m_hWndNextViewer);
    ASSERT_EQ(1u, m_viewer->m_changes.size());
    EXPECT_EQ(hWndOther, m_viewer->m_changes[0].first);
    EXPECT_EQ(m_agent.m_hWnd, m_viewer->m_changes[0].second);
    EXPECT_EQ(1u, inner.m_changes.size());

    // The next viewer itself leaves: the one after it takes its place.
    const HWND hWndAfter = m_viewer->m_hWndNext;
    ASSERT_EQ(inner.m_hWnd, hWndAfter);
    ::ChangeClipboardChain(m_viewer->m_hWnd, hWndAfter);
    testutil::Pump(100);
    EXPECT_EQ(hWndAfter, m_agent.m_hWndNextViewer);
    m_viewer->m_hWndNext = nullptr;

    const int before = inner.m_nDraws;
    ASSERT_TRUE(testutil::SetClipboard("x"));
    EXPECT_TRUE(testutil::PumpUntil([&] { return inner.m_nDraws > before; }));
    m_viewer.reset();
}

TEST_F(TrayWndTest, ExitLeavesTheChainWholeAndRemovesTheIcon)
{
    const UINT id = m_agent.m_nTrayIconId;
    m_agent.records.clear();
    m_agent.Exit();

    ASSERT_EQ(1u, m_agent.records.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), m_agent.records[0].message);
    EXPECT_EQ(88u, m_agent.records[0].data.cbSize);
    EXPECT_EQ(0u, m_agent.records[0].data.uFlags);
    EXPECT_EQ(id, m_agent.records[0].data.uID);
    EXPECT_FALSE(ShellHasIcon(m_agent.m_hWnd, id));
    EXPECT_NE(m_agent.m_hWnd, ::GetClipboardViewer());

    MSG msg;
    EXPECT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, msg.wParam);

    Copy("after exit");
    EXPECT_TRUE(m_recorders.BrowserLines().empty());
}

TEST_F(TrayWndTest, CloseLeavesTheChainRemovesTheIconAndDestroysTheWindow)
{
    const HWND hWnd = m_agent.m_hWnd;
    const UINT id = m_agent.m_nTrayIconId;
    m_agent.records.clear();
    m_agent.SendMessage(WM_CLOSE);

    EXPECT_FALSE(::IsWindow(hWnd));
    ASSERT_EQ(1u, m_agent.records.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), m_agent.records[0].message);
    EXPECT_FALSE(ShellHasIcon(hWnd, id));
    EXPECT_NE(hWnd, ::GetClipboardViewer());
    Copy("after close");
    EXPECT_TRUE(m_recorders.BrowserLines().empty());
}

TEST_F(TrayWndTest, AFailedLaunchShowsOneBalloonPerChange)
{
    Recorders::Fail("put_Visible");
    m_agent.records.clear();
    Copy("one\r\ntwo");
    EXPECT_EQ(2, m_recorders.CountLines("put_Visible -1 FAILED"));
    ASSERT_EQ(1u, m_agent.records.size());
    const NOTIFYICONDATAA& balloon = m_agent.records[0].data;
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), m_agent.records[0].message);
    EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAA_V2_SIZE), balloon.cbSize);
    EXPECT_EQ(static_cast<UINT>(NIF_INFO), balloon.uFlags);
    EXPECT_EQ(static_cast<DWORD>(NIIF_ERROR), balloon.dwInfoFlags);
    EXPECT_NE(nullptr, std::strstr(balloon.szInfo, "0x80041001")) << balloon.szInfo;
    EXPECT_STREQ("Torven - Quill to Find", balloon.szInfoTitle);

    Recorders::Fail(nullptr);
    m_agent.records.clear();
    Copy("three");
    EXPECT_TRUE(m_agent.records.empty());
}

const char kDisable[] = "\x96\xB3\x8C\xF8\x89\xBB";  // 無効化
const char kEnable[] = "\x97\x4C\x8C\xF8\x89\xBB";   // 有効化

void Notify(CTrayWnd& agent, UINT mouseMessage)
{
    agent.SendMessage(WM_TRAYNOTIFY, agent.m_nTrayIconId, mouseMessage);
}

TEST_F(TrayWndTest, LeftButtonTogglesEvenWhileADialogIsOpen)
{
    m_agent.records.clear();
    Notify(m_agent, WM_LBUTTONDOWN);
    EXPECT_FALSE(m_agent.m_bMonitoring);
    m_agent.m_bDialogOpen = TRUE;
    Notify(m_agent, WM_LBUTTONDOWN);
    EXPECT_TRUE(m_agent.m_bMonitoring);

    ASSERT_EQ(2u, m_agent.records.size());
    ExpectIconRecord(m_agent.records[0], NIM_MODIFY, 3, IDI_INACTIVE, "first click");
    ExpectIconRecord(m_agent.records[1], NIM_MODIFY, 3, IDI_ACTIVE, "second click");
    EXPECT_EQ(0, m_agent.menusShown);
}

TEST_F(TrayWndTest, OtherMouseMessagesDoNothing)
{
    m_agent.records.clear();
    for (UINT mouse : {WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK,
                       WM_MBUTTONDOWN, WM_CONTEXTMENU}) {
        Notify(m_agent, mouse);
        EXPECT_TRUE(m_agent.m_bMonitoring) << mouse;
    }
    EXPECT_TRUE(m_agent.records.empty());
    EXPECT_EQ(0, m_agent.menusShown);
}

TEST_F(TrayWndTest, RightButtonShowsTheMenuAtTheCursor)
{
    ::SetCursorPos(300, 200);
    Notify(m_agent, WM_RBUTTONDOWN);
    ASSERT_EQ(1, m_agent.menusShown);
    const std::vector<std::pair<UINT, std::string>> expected = {
        {ID_TRAY_TOGGLE, kDisable},
        {ID_TRAY_VERSION, "\x83\x6F\x81\x5B\x83\x57\x83\x87\x83\x93\x8F\xEE\x95\xF1"},
        {ID_TRAY_SETTINGS, "\x90\xDD\x92\xE8..."},
        {ID_TRAY_EXIT, "\x8F\x49\x97\xB9"},
    };
    ASSERT_EQ(expected.size(), m_agent.menuItems.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].first, m_agent.menuItems[i].id) << i;
        EXPECT_EQ(expected[i].second, m_agent.menuItems[i].text) << i;
        EXPECT_EQ(static_cast<UINT>(MFT_STRING), m_agent.menuItems[i].type) << i;
    }
    EXPECT_EQ(300, m_agent.menuRect.left);
    EXPECT_EQ(200, m_agent.menuRect.top);

    // Loaded for the one display and destroyed after it, with the message
    // that lets a later click elsewhere close the next menu.
    EXPECT_FALSE(::IsMenu(m_agent.hMenuShown));
    MSG msg;
    EXPECT_TRUE(::PeekMessageA(&msg, m_agent.m_hWnd, WM_NULL, WM_NULL, PM_REMOVE));
    EXPECT_TRUE(m_agent.m_bMonitoring);
}

TEST_F(TrayWndTest, TheToggleItemNamesWhatItWillDo)
{
    const struct {
        bool monitoring;
        const char* text;
    } cases[] = {{true, kDisable}, {false, kEnable}, {true, kDisable}};
    for (const auto& c : cases) {
        if (!!m_agent.m_bMonitoring != c.monitoring)
            Notify(m_agent, WM_LBUTTONDOWN);
        Notify(m_agent, WM_RBUTTONDOWN);
        ASSERT_FALSE(m_agent.menuItems.empty());
        EXPECT_EQ(std::string(c.text), m_agent.menuItems[0].text) << c.monitoring;
    }
}

TEST_F(TrayWndTest, RightButtonShowsNoMenuWhileADialogIsOpen)
{
    m_agent.m_bDialogOpen = TRUE;
    Notify(m_agent, WM_RBUTTONDOWN);
    EXPECT_EQ(0, m_agent.menusShown);
}

// Chooses a menu item with the keyboard, as a user can.
void Choose(RecordingTrayWnd& agent, std::vector<UINT> keys)
{
    agent.whileMenuOpen = [keys](HWND hWndMenu) {
        for (UINT key : keys) {
            ::PostMessageA(hWndMenu, WM_KEYDOWN, key, 0);
            ::PostMessageA(hWndMenu, WM_KEYUP, key, 0xC0000000);
        }
    };
    Notify(agent, WM_RBUTTONDOWN);
    // The choice arrives as a posted WM_COMMAND; only that is run here, so a
    // quit message it leads to stays for the test to see. Wine hands out a
    // pending quit whatever the filter asks for: put it back.
    MSG msg;
    while (::PeekMessageA(&msg, agent.m_hWnd, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        ::DispatchMessageA(&msg);
    }
}

TEST_F(TrayWndTest, TheMenuTogglesMonitoring)
{
    m_agent.records.clear();
    Choose(m_agent, {VK_DOWN, VK_RETURN});
    EXPECT_FALSE(m_agent.m_bMonitoring);
    Choose(m_agent, {VK_DOWN, VK_RETURN});
    EXPECT_TRUE(m_agent.m_bMonitoring);
    ASSERT_EQ(2u, m_agent.records.size());
    ExpectIconRecord(m_agent.records[0], NIM_MODIFY, 3, IDI_INACTIVE, "off");
    ExpectIconRecord(m_agent.records[1], NIM_MODIFY, 3, IDI_ACTIVE, "on");
}

TEST_F(TrayWndTest, ChoosingExitLeavesTheChainRemovesTheIconAndQuits)
{
    const UINT id = m_agent.m_nTrayIconId;
    m_agent.records.clear();
    Choose(m_agent, {VK_UP, VK_RETURN});

    ASSERT_EQ(1u, m_agent.records.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), m_agent.records[0].message);
    EXPECT_FALSE(ShellHasIcon(m_agent.m_hWnd, id));
    EXPECT_NE(m_agent.m_hWnd, ::GetClipboardViewer());
    MSG msg;
    ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, msg.wParam);
}

// Start-up itself: text already on the clipboard goes to the shell's URL
// handler, and that first notification is not passed on.
TEST(StartUp, TextOnTheClipboardOpensThroughTheShell)
{
    SettingsFile::Remove();
    Recorders recorders;
    ASSERT_TRUE(testutil::SetClipboard("abc\r\n\x8C\x9F"));
    testutil::ChainViewer viewer;
    testutil::Pump(100);
    viewer.m_nDraws = 0;

    ASSERT_TRUE(theApp.InitInstance());
    EXPECT_TRUE(theApp.IsStarted());
    EXPECT_EQ(viewer.m_hWnd, theApp.m_wndAgent.m_hWndNextViewer);
    EXPECT_EQ(theApp.m_pMainWnd, &theApp.m_wndAgent);
    EXPECT_STREQ("Torven - Quill to Find", theApp.m_pszAppName);

    // Each URL starts a handler process of its own, so they may land in either order.
    ASSERT_TRUE(recorders.WaitUrls(2));
    std::vector<std::string> urls = recorders.Urls();
    std::sort(urls.begin(), urls.end());
    EXPECT_EQ((std::vector<std::string>{"http://www.google.co.jp/search?q=%61%62%63&hl=ja&lr=",
                                        "http://www.google.co.jp/search?q=%8C%9F&hl=ja&lr="}),
              urls);
    EXPECT_TRUE(recorders.BrowserLines().empty());
    EXPECT_EQ(0, viewer.m_nDraws);

    theApp.m_wndAgent.SendMessage(WM_CLOSE);
}

}  // namespace
