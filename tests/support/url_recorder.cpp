// Stand-in for a URL handler or a browser: records the arguments it was started with, exactly as received.
//
//   url_recorder.exe ARGUMENT...   appends "STAMP ARGUMENT ..." (UTF-8, joined by blanks) and "\n" to the
//                                  file that URL_RECORDER_LOG names; STAMP is the process's start time
//                                  in 16 hexadecimal digits, which orders handlers started one after another
// register_doubles.sh makes it the open command of http and https in place of
// winebrowser, which would decode %XX escapes before anyone saw them; the tests
// of the default browser copy it under browsers' names.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    char log[MAX_PATH];
    if (argc < 2 || !::GetEnvironmentVariableA("URL_RECORDER_LOG", log, sizeof log))
        return 2;
    FILETIME created, unused;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &unused, &unused, &unused);
    char stamp[17];
    std::snprintf(stamp, sizeof stamp, "%08lX%08lX", created.dwHighDateTime, created.dwLowDateTime);
    std::string line = stamp;
    for (int i = 1; i < argc; ++i) {
        char argument[8192];
        if (!::WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, argument, sizeof argument, nullptr, nullptr))
            return 1;
        line += std::string(" ") + argument;
    }
    // One write with append access only, so that handlers started together
    // add whole lines and none is written over.
    line += '\n';
    const HANDLE hLog = ::CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool bWritten = ::WriteFile(hLog, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) != FALSE;
    ::CloseHandle(hLog);
    return bWritten ? 0 : 1;
}
