// Drives Quillfind.exe and the tray baseline from outside: start-up time, idle CPU, memory and handles.
//
//   qf_bench_driver startup PROGRAM BASELINE RUNS
//       Starts each program RUNS times, alternating, and times CreateProcess
//       until the program's window heads the clipboard viewer chain.
//   qf_bench_driver resident PROGRAM BASELINE IDLE_SECONDS
//       Starts both for good, lets them idle, then makes ten 100-line copies
//       and 10,000 clipboard changes, and samples both processes in between.
//
// Prints "name value" lines on stdout; bench/run turns them into the table.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "res/resource.h"

namespace {

// The icon identifier both programs use for their one icon.
constexpr UINT kIconId = 1;

double NowMs()
{
    static const double ticksPerMs = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / ticksPerMs;
}

void Print(const char* name, double value)
{
    std::printf("%s %.6g\n", name, value);
    std::fflush(stdout);
}

// The programs under test send clipboard notifications on to our window and
// wait for it, so every wait here keeps our messages flowing.
template <class Done>
bool PumpUntil(Done done, DWORD timeoutMs, DWORD sliceMs = 1)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
        if (done())
            return true;
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, sliceMs, QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms, 50);
}

bool SetClipboardText(const std::string& text)
{
    for (int attempt = 0; !::OpenClipboard(nullptr); ++attempt) {
        if (attempt == 200)
            return false;
        PumpFor(10);
    }
    ::EmptyClipboard();
    if (!text.empty()) {
        HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
        char* p = static_cast<char*>(::GlobalLock(h));
        std::copy(text.begin(), text.end(), p);
        p[text.size()] = '\0';
        ::GlobalUnlock(h);
        ::SetClipboardData(CF_TEXT, h);
    }
    return ::CloseClipboard() != FALSE;
}

class Process {
public:
    explicit Process(const std::string& path)
    {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        std::string command = "\"" + path + "\"";
        m_started = ::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process()
    {
        if (!m_started)
            return;
        if (::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT)
            ::TerminateProcess(m_pi.hProcess, 99);
        ::CloseHandle(m_pi.hThread);
        ::CloseHandle(m_pi.hProcess);
    }

    bool Started() const { return m_started != FALSE; }
    HANDLE Handle() const { return m_pi.hProcess; }
    DWORD Id() const { return m_pi.dwProcessId; }

    // The process's window if it heads the viewer chain, or null.
    HWND ChainHead() const
    {
        const HWND hWnd = ::GetClipboardViewer();
        DWORD pid = 0;
        if (hWnd)
            ::GetWindowThreadProcessId(hWnd, &pid);
        return pid == m_pi.dwProcessId ? hWnd : nullptr;
    }

    // Ends the program with WM_CLOSE and says whether it went within 10 s.
    bool Close(HWND hWnd) const
    {
        ::PostMessageA(hWnd, WM_CLOSE, 0, 0);
        return PumpUntil([&] { return ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_OBJECT_0; }, 10000);
    }

private:
    PROCESS_INFORMATION m_pi = {};
    BOOL m_started = FALSE;
};

bool HasTrayIcon(HWND hWnd)
{
    NOTIFYICONDATAA nid = {};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = hWnd;
    nid.uID = kIconId;
    return ::Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Milliseconds from CreateProcess until the program heads the chain; it has
// added its icon by then, as both add it before joining. Negative on failure.
double StartOnce(const std::string& path, int& iconsSeen)
{
    const double t0 = NowMs();
    Process process(path);
    if (!process.Started())
        return -1;
    HWND hWnd = nullptr;
    if (!PumpUntil([&] { return (hWnd = process.ChainHead()) != nullptr; }, 30000))
        return -1;
    const double elapsed = NowMs() - t0;
    iconsSeen += HasTrayIcon(hWnd);
    return process.Close(hWnd) ? elapsed : -1;
}

int Startup(const std::string& program, const std::string& baseline, int runs)
{
    SetClipboardText("");
    int programIcons = 0, baselineIcons = 0, failures = 0;
    // The first start of each pays for loading from disk; it is not counted.
    StartOnce(program, programIcons);
    StartOnce(baseline, baselineIcons);
    programIcons = baselineIcons = 0;

    std::vector<double> programMs, baselineMs;
    for (int i = 0; i < runs; ++i) {
        for (int j = 0; j < 2; ++j) {
            const bool programTurn = (i + j) % 2 == 0;
            const double ms = programTurn ? StartOnce(program, programIcons) : StartOnce(baseline, baselineIcons);
            if (ms < 0)
                ++failures;
            else
                (programTurn ? programMs : baselineMs).push_back(ms);
        }
    }
    Print("startup.runs", runs);
    Print("startup.failures", failures);
    Print("startup.program_ms", Median(programMs));
    Print("startup.baseline_ms", Median(baselineMs));
    Print("startup.program_min_ms", programMs.empty() ? 0 : *std::min_element(programMs.begin(), programMs.end()));
    Print("startup.baseline_min_ms", baselineMs.empty() ? 0 : *std::min_element(baselineMs.begin(), baselineMs.end()));
    Print("startup.program_icons", programIcons);
    Print("startup.baseline_icons", baselineIcons);
    return failures == 0 ? 0 : 1;
}

// A clipboard viewer in the driver that counts what reaches it and passes
// everything on, as a viewer must.
class CountingViewer {
public:
    CountingViewer()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "QF_BENCH_DRIVER";
        ::RegisterClassA(&wc);
        m_hWnd = ::CreateWindowExA(0, wc.lpszClassName, wc.lpszClassName, 0, 0, 0, 0, 0, nullptr, nullptr,
                                   wc.hInstance, this);
        m_hWndNext = ::SetClipboardViewer(m_hWnd);
    }
    CountingViewer(const CountingViewer&) = delete;
    CountingViewer& operator=(const CountingViewer&) = delete;
    ~CountingViewer()
    {
        ::ChangeClipboardChain(m_hWnd, m_hWndNext);
        ::DestroyWindow(m_hWnd);
    }

    long Draws() const { return m_nDraws; }

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE)
            ::SetWindowLongPtrA(hWnd, GWLP_USERDATA,
                                reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        auto* self = reinterpret_cast<CountingViewer*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
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
        if (message == WM_NCDESTROY)
            ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    }

    HWND m_hWnd = nullptr;
    HWND m_hWndNext = nullptr;
    long m_nDraws = 0;
};

// The last viewer in the chain, joined before both programs: a change reaches
// it only after both have handled it and passed it on.
class LastViewer : public CountingViewer {
public:
    // Makes one clipboard change and waits until it has come all the way down the chain.
    bool Change(const std::string& text)
    {
        const long before = Draws();
        ++m_nChanges;
        if (!SetClipboardText(text)) {
            ++m_nRefused;
            return false;
        }
        // A change that does not arrive is counted, and the run goes on.
        const double t0 = NowMs();
        if (!PumpUntil([&] { return Draws() > before; }, 5000)) {
            std::fprintf(stderr, "change %ld: not passed on within %.0f ms\n", m_nChanges, NowMs() - t0);
            if (m_onLate)
                m_onLate();
            ++m_nLost;
            return false;
        }
        return true;
    }

    long Refused() const { return m_nRefused; }
    long Lost() const { return m_nLost; }

    std::function<void()> m_onLate;

private:
    long m_nRefused = 0;
    long m_nChanges = 0;
    long m_nLost = 0;
};

struct Sample {
    double privateKiB;
    double handles;
    double windows;
    double gdiObjects;
    double userObjects;
    double cpuMs;
};

// What the system's process list says of one process: Wine 8 answers
// GetProcessTimes and GetProcessHandleCount for other processes with nothing
// useful, but keeps this list right.
struct ListedProcess {
    double cpuMs = 0;
    double handles = 0;
};

ListedProcess FindListed(DWORD pid)
{
    ListedProcess found;
    std::vector<unsigned char> buffer(1 << 20);
    ULONG needed = 0;
    NTSTATUS status;
    while ((status = ::NtQuerySystemInformation(SystemProcessInformation, buffer.data(),
                                                static_cast<ULONG>(buffer.size()), &needed)) ==
           static_cast<NTSTATUS>(0xC0000004L))
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed));
    if (status < 0)
        return found;
    for (size_t offset = 0;;) {
        const auto* p = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
        if (reinterpret_cast<ULONG_PTR>(p->UniqueProcessId) == pid) {
            found.cpuMs = static_cast<double>(p->UserTime.QuadPart + p->KernelTime.QuadPart) / 10000.0;
            found.handles = p->HandleCount;
            return found;
        }
        if (p->NextEntryOffset == 0)
            return found;
        offset += p->NextEntryOffset;
    }
}

struct WindowCount {
    DWORD pid;
    int n;
};

BOOL CALLBACK CountChild(HWND, LPARAM lParam)
{
    ++reinterpret_cast<WindowCount*>(lParam)->n;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND hWnd, LPARAM lParam)
{
    auto* count = reinterpret_cast<WindowCount*>(lParam);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hWnd, &owner);
    if (owner == count->pid) {
        ++count->n;
        ::EnumChildWindows(hWnd, CountChild, lParam);
    }
    return TRUE;
}

// Windows the process owns: top-level ones, their children and message-only
// ones. Wine counts no USER objects, so this is the nearest figure it gives.
int CountWindows(DWORD pid)
{
    WindowCount count = {pid, 0};
    ::EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&count));
    for (HWND hWnd = nullptr; (hWnd = ::FindWindowExA(HWND_MESSAGE, hWnd, nullptr, nullptr)) != nullptr;) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(hWnd, &owner);
        count.n += owner == pid;
    }
    return count.n;
}

Sample Measure(const Process& process)
{
    Sample s = {};
    const ListedProcess listed = FindListed(process.Id());
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof pmc;
    if (::GetProcessMemoryInfo(process.Handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc)) {
        // Wine leaves PrivateUsage at 0 here and gives the same figure (its
        // resident anonymous memory plus swap) as PagefileUsage.
        s.privateKiB = static_cast<double>(pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage) / 1024.0;
    }
    DWORD handles = 0;
    ::GetProcessHandleCount(process.Handle(), &handles);
    s.handles = handles ? handles : listed.handles;
    s.windows = CountWindows(process.Id());
    s.gdiObjects = ::GetGuiResources(process.Handle(), GR_GDIOBJECTS);
    s.userObjects = ::GetGuiResources(process.Handle(), GR_USEROBJECTS);
    s.cpuMs = listed.cpuMs;
    return s;
}

void PrintSample(const std::string& prefix, const Sample& s)
{
    Print((prefix + ".private_kib").c_str(), s.privateKiB);
    Print((prefix + ".handles").c_str(), s.handles);
    Print((prefix + ".windows").c_str(), s.windows);
    Print((prefix + ".gdi").c_str(), s.gdiObjects);
    Print((prefix + ".user").c_str(), s.userObjects);
    Print((prefix + ".cpu_ms").c_str(), s.cpuMs);
}

std::string Lines(int count, int copy)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        char line[64];
        // "検索" in Shift_JIS, so every line also goes through the double-byte paths.
        std::snprintf(line, sizeof line, "\x8C\x9F\x8D\xF5 bench %d-%03d\r\n", copy, i);
        text += line;
    }
    return text;
}

// A left click on the icon, as the shell reports it: monitoring flips. Sent
// rather than posted, since the clipboard notifications that follow are sent
// too and would otherwise overtake it.
void ClickTrayIcon(HWND hWnd)
{
    DWORD_PTR result;
    ::SendMessageTimeoutA(hWnd, WM_TRAYNOTIFY, kIconId, WM_LBUTTONDOWN, SMTO_NORMAL, 10000, &result);
}

int Resident(const std::string& program, const std::string& baseline, int idleSeconds)
{
    SetClipboardText("");
    LastViewer viewer;
    Process base(baseline);
    HWND hWndBase = nullptr;
    if (!base.Started() || !PumpUntil([&] { return (hWndBase = base.ChainHead()) != nullptr; }, 30000))
        return 1;
    // Right behind the program: tells whether a change that goes missing got past it.
    CountingViewer behindProgram;
    Process prog(program);
    HWND hWndProg = nullptr;
    if (!prog.Started() || !PumpUntil([&] { return (hWndProg = prog.ChainHead()) != nullptr; }, 30000))
        return 1;
    PumpFor(1000);

    // Who holds things up when a change is late: a program that does not
    // answer, or whoever has the clipboard open.
    viewer.m_onLate = [&] {
        auto answers = [](HWND hWnd) {
            DWORD_PTR result;
            return ::SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_NORMAL, 200, &result) != 0;
        };
        DWORD openBy = 0, owner = 0;
        if (const HWND hWndOpen = ::GetOpenClipboardWindow())
            ::GetWindowThreadProcessId(hWndOpen, &openBy);
        if (const HWND hWndOwner = ::GetClipboardOwner())
            ::GetWindowThreadProcessId(hWndOwner, &owner);
        std::fprintf(stderr, "  program answers %d, baseline answers %d; clipboard open by %lu, owned by %lu"
                             " (program %lu, baseline %lu, driver %lu); behind the program %ld, at the end %ld\n",
                     answers(hWndProg), answers(hWndBase), openBy, owner, prog.Id(), base.Id(),
                     ::GetCurrentProcessId(), behindProgram.Draws(), viewer.Draws());
    };

    PrintSample("start.program", Measure(prog));
    PrintSample("start.baseline", Measure(base));

    const Sample idleFromProg = Measure(prog);
    const Sample idleFromBase = Measure(base);
    PumpFor(static_cast<DWORD>(idleSeconds) * 1000);
    Print("idle.seconds", idleSeconds);
    Print("idle.program_cpu_ms", Measure(prog).cpuMs - idleFromProg.cpuMs);
    Print("idle.baseline_cpu_ms", Measure(base).cpuMs - idleFromBase.cpuMs);

    // The first copy loads the automation server and warms the caches; what
    // comes after it shows whether anything grows with use.
    int failures = !viewer.Change(Lines(100, 0));
    PumpFor(1000);
    PrintSample("warm.program", Measure(prog));
    for (int copy = 1; copy < 10; ++copy)
        failures += !viewer.Change(Lines(100, copy));
    PumpFor(1000);
    PrintSample("searched.program", Measure(prog));
    PrintSample("searched.baseline", Measure(base));

    // Half the changes with monitoring off, half on with nothing to search:
    // the notification path alone, then with the clipboard read and cut too.
    const double t0 = NowMs();
    ClickTrayIcon(hWndProg);
    for (int i = 0; i < 5000; ++i)
        failures += !viewer.Change(i % 2 ? "off a" : "off b");
    ClickTrayIcon(hWndProg);
    PumpFor(1000);
    PrintSample("half.program", Measure(prog));
    for (int i = 0; i < 5000; ++i) {
        failures += !viewer.Change(i % 2 ? " \r\n\t\r\n" : "\r\n");
        if (i == 2499)
            PrintSample("quarter.program", Measure(prog));
    }
    Print("changes.count", 10000);
    Print("changes.ms", NowMs() - t0 - 1000);
    PumpFor(1000);
    PrintSample("changed.program", Measure(prog));
    PrintSample("changed.baseline", Measure(base));
    Print("resident.failures", failures);
    Print("resident.refused", viewer.Refused());
    Print("resident.lost", viewer.Lost());
    Print("resident.draws", viewer.Draws());
    Print("resident.draws_behind_program", behindProgram.Draws());

    const bool closed = prog.Close(hWndProg) && base.Close(hWndBase);
    Print("resident.closed", closed);
    return failures == 0 && closed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "startup")
        return Startup(argv[2], argv[3], std::atoi(argv[4]));
    if (argc == 5 && std::string(argv[1]) == "resident")
        return Resident(argv[2], argv[3], std::atoi(argv[4]));
    std::fprintf(stderr, "usage: qf_bench_driver startup|resident PROGRAM BASELINE RUNS|IDLE_SECONDS\n");
    return 2;
}
