// CWinApp: the application object, its message loop and its profile access.
#include "framework/win_app.h"

#include <commctrl.h>

#include <climits>

namespace {

CWinApp* g_pApp = nullptr;

// The first buffer a value is read into; a longer value is read again in a larger one.
constexpr int kProfileBufferLength = 4096;

}  // namespace

CWinApp::CWinApp()
{
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

namespace {

// Functions of Windows 10 and later, looked up so that the program still starts on Windows 7.
template <class Function>
Function User32Function(const char* pszName)
{
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleA("user32.dll"), pszName)));
}

}  // namespace

UINT AfxGetWindowDpi(HWND hWnd)
{
    static const auto pfnGetDpiForWindow = User32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    return pfnGetDpiForWindow ? pfnGetDpiForWindow(hWnd) : 0;
}

HICON AfxLoadSizedIcon(UINT nID, bool bSmall, UINT nDpi)
{
    static const auto pfnMetricForDpi = User32Function<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
    const int nX = bSmall ? SM_CXSMICON : SM_CXICON, nY = bSmall ? SM_CYSMICON : SM_CYICON;
    const bool bForDpi = pfnMetricForDpi && nDpi;
    return static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(nID), IMAGE_ICON,
                                           bForDpi ? pfnMetricForDpi(nX, nDpi) : ::GetSystemMetrics(nX),
                                           bForDpi ? pfnMetricForDpi(nY, nDpi) : ::GetSystemMetrics(nY), 0));
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run()
{
    MSG msg;
    BOOL got;
    while ((got = ::GetMessageA(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1)
            break;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    m_nExitCode = got == -1 ? -1 : static_cast<int>(msg.wParam);
    return ExitInstance();
}

int CWinApp::ExitInstance()
{
    return m_nExitCode;
}

void CWinApp::Enable3dControls()
{
    // Loading the common controls is what lets the manifest's version 6
    // controls, with the system's visual style, take over the dialogs.
    ::InitCommonControls();
}

void CWinApp::SetAppName(const char* pszAppName)
{
    m_strAppName = pszAppName;
    m_pszAppName = m_strAppName;
}

CString CWinApp::GetProfileString(const char* pszSection, const char* pszEntry, const char* pszDefault) const
{
    // A value cut to the buffer says so only by filling it to one short of
    // its end, or two when a double-byte character would have straddled it,
    // as one that just fits would: either way it is read again.
    CString value;
    for (int nSize = kProfileBufferLength;; nSize *= 2) {
        char* buffer = value.GetBufferSetLength(nSize);
        const DWORD n = ::GetPrivateProfileStringA(pszSection, pszEntry, pszDefault, buffer, static_cast<DWORD>(nSize),
                                                   m_pszProfileName);
        value.ReleaseBuffer(static_cast<int>(n));
        if (static_cast<int>(n) < nSize - 2 || nSize > INT_MAX / 2)
            return value;
    }
}

UINT CWinApp::GetProfileInt(const char* pszSection, const char* pszEntry, int nDefault) const
{
    return ::GetPrivateProfileIntA(pszSection, pszEntry, nDefault, m_pszProfileName);
}

BOOL CWinApp::WriteProfileString(const char* pszSection, const char* pszEntry, const char* pszValue) const
{
    return ::WritePrivateProfileStringA(pszSection, pszEntry, pszValue, m_pszProfileName);
}

BOOL AfxWinInit(HINSTANCE hInstance)
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return FALSE;
    pApp->m_hInstance = hInstance;

    char path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(hInstance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return FALSE;
    // Searched a character at a time: 0x5C is also a Shift_JIS trail byte.
    CString baseName(path);
    for (int slash; (slash = baseName.Find('\\')) >= 0;)
        baseName = baseName.Mid(slash + 1);
    int lastDot = -1;
    for (int dot = -1; (dot = baseName.Find('.', dot + 1)) >= 0;)
        lastDot = dot;
    if (lastDot >= 0)
        baseName = baseName.Left(lastDot);

    pApp->SetAppName(baseName);
    pApp->m_strProfileName = baseName + ".INI";
    pApp->m_pszProfileName = pApp->m_strProfileName;
    return TRUE;
}

int AfxWinMain(HINSTANCE hInstance)
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp || !AfxWinInit(hInstance))
        return -1;
    if (!pApp->InitInstance())
        return pApp->ExitInstance();
    return pApp->Run();
}
