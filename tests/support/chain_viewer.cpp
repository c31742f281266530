// A second clipboard viewer for chain tests: joins the viewer chain and logs what reaches it.
//
//   chain_viewer.exe LOG [TITLE] [--no-leave]
//
// Creates a hidden top-level window titled TITLE (default QF_CHAIN_VIEWER) and
// calls SetClipboardViewer. Appends to LOG one line per event:
//   draw                  WM_DRAWCLIPBOARD, then passed on to the next viewer
//   change REMOVED NEXT   WM_CHANGECBCHAIN, handles as 8 upper-case hex digits
//   ready                 SetClipboardViewer has returned; the first "draw"
//                         comes before it, from inside that call
// WM_CLOSE leaves the chain with ChangeClipboardChain and exits 0; with
// --no-leave it exits 0 at once without leaving, like a viewer that crashed.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "support_util.h"

namespace {

std::wstring g_log;
bool g_leaveOnClose = true;
HWND g_next;

void Log(const std::string& line)
{
    support::AppendLine(g_log, line);
}

std::string Hex(WPARAM handle)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(handle));
    return text;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DRAWCLIPBOARD:
        Log("draw");
        if (g_next)
            SendMessageW(g_next, WM_DRAWCLIPBOARD, wParam, lParam);
        return 0;
    case WM_CHANGECBCHAIN:
        Log("change " + Hex(wParam) + " " + Hex(static_cast<WPARAM>(lParam)));
        if (reinterpret_cast<HWND>(wParam) == g_next)
            g_next = reinterpret_cast<HWND>(lParam);
        else if (g_next)
            SendMessageW(g_next, WM_CHANGECBCHAIN, wParam, lParam);
        return 0;
    case WM_CLOSE:
        if (!g_leaveOnClose)
            ExitProcess(0);
        ChangeClipboardChain(hwnd, g_next);
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

int Run(int argc, wchar_t** argv, HINSTANCE instance)
{
    std::wstring title = L"QF_CHAIN_VIEWER";
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--no-leave") {
            g_leaveOnClose = false;
            continue;
        }
        if (positional == 0)
            g_log = arg;
        else if (positional == 1)
            title = arg;
        else
            return 2;
        ++positional;
    }
    if (g_log.empty())
        return 2;

    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"QfChainViewer";
    if (!RegisterClassW(&wc))
        return 1;
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                nullptr, instance, nullptr);
    if (!hwnd)
        return 1;
    g_next = SetClipboardViewer(hwnd);
    Log("ready");

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return 1;
    const int status = Run(argc, argv, instance);
    LocalFree(argv);
    return status;
}
