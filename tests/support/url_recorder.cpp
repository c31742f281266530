// Stand-in http/https handler: records each URL that ShellExecute hands it, exactly as received.
//
//   url_recorder.exe URL   appends URL (UTF-8) and "\n" to the file that URL_RECORDER_LOG names
// register_doubles.sh makes it the open command of http and https in place of
// winebrowser, which would decode %XX escapes before anyone saw them.
#include <windows.h>
#include <shellapi.h>

#include <fstream>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc != 2)
        return 2;
    char log[MAX_PATH], url[8192];
    if (!::GetEnvironmentVariableA("URL_RECORDER_LOG", log, sizeof log) ||
        !::WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, url, sizeof url, nullptr, nullptr))
        return 1;
    return (std::ofstream(log, std::ios::binary | std::ios::app) << url << '\n') ? 0 : 1;
}
