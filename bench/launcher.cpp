// Stand-in for a browser's launcher on the own-browser road: it takes 50 to 150 ms, about 100 on the
// whole, to hand its address over, then appends its command line's arguments as one line to the file
// that QF_BENCH_LAUNCHER_LOG names, and ends. Launchers started back to back would overtake each other.
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::srand(::GetTickCount() ^ ::GetCurrentProcessId());
    ::Sleep(50 + std::rand() % 101);
    char log[MAX_PATH];
    if (!::GetEnvironmentVariableA("QF_BENCH_LAUNCHER_LOG", log, sizeof log))
        return 2;
    // What follows the program's own name, quoted or not.
    const char* p = ::GetCommandLineA();
    const char end = *p == '"' ? '"' : ' ';
    for (++p; *p && *p != end; ++p) {
    }
    while (*p == '"' || *p == ' ')
        ++p;
    char line[4096];
    const int n = ::wsprintfA(line, "%.4000s\n", p);
    const HANDLE hLog = ::CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ::WriteFile(hLog, line, static_cast<DWORD>(n), &written, nullptr);
    ::CloseHandle(hLog);
    return 0;
}
