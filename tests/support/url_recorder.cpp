// Stand-in http/https handler: records each URL that ShellExecute hands it, exactly as received.
//
//   url_recorder.exe /register   makes it the open command of http and https
//                                under HKLM\Software\Classes (Wine 8 reads no
//                                HKCU classes), in place of winebrowser, which
//                                would decode %XX escapes before anyone saw them.
//   url_recorder.exe URL         appends URL and "\n" (UTF-8) to the file named
//                                by URL_RECORDER_LOG, or to url_recorder.log
//                                beside the exe when that is unset.
//
// URL is the command line after the program name, with one pair of enclosing
// quotes removed and nothing else changed.
#include <windows.h>

#include <string>

#include "support_util.h"

namespace {

std::wstring ArgumentsAfterProgramName(const wchar_t* commandLine)
{
    const wchar_t* p = commandLine;
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"')
            ++p;
        if (*p)
            ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}

std::wstring WithoutEnclosingQuotes(const std::wstring& s)
{
    if (s.size() >= 2 && s.front() == L'"' && s.back() == L'"')
        return s.substr(1, s.size() - 2);
    return s;
}

int Register()
{
    const std::wstring command = L"\"" + support::ModulePath(nullptr) + L"\" \"%1\"";
    for (const wchar_t* scheme : {L"http", L"https"}) {
        const std::wstring open = std::wstring(L"Software\\Classes\\") + scheme + L"\\shell\\open";
        // A DDE verb would be tried before the command line; Wine's default
        // prefix has none, but a prefix that ran another browser may.
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (open + L"\\ddeexec").c_str());
        support::UniqueKey key;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, (open + L"\\command").c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, key.out(), nullptr) != ERROR_SUCCESS)
            return 1;
        if (RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                           static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
            return 1;
    }
    return 0;
}

std::wstring LogPath()
{
    if (auto path = support::Env(L"URL_RECORDER_LOG"); path && !path->empty())
        return *path;
    std::wstring path = support::ModulePath(nullptr);
    path.erase(path.find_last_of(L'\\') + 1);
    return path + L"url_recorder.log";
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const std::wstring arguments = ArgumentsAfterProgramName(GetCommandLineW());
    if (arguments == L"/register")
        return Register();
    return support::AppendLine(LogPath(), support::Utf8(WithoutEnclosingQuotes(arguments))) ? 0 : 1;
}
