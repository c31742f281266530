// Helpers for the Windows tests: paths, log files, message pumping, the
// clipboard, and an in-process clipboard viewer that records what reaches it.
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace testutil {

// A build path as Wine sees it through drive Z:.
inline std::string WinPath(std::string unixPath)
{
    std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
    return "Z:" + unixPath;
}

// A fresh, empty file in the temporary folder.
inline std::string FreshFile(const char* name)
{
    char dir[MAX_PATH];
    ::GetTempPathA(MAX_PATH, dir);
    const std::string path = std::string(dir) + name;
    ::DeleteFileA(path.c_str());
    return path;
}

inline std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return lines;
    std::string content;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0)
        content.append(buffer, got);
    ::CloseHandle(h);
    size_t start = 0;
    for (size_t lf; (lf = content.find('\n', start)) != std::string::npos; start = lf + 1)
        lines.push_back(content.substr(start, lf - start));
    return lines;
}

// Runs this thread's messages until done() or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (done())
            return true;
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

inline void Pump(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

struct ExtraFormat {
    const char* name;
    std::string bytes;
};

// Replaces the clipboard's content with exactly these CF_TEXT bytes (a zero
// is added after them) and any registered formats.
inline bool SetClipboard(const std::string& text, const std::vector<ExtraFormat>& extra = {})
{
    if (!::OpenClipboard(nullptr))
        return false;
    ::EmptyClipboard();
    auto put = [](UINT format, const std::string& bytes, bool terminate) {
        HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size() + (terminate ? 1 : 0) + 1);
        char* p = static_cast<char*>(::GlobalLock(h));
        std::copy(bytes.begin(), bytes.end(), p);
        p[bytes.size()] = '\0';
        ::GlobalUnlock(h);
        ::SetClipboardData(format, h);
    };
    put(CF_TEXT, text, true);
    for (const ExtraFormat& f : extra)
        put(::RegisterClipboardFormatA(f.name), f.bytes, false);
    return ::CloseClipboard() != FALSE;
}

inline void EmptyTheClipboard()
{
    if (::OpenClipboard(nullptr)) {
        ::EmptyClipboard();
        ::CloseClipboard();
    }
}

// A clipboard viewer of the test's own, joined to the chain on creation.
// It records what reaches it and passes everything on as a viewer must.
class ChainViewer {
public:
    ChainViewer()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "TestChainViewer";
        ::RegisterClassA(&wc);
        m_hWnd = ::CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, this);
        m_hWndNext = ::SetClipboardViewer(m_hWnd);
        m_nDraws = 0;
    }
    ChainViewer(const ChainViewer&) = delete;
    ChainViewer& operator=(const ChainViewer&) = delete;
    ~ChainViewer()
    {
        ::ChangeClipboardChain(m_hWnd, m_hWndNext);
        ::DestroyWindow(m_hWnd);
    }

    HWND m_hWnd = nullptr;
    HWND m_hWndNext = nullptr;
    int m_nDraws = 0;
    std::vector<std::pair<HWND, HWND>> m_changes;

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE)
            ::SetWindowLongPtrA(hWnd, GWLP_USERDATA,
                                reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        auto* self = reinterpret_cast<ChainViewer*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
        if (self && message == WM_DRAWCLIPBOARD) {
            ++self->m_nDraws;
            if (self->m_hWndNext)
                ::SendMessageA(self->m_hWndNext, message, wParam, lParam);
            return 0;
        }
        if (self && message == WM_CHANGECBCHAIN) {
            self->m_changes.emplace_back(reinterpret_cast<HWND>(wParam), reinterpret_cast<HWND>(lParam));
            if (reinterpret_cast<HWND>(wParam) == self->m_hWndNext)
                self->m_hWndNext = reinterpret_cast<HWND>(lParam);
            else if (self->m_hWndNext)
                ::SendMessageA(self->m_hWndNext, message, wParam, lParam);
            return 0;
        }
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    }
};

}  // namespace testutil
