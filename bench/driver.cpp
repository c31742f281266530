// Drives Quillfind.exe and the tray baseline from outside: start-up time, idle
// CPU, memory, handles and windows, and changes that fail to travel the chain.
//
//   qf_bench_driver startup PROGRAM BASELINE RUNS [BASELINE_WITH_CALLS]
//       Starts each program RUNS times, in turn, and times CreateProcess
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

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_util.h"
#include "res/resource.h"
#include "tests/support/wine_test_util.h"

namespace {

using bench::Print;
using testutil::PumpUntil, testutil::Text, testutil::Unicode;

// The icon identifier both programs use for their one icon.
constexpr UINT kIconId = 1;

using Usage = std::map<std::string, double>;

// A program under test, started on construction and ended with it.
class Process {
public:
    // Starts the program and waits until its window heads the viewer chain;
    // m_hWnd stays null if it does not within 30 s. The chain is looked at
    // every millisecond, finer than the pump's slices, since the start-up
    // figure ends here; nothing is sent to the driver's windows meanwhile.
    explicit Process(std::string path)
    {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        path = "\"" + path + "\"";
        if (!::CreateProcessA(nullptr, &path[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi))
            return;
        for (const DWORD start = ::GetTickCount(); ::GetTickCount() - start < 30000; ::Sleep(1)) {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(m_hWnd = ::GetClipboardViewer(), &pid);
            if (pid == m_pi.dwProcessId)
                return;
        }
        m_hWnd = nullptr;
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process()
    {
        ::TerminateProcess(m_pi.hProcess, 99);
        ::CloseHandle(m_pi.hThread);
        ::CloseHandle(m_pi.hProcess);
    }

    // Ends the program with WM_CLOSE and says whether it went within 10 s.
    bool Close() const
    {
        ::PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
        return PumpUntil([&] { return ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_OBJECT_0; }, 10000);
    }

    // Wine 8 answers GetProcessTimes, GetProcessHandleCount and
    // GetGuiResources about another process with nothing useful, but keeps
    // the process list right; the top-level and message-only windows the
    // process owns stand in for the USER objects it does not count.
    Usage Measure() const
    {
        Usage usage;
        // Wine lists only its own processes, a few kilobytes; a call that
        // fails leaves one empty entry.
        std::vector<unsigned char> buffer(1 << 20);
        ::NtQuerySystemInformation(SystemProcessInformation, buffer.data(), buffer.size(), nullptr);
        for (size_t offset = 0, next = 1; next != 0; offset += next) {
            const auto* p = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
            if (reinterpret_cast<ULONG_PTR>(p->UniqueProcessId) == m_pi.dwProcessId) {
                usage["cpu_ms"] = static_cast<double>(p->UserTime.QuadPart + p->KernelTime.QuadPart) / 10000.0;
                usage["handles"] = p->HandleCount;
            }
            next = p->NextEntryOffset;
        }
        PROCESS_MEMORY_COUNTERS_EX pmc = {};
        pmc.cb = sizeof pmc;
        // Wine leaves PrivateUsage at 0 and gives the same figure (its
        // resident anonymous memory plus swap) as PagefileUsage.
        ::GetProcessMemoryInfo(m_pi.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc);
        usage["private_kib"] = static_cast<double>(pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage) / 1024.0;
        for (const HWND hWndParent : {HWND(nullptr), HWND_MESSAGE}) {
            for (HWND hWnd = nullptr; (hWnd = ::FindWindowExA(hWndParent, hWnd, nullptr, nullptr)) != nullptr;) {
                DWORD owner = 0;
                ::GetWindowThreadProcessId(hWnd, &owner);
                usage["windows"] += owner == m_pi.dwProcessId;
            }
        }
        return usage;
    }

    void PrintUsage(const std::string& prefix) const
    {
        for (const auto& figure : Measure())
            Print(prefix + "." + figure.first, figure.second);
    }

    PROCESS_INFORMATION m_pi = {};
    HWND m_hWnd = nullptr;
};

// Starts each program in turn and times CreateProcess until it heads the
// chain. Both add their icon before they join, so it must be there by then.
int Startup(const std::vector<std::string>& paths, int runs)
{
    testutil::SetClipboard(std::vector<testutil::ClipData>());
    const std::string names[] = {"program", "baseline", "baseline_calls"};
    const int n = static_cast<int>(paths.size());
    std::vector<int> icons(n);
    int failures = 0;
    std::vector<std::vector<double>> ms(n);
    // In turn, the order changing every round, after one start of each that
    // pays for loading from disk and is not counted.
    for (int i = 0; i < n * (runs + 1); ++i) {
        const int which = (i + i / n) % n;
        const double t0 = bench::NowUs();
        const Process process(paths[which]);
        const double elapsed = (bench::NowUs() - t0) / 1000;
        NOTIFYICONDATAA nid = {};
        nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
        nid.hWnd = process.m_hWnd;
        nid.uID = kIconId;
        const bool bIcon = process.m_hWnd && ::Shell_NotifyIconA(NIM_MODIFY, &nid);
        const bool bClosed = process.m_hWnd && process.Close();
        if (i < n)
            continue;
        icons[which] += bIcon;
        failures += !bClosed;
        if (bClosed)
            ms[which].push_back(elapsed);
    }
    Print("startup.failures", failures);
    for (int which = 0; which < n; ++which) {
        Print("startup." + names[which] + "_ms", bench::Median(ms[which]));
        Print("startup." + names[which] + "_min_ms", bench::Least(ms[which]));
        Print("startup." + names[which] + "_icons", icons[which]);
    }
    return failures == 0 ? 0 : 1;
}

int Resident(const std::string& program, const std::string& baseline, int idleSeconds)
{
    // Keeps the driver's viewers answering for a while.
    const auto pump = [](DWORD ms) { PumpUntil([] { return false; }, ms); };
    testutil::SetClipboard(std::vector<testutil::ClipData>());
    // The chain, front to back: front, program, behind, baseline, last. Each
    // joins in front of those before it.
    testutil::ChainViewer last;
    const Process base(baseline);
    testutil::ChainViewer behind;
    const Process prog(program);
    if (!base.m_hWnd || !prog.m_hWnd)
        return 1;
    // A viewer of the driver's that joins after the program and so heads the
    // chain: Wine tells it of every change first. It runs on a thread of its
    // own, so that Wine's notification stays as asynchronous for it as it was
    // for the program, rather than running inside the driver's CloseClipboard.
    std::atomic<testutil::ChainViewer*> pFront{nullptr};
    std::atomic<bool> bStop{false};
    std::thread front([&] {
        testutil::ChainViewer viewer;
        pFront = &viewer;
        PumpUntil([&] { return bStop.load(); }, INFINITE);
    });
    const auto frontDraws = [&] { return ::InterlockedCompareExchange(&pFront.load()->m_nDraws, 0, 0); };
    PumpUntil([&] { return pFront.load() != nullptr; });
    pump(1000);

    // One change, waited for until it has come all the way down the chain. A
    // change that does not is put down to the first viewer it did not reach
    // by then, and the run goes on.
    long changes = 0, refused = 0, lost = 0, unnotified = 0, lostInProgram = 0;
    const auto change = [&](const std::vector<testutil::ClipData>& clip) {
        const long nFront = frontDraws(), nBehind = behind.m_nDraws, nLast = last.m_nDraws;
        const DWORD nSequence = ::GetClipboardSequenceNumber();
        ++changes;
        if (!PumpUntil([&] { return testutil::SetClipboard(clip); }, 2000))
            ++refused;
        else if (!PumpUntil([&] { return last.m_nDraws > nLast; })) {
            const bool bFront = frontDraws() > nFront, bBehind = behind.m_nDraws > nBehind;
            ++lost;
            unnotified += !bFront;
            lostInProgram += bFront && !bBehind;
            std::fprintf(stderr, "change %ld (clipboard sequence %lu to %lu) not passed on within 5 s; reached the"
                         " front viewer: %s, behind the program: %s\n", changes, nSequence,
                         ::GetClipboardSequenceNumber(), bFront ? "yes" : "no", bBehind ? "yes" : "no");
        }
    };

    prog.PrintUsage("start.program");
    base.PrintUsage("start.baseline");
    pump(static_cast<DWORD>(idleSeconds) * 1000);
    prog.PrintUsage("idled.program");
    base.PrintUsage("idled.baseline");

    // The first copy loads the automation server and warms the caches; what
    // comes after it shows whether anything grows with use.
    // Each copy's text its own, or a copy soon after the same one would be a repeated press.
    for (int copy = 0; copy < 10; ++copy) {
        // "検索" in Shift_JIS: the double-byte paths too.
        const std::string line = "\x8C\x9F\x8D\xF5 bench line " + std::to_string(copy) + "\r\n";
        change({Text(bench::Repeat(line, 100 * line.size()))});
        if (copy == 0) {
            pump(1000);
            prog.PrintUsage("warm.program");
        }
    }
    pump(1000);
    prog.PrintUsage("searched.program");
    base.PrintUsage("searched.baseline");

    // Half the changes with monitoring off, half on with nothing to search:
    // the notification path alone, then with the clipboard read and cut too,
    // its text put there in one form only, ANSI or Unicode by turns, so that
    // the program reads one and makes the other. The last quarter in the
    // double-copy mode, where none of them is a second copy.
    // A left click on the icon flips monitoring; sent rather than posted, as
    // the notifications that follow are sent too and would overtake it.
    const double t0 = bench::NowUs();
    DWORD_PTR result;
    for (int i = 0; i < 10000; ++i) {
        if (i == 0 || i == 5000)
            ::SendMessageTimeoutA(prog.m_hWnd, WM_TRAYNOTIFY, kIconId, WM_LBUTTONDOWN, SMTO_NORMAL, 10000, &result);
        if (i == 5000)
            pump(1000);
        if (i == 5000 || i == 7500)
            prog.PrintUsage(i == 5000 ? "half.program" : "quarter.program");
        if (i == 7500)
            ::WritePrivateProfileStringA("Url Setting", "Search On Double Copy", "1", "Quillfind.INI");
        change({i < 5000 ? Text(i % 2 ? "off a" : "off b") : i % 2 ? Text(" \r\n\t\r\n") : Unicode(u"\r\n")});
    }
    Print("changes.ms", (bench::NowUs() - t0) / 1000 - 1000);
    pump(1000);
    prog.PrintUsage("changed.program");
    base.PrintUsage("changed.baseline");

    // Late changes have arrived by now; what each viewer never got is lost.
    pump(4000);
    const bool bClosed = prog.Close() && base.Close();
    for (const auto& figure : Usage{{"changes", changes}, {"refused", refused}, {"lost", lost},
                                    {"unnotified", unnotified}, {"lost_in_program", lostInProgram},
                                    {"front_draws", frontDraws()}, {"behind_draws", behind.m_nDraws},
                                    {"last_draws", last.m_nDraws}, {"closed", bClosed}})
        Print("resident." + figure.first, figure.second);
    bStop = true;
    front.join();
    return lost == 0 && refused == 0 && bClosed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc >= 5 ? argv[1] : "";
    if (mode == "startup" && argc <= 6) {
        std::vector<std::string> paths = {argv[2], argv[3]};
        if (argc == 6)
            paths.push_back(argv[5]);
        return Startup(paths, std::atoi(argv[4]));
    }
    if (mode == "resident" && argc == 5)
        return Resident(argv[2], argv[3], std::atoi(argv[4]));
    std::fprintf(stderr, "usage: qf_bench_driver startup PROGRAM BASELINE RUNS [BASELINE_WITH_CALLS]\n"
                         "       qf_bench_driver resident PROGRAM BASELINE IDLE_SECONDS\n");
    return 2;
}
