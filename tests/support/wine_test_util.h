// Helpers for the Windows tests and benchmarks: files, message pumping, the
// clipboard, and a clipboard viewer that counts what reaches it.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "framework/wnd.h"

namespace testutil {

// A fresh, empty file's path in the temporary folder.
inline std::string FreshFile(const char* pszName)
{
    char dir[MAX_PATH];
    ::GetTempPathA(MAX_PATH, dir);
    ::DeleteFileA((dir + std::string(pszName)).c_str());
    return dir + std::string(pszName);
}

using Strings = std::vector<std::string>;

inline Strings ReadLines(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    Strings lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

// Runs this thread's messages until done() or the time is up: the program
// sends its clipboard notifications on to our windows and waits for them.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000)
{
    for (const DWORD start = ::GetTickCount();; ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT)) {
        for (MSG msg; ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);)
            ::DispatchMessageA(&msg);
        if (done())
            return true;
        if (::GetTickCount() - start > timeoutMs)
            return false;
    }
}

// The width of an icon's image, in pixels.
inline int IconWidth(HICON hIcon)
{
    ICONINFO info = {};
    BITMAP bitmap = {};
    if (::GetIconInfo(hIcon, &info)) {
        ::GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
        ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
    }
    return bitmap.bmWidth;
}

// One format's data, exactly as it goes on the clipboard.
struct ClipData {
    UINT nFormat;
    std::string bytes;
};

inline ClipData Text(const std::string& text)
{
    return {CF_TEXT, text + '\0'};
}

inline ClipData Unicode(const std::u16string& text)
{
    return {CF_UNICODETEXT, std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(char16_t))};
}

inline ClipData Named(const char* pszFormat, const std::string& bytes)
{
    return {::RegisterClipboardFormatA(pszFormat), bytes};
}

// Puts these formats on the clipboard, which this thread holds open.
inline void PutOnClipboard(const std::vector<ClipData>& formats)
{
    for (const ClipData& data : formats) {
        const HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, data.bytes.size());
        data.bytes.copy(static_cast<char*>(::GlobalLock(h)), data.bytes.size());
        ::GlobalUnlock(h);
        ::SetClipboardData(data.nFormat, h);
    }
}

// Puts these formats on the clipboard in one opening, in place of what it
// held (no formats empty it), or beside it (bAdd), as a program does that
// opens it a second time for a form it had left out.
inline bool SetClipboard(const std::vector<ClipData>& formats, bool bAdd = false)
{
    if (!::OpenClipboard(nullptr))
        return false;
    if (!bAdd)
        ::EmptyClipboard();
    PutOnClipboard(formats);
    return ::CloseClipboard() != FALSE;
}

inline bool SetClipboard(const std::string& text)
{
    return SetClipboard({Text(text)});
}

// A clipboard viewer of the test's own, joined to the chain on creation. It
// counts what reaches it and passes everything on, as a viewer must.
class ChainViewer : public CWnd {
public:
    ChainViewer()
    {
        CreateEx(0, "", 0, 0, 0, 0, 0, nullptr, nullptr);
        m_hWndNext = ::SetClipboardViewer(m_hWnd);
        m_nDraws = 0;
    }
    ~ChainViewer() override
    {
        if (m_hWnd)
            ::ChangeClipboardChain(m_hWnd, m_hWndNext);
    }

    HWND m_hWndNext = nullptr;
    long m_nDraws = 0;
    // How long a change waits here before it is passed on.
    DWORD m_nPauseMs = 0;
    std::vector<std::pair<WPARAM, LPARAM>> m_changes;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_DRAWCLIPBOARD) {
            ++m_nDraws;
            ::Sleep(m_nPauseMs);
        }
        else if (message == WM_CHANGECBCHAIN)
            m_changes.emplace_back(wParam, lParam);
        else
            return CWnd::WindowProc(message, wParam, lParam);
        if (message == WM_CHANGECBCHAIN && reinterpret_cast<HWND>(wParam) == m_hWndNext)
            m_hWndNext = reinterpret_cast<HWND>(lParam);
        else if (m_hWndNext)
            ::SendMessageA(m_hWndNext, message, wParam, lParam);
        return 0;
    }
};

// A viewer of another program, on a thread of its own: once it has joined
// the chain, body runs there. On destruction this thread's messages are
// handled until that thread has ended, as its leaving the chain may send one.
class ViewerThread {
public:
    explicit ViewerThread(std::function<void(ChainViewer&)> body)
        : m_thread([this, body] {
              {
                  ChainViewer viewer;
                  m_hWnd = viewer.m_hWnd;
                  body(viewer);
              }
              m_bEnded = true;
          })
    {
        while (!m_hWnd)
            ::Sleep(1);
    }
    ~ViewerThread()
    {
        PumpUntil([this] { return m_bEnded.load(); }, 30000);
        m_thread.join();
    }

    std::atomic<HWND> m_hWnd{nullptr};

private:
    std::atomic<bool> m_bEnded{false};
    std::thread m_thread;
};

// Another program that copies text, on a thread of its own, as it comes:
// with delayed rendering, its window rendering the text when a reader asks
// for it and once more as it is destroyed; or (bOle) from a rich edit box,
// which copies through OLE, flushed as the program closes. Copy() copies,
// and it closes when this goes.
class OwnerThread : public CWnd {
public:
    OwnerThread(bool bOle, std::string text)
        : m_text(std::move(text)), m_thread([this, bOle] {
              if (bOle)
                  ::OleInitialize(nullptr);
              CreateEx(0, "", 0, 0, 0, 0, 0, nullptr, nullptr);
              if (bOle && ::LoadLibraryA("riched20.dll"))
                  m_hEdit = ::CreateWindowExA(0, "RichEdit20A", m_text.c_str(), WS_CHILD, 0, 0, 100, 20, m_hWnd, nullptr,
                                              nullptr, nullptr);
              m_bReady = true;
              for (MSG msg; ::GetMessageA(&msg, nullptr, 0, 0) > 0;)
                  ::DispatchMessageA(&msg);
              if (bOle)
                  ::OleUninitialize();
              m_bEnded = true;
          })
    {
        while (!m_bReady)
            ::Sleep(1);
    }
    ~OwnerThread() override
    {
        PostMessage(WM_CLOSE);
        PumpUntil([this] { return m_bEnded.load(); });
        m_thread.join();
    }

    void Copy() { PostMessage(WM_APP); }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_APP && m_hEdit) {
            ::SendMessageA(m_hEdit, EM_SETSEL, 0, -1);
            ::SendMessageA(m_hEdit, WM_COPY, 0, 0);
        } else if (message == WM_APP && ::OpenClipboard(m_hWnd)) {
            ::EmptyClipboard();
            ::SetClipboardData(CF_TEXT, nullptr);
            ::CloseClipboard();
        } else if (message == WM_RENDERFORMAT) {
            PutOnClipboard({Text(m_text)});
        } else if (message == WM_RENDERALLFORMATS && ::OpenClipboard(m_hWnd)) {
            if (::GetClipboardOwner() == m_hWnd)
                PutOnClipboard({Text(m_text)});
            ::CloseClipboard();
        } else if (message == WM_CLOSE) {
            // OLE's clipboard is flushed before the program's windows go.
            if (m_hEdit)
                ::OleFlushClipboard();
            ::DestroyWindow(m_hWnd);
            ::PostQuitMessage(0);
        } else {
            return CWnd::WindowProc(message, wParam, lParam);
        }
        return 0;
    }

private:
    const std::string m_text;
    HWND m_hEdit = nullptr;
    std::atomic<bool> m_bReady{false}, m_bEnded{false};
    std::thread m_thread;
};

}  // namespace testutil
