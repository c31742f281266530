// The settings dialog and the about box, run for real on the test's thread
// and used from a second thread as a user would.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/search_app.h"
#include "res/resource.h"
#include "tests/support/browser_log.h"
#include "tests/support/recording_tray_wnd.h"
#include "tests/support/settings_file.h"
#include "tests/support/wine_test_util.h"
#include "ui/settings_dlg.h"

namespace {

const char kSettingsTitle[] = "Quill To Find \x90\xDD\x92\xE8";                             // 設定
const char kAboutTitle[] = "Quillfind\x82\xCC\xCA\xDE\xB0\xBC\xDE\xAE\xDD\x8F\xEE\x95\xF1";  // のﾊﾞｰｼﾞｮﾝ情報
const char kQuery[] = "\x8C\x9F\x8D\xF5\x8C\xEA";                                           // 検索語
const char kGoogleLeft[] = "http://www.google.co.jp/search?q=";
const char kGoogleRight[] = "&hl=ja&lr=";

std::string TextOf(HWND hWnd)
{
    char text[1024] = {};
    ::GetWindowTextA(hWnd, text, sizeof text);
    return text;
}

bool WaitFor(const std::function<bool()>& done)
{
    for (const DWORD start = ::GetTickCount(); !done(); ::Sleep(10)) {
        if (::GetTickCount() - start > 5000)
            return false;
    }
    return true;
}

struct DialogSearch {
    const char* title;  // nullptr: any
    HWND hWndOwner;     // nullptr: any
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND hWnd, LPARAM lParam)
{
    auto& search = *reinterpret_cast<DialogSearch*>(lParam);
    char className[16] = {};
    ::GetClassNameA(hWnd, className, sizeof className);
    if (std::strcmp(className, "#32770") == 0 && ::IsWindowVisible(hWnd) &&
        (!search.title || TextOf(hWnd) == search.title) &&
        (!search.hWndOwner || ::GetWindow(hWnd, GW_OWNER) == search.hWndOwner))
        search.found.push_back(hWnd);
    return TRUE;
}

// The user, on a thread of its own, reaches the dialogs, which run modally
// on the test's thread, only through messages. Whatever a button or a key
// starts may be modal, so those are posted.
class User {
public:
    explicit User(DWORD dwUiThread) : m_dwUiThread(dwUiThread) {}

    // The shown dialogs of the test's thread with this title and, if given, this owner.
    std::vector<HWND> Dialogs(const char* title, HWND hWndOwner = nullptr) const
    {
        DialogSearch search = {title, hWndOwner, {}};
        ::EnumThreadWindows(m_dwUiThread, CollectDialog, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    HWND WaitForDialog(const char* title, HWND hWndOwner = nullptr) const
    {
        std::vector<HWND> found;
        WaitFor([&] { return !(found = Dialogs(title, hWndOwner)).empty(); });
        return found.empty() ? nullptr : found[0];
    }
    static bool WaitGone(HWND hWnd) { return WaitFor([&] { return !::IsWindowVisible(hWnd); }); }

    HWND Focused() const
    {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        ::GetGUIThreadInfo(m_dwUiThread, &info);
        return info.hwndFocus;
    }
    static void Press(HWND hDlg, int id) { ::PostMessageA(::GetDlgItem(hDlg, id), BM_CLICK, 0, 0); }
    void Key(UINT vk) const
    {
        const HWND hWnd = Focused();
        ::PostMessageA(hWnd, WM_KEYDOWN, vk, 1);
        ::PostMessageA(hWnd, WM_KEYUP, vk, 0xC0000001);
    }

    // The rest acts on the settings dialog.
    HWND m_hDlg = nullptr;

    HWND Item(int id) const { return ::GetDlgItem(m_hDlg, id); }
    std::string Text(int id) const { return TextOf(Item(id)); }
    int Row() const { return static_cast<int>(::SendMessageA(Item(IDC_SITE_COMBO), CB_GETCURSEL, 0, 0)); }

    void Focus(int id) const { ::SendMessageA(m_hDlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE); }
    void Type(int id, const char* text) const
    {
        Focus(id);
        ::SendMessageA(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    // As with the mouse: the click on the list takes the focus and drops
    // the list down; choosing a row closes it and tells the dialog.
    void Pick(int row) const
    {
        const HWND hCombo = Item(IDC_SITE_COMBO);
        ::SendMessageA(hCombo, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        ::SendMessageA(hCombo, WM_LBUTTONUP, 0, 0);
        ::SendMessageA(hCombo, CB_SHOWDROPDOWN, FALSE, 0);
        ::SendMessageA(hCombo, CB_SETCURSEL, row, 0);
        ::SendMessageA(m_hDlg, WM_COMMAND, MAKEWPARAM(IDC_SITE_COMBO, CBN_SELCHANGE), reinterpret_cast<LPARAM>(hCombo));
    }
    void Close(int id) const
    {
        Press(m_hDlg, id);
        EXPECT_TRUE(WaitGone(m_hDlg)) << id;
    }

private:
    DWORD m_dwUiThread;
};

// Runs run(), which shows a dialog modally on this thread, while play acts
// as the user. Dialogs that play leaves open are cancelled, so that a
// failed step cannot hang the test.
INT_PTR RunWithUser(const std::function<INT_PTR()>& run, const std::function<void(User&)>& play)
{
    User user(::GetCurrentThreadId());
    std::atomic<bool> done(false);
    std::thread thread([&] {
        play(user);
        for (HWND hWnd : user.Dialogs(nullptr))
            ::PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
        done = true;
    });
    const INT_PTR result = run();
    // The user may still be talking to this thread's windows.
    testutil::PumpUntil([&] { return done.load(); }, 20000);
    thread.join();
    return result;
}

INT_PTR RunSettings(CSettingsDlg& dlg, const std::function<void(User&)>& play)
{
    return RunWithUser([&] { return dlg.DoModal(); }, [&](User& user) {
        user.m_hDlg = user.WaitForDialog(kSettingsTitle);
        if (!user.m_hDlg)
            ADD_FAILURE() << "the settings dialog did not open";
        else
            play(user);
    });
}

POINT Centre(HWND hWnd)
{
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

// Empties one entry of the program's string table where it is mapped, for as
// long as this object lives: the real dialog then loads an empty text,
// without a second build of the resources.
class EmptiedString {
public:
    explicit EmptiedString(UINT id)
    {
        const HMODULE hModule = ::GetModuleHandleA(nullptr);
        const HRSRC hRes = ::FindResourceA(hModule, MAKEINTRESOURCEA(id / 16 + 1), RT_STRING);
        m_pBlock = static_cast<WCHAR*>(::LockResource(::LoadResource(hModule, hRes)));
        m_saved.assign(m_pBlock, m_pBlock + ::SizeofResource(hModule, hRes) / sizeof(WCHAR));
        // A block is sixteen counted texts in a row; the emptied one keeps only its count.
        std::vector<WCHAR> block;
        const WCHAR* p = m_pBlock;
        for (UINT i = 0; i < 16; ++i, p += *p + 1) {
            block.push_back(i == id % 16 ? 0 : *p);
            if (i != id % 16)
                block.insert(block.end(), p + 1, p + 1 + *p);
        }
        block.resize(m_saved.size(), 0);
        ::VirtualProtect(m_pBlock, m_saved.size() * sizeof(WCHAR), PAGE_READWRITE, &m_dwProtect);
        std::memcpy(m_pBlock, block.data(), m_saved.size() * sizeof(WCHAR));
    }
    EmptiedString(const EmptiedString&) = delete;
    EmptiedString& operator=(const EmptiedString&) = delete;
    ~EmptiedString()
    {
        std::memcpy(m_pBlock, m_saved.data(), m_saved.size() * sizeof(WCHAR));
        ::VirtualProtect(m_pBlock, m_saved.size() * sizeof(WCHAR), m_dwProtect, &m_dwProtect);
    }

private:
    WCHAR* m_pBlock;
    std::vector<WCHAR> m_saved;
    DWORD m_dwProtect = 0;
};

// The real agent window as the program's main window, which owns the dialogs.
class SettingsDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SettingsFile::Remove();
        testutil::EmptyTheClipboard();
        ASSERT_TRUE(m_agent.Create());
        theApp.m_pMainWnd = &m_agent;
    }

    void TearDown() override
    {
        // No longer the main window, so closing it posts no quit message.
        theApp.m_pMainWnd = nullptr;
        m_agent.SendMessage(WM_CLOSE);
        SettingsFile::Remove();
    }

    RecordingTrayWnd m_agent;
};

TEST_F(SettingsDlgTest, WithoutAFileTenNumberedRowsShowTheBuiltInSites)
{
    CSettingsDlg dlg;
    RunSettings(dlg, [](User& u) {
        const HWND hCombo = u.Item(IDC_SITE_COMBO);
        std::vector<std::string> items;
        for (int i = 0; i < ::SendMessageA(hCombo, CB_GETCOUNT, 0, 0); ++i) {
            char text[16] = {};
            ::SendMessageA(hCombo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            items.push_back(text);
        }
        EXPECT_EQ((std::vector<std::string>{"  1 ", "  2 ", "  3 ", "  4 ", "  5 ", "  6 ", "  7 ", "  8 ", "  9 ",
                                            " 10 "}),
                  items);
        EXPECT_EQ(hCombo, u.Focused());

        const struct {
            int row;
            const char* name;
            const char* left;
            const char* right;
        } cases[] = {
            {0, "Google", kGoogleLeft, kGoogleRight},
            {9, "\x96\xA2\x92\xE8", "http://", "&"},  // 未定
        };
        for (const auto& c : cases) {
            if (c.row != 0)
                u.Pick(c.row);
            EXPECT_EQ(c.row, u.Row());
            EXPECT_EQ(c.name, u.Text(IDC_NAME_EDIT));
            EXPECT_EQ(c.left, u.Text(IDC_LEFT_EDIT));
            EXPECT_EQ(c.right, u.Text(IDC_RIGHT_EDIT));
            EXPECT_EQ(std::string(c.left) + kQuery + c.right, u.Text(IDC_SAMPLE_EDIT));
        }
        u.Close(IDCANCEL);
    });
    EXPECT_FALSE(SettingsFile::Exists());
}

TEST_F(SettingsDlgTest, OpensOnTheStoredSiteAndOnTheFirstForAnIndexWithoutARow)
{
    const struct {
        const char* stored;
        int row;
    } cases[] = {{"4", 4}, {"9", 9}, {"10", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        SettingsFile::Write(std::string("[Url Setting]\r\nCurrent Url Index=") + c.stored + "\r\n");
        const std::string name(theApp.GetSiteName(c.row));
        CSettingsDlg dlg;
        RunSettings(dlg, [&](User& u) {
            EXPECT_EQ(c.row, u.Row());
            EXPECT_EQ(name, u.Text(IDC_NAME_EDIT));
            u.Close(IDCANCEL);
        });
    }
}

TEST_F(SettingsDlgTest, RunsCentredInTheWorkAreaWithTheHiddenMainWindowDisabledAsOwner)
{
    CSettingsDlg dlg;
    RunSettings(dlg, [&](User& u) {
        EXPECT_EQ(m_agent.m_hWnd, ::GetWindow(u.m_hDlg, GW_OWNER));
        EXPECT_FALSE(::IsWindowEnabled(m_agent.m_hWnd));
        RECT work;
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        EXPECT_NEAR((work.left + work.right) / 2, Centre(u.m_hDlg).x, 1);
        EXPECT_NEAR((work.top + work.bottom) / 2, Centre(u.m_hDlg).y, 1);

        const HICON hIcon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_ACTIVE));
        EXPECT_EQ(hIcon, reinterpret_cast<HICON>(::SendMessageA(u.m_hDlg, WM_GETICON, ICON_BIG, 0)));
        EXPECT_EQ(hIcon, reinterpret_cast<HICON>(::SendMessageA(u.m_hDlg, WM_GETICON, ICON_SMALL, 0)));
        EXPECT_EQ(hIcon, reinterpret_cast<HICON>(::SendMessageA(u.m_hDlg, WM_QUERYDRAGICON, 0, 0)));
        u.Close(IDCANCEL);
    });
    EXPECT_TRUE(::IsWindowEnabled(m_agent.m_hWnd));
}

TEST_F(SettingsDlgTest, OkWithNothingChangedWritesAll31KeysInOrder)
{
    std::string expected = "[Url Setting]\r\nCurrent Url Index=0\r\n";
    for (int i = 0; i < 10; ++i) {
        const std::string n = std::to_string(i + 1);
        expected += "WWW Search Site " + n + " Left=" + std::string(theApp.GetSiteLeft(i)) + "\r\n";
        expected += "WWW Search Site " + n + " Right=" + std::string(theApp.GetSiteRight(i)) + "\r\n";
        expected += "WWW Search Site Name " + n + "=" + std::string(theApp.GetSiteName(i)) + "\r\n";
    }
    CSettingsDlg dlg;
    EXPECT_EQ(IDOK, RunSettings(dlg, [](User& u) { u.Close(IDOK); }));
    EXPECT_EQ(expected, SettingsFile::Read());
}

TEST_F(SettingsDlgTest, ANameTypedForSite3ThenRow5PickedAreSavedByOk)
{
    const char kName[] = "\x8C\x9F\x8D\xF5 three";
    CSettingsDlg dlg;
    const INT_PTR result = RunSettings(dlg, [&](User& u) {
        u.Pick(2);
        u.Type(IDC_NAME_EDIT, kName);
        u.Focus(IDC_LEFT_EDIT);
        u.Pick(4);
        u.Close(IDOK);
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(CString(kName), theApp.GetSiteName(2));
    EXPECT_NE(std::string::npos, SettingsFile::Read().find("\r\nCurrent Url Index=4\r\n"));
}

TEST_F(SettingsDlgTest, TextTypedThenAnotherRowPickedStaysWithTheRowItWasTypedOn)
{
    CSettingsDlg dlg;
    RunSettings(dlg, [](User& u) {
        for (int box : {IDC_NAME_EDIT, IDC_LEFT_EDIT, IDC_RIGHT_EDIT}) {
            SCOPED_TRACE(box);
            u.Pick(2);
            u.Type(box, "typed on 3");
            u.Pick(4);
            EXPECT_NE("typed on 3", u.Text(box));
            u.Pick(2);
            EXPECT_EQ("typed on 3", u.Text(box));
        }
        u.Close(IDCANCEL);
    });
}

TEST_F(SettingsDlgTest, TheSampleFollowsAnEditOnlyWhenTheRowIsShownAgain)
{
    const std::string left = "http://example.jp/?q=";
    CSettingsDlg dlg;
    RunSettings(dlg, [&](User& u) {
        u.Type(IDC_LEFT_EDIT, left.c_str());
        u.Focus(IDC_RIGHT_EDIT);
        EXPECT_EQ(std::string(kGoogleLeft) + kQuery + kGoogleRight, u.Text(IDC_SAMPLE_EDIT));
        u.Pick(1);
        u.Pick(0);
        EXPECT_EQ(left + kQuery + kGoogleRight, u.Text(IDC_SAMPLE_EDIT));
        u.Close(IDCANCEL);
    });
}

TEST_F(SettingsDlgTest, EnterInAnEditBoxSavesWhatWasTypedThere)
{
    const struct {
        int box;
        CString (CSearchApp::*read)(int);
    } cases[] = {
        {IDC_NAME_EDIT, &CSearchApp::GetSiteName},
        {IDC_LEFT_EDIT, &CSearchApp::GetSiteLeft},
        {IDC_RIGHT_EDIT, &CSearchApp::GetSiteRight},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box);
        SettingsFile::Remove();
        CSettingsDlg dlg;
        const INT_PTR result = RunSettings(dlg, [&](User& u) {
            u.Pick(3);
            u.Type(c.box, "typed");
            u.Key(VK_RETURN);
            EXPECT_TRUE(u.WaitGone(u.m_hDlg));
        });
        EXPECT_EQ(IDOK, result);
        EXPECT_EQ(CString("typed"), (theApp.*c.read)(3));
    }
}

TEST_F(SettingsDlgTest, CancelEscapeAndTheCloseBoxWriteNothing)
{
    SettingsFile::Write("[Url Setting]\r\nCurrent Url Index=1\r\nWWW Search Site Name 2=mine\r\n");
    const std::string before = SettingsFile::Read();
    const struct {
        const char* way;
        std::function<void(User&)> end;
    } cases[] = {
        {"cancel button", [](User& u) { User::Press(u.m_hDlg, IDCANCEL); }},
        {"escape key", [](User& u) { u.Key(VK_ESCAPE); }},
        {"close box", [](User& u) { ::PostMessageA(u.m_hDlg, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    // One dialog object for every run: each opening shows the file again.
    CSettingsDlg dlg;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.way);
        const INT_PTR result = RunSettings(dlg, [&](User& u) {
            EXPECT_EQ(1, u.Row());
            EXPECT_EQ("mine", u.Text(IDC_NAME_EDIT));
            u.Type(IDC_NAME_EDIT, "edited");
            u.Type(IDC_LEFT_EDIT, "edited");
            u.Pick(5);
            u.Type(IDC_RIGHT_EDIT, "edited");
            c.end(u);
            EXPECT_TRUE(u.WaitGone(u.m_hDlg));
        });
        EXPECT_EQ(IDCANCEL, result);
        EXPECT_EQ(before, SettingsFile::Read());
    }
}

TEST_F(SettingsDlgTest, AFailedSaveIsReportedAndTheDialogStaysOpenWithItsEdits)
{
    SettingsFile::Write("[Url Setting]\r\nCurrent Url Index=0\r\n");
    CSettingsDlg dlg;
    const INT_PTR result = RunSettings(dlg, [](User& u) {
        // Held open without sharing, as by another program. A read-only file
        // would not do: Wine, run as root here, writes to it all the same.
        const HANDLE hFile =
            ::CreateFileA(SettingsFile::Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
        u.Type(IDC_NAME_EDIT, "kept");
        User::Press(u.m_hDlg, IDOK);
        const HWND hBox = u.WaitForDialog(kSettingsTitle, u.m_hDlg);
        ::CloseHandle(hFile);
        ASSERT_NE(nullptr, hBox);
        EXPECT_EQ("\x90\xDD\x92\xE8\x82\xF0\x95\xDB\x91\xB6\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5"
                  "\x82\xBD\x81\x42",  // 設定を保存できませんでした。
                  TextOf(::GetDlgItem(hBox, 0xFFFF)));
        User::Press(hBox, IDOK);
        ASSERT_TRUE(User::WaitGone(hBox));

        EXPECT_TRUE(::IsWindowVisible(u.m_hDlg));
        EXPECT_TRUE(::IsWindowEnabled(u.m_hDlg));
        EXPECT_EQ("kept", u.Text(IDC_NAME_EDIT));
        u.Close(IDOK);
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(CString("kept"), theApp.GetSiteName(0));
}

TEST_F(SettingsDlgTest, TheAboutItemEndsTheSystemMenuUnlessItsTextIsEmpty)
{
    int countWithItem = 0;
    for (bool emptied : {false, true}) {
        SCOPED_TRACE(emptied);
        std::unique_ptr<EmptiedString> emptyText(emptied ? new EmptiedString(IDS_ABOUTBOX) : nullptr);
        int count = 0;
        UINT lastId = 0, separatorState = 0;
        char lastText[128] = {};
        CSettingsDlg dlg;
        RunSettings(dlg, [&](User& u) {
            const HMENU hMenu = ::GetSystemMenu(u.m_hDlg, FALSE);
            count = ::GetMenuItemCount(hMenu);
            lastId = ::GetMenuItemID(hMenu, count - 1);
            separatorState = ::GetMenuState(hMenu, count - 2, MF_BYPOSITION);
            ::GetMenuStringA(hMenu, count - 1, lastText, sizeof lastText, MF_BYPOSITION);
            u.Close(IDCANCEL);
        });
        if (!emptied) {
            countWithItem = count;
            EXPECT_TRUE(separatorState & MF_SEPARATOR);
            EXPECT_EQ(static_cast<UINT>(IDM_ABOUTBOX), lastId);
            EXPECT_STREQ("Quillfind \x82\xCC\xCA\xDE\xB0\xBC\xDE\xAE\xDD\x8F\xEE\x95\xF1(&A)...", lastText);
        } else {
            EXPECT_NE(static_cast<UINT>(IDM_ABOUTBOX), lastId);
            EXPECT_EQ(countWithItem - 2, count);
        }
    }
}

TEST_F(SettingsDlgTest, TheAboutItemOpensTheBoxOverTheDialogAndLeavesTheEditsInPlace)
{
    const struct {
        const char* way;
        std::function<void(HWND)> close;
    } cases[] = {
        {"OK", [](HWND hBox) { User::Press(hBox, IDOK); }},
        {"escape", [](HWND hBox) { ::PostMessageA(::GetDlgItem(hBox, IDOK), WM_KEYDOWN, VK_ESCAPE, 1); }},
        {"close box", [](HWND hBox) { ::PostMessageA(hBox, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    CSettingsDlg dlg;
    const INT_PTR result = RunSettings(dlg, [&](User& u) {
        u.Type(IDC_NAME_EDIT, "name edited");
        u.Pick(3);
        u.Type(IDC_LEFT_EDIT, "left typed");
        for (const auto& c : cases) {
            SCOPED_TRACE(c.way);
            ::PostMessageA(u.m_hDlg, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
            const HWND hBox = u.WaitForDialog(kAboutTitle, u.m_hDlg);
            ASSERT_NE(nullptr, hBox);
            EXPECT_FALSE(::IsWindowEnabled(u.m_hDlg));
            EXPECT_NEAR(Centre(u.m_hDlg).x, Centre(hBox).x, 1);
            EXPECT_NEAR(Centre(u.m_hDlg).y, Centre(hBox).y, 1);
            c.close(hBox);
            ASSERT_TRUE(User::WaitGone(hBox));
            EXPECT_TRUE(::IsWindowEnabled(u.m_hDlg));
            EXPECT_EQ(3, u.Row());
            EXPECT_EQ("left typed", u.Text(IDC_LEFT_EDIT));
        }
        u.Pick(0);
        EXPECT_EQ("name edited", u.Text(IDC_NAME_EDIT));
        u.Close(IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_FALSE(SettingsFile::Exists());
}

// From the tray menu's command to the next search: OK takes effect at once.
TEST_F(SettingsDlgTest, AfterOkTheNextCopySearchesThroughTheEditedSite)
{
    testutil::Recorders recorders;
    RunWithUser([&] { return m_agent.SendMessage(WM_COMMAND, ID_TRAY_SETTINGS); }, [](User& u) {
        u.m_hDlg = u.WaitForDialog(kSettingsTitle);
        ASSERT_NE(nullptr, u.m_hDlg);
        u.Pick(1);
        u.Type(IDC_LEFT_EDIT, "http://example.jp/?q=");
        u.Close(IDOK);
    });
    ASSERT_TRUE(testutil::SetClipboard("abc"));
    ASSERT_TRUE(recorders.WaitUrls(1));
    EXPECT_EQ(std::vector<std::string>{"http://example.jp/?q=%61%62%63&lk=noframes&svx=101100&lk=noframes&qp=0&nh=10"},
              recorders.Urls());
}

// The tray menu's two dialog items: the dialog opens, and while it runs the
// right button brings no menu.
TEST_F(SettingsDlgTest, TheTrayItemsOpenTheirDialogsAndHoldTheMenuBack)
{
    const struct {
        UINT command;
        const char* title;
        int button;
    } cases[] = {
        {ID_TRAY_SETTINGS, kSettingsTitle, IDCANCEL},
        {ID_TRAY_VERSION, kAboutTitle, IDOK},
        {ID_TRAY_SETTINGS, kSettingsTitle, IDCANCEL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        m_agent.menusShown = 0;
        RunWithUser([&] { return m_agent.SendMessage(WM_COMMAND, c.command); }, [&](User& u) {
            const HWND hDlg = u.WaitForDialog(c.title, m_agent.m_hWnd);
            ASSERT_NE(nullptr, hDlg);
            ::SendMessageA(m_agent.m_hWnd, WM_TRAYNOTIFY, m_agent.m_nTrayIconId, WM_RBUTTONDOWN);
            User::Press(hDlg, c.button);
            EXPECT_TRUE(User::WaitGone(hDlg));
        });
        EXPECT_EQ(0, m_agent.menusShown);
        m_agent.SendMessage(WM_TRAYNOTIFY, m_agent.m_nTrayIconId, WM_RBUTTONDOWN);
        EXPECT_EQ(1, m_agent.menusShown);
    }
}

}  // namespace
