// Opening a search in a new window of the user's default web browser.
#include "search/default_browser.h"

#include <windows.h>
#include <comdef.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "framework/holders.h"
#include "framework/mbcs.h"

namespace {

// ASSOCF_IS_PROTOCOL, of Windows 8, which the SDK names only for a program
// that needs Windows 8.
constexpr DWORD kAssocIsProtocol = 0x00001000;

bool StartsWithNoCase(const CString& text, const char* pszPrefix)
{
    const int n = ::lstrlenA(pszPrefix);
    return text.GetLength() >= n &&
           ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text, n, pszPrefix, n) == CSTR_EQUAL;
}

// The switch that opens an address in a new window, by the handler's file
// name, or null for a browser whose switches are not known.
const char* NewWindowSwitch(const char* pszExecutable)
{
    static const struct {
        const char* pszName;
        const char* pszSwitch;
    } kBrowsers[] = {
        {"chrome.exe", "--new-window"}, {"msedge.exe", "--new-window"},   {"brave.exe", "--new-window"},
        {"vivaldi.exe", "--new-window"}, {"chromium.exe", "--new-window"}, {"firefox.exe", "-new-window"},
    };
    const char* pszName = ::PathFindFileNameA(pszExecutable);
    for (const auto& browser : kBrowsers) {
        if (::lstrcmpiA(pszName, browser.pszName) == 0)
            return browser.pszSwitch;
    }
    return nullptr;
}

// One argument of a command line, in quotes, as programs split theirs: a
// quote inside is escaped and the backslashes before it, or before the
// closing quote, are doubled. A trail byte that looks like a backslash
// belongs to its character.
void AppendArgument(CString& commandLine, const char* pszArgument)
{
    commandLine += commandLine.IsEmpty() ? "\"" : " \"";
    int nBackslashes = 0;
    for (const char* p = pszArgument; *p; ++p) {
        if (*p == '"' || *p == '\\') {
            if (*p == '"') {
                for (int i = 0; i <= nBackslashes; ++i)
                    commandLine += '\\';
            }
            nBackslashes = *p == '\\' ? nBackslashes + 1 : 0;
            commandLine += *p;
            continue;
        }
        nBackslashes = 0;
        commandLine += *p;
        if (mbcs::IsLeadByte(static_cast<unsigned char>(*p)) && p[1])
            commandLine += *++p;
    }
    for (int i = 0; i < nBackslashes; ++i)
        commandLine += '\\';
    commandLine += '"';
}

// The https handler itself, started with a new-window switch; false when it
// is no browser known here or does not start.
bool StartBrowser(const CString& url)
{
    // As a protocol, the user's own choice of browser is asked for (Windows 8
    // and later); without the flag, Windows 7 answers from the machine's.
    char executable[MAX_PATH];
    DWORD nLength = MAX_PATH;
    if (FAILED(::AssocQueryStringA(kAssocIsProtocol | ASSOCF_NOTRUNCATE, ASSOCSTR_EXECUTABLE, "https", "open",
                                   executable, &nLength))) {
        nLength = MAX_PATH;
        if (FAILED(::AssocQueryStringA(ASSOCF_NOTRUNCATE, ASSOCSTR_EXECUTABLE, "https", "open", executable, &nLength)))
            return false;
    }
    const char* pszSwitch = NewWindowSwitch(executable);
    if (!pszSwitch)
        return false;

    CString commandLine;
    AppendArgument(commandLine, executable);
    commandLine += ' ';
    commandLine += pszSwitch;
    AppendArgument(commandLine, url);
    // The registered command line is not used: Chromium's --single-argument
    // and Firefox's -osint would refuse a switch added to it.
    // Started in its own folder, so that it holds on to none of the program's.
    char folder[MAX_PATH];
    ::lstrcpynA(folder, executable, MAX_PATH);
    ::PathRemoveFileSpecA(folder);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(executable, commandLine.GetBufferSetLength(commandLine.GetLength()), nullptr, nullptr, FALSE,
                          0, nullptr, folder, &si, &pi))
        return false;
    const CKernelHandle process(pi.hProcess), thread(pi.hThread);
    return true;
}

}  // namespace

void OpenInDefaultBrowser(const CString& url)
{
    // The site's left part is the user's to type: an address of any other
    // kind goes where the shell sends it, never onto a browser's command line.
    const bool bWeb = StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://");
    if (bWeb && StartBrowser(url))
        return;
    SHELLEXECUTEINFOA sei = {};
    sei.cbSize = sizeof sei;
    // No error boxes from a program that has no window of its own: the failure balloon says it.
    sei.fMask = SEE_MASK_FLAG_NO_UI;
    sei.lpFile = url;
    sei.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExA(&sei)) {
        const DWORD error = ::GetLastError();
        throw _com_error(error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL);
    }
}
