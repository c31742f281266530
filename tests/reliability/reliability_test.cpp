// The program under faults and load: failing automation steps, no automation
// server, a clipboard held by another program, a damaged settings file, a next
// viewer that died, a change during a launch, and long runs of changes.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/search_app.h"
#include "res/resource.h"
#include "tests/support/browser_log.h"
#include "tests/support/child_process.h"
#include "tests/support/process_usage.h"
#include "tests/support/recording_tray_wnd.h"
#include "tests/support/settings_file.h"
#include "tests/support/wine_test_util.h"

namespace {

using testutil::ProcessUsage;
using testutil::Recorders;
using Strings = std::vector<std::string>;

// Every test starts from settings of its own, a site other than the first,
// so each search URL shows that the file was read; the name 検索 must
// come through every fault unchanged.
const std::string kLeft = "http://find.example/?q=";
const std::string kRight = "&from=qf";
const std::string kSettings = "[Url Setting]\r\n"
                              "Current Url Index=3\r\n"
                              "WWW Search Site 4 Left=" + kLeft + "\r\n"
                              "WWW Search Site 4 Right=" + kRight + "\r\n"
                              "WWW Search Site Name 4=\x8C\x9F\x8D\xF5\r\n";
const std::string kGoogle = "http://www.google.co.jp/search?q=";
const std::string kGoogleRight = "&hl=ja&lr=";

// Growth allowed over a run: Wine counts handles by the size of the handle
// table, which grows in steps; memory settles in pages and heap blocks.
constexpr DWORD kHandleSlack = 32;
constexpr SIZE_T kMemorySlack = 1 << 20;

// Expected queries: every byte as %XX.
std::string Hex(const std::string& text)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char b : text) {
        out += '%';
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    return out;
}

std::string Url(const std::string& line)
{
    return kLeft + Hex(line) + kRight;
}

bool StartsWith(const std::string& s, const std::string& prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& s, const std::string& suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Browser instances asked for, whether or not creation then failed.
int Attempts(const Recorders& recorders)
{
    int n = 0;
    for (const std::string& line : recorders.BrowserLines())
        n += StartsWith(line, "create ");
    return n;
}

int Created(const Recorders& recorders)
{
    int n = 0;
    for (const std::string& line : recorders.BrowserLines())
        n += StartsWith(line, "create ") && !EndsWith(line, " FAILED");
    return n;
}

// The recording server counts its live objects and locks whether or not a
// log is kept; it stays loaded once COM has loaded it into this process.
bool BrowserObjectsAlive()
{
    const HMODULE module = ::GetModuleHandleA("fake_browser.dll");
    if (!module)
        return false;
    using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();
    const auto canUnloadNow =
        reinterpret_cast<CanUnloadNowFn>(reinterpret_cast<void*>(::GetProcAddress(module, "DllCanUnloadNow")));
    return !canUnloadNow || canUnloadNow() != S_OK;
}

// The log lines of one complete launch of instance n.
Strings CompleteLaunch(int n, const std::string& url)
{
    const std::string id = std::to_string(n);
    return {"create " + id,
            id + " put_Offline 0",
            id + " put_AddressBar -1",
            id + " put_StatusBar -1",
            id + " put_StatusText Torven",
            id + " put_Visible -1",
            id + " Navigate2 " + url + "|missing|missing|missing|missing",
            id + " released"};
}

// The log with its instance numbers counted from 1 in order of creation:
// the server numbers them on across all the tests run in one process.
Strings Renumbered(const Strings& lines)
{
    std::map<std::string, int> numbers;
    Strings out;
    for (const std::string& line : lines) {
        const bool create = StartsWith(line, "create ");
        const size_t first = create ? 7 : 0;
        const size_t end = std::min(line.find(' ', first), line.size());
        const int n =
            numbers.emplace(line.substr(first, end - first), static_cast<int>(numbers.size()) + 1).first->second;
        out.push_back((create ? "create " : "") + std::to_string(n) + line.substr(end));
    }
    return out;
}

void Append(Strings& to, const Strings& lines)
{
    to.insert(to.end(), lines.begin(), lines.end());
}

// Bytes of every value, zeros and stray lead bytes included, the same on every run.
std::string Garbage(size_t size)
{
    std::string bytes(size, '\0');
    unsigned state = 0x2545F491;
    for (char& b : bytes) {
        state = state * 1103515245 + 12345;
        b = static_cast<char>(state >> 23);
    }
    return bytes;
}

// The real agent after start-up, with theApp's own agent silenced and a
// viewer of the test's behind it, which sees what the agent passes on.
class ReliabilityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SettingsFile::Write(kSettings);
        testutil::EmptyTheClipboard();
        theApp.InitInstance();
        theApp.m_wndAgent.m_bMonitoring = FALSE;
        m_viewer = std::make_unique<testutil::ChainViewer>();
        ASSERT_TRUE(m_agent.Create());
        ASSERT_EQ(m_viewer->m_hWnd, m_agent.m_hWndNextViewer);
        m_agent.records.clear();
    }

    void TearDown() override
    {
        if (::IsWindow(m_agent.m_hWnd))
            m_agent.SendMessage(WM_CLOSE);
        m_viewer.reset();
        theApp.m_wndAgent.SendMessage(WM_CLOSE);
        // Closing the main window posts the program's quit; the tests go on.
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        SettingsFile::Remove();
    }

    // Copies text and waits until the agent has passed the change on.
    bool Copy(const std::string& text)
    {
        const int before = m_viewer->m_nDraws;
        return testutil::SetClipboard(text) && testutil::PumpUntil([&] { return m_viewer->m_nDraws > before; });
    }

    std::vector<std::string> Balloons() const
    {
        std::vector<std::string> texts;
        for (const TrayRecord& r : m_agent.records) {
            if (r.message == NIM_MODIFY && (r.data.uFlags & NIF_INFO))
                texts.push_back(r.data.szInfo);
        }
        return texts;
    }

    // What every fault must leave behind: the agent running at the head of
    // the chain, every browser instance let go of, the settings as given.
    void ExpectProgramWhole(const Recorders& recorders)
    {
        EXPECT_TRUE(::IsWindow(m_agent.m_hWnd));
        EXPECT_EQ(m_agent.m_hWnd, ::GetClipboardViewer());
        EXPECT_EQ(Created(recorders), recorders.CountLines(" released"));
        EXPECT_FALSE(BrowserObjectsAlive());
        EXPECT_EQ(kSettings, SettingsFile::Read());
    }

    // The next copy makes one complete launch on the site the settings name.
    void ExpectNextCopySearched()
    {
        Recorders recorders;
        ASSERT_TRUE(Copy("next")) << "not passed on";
        EXPECT_EQ(Strings{Url("next")}, recorders.Navigated());
        EXPECT_EQ(1, recorders.CountLines(" released"));
    }

    Recorders m_recorders;
    std::unique_ptr<testutil::ChainViewer> m_viewer;
    RecordingTrayWnd m_agent;
};

class ReliabilityFaults : public ReliabilityTest {};

TEST_F(ReliabilityFaults, AFailingAutomationStepCostsOnlyThatChange)
{
    const struct {
        const char* step;
        const char* code;
    } cases[] = {
        {"create", "0x80004003"},         {"query", "0x80004003"},          {"put_Offline", "0x80041001"},
        {"put_AddressBar", "0x80041001"}, {"put_StatusBar", "0x80041001"},  {"put_StatusText", "0x80041001"},
        {"put_Visible", "0x80041001"},    {"Navigate2", "0x80041001"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        Recorders recorders;
        Recorders::Fail(c.step);
        m_agent.records.clear();
        ASSERT_TRUE(Copy("one\r\ntwo")) << "not passed on";

        EXPECT_EQ(2, Attempts(recorders)) << "each line gets its own try";
        const std::vector<std::string> balloons = Balloons();
        ASSERT_EQ(1u, balloons.size());
        EXPECT_NE(std::string::npos, balloons[0].find(c.code)) << balloons[0];
        ExpectProgramWhole(recorders);
        ExpectNextCopySearched();
    }
}

// Takes the browser class's server registrations away while it lives, so
// that COM finds no automation server at all; with a path, an in-process
// server is registered there in their place. Wine 8 (32-bit) then still
// starts dllhost.exe as a surrogate, AppID or not, and that process waits
// for ever for a server it cannot load; so the class is given an AppID
// whose surrogate cannot be started, which fails as a missing class does.
class MissingServer {
public:
    explicit MissingServer(const wchar_t* pszInprocPath)
    {
        m_bOk = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kBackupKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_hBackup,
                                  nullptr) == ERROR_SUCCESS &&
                ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClassKey, 0, KEY_ALL_ACCESS, &m_hClass) == ERROR_SUCCESS &&
                ::RegCopyTreeW(m_hClass, nullptr, m_hBackup) == ERROR_SUCCESS;
        if (!m_bOk)
            return;
        ::RegDeleteTreeW(m_hClass, L"InprocServer32");
        ::RegDeleteTreeW(m_hClass, L"LocalServer32");
        m_bOk = SetString(m_hClass, nullptr, L"AppID", kAppId) &&
                SetString(HKEY_LOCAL_MACHINE, kAppIdKey, L"DllSurrogate", L"Z:\\nonexistent\\quillfind\\dllhost.exe");
        if (m_bOk && pszInprocPath)
            m_bOk = SetString(m_hClass, L"InprocServer32", nullptr, pszInprocPath) &&
                    SetString(m_hClass, L"InprocServer32", L"ThreadingModel", L"Both");
    }
    MissingServer(const MissingServer&) = delete;
    MissingServer& operator=(const MissingServer&) = delete;
    ~MissingServer()
    {
        if (m_hClass && m_hBackup) {
            ::RegDeleteTreeW(m_hClass, L"InprocServer32");
            ::RegDeleteValueW(m_hClass, L"AppID");
            ::RegCopyTreeW(m_hBackup, nullptr, m_hClass);
        }
        if (m_hClass)
            ::RegCloseKey(m_hClass);
        if (m_hBackup)
            ::RegCloseKey(m_hBackup);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kAppIdKey);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kBackupKey);
    }

    bool Ok() const { return m_bOk; }

private:
    static constexpr const wchar_t* kClassKey = L"Software\\Classes\\CLSID\\{0002DF01-0000-0000-C000-000000000046}";
    static constexpr const wchar_t* kAppId = L"{6C1F4A52-93E0-4B7D-9A51-0D5E7C3B2F18}";
    static constexpr const wchar_t* kAppIdKey = L"Software\\Classes\\AppID\\{6C1F4A52-93E0-4B7D-9A51-0D5E7C3B2F18}";
    static constexpr const wchar_t* kBackupKey = L"Software\\QuillfindReliabilityTest\\BrowserClass";

    static bool SetString(HKEY hParent, const wchar_t* pszSubKey, const wchar_t* pszName, const wchar_t* pszValue)
    {
        HKEY hKey = hParent;
        if (pszSubKey && ::RegCreateKeyExW(hParent, pszSubKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey,
                                           nullptr) != ERROR_SUCCESS)
            return false;
        const LSTATUS status =
            ::RegSetValueExW(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszValue),
                             static_cast<DWORD>((wcslen(pszValue) + 1) * sizeof(wchar_t)));
        if (hKey != hParent)
            ::RegCloseKey(hKey);
        return status == ERROR_SUCCESS;
    }

    HKEY m_hClass = nullptr;
    HKEY m_hBackup = nullptr;
    bool m_bOk = false;
};

TEST_F(ReliabilityFaults, AMissingAutomationServerCostsOnlyThatChange)
{
    const struct {
        const char* name;
        const wchar_t* inprocPath;
    } cases[] = {
        {"no server registered", nullptr},
        {"the registered server's file is gone", L"Z:\\nonexistent\\quillfind\\browser.dll"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Recorders recorders;
        m_agent.records.clear();
        {
            const MissingServer missing(c.inprocPath);
            ASSERT_TRUE(missing.Ok());
            ASSERT_TRUE(Copy("one\r\ntwo")) << "not passed on";
        }
        EXPECT_TRUE(recorders.BrowserLines().empty());
        EXPECT_EQ(1u, Balloons().size());
        ExpectProgramWhole(recorders);
        ExpectNextCopySearched();
    }
}

TEST_F(ReliabilityFaults, AClipboardHeldByAnotherProgramIsPassedOnButNeitherSearchedNorRetried)
{
    m_agent.m_bMonitoring = FALSE;
    ASSERT_TRUE(Copy("held"));
    m_agent.m_bMonitoring = TRUE;

    Recorders recorders;
    testutil::ChildProcess holder(QF_CLIP_TOOL_PATH, "hold 1000");
    ASSERT_TRUE(holder.Started());
    ASSERT_TRUE(testutil::PumpUntil([] { return ::GetOpenClipboardWindow() != nullptr; }));

    // As when a change is notified just after another program has opened
    // the clipboard: the text is there, but cannot be read.
    ASSERT_TRUE(::IsClipboardFormatAvailable(CF_TEXT));
    m_agent.records.clear();
    const int before = m_viewer->m_nDraws;
    m_agent.SendMessage(WM_DRAWCLIPBOARD);
    EXPECT_EQ(before + 1, m_viewer->m_nDraws);

    ASSERT_EQ(0u, holder.WaitForExit());
    testutil::Pump(200);
    EXPECT_TRUE(recorders.BrowserLines().empty());
    EXPECT_TRUE(m_agent.records.empty());
    ExpectProgramWhole(recorders);
    ExpectNextCopySearched();
}

TEST_F(ReliabilityFaults, ANextViewerThatDiedWithoutLeavingCostsNothing)
{
    const std::string log = testutil::FreshFile("qf_dead_viewer.log");
    testutil::ChildProcess viewer(QF_CHAIN_VIEWER_PATH, "\"" + log + "\" QF_DYING_VIEWER --no-leave");
    ASSERT_TRUE(viewer.Started());
    HWND hWndDying = nullptr;
    ASSERT_TRUE(testutil::PumpUntil([&] {
        const Strings lines = testutil::ReadLines(log);
        return !lines.empty() && lines.back() == "ready" &&
               (hWndDying = ::FindWindowA(nullptr, "QF_DYING_VIEWER")) != nullptr;
    }));

    // Joined again, the agent passes its notifications to that viewer.
    m_agent.SendMessage(WM_CLOSE);
    ASSERT_TRUE(m_agent.Create());
    ASSERT_EQ(hWndDying, m_agent.m_hWndNextViewer);

    ::PostMessageA(hWndDying, WM_CLOSE, 0, 0);
    ASSERT_EQ(0u, viewer.WaitForExit());
    ASSERT_FALSE(::IsWindow(hWndDying));

    Recorders recorders;
    m_agent.records.clear();
    const Strings texts = {"first", "second"};
    Strings expected;
    for (size_t i = 0; i < texts.size(); ++i) {
        ASSERT_TRUE(testutil::SetClipboard(texts[i]));
        ASSERT_TRUE(recorders.WaitReleased(static_cast<int>(i + 1))) << texts[i];
        expected.push_back(Url(texts[i]));
    }
    EXPECT_EQ(expected, recorders.Navigated());

    // News of another viewer leaving goes the same way, to no effect.
    m_agent.SendMessage(WM_CHANGECBCHAIN, reinterpret_cast<WPARAM>(m_viewer->m_hWnd),
                        reinterpret_cast<LPARAM>(m_viewer->m_hWndNext));
    EXPECT_TRUE(m_agent.records.empty());
    ExpectProgramWhole(recorders);
}

TEST_F(ReliabilityFaults, AChangeDuringALaunchIsSearchedInFullAndTheOuterOneGoesOnUndisturbed)
{
    Recorders recorders;
    // Navigate2 runs the message loop meanwhile, as a call into another
    // process would; another program copies while the first one does.
    ::SetEnvironmentVariableA("FAKE_BROWSER_PUMP_MS", "500");
    std::atomic<bool> copied{false};
    std::thread copier([&] {
        for (int i = 0; i < 500 && recorders.Navigated().empty(); ++i)
            ::Sleep(5);
        copied = testutil::SetClipboard("inner");
    });

    const int before = m_viewer->m_nDraws;
    const bool done = testutil::SetClipboard("outer one\r\nouter two") && testutil::PumpUntil([&] {
        return m_viewer->m_nDraws >= before + 2 && recorders.CountLines(" released") >= 3;
    });
    copier.join();
    ASSERT_TRUE(copied);
    ASSERT_TRUE(done);

    Strings expected = CompleteLaunch(1, Url("outer one"));
    const std::string outerRelease = expected.back();
    expected.pop_back();
    Append(expected, CompleteLaunch(2, Url("inner")));
    expected.push_back(outerRelease);
    Append(expected, CompleteLaunch(3, Url("outer two")));
    EXPECT_EQ(expected, Renumbered(recorders.BrowserLines()));
    EXPECT_EQ(before + 2, m_viewer->m_nDraws);
    EXPECT_TRUE(m_agent.records.empty());
    ExpectProgramWhole(recorders);
}

class ReliabilitySettings : public ReliabilityTest {};

// Held open by another program without sharing, or a folder in its place.
TEST_F(ReliabilitySettings, AnUnreadableFileReadsAsTheBuiltInSitesAndLosesNothing)
{
    const std::string path = SettingsFile::Path();
    HANDLE hLock = INVALID_HANDLE_VALUE;
    const struct {
        const char* name;
        std::function<void()> apply;
        std::function<void()> lift;
    } cases[] = {
        {"locked",
         [&] {
             hLock = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
             ASSERT_NE(INVALID_HANDLE_VALUE, hLock);
         },
         [&] { ::CloseHandle(hLock); }},
        {"a folder of that name",
         [&] {
             SettingsFile::Remove();
             ASSERT_TRUE(::CreateDirectoryA(path.c_str(), nullptr));
         },
         [&] {
             ::RemoveDirectoryA(path.c_str());
             SettingsFile::Write(kSettings);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Recorders recorders;
        c.apply();
        ASSERT_TRUE(Copy("abc")) << "not passed on";
        EXPECT_EQ(Strings{kGoogle + "%61%62%63" + kGoogleRight}, recorders.Navigated());
        EXPECT_FALSE(theApp.SetSiteName(3, "lost"));
        c.lift();

        EXPECT_EQ(CString("\x8C\x9F\x8D\xF5"), theApp.GetSiteName(3));
        ExpectProgramWhole(recorders);
        ExpectNextCopySearched();
    }
}

class ReliabilityReadOnlySettings : public ReliabilityTest {
protected:
    // The file is read for every search as before; a write fails, leaves
    // the file as it was and changes nothing that is read afterwards.
    void ExpectReadButNotWritten()
    {
        Recorders recorders;
        ASSERT_TRUE(Copy("abc")) << "not passed on";
        EXPECT_EQ(Strings{Url("abc")}, recorders.Navigated());
        EXPECT_FALSE(theApp.SetSiteLeft(3, "http://lost/"));
        EXPECT_FALSE(theApp.SetCurrentSiteIndex(0));
        EXPECT_EQ(CString(kLeft.c_str()), theApp.GetCurrentSiteLeft());
        EXPECT_TRUE(::IsWindow(m_agent.m_hWnd));
        EXPECT_EQ(kSettings, SettingsFile::Read());
    }
};

TEST_F(ReliabilityReadOnlySettings, AReadOnlyFileIsStillReadAndAWriteFailsWithoutLoss)
{
    const std::string path = SettingsFile::Path();
    ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    const HANDLE hWrite = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    if (hWrite != INVALID_HANDLE_VALUE) {
        ::CloseHandle(hWrite);
        GTEST_SKIP() << "this system lets this user write a read-only file (Wine run as root); "
                        "AFileOpenElsewhereForReading... covers the failing write";
    }
    ExpectReadButNotWritten();
}

TEST_F(ReliabilityReadOnlySettings, AFileOpenElsewhereForReadingIsStillReadAndAWriteFailsWithoutLoss)
{
    const HANDLE hReader = ::CreateFileA(SettingsFile::Path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hReader);
    ExpectReadButNotWritten();
    ::CloseHandle(hReader);
    ExpectProgramWhole(m_recorders);
}

TEST_F(ReliabilitySettings, BinaryGarbageIsReadWithoutHarmAndKeepsTheKeysGiven)
{
    const struct {
        const char* name;
        std::string content;
        std::string urlBegins;  // the whole URL when urlExact
        bool urlExact;
        int index;
    } cases[] = {
        {"random bytes", Garbage(64 * 1024), kGoogle + "%61%62%63" + kGoogleRight, true, 0},
        {"the keys, then random bytes", kSettings + "\r\n" + Garbage(64 * 1024), Url("abc"), true, 3},
        {"stray and cut-off Shift_JIS in the values",
         std::string("[Url Setting]\r\nCurrent Url Index=3\x81\r\n"
                     "WWW Search Site 4 Left=http://find.example/\x81\r\n"
                     "WWW Search Site 4 Right=\x82") +
             std::string(1, '\0') + "\xFF\xFC&from=qf\r\nWWW Search Site Name 4=\x81",
         "http://find.example/", false, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsFile::Write(c.content);
        {
            Recorders recorders;
            ASSERT_TRUE(Copy("abc")) << "not passed on";
            const Strings urls = recorders.Navigated();
            ASSERT_EQ(1u, urls.size());
            if (c.urlExact)
                EXPECT_EQ(c.urlBegins, urls[0]);
            EXPECT_TRUE(StartsWith(urls[0], c.urlBegins)) << urls[0];
            EXPECT_NE(std::string::npos, urls[0].find("%61%62%63")) << urls[0];
            EXPECT_EQ(1, recorders.CountLines(" released"));
        }
        EXPECT_EQ(c.index, theApp.GetCurrentSiteIndex());

        // A write into the damaged file works and costs none of the keys given.
        const CString left = theApp.GetCurrentSiteLeft();
        ASSERT_TRUE(theApp.SetSiteName(0, "written"));
        EXPECT_EQ(CString("written"), theApp.GetSiteName(0));
        EXPECT_EQ(c.index, theApp.GetCurrentSiteIndex());
        EXPECT_EQ(left, theApp.GetCurrentSiteLeft());
        EXPECT_TRUE(::IsWindow(m_agent.m_hWnd));
    }
}

TEST_F(ReliabilitySettings, TenThousandCharacterValuesAreKeptWholeReadBackCutAndStillSearched)
{
    const std::string left = kLeft + std::string(10000 - kLeft.size(), 'L');
    const std::string right = kRight + std::string(10000 - kRight.size(), 'R');
    ASSERT_TRUE(theApp.SetSiteLeft(3, left.c_str()));
    ASSERT_TRUE(theApp.SetSiteRight(3, right.c_str()));

    const std::string file = SettingsFile::Read();
    EXPECT_NE(std::string::npos, file.find("WWW Search Site 4 Left=" + left + "\r\n"));
    EXPECT_NE(std::string::npos, file.find("WWW Search Site 4 Right=" + right + "\r\n"));
    EXPECT_NE(std::string::npos, file.find("WWW Search Site Name 4=\x8C\x9F\x8D\xF5\r\n"));

    Recorders recorders;
    ASSERT_TRUE(Copy("abc")) << "not passed on";
    EXPECT_EQ(Strings{left.substr(0, 4095) + "%61%62%63" + right.substr(0, 4095)}, recorders.Navigated());
    EXPECT_EQ(1, recorders.CountLines(" released"));
    EXPECT_TRUE(::IsWindow(m_agent.m_hWnd));
}

class ReliabilityLoad : public ReliabilityTest {};

TEST_F(ReliabilityLoad, AThousandLineCopyMakesAThousandCompleteLaunchesInOrder)
{
    ASSERT_TRUE(Copy("warm up"));
    Recorders recorders;
    std::string text;
    Strings expected;
    Strings urls;
    for (int i = 1; i <= 1000; ++i) {
        const std::string line = "line " + std::to_string(i);
        text += line + "\r\n";
        urls.push_back(Url(line));
        Append(expected, CompleteLaunch(i, urls.back()));
    }
    const int draws = m_viewer->m_nDraws;
    const ProcessUsage before = testutil::MeasureThisProcess();
    ASSERT_TRUE(Copy(text)) << "not passed on";
    const ProcessUsage after = testutil::MeasureThisProcess();
    EXPECT_EQ(draws + 1, m_viewer->m_nDraws);

    EXPECT_EQ(urls, recorders.Navigated());
    EXPECT_EQ(expected, Renumbered(recorders.BrowserLines()));
    EXPECT_EQ(1000, recorders.CountLines(" released"));
    EXPECT_LE(after.handles, before.handles + kHandleSlack);
    EXPECT_LE(after.privateBytes, before.privateBytes + kMemorySlack);
    EXPECT_LE(after.gdiObjects, before.gdiObjects);
    EXPECT_LE(after.userObjects, before.userObjects);
    EXPECT_TRUE(m_agent.records.empty());
    ExpectProgramWhole(recorders);
}

TEST_F(ReliabilityLoad, A64MiBCopyIsSurvivedAndItsMemoryGivenBack)
{
    const size_t kSize = 64u << 20;
    const struct {
        const char* name;
        std::function<std::string()> make;
    } cases[] = {
        {"one line", [&] { return std::string(kSize, 'x'); }},
        {"blank lines",
         [&] {
             std::string text;
             text.reserve(kSize);
             while (text.size() + 3 <= kSize)
                 text += " \r\n";
             return text;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Unlogged: the recorder would write a URL of 192 MiB out. Whether
        // the one line's launch gets through depends on the recorder's own
        // memory as much as on ours, so only what it leaves is checked.
        ::SetEnvironmentVariableA("FAKE_BROWSER_LOG", nullptr);
        // The first huge copy may leave the heap a little larger, as any
        // allocator's does; a second one must not grow it further. The
        // clipboard's own copy goes with the next change, hence "settle".
        ASSERT_TRUE(Copy(c.make())) << "not passed on";
        ASSERT_TRUE(Copy("settle"));
        const ProcessUsage before = testutil::MeasureThisProcess();
        ASSERT_TRUE(Copy(c.make())) << "not passed on";
        ASSERT_TRUE(Copy("settle"));
        EXPECT_FALSE(BrowserObjectsAlive());
        EXPECT_TRUE(::IsWindow(m_agent.m_hWnd));

        const ProcessUsage after = testutil::MeasureThisProcess();
        EXPECT_LE(after.handles, before.handles + kHandleSlack);
        EXPECT_LE(after.privateBytes, before.privateBytes + kMemorySlack);
        ExpectNextCopySearched();
    }
}

// The real program's own settings file, given for one test and taken away after it.
class ProgramSettings {
public:
    explicit ProgramSettings(const std::string& content)
    {
        char dir[MAX_PATH];
        ::GetWindowsDirectoryA(dir, MAX_PATH);
        m_path = std::string(dir) + "\\Quillfind.INI";
        HANDLE h =
            ::CreateFileA(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        ::CloseHandle(h);
    }
    ProgramSettings(const ProgramSettings&) = delete;
    ProgramSettings& operator=(const ProgramSettings&) = delete;
    ~ProgramSettings() { ::DeleteFileA(m_path.c_str()); }

    std::string Read() const
    {
        std::string content;
        HANDLE h = ::CreateFileA(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        char buffer[4096];
        DWORD got = 0;
        while (h != INVALID_HANDLE_VALUE && ::ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0)
            content.append(buffer, got);
        if (h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);
        return content;
    }

private:
    std::string m_path;
};

// The real program, driven from outside, so that what it holds is measured
// apart from the test's own doings.
TEST(ReliabilityProgram, TenThousandChangesInARowArePassedOnAndNothingGrows)
{
    const ProgramSettings settings(kSettings);
    // The program inherits where the recorders write.
    const Recorders recorders;
    testutil::EmptyTheClipboard();
    // Joined first, it sits behind the program and hears what it passes on.
    testutil::ChainViewer behind;
    testutil::ChildProcess program(QF_EXE_PATH);
    ASSERT_TRUE(program.Started());
    HWND hWndAgent = nullptr;
    ASSERT_TRUE(testutil::PumpUntil(
        [&] {
            hWndAgent = ::FindWindowA(nullptr, "TORVEN_QUILLFIND");
            return hWndAgent && ::GetClipboardViewer() == hWndAgent;
        },
        10000));

    const struct {
        const char* name;
        bool monitoring;
    } phases[] = {{"monitoring on", true}, {"monitoring off", false}};
    for (const auto& phase : phases) {
        SCOPED_TRACE(phase.name);
        if (!phase.monitoring)
            ::SendMessageA(hWndAgent, WM_TRAYNOTIFY, 1, WM_LBUTTONDOWN);
        Recorders log;
        behind.m_nDraws = 0;

        // Mostly blank copies, which cost no launch; with monitoring on,
        // every thousandth carries a line, so searching is seen to go on.
        Strings expected;
        ProcessUsage warm;
        for (int i = 0; i < 10000; ++i) {
            std::string text = " \t\r\n\r\n";
            if (i % 1000 == 0) {
                text = "change " + std::to_string(i);
                if (phase.monitoring)
                    expected.push_back(Url(text));
            }
            ASSERT_TRUE(testutil::SetClipboard(text)) << i;
            ASSERT_TRUE(testutil::PumpUntil([&] { return behind.m_nDraws > i; })) << "change " << i << " lost";
            if (i == 100)
                warm = testutil::MeasureProcess(program.Handle(), program.Id());
        }
        const ProcessUsage after = testutil::MeasureProcess(program.Handle(), program.Id());

        EXPECT_EQ(10000, behind.m_nDraws);
        EXPECT_EQ(expected, log.Navigated());
        EXPECT_EQ(static_cast<int>(expected.size()), log.CountLines(" released"));
        EXPECT_EQ(Created(log), log.CountLines(" released"));
        EXPECT_LE(after.handles, warm.handles + kHandleSlack);
        EXPECT_LE(after.privateBytes, warm.privateBytes + kMemorySlack);
        EXPECT_LE(after.gdiObjects, warm.gdiObjects);
        EXPECT_LE(after.userObjects, warm.userObjects);
    }

    ASSERT_TRUE(program.Running());
    ::PostMessageA(hWndAgent, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, program.WaitForExit());
    EXPECT_EQ(kSettings, settings.Read());
}

}  // namespace
