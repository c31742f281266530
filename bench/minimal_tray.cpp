// Start-up and idle baseline: a hidden window with a tray icon in the clipboard viewer chain, and nothing else.
#include <windows.h>
#include <shellapi.h>

namespace {

const char kTitle[] = "QF_BENCH_TRAY";
const UINT kTrayMessage = WM_APP + 1;
const UINT kIconId = 1;

HWND g_hWndNext;

void NotifyIcon(HWND hWnd, DWORD dwMessage)
{
    NOTIFYICONDATAA nid = {};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = hWnd;
    nid.uID = kIconId;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = kTrayMessage;
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
    case WM_DRAWCLIPBOARD:
        if (g_hWndNext)
            ::SendMessageA(g_hWndNext, message, wParam, lParam);
        return 0;
    case WM_CHANGECBCHAIN:
        if (reinterpret_cast<HWND>(wParam) == g_hWndNext)
            g_hWndNext = reinterpret_cast<HWND>(lParam);
        else if (g_hWndNext)
            ::SendMessageA(g_hWndNext, message, wParam, lParam);
        return 0;
    case WM_CLOSE:
        ::ChangeClipboardChain(hWnd, g_hWndNext);
        NotifyIcon(hWnd, NIM_DELETE);
        ::DestroyWindow(hWnd);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = kTitle;
    if (!::RegisterClassA(&wc))
        return 1;
    if (!::CreateWindowExA(WS_EX_TOOLWINDOW, kTitle, kTitle, 0, 0, 0, 0, 0, nullptr, nullptr, hInstance, nullptr))
        return 1;
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return 0;
}
