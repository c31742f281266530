// The program as the Windows tests see it: its settings file, the recording
// doubles' logs, an agent window that keeps its tray records, a user acting
// from inside modal loops, and the fixture that starts the program.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <codecvt>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/search_app.h"
#include "res/resource.h"
#include "tests/support/wine_test_util.h"

namespace testutil {

// The test program's settings file in the Windows folder, read and written
// raw. Wine caches profile files; an all-null write empties that cache.
struct SettingsFile {
    static std::string Path()
    {
        char dir[MAX_PATH];
        ::GetWindowsDirectoryA(dir, MAX_PATH);
        ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, AfxGetApp()->m_pszProfileName);
        return std::string(dir) + "\\" + AfxGetApp()->m_pszProfileName;
    }
    static std::string Read()
    {
        std::ifstream file(Path(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    static void Remove() { ::DeleteFileA(Path().c_str()); }
    static void Write(const std::string& content) { std::ofstream(Path(), std::ios::binary) << content; }
};

// Points both recording doubles at fresh logs and clears any injected failure.
struct Recorders {
    std::string browserLog = FreshFile("qf_browser.log"), urlLog = FreshFile("qf_urls.log");

    Recorders()
    {
        ::SetEnvironmentVariableA("FAKE_BROWSER_LOG", browserLog.c_str());
        ::SetEnvironmentVariableA("URL_RECORDER_LOG", urlLog.c_str());
        Fail(nullptr);
    }

    // Makes the browser fail at this step (nullptr: never), in instance n only if n > 0.
    static void Fail(const char* pszStep, int n = 0)
    {
        ::SetEnvironmentVariableA("FAKE_BROWSER_FAIL", pszStep);
        ::SetEnvironmentVariableA("FAKE_BROWSER_FAIL_AT", n > 0 ? std::to_string(n).c_str() : nullptr);
    }

    Strings BrowserLines() const { return ReadLines(browserLog); }

    // The URLs that reached Navigate2, in order.
    Strings Navigated() const
    {
        Strings urls;
        for (const std::string& line : BrowserLines())
            if (const size_t at = line.find(" Navigate2 "); at != std::string::npos)
                urls.push_back(line.substr(at + 11, line.find('|', at) - at - 11));
        return urls;
    }

    int Released() const
    {
        const Strings lines = BrowserLines();
        return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                              [](const std::string& line) { return line.find(" released") != line.npos; }));
    }
};

// The URL of a search of the built-in first site.
inline std::string Google(const std::string& query)
{
    return "http://www.google.co.jp/search?q=" + query + "&hl=ja&lr=";
}

// Makes a copy of the recording URL handler, which register_doubles.sh made
// the http handler, under a browser's name in the temporary folder (UTF-8,
// maybe in a folder of its own) the open command of a URL scheme (nullptr:
// the recorder itself); one in the folder "broken" is there but does not start.
inline void SetHandler(const char* pszScheme, const char* pszName)
{
    std::wstring_convert<std::codecvt_utf8_utf16<wchar_t>> utf8;
    wchar_t command[MAX_PATH * 2] = {}, dir[MAX_PATH];
    LONG size = sizeof command;
    ::RegQueryValueW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\http\\shell\\open\\command", command, &size);
    const std::wstring recorder = std::wstring(command).substr(1, std::wstring(command).find(L'"', 1) - 1);
    ::GetTempPathW(MAX_PATH, dir);
    const std::wstring program = pszName ? dir + utf8.from_bytes(pszName) : recorder;
    ::CreateDirectoryW(program.substr(0, program.rfind(L'\\')).c_str(), nullptr);
    if (pszName && std::strncmp(pszName, "broken\\", 7) == 0)
        std::ofstream(program.c_str()) << "not a program";
    else if (pszName)
        ::CopyFileW(recorder.c_str(), program.c_str(), FALSE);
    const std::wstring key = L"Software\\Classes\\" + utf8.from_bytes(pszScheme) + L"\\shell\\open\\command";
    ::RegSetValueW(HKEY_LOCAL_MACHINE, key.c_str(), REG_SZ, (L"\"" + program + L"\" \"%1\"").c_str(), 0);
}

// The real agent window, keeping every record it hands the shell.
class RecordingTrayWnd : public CTrayWnd {
public:
    struct Record {
        DWORD dwMessage;
        NOTIFYICONDATAA data;
    };
    std::vector<Record> records;
    // Adds the shell refuses, as it may while it is busy.
    int nRefusedAdds = 0;

protected:
    BOOL NotifyIcon(DWORD dwMessage, NOTIFYICONDATAA* pData) override
    {
        records.push_back({dwMessage, {}});
        std::memcpy(&records.back().data, pData, pData->cbSize);
        if (dwMessage == NIM_ADD && nRefusedAdds > 0)
            return --nRefusedAdds, FALSE;
        return CTrayWnd::NotifyIcon(dwMessage, pData);
    }
};

// The user, acting from inside whatever modal loop runs when each step is
// due: every step is a message posted to a window of this thread once the
// step before it has run, so a step that posts a click opening a box has the
// next step run inside that box's loop. The last step must close what is
// open: what is still open once things have settled is a failure, and is
// cancelled, so that it cannot hang the test.
class User : public CWnd {
public:
    explicit User(std::vector<std::function<void()>> steps) : m_steps(std::move(steps))
    {
        CreateEx(0, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr);
        PostMessage(WM_APP);
    }

protected:
    const MessageMap* GetMessageMap() const override
    {
        static const MessageMapEntry entries[] = {OnMessage<&User::OnStep>(WM_APP), OnMessage<&User::OnSettled>(WM_TIMER)};
        static const MessageMap map = MakeMessageMap(nullptr, entries);
        return &map;
    }

private:
    void OnStep()
    {
        m_steps[m_nNext++]();
        if (m_nNext < m_steps.size())
            PostMessage(WM_APP);
        else
            ::SetTimer(m_hWnd, 1, 500, nullptr);
    }

    void OnSettled()
    {
        EXPECT_EQ(nullptr, ::FindWindowA("#32768", nullptr)) << "a menu is open after the last step";
        ::EndMenu();
        if (const HWND hDlg = ::GetActiveWindow(); hDlg && ::IsWindowVisible(hDlg)) {
            ADD_FAILURE() << "a dialog is open after the last step";
            ::EndDialog(hDlg, IDCANCEL);
        }
    }

    std::vector<std::function<void()>> m_steps;
    size_t m_nNext = 0;
};

// The program after start-up: the agent under test heads the clipboard chain
// as the main window, with a viewer of the test's behind it.
class AgentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SettingsFile::Remove();
        SetClipboard(std::vector<ClipData>());
        // Start-up proper, for its started flag; its own agent then makes way
        // for the one under test, and the quit that its end posts is dropped.
        theApp.InitInstance();
        theApp.m_wndAgent.SendMessage(WM_CLOSE);
        for (MSG msg; ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);) {
        }
        m_viewer = std::make_unique<ChainViewer>();
        ASSERT_TRUE(m_agent.Create());
        theApp.m_pMainWnd = &m_agent;
    }

    void TearDown() override
    {
        theApp.m_pMainWnd = nullptr;
        if (::IsWindow(m_agent.m_hWnd))
            m_agent.SendMessage(WM_CLOSE);
        m_viewer.reset();
        SettingsFile::Remove();
        SetHandler("https", nullptr);
    }

    // Copies and waits until the agent has passed the change on; the
    // search it posted itself runs in the same pumping.
    void Copy(const std::vector<ClipData>& formats, bool bAdd = false)
    {
        const long before = m_viewer->m_nDraws;
        ASSERT_TRUE(SetClipboard(formats, bAdd));
        ASSERT_TRUE(PumpUntil([&] { return m_viewer->m_nDraws > before; })) << "not passed on";
    }
    void Copy(const std::string& text) { Copy({Text(text)}); }
    // A change without text: the same text copied next, however soon, is a copy of its own.
    void Empty() { Copy(std::vector<ClipData>()); }

    // The agent made anew, as at start-up, over a clipboard holding these
    // formats; its records are those of its creation on.
    void Restart(const std::vector<ClipData>& formats = {})
    {
        if (::IsWindow(m_agent.m_hWnd))
            m_agent.SendMessage(WM_CLOSE);
        for (MSG msg; ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);) {
        }
        theApp.m_pMainWnd = &m_agent;
        ASSERT_TRUE(SetClipboard(formats));
        m_agent.records.clear();
        ASSERT_TRUE(m_agent.Create());
    }

    void Notify(UINT nMouseMessage) { m_agent.SendMessage(WM_TRAYNOTIFY, m_agent.m_nTrayIconId, nMouseMessage); }

    Recorders m_recorders;
    std::unique_ptr<ChainViewer> m_viewer;
    RecordingTrayWnd m_agent;
};

}  // namespace testutil
