// The settings dialog and the about box, opened from the tray's commands and
// handled from inside their modal loops as a user would.
#include <shlobj.h>

#include "tests/support/agent_test.h"

namespace {

using namespace testutil;

const char kSettingsTitle[] = "Quill To Find \x90\xDD\x92\xE8";                             // 設定
const char kAboutTitle[] = "Quillfind\x82\xCC\xCA\xDE\xB0\xBC\xDE\xAE\xDD\x8F\xEE\x95\xF1";  // のﾊﾞｰｼﾞｮﾝ情報
const char kQuery[] = "\x8C\x9F\x8D\xF5\x8C\xEA";                                           // 検索語
const char kGoogleLeft[] = "http://www.google.co.jp/search?q=";
// This test program, in capitals as a shortcut may spell it, and another copy of the program.
const std::wstring kThisExe = [] {
    wchar_t path[MAX_PATH] = {};
    return std::wstring(path, ::CharUpperBuffW(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH)));
}();
const std::wstring kOtherCopy = L"C:\\OTHER\\QUILLFIND.EXE";
// The program's shortcut in the Startup folder, found by the older road.
const std::string kStartupShortcut = [] {
    char folder[MAX_PATH] = {};
    ::SHGetFolderPathA(nullptr, CSIDL_STARTUP | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder);
    return folder + std::string("\\Quillfind.lnk");
}();

// That shortcut, where it leads and from which folder, in capitals ("" without
// one), and the first byte of Windows' switch of it, as Task Manager leaves its
// 12 bytes (3: off, 2 or 6: on), or 0 without one.
struct Startup {
    std::wstring target, folder;
    char switched;
};

// Takes both out, and puts a shortcut to pszPlant and a switch that begins
// with plant, if any, in their place; returns what was there.
Startup SwapStartup(const wchar_t* pszPlant = L"", char plant = 0)
{
    const std::wstring path(kStartupShortcut.begin(), kStartupShortcut.end());  // ASCII in the test prefix
    CComRef<IShellLinkW> link;
    CComRef<IPersistFile> file;
    ::CoCreateInstance(__uuidof(ShellLink), nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(link.Receive()));
    link.get()->QueryInterface(IID_PPV_ARGS(file.Receive()));
    wchar_t target[MAX_PATH] = {}, folder[MAX_PATH] = {};
    file.get()->Load(path.c_str(), STGM_READ);
    link.get()->GetPath(target, MAX_PATH, nullptr, 0);
    link.get()->GetWorkingDirectory(folder, MAX_PATH);
    ::DeleteFileW(path.c_str());
    if (*pszPlant && SUCCEEDED(link.get()->SetPath(pszPlant)))
        file.get()->Save(path.c_str(), TRUE);

    const char kKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\StartupFolder";
    char value[12] = {};
    DWORD size = sizeof value;
    const char was = ::RegGetValueA(HKEY_CURRENT_USER, kKey, "Quillfind.lnk", RRF_RT_REG_BINARY, nullptr, value, &size) ? 0 : value[0];
    const char planted[12] = {plant, 0, 0, 0, 0x10, 0x32, 0x54, 0x76, char(0x98), char(0xBA), char(0xDC), 0x01};
    plant ? ::RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "Quillfind.lnk", REG_BINARY, planted, sizeof planted)
          : ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kKey, "Quillfind.lnk");
    return {::CharUpperW(target), ::CharUpperW(folder), was};
}

// A dialog as the user handles it. A click that opens a modal box is posted
// instead, so that the next step runs inside that box.
struct Dlg {
    HWND h;

    HWND Item(int nId) const { return ::GetDlgItem(h, nId); }
    std::string Text(int nId) const
    {
        char text[1024] = {};
        ::GetWindowTextA(Item(nId), text, sizeof text);
        return text;
    }
    LRESULT Send(int nId, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(Item(nId), message, wParam, lParam);
    }
    void Focus(int nId) const { ::SendMessageA(h, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(nId)), TRUE); }
    void Type(int nId, const char* pszText) const
    {
        Focus(nId);
        Send(nId, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pszText));
    }
    // As with the mouse: the list takes the focus, then the chosen row shows.
    void Pick(int nRow) const
    {
        Focus(IDC_SITE_COMBO);
        Turn(nRow);
    }
    // As with the mouse wheel over the list: the row shows, the focus stays where it was.
    void Turn(int nRow) const
    {
        Send(IDC_SITE_COMBO, CB_SETCURSEL, nRow);
        ::SendMessageA(h, WM_COMMAND, MAKEWPARAM(IDC_SITE_COMBO, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(Item(IDC_SITE_COMBO)));
    }
    void Click(int nId) const { Send(nId, BM_CLICK); }
    // A key for the focused control, which the dialog sees first.
    static void Key(UINT vk) { ::PostMessageA(::GetFocus(), WM_KEYDOWN, vk, 1); }
};

// Each label of a dialog shows its whole text, drawn in the dialog's font.
void ExpectLabelsFit(HWND hDlg)
{
    for (HWND h = ::GetWindow(hDlg, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
        char kind[16] = {}, text[256] = {};
        ::GetClassNameA(h, kind, sizeof kind);
        const LONG style = ::GetWindowLongA(h, GWL_STYLE);
        if (::lstrcmpiA(kind, "Static") != 0 || (style & SS_TYPEMASK) == SS_ICON)
            continue;
        ::GetWindowTextA(h, text, sizeof text);
        RECT box, need;
        ::GetClientRect(h, &box);
        need = box;
        const HDC hDC = ::GetDC(h);
        const HGDIOBJ hOld = ::SelectObject(hDC, reinterpret_cast<HGDIOBJ>(::SendMessageA(h, WM_GETFONT, 0, 0)));
        ::DrawTextA(hDC, text, -1, &need, DT_CALCRECT | DT_WORDBREAK | (style & SS_NOPREFIX ? DT_NOPREFIX : 0));
        ::SelectObject(hDC, hOld);
        ::ReleaseDC(h, hDC);
        EXPECT_TRUE(need.right <= box.right && need.bottom <= box.bottom) << text << " needs " << need.right << "x" << need.bottom;
    }
}

class SettingsDlgTest : public AgentTest {
protected:
    // Opens the settings with the tray's command; each step acts on the dialog
    // that the first one finds.
    void Run(const std::vector<std::function<void(Dlg&)>>& steps)
    {
        Dlg dlg = {nullptr};
        std::vector<std::function<void()>> acts;
        for (const auto& step : steps)
            acts.push_back([&dlg, step] {
                dlg.h = dlg.h ? dlg.h : ::FindWindowA("#32770", kSettingsTitle);
                ASSERT_NE(nullptr, dlg.h) << "the settings are not open";
                step(dlg);
            });
        const User user(acts);
        m_agent.SendMessage(WM_COMMAND, ID_TRAY_SETTINGS);
    }
};

// Each opening shows the file, the Startup folder and Windows' switch of its
// shortcut as they are. The about box opens over it and leaves its edits.
// Cancel, Escape or the close box drop what was edited, the start-up box too,
// which neither a change of row nor an edit box losing the focus acts on. OK
// turns that box and writes no choice that did not change; when a write
// fails, as when another program holds the settings file or the shortcut open
// (shared for reading only: a read-only file would not do, as Wine, run as
// root here, writes to it all the same), it says so and the dialog stays open
// with its edits for another OK. The tray's version item opens the about box
// as a dialog too.
TEST_F(SettingsDlgTest, OpensAsStoredOverTheDisabledAgentCancelWritesNothingAndOkWritesOrSaysWhatFailed)
{
    const struct {
        const char* settings;
        int row;
        const char* name;
        const char* left;
        const char* right;
        std::wstring startup;
        char switched;
        std::function<void(Dlg&)> close;
        bool bShortcutHeld;  // rather than the settings file
    } cases[] = {
        {"", 0, "Google", kGoogleLeft, "&hl=ja&lr=", L"", 0, [](Dlg& d) { d.Click(IDCANCEL); }, false},
        // Escape while a copy's search waits for its browser's launcher.
        {"Current Url Index=9\r\nUse Default Browser=1\r\n", 9, "\x96\xA2\x92\xE8", "http://", "&", kOtherCopy,  // 未定
         2, [](Dlg&) { SetClipboard("x"); Dlg::Key(VK_ESCAPE); }, true},
        {"Current Url Index=10\r\nWWW Search Site Name 1=mine\r\n", 0, "mine", kGoogleLeft, "&hl=ja&lr=", kThisExe,
         6, [](Dlg& d) { ::PostMessageA(d.h, WM_SYSCOMMAND, SC_CLOSE, 0); }, true},
        {nullptr, 0, "kept", kGoogleLeft, "&hl=ja&lr=", kThisExe, 3, [](Dlg& d) { d.Click(IDCANCEL); }, false},
    };
    SetHandler("https", "chrome.exe");
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        if (c.settings)
            SettingsFile::Write(std::string("[Url Setting]\r\n") + c.settings);
        const std::string before = SettingsFile::Read();
        SwapStartup(c.startup.c_str(), c.switched);
        const bool bChecked = c.startup == kThisExe && c.switched != 3;
        Run({[&](Dlg& d) {
            EXPECT_EQ(c.row, d.Send(IDC_SITE_COMBO, CB_GETCURSEL));
            EXPECT_EQ(bChecked ? BST_CHECKED : BST_UNCHECKED, d.Send(IDC_START_WITH_WINDOWS_CHECK, BM_GETCHECK));
            EXPECT_EQ(std::string(c.name) + c.left + c.right + c.left + kQuery + c.right,
                      d.Text(IDC_NAME_EDIT) + d.Text(IDC_LEFT_EDIT) + d.Text(IDC_RIGHT_EDIT) + d.Text(IDC_SAMPLE_EDIT));
            EXPECT_EQ(d.Item(IDC_SITE_COMBO), ::GetFocus());
            ExpectLabelsFit(d.h);
            char first[8] = {}, last[8] = {};
            d.Send(IDC_SITE_COMBO, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
            d.Send(IDC_SITE_COMBO, CB_GETLBTEXT, 9, reinterpret_cast<LPARAM>(last));
            EXPECT_EQ("  1 | 10 |10", std::string(first) + "|" + last + "|" + std::to_string(d.Send(IDC_SITE_COMBO, CB_GETCOUNT)));
            // Tab goes from the list through the UTF-8 box, the name, the two parts and the browser,
            // start-up and double-copy boxes to the buttons and the sample.
            std::vector<int> order;
            for (HWND h = d.Item(IDC_SITE_COMBO); order.size() < 11; h = ::GetNextDlgTabItem(d.h, h, FALSE))
                order.push_back(::GetDlgCtrlID(h));
            EXPECT_EQ((std::vector<int>{IDC_SITE_COMBO, IDC_UTF8_CHECK, IDC_NAME_EDIT, IDC_LEFT_EDIT, IDC_RIGHT_EDIT,
                                        IDC_DEFAULT_BROWSER_CHECK, IDC_START_WITH_WINDOWS_CHECK, IDC_DOUBLE_COPY_CHECK, IDOK,
                                        IDCANCEL, IDC_SAMPLE_EDIT}),
                      order);

            EXPECT_EQ(m_agent.m_hWnd, ::GetWindow(d.h, GW_OWNER));
            EXPECT_FALSE(::IsWindowEnabled(m_agent.m_hWnd));
            const auto hIcon = reinterpret_cast<LRESULT>(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_ACTIVE)));
            for (const LRESULT got : {::SendMessageA(d.h, WM_GETICON, ICON_BIG, 0), ::SendMessageA(d.h, WM_QUERYDRAGICON, 0, 0)})
                EXPECT_EQ(hIcon, got);
            EXPECT_EQ(::GetSystemMetrics(SM_CXSMICON),
                      IconWidth(reinterpret_cast<HICON>(::SendMessageA(d.h, WM_GETICON, ICON_SMALL, 0))));
            // The about box is the system menu's last item, after a separator.
            const HMENU hMenu = ::GetSystemMenu(d.h, FALSE);
            const int count = ::GetMenuItemCount(hMenu);
            EXPECT_EQ(static_cast<UINT>(IDM_ABOUTBOX), ::GetMenuItemID(hMenu, count - 1));
            EXPECT_TRUE(::GetMenuState(hMenu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);
            // While the dialog runs, the right button brings no tray menu.
            EXPECT_TRUE(m_agent.m_bDialogOpen);
            ::PostMessageA(m_agent.m_hWnd, WM_TRAYNOTIFY, m_agent.m_nTrayIconId, WM_RBUTTONDOWN);
        },
             [](Dlg& d) {
                 EXPECT_EQ(nullptr, ::FindWindowA("#32768", nullptr));
                 d.Click(IDC_START_WITH_WINDOWS_CHECK);
                 d.Type(IDC_NAME_EDIT, "edited");
                 d.Pick(5);
                 d.Type(IDC_RIGHT_EDIT, "edited");
                 ::PostMessageA(d.h, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
             },
             [](Dlg& d) {
                 const Dlg box = {::FindWindowA("#32770", kAboutTitle)};
                 ASSERT_NE(nullptr, box.h) << "no about box";
                 ExpectLabelsFit(box.h);
                 EXPECT_EQ(d.h, ::GetWindow(box.h, GW_OWNER));
                 EXPECT_FALSE(::IsWindowEnabled(d.h));
                 RECT under, over;
                 ::GetWindowRect(d.h, &under);
                 ::GetWindowRect(box.h, &over);
                 EXPECT_NEAR(under.left + under.right, over.left + over.right, 2) << "centred over the dialog";
                 EXPECT_NEAR(under.top + under.bottom, over.top + over.bottom, 2);
                 box.Click(IDOK);
             },
             [&](Dlg& d) {
                 EXPECT_TRUE(::IsWindowEnabled(d.h));
                 EXPECT_EQ(5, d.Send(IDC_SITE_COMBO, CB_GETCURSEL));
                 EXPECT_EQ("edited", d.Text(IDC_RIGHT_EDIT));
                 c.close(d);
             }});
        EXPECT_TRUE(::IsWindowEnabled(m_agent.m_hWnd));
        EXPECT_FALSE(m_agent.m_bDialogOpen);
        EXPECT_EQ(before, SettingsFile::Read());
        const Startup kept = SwapStartup(c.startup.c_str(), c.switched);
        EXPECT_EQ(c.startup, kept.target);
        EXPECT_EQ(c.switched, kept.switched);

        HANDLE hFile = INVALID_HANDLE_VALUE;
        Run({[&](Dlg& d) {
                 const std::string held = c.bShortcutHeld ? kStartupShortcut : SettingsFile::Path();
                 hFile = ::CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
                 d.Type(IDC_NAME_EDIT, "kept");
                 d.Click(IDC_START_WITH_WINDOWS_CHECK);
                 ::PostMessageA(d.Item(IDOK), BM_CLICK, 0, 0);
             },
             [&](Dlg& d) {
                 ::CloseHandle(hFile);
                 EXPECT_NE(d.h, ::GetActiveWindow()) << "no message box";
                 Dlg::Key(VK_RETURN);
             },
             [](Dlg& d) {
                 EXPECT_TRUE(::IsWindowEnabled(d.h));
                 EXPECT_EQ("kept", d.Text(IDC_NAME_EDIT));
                 d.Click(IDOK);
             }});
        EXPECT_EQ(CString("kept"), theApp.GetSiteName(c.row));
        for (const char* unchanged : {"Encoding", "Browser=0", "Double"})
            EXPECT_EQ(std::string::npos, SettingsFile::Read().find(unchanged)) << unchanged;
        // Checked, the shortcut leads here, from here, in place of another copy's, and is switched
        // on; unchecked, it is gone. Either way Windows' switch goes.
        const Startup made = SwapStartup();
        EXPECT_EQ(bChecked ? L"" : kThisExe, made.target);
        EXPECT_EQ(bChecked ? L"" : kThisExe.substr(0, kThisExe.rfind(L'\\')), made.folder);
        EXPECT_EQ(0, made.switched);
    }
    SetHandler("https", nullptr);

    HWND hBox = nullptr;
    const User user({[&] {
        EXPECT_TRUE(m_agent.m_bDialogOpen);
        ::SendMessageA(hBox = ::FindWindowA("#32770", kAboutTitle), WM_COMMAND, IDOK, 0);
    }});
    m_agent.SendMessage(WM_COMMAND, ID_TRAY_VERSION);
    EXPECT_TRUE(hBox && !m_agent.m_bDialogOpen);
}

// Edits and choices stay with their rows, also when the wheel turns the list
// under the pointer while an edit box keeps the focus. OK, or Enter in a box,
// writes the row shown, the choices that changed and every row as it stands:
// a value whole however long, and in quotes where it begins or ends with a
// blank or a quote, so that it reads back as shown. Another copy's shortcut
// stays.
TEST_F(SettingsDlgTest, EditsAndChoicesStayWithTheirRowsAndOkWritesThemAsTheyStand)
{
    EXPECT_STREQ("quillfind_tests.INI", AfxGetApp()->m_pszProfileName) << "the executable's base name and .INI";
    const std::string kFirstRow = "WWW Search Site 1 Right=\"&x=1 \"\r\nWWW Search Site 1 Left=" + std::string(9000, 'v') +
                                  "\r\nWWW Search Site Name 1=\"'q'\"\r\n";
    SettingsFile::Write("[Url Setting]\r\nWWW Search Site 5 Encoding=utf-8\r\nUse Default Browser=1\r\nSearch On Double Copy=1\r\n" +
                        kFirstRow);
    SwapStartup(kOtherCopy.c_str());
    Run({[](Dlg& d) {
        for (const int nId : {IDC_DEFAULT_BROWSER_CHECK, IDC_DOUBLE_COPY_CHECK}) {
            EXPECT_EQ(BST_CHECKED, d.Send(nId, BM_GETCHECK));
            d.Click(nId);
        }
        const auto checked = [&d] { return d.Send(IDC_UTF8_CHECK, BM_GETCHECK) == BST_CHECKED; };
        const auto type = [&d](const std::string& row) {
            d.Type(IDC_NAME_EDIT, ("name" + row).c_str());
            d.Type(IDC_LEFT_EDIT, ("left" + row).c_str());
            d.Type(IDC_RIGHT_EDIT, ("right" + row).c_str());
        };
        const auto shown = [&d] { return d.Text(IDC_NAME_EDIT) + d.Text(IDC_LEFT_EDIT) + d.Text(IDC_RIGHT_EDIT); };
        EXPECT_FALSE(checked());
        d.Pick(2);
        const std::string sample = d.Text(IDC_SAMPLE_EDIT);
        d.Click(IDC_UTF8_CHECK);
        type("3");
        d.Focus(IDC_SITE_COMBO);
        EXPECT_EQ(sample, d.Text(IDC_SAMPLE_EDIT)) << "the sample follows only when the row is shown again";
        d.Pick(4);
        EXPECT_TRUE(checked());
        d.Click(IDC_UTF8_CHECK);
        d.Pick(2);
        EXPECT_TRUE(checked());
        // The wheel turns the list under the pointer while a box keeps the focus.
        d.Pick(3);
        type("4");
        d.Turn(4);
        EXPECT_EQ(d.Item(IDC_RIGHT_EDIT), ::GetFocus());
        EXPECT_FALSE(checked());
        EXPECT_NE("name4left4right4", shown());
        d.Turn(3);
        EXPECT_EQ("name4left4right4", shown());
        EXPECT_EQ("left4" + std::string(kQuery) + "right4", d.Text(IDC_SAMPLE_EDIT));
        // Enter in a box is OK, and what was typed there is saved too.
        d.Type(IDC_NAME_EDIT, "typed");
        Dlg::Key(VK_RETURN);
    }});
    EXPECT_EQ(kOtherCopy, SwapStartup().target) << "another copy's shortcut is not this one's to remove";
    const auto saved = [](int nRow) {
        return std::string(theApp.GetSiteName(nRow)) + std::string(theApp.GetSiteLeft(nRow)) +
               std::string(theApp.GetSiteRight(nRow));
    };
    EXPECT_EQ("name3left3right3 typedleft4right4", saved(2) + " " + saved(3));
    // The keys the file had change in place; then come the index and every
    // other site's three keys, each row written as it stands; the key it lacked comes last.
    std::string expected = "[Url Setting]\r\nWWW Search Site 5 Encoding=\r\nUse Default Browser=0\r\n"
                           "Search On Double Copy=0\r\n" + kFirstRow + "Current Url Index=3\r\n";
    for (int i = 1; i < 10; ++i) {
        const std::string n = std::to_string(i + 1);
        expected += "WWW Search Site " + n + " Left=" + std::string(theApp.GetSiteLeft(i)) + "\r\nWWW Search Site " +
                    n + " Right=" + std::string(theApp.GetSiteRight(i)) + "\r\nWWW Search Site Name " + n + "=" +
                    std::string(theApp.GetSiteName(i)) + "\r\n";
    }
    EXPECT_EQ(expected + "WWW Search Site 3 Encoding=UTF-8\r\n", SettingsFile::Read());
}

}  // namespace
