// Stand-in http/https handler: records each URL that ShellExecute hands it, exactly as received.
//
//   url_recorder.exe /register   makes it the open command of http and https
//                                under HKLM\Software\Classes (Wine 8 reads no
//                                HKCU classes), in place of winebrowser, which
//                                would decode %XX escapes before anyone saw them
//   url_recorder.exe URL         appends URL (UTF-8) and "\n" to the file that
//                                URL_RECORDER_LOG names
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

int Register()
{
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring command = L"\"" + std::wstring(path) + L"\" \"%1\"";
    for (const wchar_t* pszKey : {L"Software\\Classes\\http\\shell\\open", L"Software\\Classes\\https\\shell\\open"}) {
        // A DDE verb would be tried before the command line.
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(pszKey) + L"\\ddeexec").c_str());
        if (::RegSetKeyValueW(HKEY_LOCAL_MACHINE, (std::wstring(pszKey) + L"\\command").c_str(), nullptr, REG_SZ,
                              command.c_str(), static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))))
            return 1;
    }
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc != 2)
        return 2;
    if (std::wstring(argv[1]) == L"/register")
        return Register();
    char log[MAX_PATH];
    if (!::GetEnvironmentVariableA("URL_RECORDER_LOG", log, sizeof log))
        return 1;
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, nullptr, 0, nullptr, nullptr);
    std::string line(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, &line[0], n, nullptr, nullptr);
    line.back() = '\n';
    const HANDLE hFile = ::CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_ALWAYS, 0, nullptr);
    DWORD written = 0;
    return hFile != INVALID_HANDLE_VALUE && ::WriteFile(hFile, line.data(), n, &written, nullptr) ? 0 : 1;
}
