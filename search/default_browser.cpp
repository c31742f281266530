// Opening searches through the shell or in new windows of the user's default
// web browser, one after another, in line order.
#include "search/default_browser.h"

#include <windows.h>
#include <comdef.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "framework/holders.h"
#include "framework/mbcs.h"
#include "framework/wide_buffer.h"

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

void Check(HRESULT hr)
{
    if (FAILED(hr))
        throw _com_error(hr);
}

// A launcher does not open the window itself: it hands its address to the
// running browser, or becomes the browser. Chromium's find the running one
// through its process singleton, Firefox's wait for a start-up lock that any
// one of them may get next, so launchers started back to back reach the
// browser in no set order. Each Chromium launcher is waited for before the
// next starts. Firefox takes every window of a copy from one launcher, told
// (pszOneLauncher) to end only once its browser process has: that process,
// not the launcher, hands the addresses over.
struct KnownBrowser {
    const wchar_t* pszName;
    const char* pszSwitch;
    const char* pszOneLauncher;
};

const KnownBrowser* FindKnownBrowser(const wchar_t* pszExecutable)
{
    static const KnownBrowser kBrowsers[] = {
        {L"chrome.exe", "--new-window", nullptr},  {L"msedge.exe", "--new-window", nullptr},
        {L"brave.exe", "--new-window", nullptr},   {L"vivaldi.exe", "--new-window", nullptr},
        {L"chromium.exe", "--new-window", nullptr}, {L"firefox.exe", "-new-window", "-wait-for-browser"},
    };
    const wchar_t* pszName = ::PathFindFileNameW(pszExecutable);
    for (const KnownBrowser& browser : kBrowsers) {
        if (::lstrcmpiW(pszName, browser.pszName) == 0)
            return &browser;
    }
    return nullptr;
}

// How long a launcher gets to hand its address over. One that is still
// running then has become the browser itself, which costs this wait once.
constexpr DWORD kLauncherWaitMs = 3000;

// CreateProcess takes a command line of at most this many UTF-16 units.
constexpr int kMaxCommandLine = 32767 - 1;

int Utf16Length(const CString& text)
{
    return ::MultiByteToWideChar(CP_ACP, 0, text, text.GetLength(), nullptr, 0);
}

// The wait may come inside a dialog's own loop, the settings' while they are
// open: keys meant for the dialog, Tab, Enter, Escape and its access keys,
// are its to handle, as its loop would have them.
bool IsDialogKey(MSG& msg)
{
    const HWND hRoot = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    return hRoot && ::GetClassLongPtrA(hRoot, GCW_ATOM) == reinterpret_cast<ULONG_PTR>(WC_DIALOG) &&
           ::IsDialogMessageA(hRoot, &msg);
}

// Waits for a launcher to end, handling this thread's messages meanwhile, so
// that the clipboard chain and the tray keep going. The queue is emptied
// before each wait, as the wait wakes only for messages that arrive during
// it. A quit met on the way is left for the message loop.
void WaitForLauncher(HANDLE hProcess)
{
    for (const DWORD start = ::GetTickCount();;) {
        for (MSG msg; ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            if (IsDialogKey(msg))
                continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= kLauncherWaitMs ||
            ::MsgWaitForMultipleObjects(1, &hProcess, FALSE, kLauncherWaitMs - elapsed, QS_ALLINPUT) != WAIT_OBJECT_0 + 1)
            return;
    }
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

}  // namespace

HRESULT OpenWithShell(const CString& url)
{
    SHELLEXECUTEINFOA sei = {};
    sei.cbSize = sizeof sei;
    // No error boxes from a program that has no window of its own: the failure balloon says it.
    sei.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOCLOSEPROCESS;
    sei.lpFile = url;
    sei.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExA(&sei)) {
        const DWORD error = ::GetLastError();
        return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    const CKernelHandle process(sei.hProcess);
    if (process)
        WaitForLauncher(process.get());
    return S_OK;
}

// As a protocol, the user's own choice of browser is asked for (Windows 8
// and later); without the flag, Windows 7 answers from the machine's.
bool CDefaultBrowser::Find()
{
    if (m_bLookedUp)
        return m_pszSwitch != nullptr;
    m_bLookedUp = true;
    DWORD nLength = MAX_PATH;
    if (FAILED(::AssocQueryStringW(kAssocIsProtocol | ASSOCF_NOTRUNCATE, ASSOCSTR_EXECUTABLE, L"https", L"open",
                                   m_szExecutable, &nLength))) {
        nLength = MAX_PATH;
        if (FAILED(::AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_EXECUTABLE, L"https", L"open", m_szExecutable,
                                       &nLength)))
            return false;
    }
    const KnownBrowser* pBrowser = FindKnownBrowser(m_szExecutable);
    if (!pBrowser)
        return false;
    m_pszSwitch = pBrowser->pszSwitch;
    m_pszOneLauncher = pBrowser->pszOneLauncher;
    return true;
}

// The registered command line is not used: Chromium's --single-argument and
// Firefox's -osint would refuse a switch added to it. The browser starts in
// its own folder, so that it holds on to none of the program's.
bool CDefaultBrowser::Start(const CString& arguments) const
{
    const int nPath = ::lstrlenW(m_szExecutable);
    const int nArguments = Utf16Length(arguments);
    // The path in quotes, a blank, the arguments and the closing zero.
    CWideBuffer buffer(nPath + 4 + nArguments);
    const LPWSTR commandLine = reinterpret_cast<LPWSTR>(buffer.data());
    commandLine[0] = L'"';
    ::lstrcpyW(commandLine + 1, m_szExecutable);
    ::lstrcpyW(commandLine + 1 + nPath, L"\" ");
    ::MultiByteToWideChar(CP_ACP, 0, arguments, arguments.GetLength(), commandLine + nPath + 3, nArguments);
    commandLine[nPath + 3 + nArguments] = L'\0';

    wchar_t folder[MAX_PATH];
    ::lstrcpyW(folder, m_szExecutable);
    ::PathRemoveFileSpecW(folder);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(m_szExecutable, commandLine, nullptr, nullptr, FALSE, 0, nullptr, folder, &si, &pi))
        return false;
    const CKernelHandle process(pi.hProcess), thread(pi.hThread);
    WaitForLauncher(process.get());
    return true;
}

void CDefaultBrowser::Open(const CString& url)
{
    // The site's left part is the user's to type: an address of any other
    // kind goes where the shell sends it, never onto a browser's command line.
    if (!(StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://")) || !Find())
        return Check(OpenWithShell(url));
    CString window(m_pszSwitch);
    AppendArgument(window, url);
    if (!m_pszOneLauncher) {
        if (!Start(window))
            Check(OpenWithShell(url));
        return;
    }
    // A second launcher only for windows that one command line cannot hold.
    const int nWindow = 1 + Utf16Length(window);
    const bool bFull = !m_waiting.IsEmpty() && m_nCommandLine + nWindow > kMaxCommandLine;
    const HRESULT hr = bFull ? Flush() : S_OK;
    if (m_waiting.IsEmpty()) {
        m_arguments = m_pszOneLauncher;
        // The path in quotes and a blank, then the arguments.
        m_nCommandLine = ::lstrlenW(m_szExecutable) + 3 + m_arguments.GetLength();
    }
    m_arguments += ' ';
    m_arguments += window;
    m_nCommandLine += nWindow;
    m_waiting.AddTail(CString(url));
    Check(hr);
}

HRESULT CDefaultBrowser::Flush()
{
    if (m_waiting.IsEmpty() || m_bStopped)
        return S_OK;
    if (Start(m_arguments)) {
        m_waiting.RemoveAll();
        return S_OK;
    }
    HRESULT hrFirst = S_OK;
    for (CString url; !m_bStopped && m_waiting.RemoveHead(url);) {
        const HRESULT hr = OpenWithShell(url);
        if (SUCCEEDED(hrFirst))
            hrFirst = hr;
    }
    m_waiting.RemoveAll();
    return hrFirst;
}
