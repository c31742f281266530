// Start-up and idle baseline: a hidden window with a tray icon in the clipboard viewer chain, and nothing else.
// Built a second time with QF_BENCH_STARTUP_CALLS and the program's manifest: then it also makes the calls
// every start of the program must make, COM initialised and the version 6 common controls loaded.
#include <windows.h>
#include <shellapi.h>
#if defined(QF_BENCH_STARTUP_CALLS)
#include <commctrl.h>
#include <objbase.h>
#endif

namespace {

const char kTitle[] = "QF_BENCH_TRAY";

HWND g_hWndNext;

void NotifyIcon(HWND hWnd, DWORD dwMessage)
{
    NOTIFYICONDATAA nid = {};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = hWnd;
    nid.uID = 1;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = WM_APP + 1;
    nid.hIcon = ::LoadIconA(nullptr, IDI_APPLICATION);
    ::lstrcpynA(nid.szTip, kTitle, sizeof nid.szTip);
    ::Shell_NotifyIconA(dwMessage, &nid);
}

// A viewer that keeps the chain whole, so that it costs what any well-behaved one does.
LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        NotifyIcon(hWnd, NIM_ADD);
        g_hWndNext = ::SetClipboardViewer(hWnd);
        return 0;
    case WM_CHANGECBCHAIN:
        if (reinterpret_cast<HWND>(wParam) == g_hWndNext) {
            g_hWndNext = reinterpret_cast<HWND>(lParam);
            return 0;
        }
        [[fallthrough]];
    case WM_DRAWCLIPBOARD:
        return g_hWndNext ? ::SendMessageA(g_hWndNext, message, wParam, lParam) : 0;
    case WM_CLOSE:
        ::ChangeClipboardChain(hWnd, g_hWndNext);
        NotifyIcon(hWnd, NIM_DELETE);
        ::DestroyWindow(hWnd);
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
#if defined(QF_BENCH_STARTUP_CALLS)
    ::InitCommonControls();
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
#endif
    const WNDCLASSA wc = {0, WindowProc, 0, 0, hInstance, nullptr, nullptr, nullptr, nullptr, kTitle};
    if (!::RegisterClassA(&wc) ||
        !::CreateWindowExA(WS_EX_TOOLWINDOW, kTitle, kTitle, 0, 0, 0, 0, 0, nullptr, nullptr, hInstance, nullptr))
        return 1;
    for (MSG msg; ::GetMessageA(&msg, nullptr, 0, 0) > 0;)
        ::DispatchMessageA(&msg);
    return 0;
}
