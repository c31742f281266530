// Stand-in for a URL handler or a browser's launcher: records the arguments it was started with, exactly as
// received, after a moment, as a launcher hands its address to the browser.
//
//   url_recorder.exe ARGUMENT...   waits a random 0 to 250 ms, then appends "ARGUMENT ..." (UTF-8, joined by
//                                  blanks) and "\n" to the file that URL_RECORDER_LOG names, and ends; with
//                                  URL_RECORDER_STAY set, the first one of the session then stays on for that
//                                  many milliseconds, as a launcher does that has become the browser
// register_doubles.sh makes it the open command of http and https in place of
// winebrowser, which would decode %XX escapes before anyone saw them; the tests
// of the default browser copy it under browsers' names.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    char log[MAX_PATH];
    if (argc < 2 || !::GetEnvironmentVariableA("URL_RECORDER_LOG", log, sizeof log))
        return 2;
    std::srand(::GetTickCount() ^ ::GetCurrentProcessId());
    ::Sleep(std::rand() % 251);
    std::string line;
    for (int i = 1; i < argc; ++i) {
        char argument[8192];
        if (!::WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, argument, sizeof argument, nullptr, nullptr))
            return 1;
        line += (i > 1 ? " " : "") + std::string(argument);
    }
    // One write with append access only, so that handlers started together
    // add whole lines and none is written over.
    line += '\n';
    const HANDLE hLog = ::CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool bWritten = ::WriteFile(hLog, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) != FALSE;
    ::CloseHandle(hLog);
    char stay[16];
    if (::GetEnvironmentVariableA("URL_RECORDER_STAY", stay, sizeof stay) &&
        ::CreateMutexA(nullptr, FALSE, "url_recorder_browser") && ::GetLastError() != ERROR_ALREADY_EXISTS)
        ::Sleep(std::atoi(stay));
    return bWritten ? 0 : 1;
}
