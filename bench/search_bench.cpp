// Search cost in process: clipboard changes through the real agent window and the recording
// automation server, beside the profile reads and automation calls each line needs.
//
//   qf_bench_search REPEATS
//
// Prints "name value" lines on stdout; bench/run turns them into the table.
// Run with FAKE_BROWSER_LOG unset: the double then records nothing and costs
// only its own calls. It is set here for a moment only, to count what happened.
#include <windows.h>
#include <exdisp.h>
#include <ole2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/search_app.h"
#include "framework/win_app.h"
#include "res/resource.h"
#include "search/line_cutter.h"
#include "search/percent_encode.h"

namespace {

// The same size as the program's own buffer for a profile value.
constexpr DWORD kProfileBufferLength = 4096;
constexpr int kCopyLines = 1000;

// Keeps the compiler from dropping a copy whose result is otherwise unused.
volatile size_t g_sink;

double NowUs()
{
    static const double ticksPerUs = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1e6;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / ticksPerUs;
}

void Print(const std::string& name, double value)
{
    std::printf("%s %.6g\n", name.c_str(), value);
    std::fflush(stdout);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Least(const std::vector<double>& v)
{
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

std::string LoadText(UINT nId)
{
    char text[256];
    const int n = ::LoadStringA(::GetModuleHandleA(nullptr), nId, text, sizeof text);
    return std::string(text, n > 0 ? n : 0);
}

// Joins the chain before the agent, so a change reaches it only once the
// agent has done every search and passed the change on.
class Sentinel {
public:
    Sentinel()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "QF_BENCH_SENTINEL";
        ::RegisterClassA(&wc);
        m_hWnd = ::CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
        s_self = this;
        m_hWndNext = ::SetClipboardViewer(m_hWnd);
    }
    Sentinel(const Sentinel&) = delete;
    Sentinel& operator=(const Sentinel&) = delete;
    ~Sentinel()
    {
        ::ChangeClipboardChain(m_hWnd, m_hWndNext);
        ::DestroyWindow(m_hWnd);
        s_self = nullptr;
    }

    long Draws() const { return m_nDraws; }

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        Sentinel* self = s_self;
        if (self && message == WM_DRAWCLIPBOARD) {
            ++self->m_nDraws;
            if (self->m_hWndNext)
                ::SendMessageA(self->m_hWndNext, message, wParam, lParam);
            return 0;
        }
        if (self && message == WM_CHANGECBCHAIN) {
            if (reinterpret_cast<HWND>(wParam) == self->m_hWndNext)
                self->m_hWndNext = reinterpret_cast<HWND>(lParam);
            else if (self->m_hWndNext)
                ::SendMessageA(self->m_hWndNext, message, wParam, lParam);
            return 0;
        }
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    }

    static Sentinel* s_self;
    HWND m_hWnd = nullptr;
    HWND m_hWndNext = nullptr;
    long m_nDraws = 0;
};
Sentinel* Sentinel::s_self;

// Microseconds from the clipboard change (CloseClipboard) until the change
// has passed the agent; negative if it never did. The agent is a window of
// this thread, so Wine notifies it from inside CloseClipboard; the wait below
// only matters if that ever changes.
double TimedChange(const Sentinel& sentinel, const std::string& text)
{
    if (!::OpenClipboard(nullptr))
        return -1;
    ::EmptyClipboard();
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    char* p = static_cast<char*>(::GlobalLock(h));
    std::copy(text.begin(), text.end(), p);
    p[text.size()] = '\0';
    ::GlobalUnlock(h);
    ::SetClipboardData(CF_TEXT, h);

    const long before = sentinel.Draws();
    const double t0 = NowUs();
    ::CloseClipboard();
    const DWORD start = ::GetTickCount();
    while (sentinel.Draws() == before) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
        if (::GetTickCount() - start > 60000)
            return -1;
        if (sentinel.Draws() == before)
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    return NowUs() - t0;
}

// The browser objects the double has made in this process so far, found by
// making one more with its log on for that moment only.
long BrowsersCreated()
{
    char dir[MAX_PATH];
    ::GetTempPathA(MAX_PATH, dir);
    const std::string log = std::string(dir) + "qf_bench_count.log";
    ::DeleteFileA(log.c_str());
    ::SetEnvironmentVariableA("FAKE_BROWSER_LOG", log.c_str());
    IUnknown* unknown = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_InternetExplorer, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                     reinterpret_cast<void**>(&unknown))))
        unknown->Release();
    ::SetEnvironmentVariableA("FAKE_BROWSER_LOG", nullptr);

    long number = -1;
    if (FILE* f = std::fopen(log.c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            std::sscanf(line, "create %ld", &number);
        std::fclose(f);
    }
    ::DeleteFileA(log.c_str());
    return number;
}

// Counts the searches a copy makes: browsers created, less the one counted.
class SearchCounter {
public:
    SearchCounter() : m_before(BrowsersCreated()) {}
    long Searches() const { return BrowsersCreated() - m_before - 1; }

private:
    long m_before;
};

// Exactly the reads one line needs, with the program's own wrapping taken
// away: the current index and the right part, then the index and the left
// part, each key's section, name and default loaded from the resources.
int ReadsForOneLine(const char* pszProfile)
{
    const HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
    char section[256], key[256], fallback[256];
    static char value[kProfileBufferLength];
    int total = 0;
    static const struct {
        UINT nKeyFirst;
        UINT nDefaultFirst;
    } parts[] = {
        {IDS_KEY_RIGHT_FIRST, IDS_DEFAULT_RIGHT_FIRST},
        {IDS_KEY_LEFT_FIRST, IDS_DEFAULT_LEFT_FIRST},
    };
    for (const auto& part : parts) {
        ::LoadStringA(hInstance, IDS_DEFAULT_CURRENT, fallback, sizeof fallback);
        ::LoadStringA(hInstance, IDS_SECTION, section, sizeof section);
        ::LoadStringA(hInstance, IDS_KEY_CURRENT, key, sizeof key);
        int index = static_cast<int>(::GetPrivateProfileIntA(section, key, std::atoi(fallback), pszProfile));
        if (index < 0 || index >= CSearchApp::kSiteCount)
            index = 0;
        ::LoadStringA(hInstance, part.nDefaultFirst + 2 * index, fallback, sizeof fallback);
        ::LoadStringA(hInstance, IDS_SECTION, section, sizeof section);
        ::LoadStringA(hInstance, part.nKeyFirst + 2 * index, key, sizeof key);
        total += static_cast<int>(
            ::GetPrivateProfileStringA(section, key, fallback, value, kProfileBufferLength, pszProfile));
    }
    return total;
}

// Exactly the automation calls one search makes, on strings made beforehand.
HRESULT AutomationForOneLine(BSTR status, VARIANT* url)
{
    static VARIANT missing = [] {
        VARIANT v;
        ::VariantInit(&v);
        v.vt = VT_ERROR;
        v.scode = DISP_E_PARAMNOTFOUND;
        return v;
    }();
    IUnknown* unknown = nullptr;
    HRESULT hr = ::CoCreateInstance(CLSID_InternetExplorer, nullptr,
                                    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                    reinterpret_cast<void**>(&unknown));
    if (FAILED(hr))
        return hr;
    IWebBrowser2* browser = nullptr;
    hr = ::OleRun(unknown);
    if (SUCCEEDED(hr))
        hr = unknown->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser));
    unknown->Release();
    if (FAILED(hr))
        return hr;
    HRESULT failed = S_OK;
    for (const HRESULT step : {browser->put_Offline(VARIANT_FALSE), browser->put_AddressBar(VARIANT_TRUE),
                               browser->put_StatusBar(VARIANT_TRUE), browser->put_StatusText(status),
                               browser->put_Visible(VARIANT_TRUE),
                               browser->Navigate2(url, &missing, &missing, &missing, &missing)}) {
        if (FAILED(step) && SUCCEEDED(failed))
            failed = step;
    }
    browser->Release();
    return failed;
}

// A wide automation string from ANSI text, as the program converts its URLs.
BSTR MakeBstr(const std::string& text)
{
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    BSTR bstr = ::SysAllocStringLen(nullptr, n);
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bstr, n);
    return bstr;
}

// Every key the settings dialog saves, with the built-in values, as a
// settings file looks once the user has saved it.
void WriteSettings(const char* pszProfile)
{
    const std::string section = LoadText(IDS_SECTION);
    ::WritePrivateProfileStringA(section.c_str(), LoadText(IDS_KEY_CURRENT).c_str(),
                                 LoadText(IDS_DEFAULT_CURRENT).c_str(), pszProfile);
    for (int i = 0; i < CSearchApp::kSiteCount; ++i) {
        ::WritePrivateProfileStringA(section.c_str(), LoadText(IDS_KEY_LEFT_FIRST + 2 * i).c_str(),
                                     LoadText(IDS_DEFAULT_LEFT_FIRST + 2 * i).c_str(), pszProfile);
        ::WritePrivateProfileStringA(section.c_str(), LoadText(IDS_KEY_RIGHT_FIRST + 2 * i).c_str(),
                                     LoadText(IDS_DEFAULT_RIGHT_FIRST + 2 * i).c_str(), pszProfile);
        ::WritePrivateProfileStringA(section.c_str(), LoadText(IDS_KEY_NAME_FIRST + i).c_str(),
                                     LoadText(IDS_DEFAULT_NAME_FIRST + i).c_str(), pszProfile);
    }
}

// "検索" in Shift_JIS in every line, so the double-byte paths are taken too.
std::string ShortLines(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "\x8C\x9F\x8D\xF5 query %04d\r\n", i);
        text += line;
    }
    return text;
}

std::string LongLine(size_t bytes)
{
    static const char kPattern[] = "quill \x8C\x9F\x8D\xF5 find ";
    std::string line;
    line.reserve(bytes);
    while (line.size() < bytes)
        line += kPattern;
    line.resize(bytes);
    // Not ending on a lone lead byte or white space: every byte stays in the query.
    line.back() = 'x';
    return line;
}

std::string Url(const std::string& line)
{
    return std::string(theApp.GetCurrentSiteLeft()) + std::string(PercentEncodeAll(CString(line.c_str()))) +
           std::string(theApp.GetCurrentSiteRight());
}

// The program's own per-line pieces, timed alone on every line of a copy:
// cutting and encoding, building the URL, and widening it for automation.
// Nothing here waits on the server, so these resolve the cost per byte even
// where the whole change is too noisy to.
void PrintPieces(const std::string& prefix, const std::string& text, int repeats)
{
    const CString clip(text.c_str());
    const CString left = theApp.GetCurrentSiteLeft();
    const CString right = theApp.GetCurrentSiteRight();
    std::vector<double> cut, format, widen, copy;
    for (int r = 0; r < repeats; ++r) {
        double cutUs = 0, formatUs = 0, widenUs = 0, copyUs = 0;
        CLineCutter cutter(clip);
        for (;;) {
            double t0 = NowUs();
            CString line;
            if (!cutter.Next(line))
                break;
            if (line.IsEmpty())
                continue;
            cutUs += NowUs() - t0;

            // The baseline: the line's bytes copied into new memory, which
            // shows what memory itself costs per byte at this length.
            t0 = NowUs();
            {
                std::unique_ptr<char[]> bytes(new char[static_cast<size_t>(line.GetLength())]);
                std::memcpy(bytes.get(), static_cast<const char*>(line), static_cast<size_t>(line.GetLength()));
                g_sink = static_cast<size_t>(bytes[line.GetLength() / 2]);
            }
            copyUs += NowUs() - t0;

            t0 = NowUs();
            const CString query = PercentEncodeAll(line);
            double t1 = NowUs();
            cutUs += t1 - t0;

            CString url;
            url.Format("%s%s%s", static_cast<const char*>(left), static_cast<const char*>(query),
                       static_cast<const char*>(right));
            t0 = NowUs();
            formatUs += t0 - t1;

            const int n = ::MultiByteToWideChar(CP_ACP, 0, url, url.GetLength() + 1, nullptr, 0);
            const BSTR wide = ::SysAllocStringLen(nullptr, n - 1);
            ::MultiByteToWideChar(CP_ACP, 0, url, url.GetLength() + 1, wide, n);
            ::SysFreeString(wide);
            widenUs += NowUs() - t0;
        }
        cut.push_back(cutUs);
        format.push_back(formatUs);
        widen.push_back(widenUs);
        copy.push_back(copyUs);
    }
    Print(prefix + "cut_encode_us", Median(cut));
    Print(prefix + "format_us", Median(format));
    Print(prefix + "widen_us", Median(widen));
    Print(prefix + "copy_us", Median(copy));
}

// Microseconds per Wine server call, the unit most of the reads and the
// automation server's activation are made of, and the one that varies most
// between runs on the same machine.
double ServerCallUs()
{
    const HANDLE hEvent = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    constexpr int kCalls = 2000;
    const double t0 = NowUs();
    for (int i = 0; i < kCalls; ++i)
        ::SetEvent(hEvent);
    const double elapsed = NowUs() - t0;
    ::CloseHandle(hEvent);
    return elapsed / kCalls;
}

struct Copy {
    std::string name;
    std::string text;
    int lines;
    std::string sample;  // one of its lines, for the automation baseline
    VARIANT url;         // that line's URL
    // Microseconds per round: the whole change with monitoring on and off,
    // then per line the search, the reads, the automation and what is left.
    std::vector<double> on, off, line, reads, automation, own;
};

int Run(int repeats)
{
    ::SetEnvironmentVariableA("FAKE_BROWSER_LOG", nullptr);
    ::SetEnvironmentVariableA("FAKE_BROWSER_FAIL", nullptr);
    ::SetEnvironmentVariableA("FAKE_BROWSER_PUMP_MS", nullptr);
    if (::OpenClipboard(nullptr)) {
        ::EmptyClipboard();
        ::CloseClipboard();
    }
    Print("env.server_call_start_us", ServerCallUs());
    const char* profile = theApp.m_pszProfileName;
    WriteSettings(profile);

    Sentinel sentinel;
    theApp.InitInstance();
    CTrayWnd& agent = theApp.m_wndAgent;
    if (!agent.m_bMonitoring || agent.m_hWndNextViewer == nullptr)
        return 1;

    std::vector<Copy> copies;
    copies.push_back({"short", ShortLines(kCopyLines), kCopyLines, "\x8C\x9F\x8D\xF5 query 0500", {}, {}, {}, {}, {}, {}, {}});
    for (const size_t bytes : {size_t{1} << 10, size_t{1} << 16, size_t{1} << 20}) {
        const std::string line = LongLine(bytes);
        const int lines = static_cast<int>((size_t{4} << 20) / bytes / 4);
        std::string text;
        for (int i = 0; i < lines; ++i)
            text += line + "\r\n";
        copies.push_back({std::to_string(bytes), text, lines, line, {}, {}, {}, {}, {}, {}, {}});
    }

    const BSTR status = MakeBstr("Torven");
    int failures = 0;
    for (Copy& copy : copies) {
        ::VariantInit(&copy.url);
        copy.url.vt = VT_BSTR;
        copy.url.bstrVal = MakeBstr(Url(copy.sample));

        // Once for the count, which also warms every cache; not timed.
        const SearchCounter counter;
        TimedChange(sentinel, copy.text);
        const long searched = counter.Searches();
        Print("search." + copy.name + ".lines", copy.lines);
        Print("search." + copy.name + ".searched", searched);
        failures += searched != copy.lines;
    }

    // Rounds go over every copy in turn, and each figure of a round is taken
    // right beside the others, so a burst of load elsewhere on the machine
    // lands on one round of everything rather than on one figure.
    for (int r = 0; r < repeats; ++r) {
        for (Copy& copy : copies) {
            agent.m_bMonitoring = TRUE;
            const double on = TimedChange(sentinel, copy.text);
            agent.m_bMonitoring = FALSE;
            const double off = TimedChange(sentinel, copy.text);
            agent.m_bMonitoring = TRUE;
            failures += on < 0 || off < 0;

            double t0 = NowUs();
            for (int i = 0; i < copy.lines; ++i)
                ReadsForOneLine(profile);
            const double reads = (NowUs() - t0) / copy.lines;

            t0 = NowUs();
            for (int i = 0; i < copy.lines; ++i)
                failures += FAILED(AutomationForOneLine(status, &copy.url));
            const double automation = (NowUs() - t0) / copy.lines;

            const double line = (on - off) / copy.lines;
            copy.on.push_back(on);
            copy.off.push_back(off);
            copy.line.push_back(line);
            copy.reads.push_back(reads);
            copy.automation.push_back(automation);
            copy.own.push_back(line - reads - automation);
        }
    }

    for (Copy& copy : copies) {
        const std::string prefix = "search." + copy.name + ".";
        Print(prefix + "change_us", Median(copy.on));
        Print(prefix + "change_unwatched_us", Median(copy.off));
        Print(prefix + "line_us", Median(copy.line));
        Print(prefix + "reads_us", Median(copy.reads));
        Print(prefix + "automation_us", Median(copy.automation));
        Print(prefix + "own_us", Median(copy.own));
        // The least disturbed round of each figure, as a check when the machine is busy.
        Print(prefix + "own_least_us", Least(copy.line) - Least(copy.reads) - Least(copy.automation));
        Print(prefix + "reads_least_us", Least(copy.reads));
        Print(prefix + "url_bytes", static_cast<double>(Url(copy.sample).size()));
        PrintPieces(prefix, copy.text, repeats);
        ::VariantClear(&copy.url);
    }
    ::SysFreeString(status);
    Print("search.failures", failures);
    Print("env.server_call_end_us", ServerCallUs());

    agent.SendMessage(WM_CLOSE);
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!AfxWinInit(::GetModuleHandleA(nullptr)))
        return 1;
    return Run(argc > 1 ? std::max(1, std::atoi(argv[1])) : 5);
}
