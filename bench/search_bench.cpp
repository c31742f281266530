// Search cost in process: clipboard changes through the real agent window and
// the recording automation server, beside the profile reads and automation
// calls each line needs, under every settings file on the same copies.
//
//   qf_bench_search REPEATS LAUNCHER
//
// LAUNCHER (bench/launcher.cpp), copied as chrome.exe and made the https
// handler, stands in for the user's default browser on its road.
//
// Prints "name value" lines on stdout, "search.SETTINGS.COPY.FIGURE" for the
// copies; bench/run turns them into the table. Run with FAKE_BROWSER_* unset:
// the double's log then stays off, so that it costs only its own calls, but
// for one untimed change of each copy, which counts the searches made.
#include <windows.h>
#include <exdisp.h>
#include <ole2.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/search_app.h"
#include "bench/bench_util.h"
#include "framework/holders.h"
#include "res/resource.h"
#include "search/clipboard_search.h"
#include "search/clipboard_text.h"
#include "search/line_cutter.h"
#include "search/percent_encode.h"
#include "search/unicode_lines.h"
#include "tests/support/wine_test_util.h"

namespace {

using bench::NowUs;

// Keeps the compiler from dropping work whose result is otherwise unused.
volatile size_t g_sink;

// A settings file to measure the search with. It lies in the Windows folder,
// as the program's own does, and the program reads it instead of its own
// while this file's copies are measured.
// Its current site is the first, of the encoding given.
struct Settings {
    const char* pszName;
    const char* pszFile;
    const char* pszEncoding;
};
const Settings kSettings[] = {{"ansi", "qf_bench_ansi.INI", ""}, {"utf8", "qf_bench_utf8.INI", "UTF-8"}};

// Every key the settings dialog saves, with the built-in values, as a file
// looks once the user has saved it; and no question before many searches,
// which would wait for an answer in the middle of the figure.
void WriteSettings(const Settings& settings)
{
    theApp.m_pszProfileName = settings.pszFile;
    theApp.WriteSettingString(IDS_SECTION, IDS_KEY_SEARCHES_BEFORE_ASKING, "0");
    theApp.SetCurrentSiteIndex(0);
    theApp.SetSiteUtf8(0, *settings.pszEncoding != '\0');
    for (int i = 0; i < CSearchApp::kSiteCount; ++i) {
        theApp.SetSiteLeft(i, theApp.GetSiteLeft(i));
        theApp.SetSiteRight(i, theApp.GetSiteRight(i));
        theApp.SetSiteName(i, theApp.GetSiteName(i));
    }
}

// Exactly the reads one line needs, with the program's own wrapping taken
// away: the current index and the encoding (and the text "UTF-8" to compare
// it with), the index and the right part, then the index and the left part,
// each key's section, name and default loaded from the resources; and the
// choice of the default browser.
void ReadsForOneLine(const Settings& settings)
{
    const HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
    char section[256], key[256], fallback[256];
    static char value[4096];  // the program's own buffer for a value
    static const UINT parts[][3] = {{IDS_KEY_ENCODING_FIRST, 0, 1},
                                    {IDS_KEY_RIGHT_FIRST, IDS_DEFAULT_RIGHT_FIRST, 2},
                                    {IDS_KEY_LEFT_FIRST, IDS_DEFAULT_LEFT_FIRST, 2}};
    for (const auto& part : parts) {
        ::LoadStringA(hInstance, IDS_DEFAULT_CURRENT, fallback, sizeof fallback);
        ::LoadStringA(hInstance, IDS_SECTION, section, sizeof section);
        ::LoadStringA(hInstance, IDS_KEY_CURRENT, key, sizeof key);
        UINT nIndex = ::GetPrivateProfileIntA(section, key, std::atoi(fallback), settings.pszFile);
        nIndex = nIndex < static_cast<UINT>(CSearchApp::kSiteCount) ? nIndex : 0;
        ::LoadStringA(hInstance, part[1] ? part[1] + part[2] * nIndex : IDS_ENCODING_UTF8, fallback, sizeof fallback);
        ::LoadStringA(hInstance, IDS_SECTION, section, sizeof section);
        ::LoadStringA(hInstance, part[0] + part[2] * nIndex, key, sizeof key);
        ::GetPrivateProfileStringA(section, key, part[1] ? fallback : "", value, sizeof value, settings.pszFile);
    }
    ::LoadStringA(hInstance, IDS_SECTION, section, sizeof section);
    ::LoadStringA(hInstance, IDS_KEY_USE_DEFAULT_BROWSER, key, sizeof key);
    ::GetPrivateProfileStringA(section, key, "", value, sizeof value, settings.pszFile);
}

// Exactly the automation calls one search makes, on strings made beforehand.
HRESULT AutomationForOneLine(BSTR status, VARIANT* url)
{
    CVariant missing;
    missing.get()->vt = VT_ERROR;
    missing.get()->scode = DISP_E_PARAMNOTFOUND;
    CComRef<IUnknown> unknown;
    CComRef<IWebBrowser2> browser;
    HRESULT hr = ::CoCreateInstance(CLSID_InternetExplorer, nullptr,
                                    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                    reinterpret_cast<void**>(unknown.Receive()));
    if (SUCCEEDED(hr) && SUCCEEDED(hr = ::OleRun(unknown.get())))
        hr = unknown.get()->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(browser.Receive()));
    if (FAILED(hr))
        return hr;
    unknown.reset();
    IWebBrowser2* b = browser.get();
    for (const HRESULT step : {b->put_Offline(VARIANT_FALSE), b->put_AddressBar(VARIANT_TRUE),
                               b->put_StatusBar(VARIANT_TRUE), b->put_StatusText(status), b->put_Visible(VARIANT_TRUE),
                               b->Navigate2(url, missing.get(), missing.get(), missing.get(), missing.get())})
        hr = FAILED(hr) ? hr : step;
    return hr;
}

// Microseconds from the copy until the agent has searched it, or -1. The
// agent is a window of this thread, so Wine notifies it from inside
// CloseClipboard, and it passes the change on to the sentinel at once; the
// searches come from a message it posts itself, which the pump runs before
// it looks at the sentinel.
double TimedChange(const testutil::ChainViewer& sentinel, const std::string& text)
{
    const long before = sentinel.m_nDraws;
    const double t0 = NowUs();
    if (!testutil::SetClipboard(text) || !testutil::PumpUntil([&] { return sentinel.m_nDraws > before; }, 60000))
        return -1;
    return NowUs() - t0;
}

// One copy under one settings file, with its figures round by round, in microseconds.
struct Measurement {
    const Settings& settings;
    std::string name, text;
    CString sample;  // one of its lines, for the automation calls' URL
    int lines;
    std::map<std::string, std::vector<double>> rounds;

    std::string Prefix() const { return std::string("search.") + settings.pszName + "." + name + "."; }
    void Add(const char* pszFigure, double us) { rounds[pszFigure].push_back(us); }
};

// The program's own pieces of each line, timed alone on every line of a copy:
// cutting both forms of the text (the Unicode one made from the ANSI one, as
// for a copy that has only that) and making the query in the site's encoding,
// formatting the URL, and widening it for automation. None waits on the
// server, so they resolve the cost per byte even where the whole change is too
// noisy to. Beside them, the line's bytes copied into new memory: what memory
// itself costs per byte at this length.
void TimePieces(Measurement& m)
{
    const CString clip(m.text.c_str()), left = theApp.GetCurrentSiteLeft(), right = theApp.GetCurrentSiteRight();
    const bool bUtf8 = *m.settings.pszEncoding != '\0';
    double cut = 0, format = 0, widen = 0, memory = 0, t = NowUs();
    const auto lap = [&t](double& sum) {
        const double now = NowUs();
        sum += now - t;
        t = now;
    };
    const CWideBuffer wide = AnsiToUtf16(clip);
    CLineCutter cutter(clip);
    CUnicodeLineCutter wideCutter(wide.data(), wide.size());
    const char16_t* pWide;
    int nWide;
    for (CString line; cutter.Next(line) && wideCutter.Next(pWide, nWide); t = NowUs()) {
        if (line.IsEmpty())
            continue;
        lap(cut);
        g_sink = static_cast<size_t>(std::string(line, static_cast<size_t>(line.GetLength()))[line.GetLength() / 2]);
        lap(memory);
        if (!bUtf8)
            g_sink = AnsiHolds(pWide, nWide);
        const CString query = bUtf8 ? PercentEncodeAll(Utf16ToUtf8(pWide, nWide)) : PercentEncodeAll(line);
        lap(cut);
        CString url;
        url.Format("%s%s%s", static_cast<const char*>(left), static_cast<const char*>(query),
                   static_cast<const char*>(right));
        lap(format);
        g_sink = ::SysStringLen(MakeBstr(url).get());
        lap(widen);
    }
    m.Add("cut_encode_us", cut);
    m.Add("format_us", format);
    m.Add("widen_us", widen);
    m.Add("copy_us", memory);

    // What a copy costs before any window opens when the program may have to
    // ask: its searches counted, the site's encoding read once.
    const CClipboardText text = {clip, AnsiToUtf16(clip)};
    t = NowUs();
    g_sink = static_cast<size_t>(CountSearches(text));
    m.Add("count_us", NowUs() - t);
}

// One round of a copy under its settings file: the whole change with
// monitoring on and off, and right beside them the reads and automation
// calls its lines need and the program's own pieces. Returns the failures.
int MeasureRound(Measurement& m, const testutil::ChainViewer& sentinel, CTrayWnd& agent)
{
    theApp.m_pszProfileName = m.settings.pszFile;
    const CBstr status = MakeBstr("Torven");
    CVariant url;
    url.get()->vt = VT_BSTR;
    url.get()->bstrVal =
        MakeBstr(theApp.GetCurrentSiteLeft() + PercentEncodeAll(m.sample) + theApp.GetCurrentSiteRight()).release();
    agent.m_bMonitoring = TRUE;
    const double on = TimedChange(sentinel, m.text);
    agent.m_bMonitoring = FALSE;
    const double off = TimedChange(sentinel, m.text);
    agent.m_bMonitoring = TRUE;
    int failures = on < 0 || off < 0;
    const auto perLine = [&m](const auto& work) {
        const double t0 = NowUs();
        for (int i = 0; i < m.lines; ++i)
            work();
        return (NowUs() - t0) / m.lines;
    };
    const double reads = perLine([&] { ReadsForOneLine(m.settings); });
    const double automation = perLine([&] { failures += FAILED(AutomationForOneLine(status.get(), url.get())); });
    // Per line: the search, and what is left of it once the reads and the
    // automation calls are taken away, the program's own work.
    m.Add("change_us", on);
    m.Add("change_unwatched_us", off);
    m.Add("line_us", (on - off) / m.lines);
    m.Add("reads_us", reads);
    m.Add("automation_us", automation);
    TimePieces(m);
    // The searches are counted only where a question may follow; the
    // settings here ask none, so the count is added from its own timing.
    m.Add("own_us", (on - off) / m.lines - reads - automation + m.rounds["count_us"].back() / m.lines);
    return failures;
}

// The own-browser road: a copy of 15 lines to the last of its launchers,
// each taking about 100 ms to hand its address over and waited for before
// the next starts, so that the windows open in line order. Beside it, the
// floor: the same launcher started 15 times by the bench, each waited for.
// Returns the failures: launches that did not arrive in line order.
int MeasureOwnBrowser(const testutil::ChainViewer& sentinel, const std::string& launcher, int repeats)
{
    char dir[MAX_PATH];
    ::GetTempPathA(MAX_PATH, dir);
    const std::string browser = dir + std::string("chrome.exe"), command = "\"" + browser + "\" \"%1\"";
    ::CopyFileA(launcher.c_str(), browser.c_str(), FALSE);
    ::RegSetValueA(HKEY_LOCAL_MACHINE, "Software\\Classes\\https\\shell\\open\\command", REG_SZ, command.c_str(),
                   static_cast<DWORD>(command.size()));
    theApp.m_pszProfileName = "qf_bench_browser.INI";
    theApp.WriteSettingString(IDS_SECTION, IDS_KEY_SEARCHES_BEFORE_ASKING, "0");
    theApp.SetDefaultBrowserUsed(TRUE);
    std::string text;
    for (int i = 10; i < 25; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    const std::string log = testutil::FreshFile("qf_bench_launcher.log");
    ::SetEnvironmentVariableA("QF_BENCH_LAUNCHER_LOG", log.c_str());
    std::vector<double> copy, floor;
    int failures = 0;
    for (int r = 0; r < repeats; ++r) {
        ::DeleteFileA(log.c_str());
        copy.push_back(TimedChange(sentinel, text) / 1000);
        const std::vector<std::string> arrived = testutil::ReadLines(log);
        for (size_t i = 0; i < 15; ++i) {
            const CString query = PercentEncodeAll(("line " + std::to_string(10 + i)).c_str());
            failures += i >= arrived.size() || arrived[i].find(static_cast<const char*>(query)) == std::string::npos;
        }
        const double t0 = NowUs();
        for (int i = 0; i < 15; ++i) {
            STARTUPINFOA si = {};
            si.cb = sizeof si;
            PROCESS_INFORMATION pi = {};
            std::string line = "\"" + browser + "\" --new-window \"http://q/\"";
            if (::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
                ::WaitForSingleObject(pi.hProcess, INFINITE);
                ::CloseHandle(pi.hThread);
                ::CloseHandle(pi.hProcess);
            }
        }
        floor.push_back((NowUs() - t0) / 1000);
    }
    bench::Print("browser.copy_ms", bench::Median(copy));
    bench::Print("browser.floor_ms", bench::Median(floor));
    bench::Print("browser.failures", failures);
    return failures;
}

// Microseconds per Wine server call, the unit most of the reads and the
// automation server's activation are made of, and the one that varies most
// between runs on the same machine.
double ServerCallUs()
{
    static const HANDLE hEvent = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const double t0 = NowUs();
    for (int i = 0; i < 2000; ++i)
        ::SetEvent(hEvent);
    return (NowUs() - t0) / 2000;
}

int Run(int repeats, const std::string& launcher)
{
    testutil::SetClipboard(std::vector<testutil::ClipData>());
    bench::Print("env.server_call_start_us", ServerCallUs());
    // Joined before the agent, so a change reaches it once the agent has read it.
    const testutil::ChainViewer sentinel;
    theApp.InitInstance();
    CTrayWnd& agent = theApp.m_wndAgent;
    if (!agent.m_bMonitoring || agent.m_hWndNextViewer == nullptr)
        return 1;

    // A thousand short lines with "検索" in Shift_JIS, so that the double-byte
    // paths are taken too, then 1 MiB made of ever longer lines.
    std::vector<Measurement> measurements;
    const std::string query = "\x8C\x9F\x8D\xF5 query 0500";
    for (const Settings& settings : kSettings) {
        WriteSettings(settings);
        // Long lines under the first settings only: their cost per byte does not depend on the encoding.
        for (const size_t bytes : {size_t{0}, size_t{1} << 10, size_t{1} << 16, size_t{1} << 20}) {
            if (bytes && &settings != kSettings)
                continue;
            const std::string line = bytes ? bench::Repeat("quill \x8C\x9F\x8D\xF5 find ", bytes) : query;
            const int lines = bytes ? static_cast<int>((size_t{1} << 20) / bytes) : 1000;
            measurements.push_back({settings, bytes ? std::to_string(bytes) : "short",
                                    bench::Repeat(line + "\r\n", lines * (line.size() + 2)), line.c_str(), lines, {}});
        }
    }

    // Once with the double's log on, to count the searches made, which also
    // warms every cache; not timed.
    int failures = 0;
    for (const Measurement& m : measurements) {
        const std::string log = testutil::FreshFile("qf_bench_search.log");
        theApp.m_pszProfileName = m.settings.pszFile;
        ::SetEnvironmentVariableA("FAKE_BROWSER_LOG", log.c_str());
        int searched = TimedChange(sentinel, m.text) < 0 ? -1 : 0;
        ::SetEnvironmentVariableA("FAKE_BROWSER_LOG", nullptr);
        for (const std::string& line : testutil::ReadLines(log))
            searched += line.find(" Navigate2 ") != std::string::npos;
        bench::Print(m.Prefix() + "lines", m.lines);
        bench::Print(m.Prefix() + "searched", searched);
        failures += searched != m.lines;
    }
    // Rounds go over every copy in turn, and each figure of a round is taken
    // right beside the others, so a burst of load elsewhere on the machine
    // lands on one round of everything rather than on one figure.
    for (int r = 0; r < repeats; ++r) {
        for (Measurement& m : measurements)
            failures += MeasureRound(m, sentinel, agent);
    }
    for (const Measurement& m : measurements) {
        for (const auto& figure : m.rounds)
            bench::Print(m.Prefix() + figure.first, bench::Median(figure.second));
    }
    bench::Print("search.failures", failures);
    failures += MeasureOwnBrowser(sentinel, launcher, repeats);
    bench::Print("env.server_call_end_us", ServerCallUs());
    agent.SendMessage(WM_CLOSE);
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!AfxWinInit(::GetModuleHandleA(nullptr)))
        return 1;
    if (argc != 3)
        return 2;
    return Run(std::max(1, std::atoi(argv[1])), argv[2]);
}
