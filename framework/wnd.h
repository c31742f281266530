// CWnd: a C++ object bound to a window, with static message-map tables.
#pragma once

#include <windows.h>

#include <cstddef>
#include <iterator>

#include "framework/cstring.h"

class CWnd;

// One row of a message map: a window message, or a WM_COMMAND with its
// notification code (0 for menu items and button clicks) and control id.
struct MessageMapEntry {
    UINT nMessage;
    UINT nCode;
    UINT nID;
    LRESULT (*pfn)(CWnd* pWnd, WPARAM wParam, LPARAM lParam);
};

// A class's table, chained to its base class's table.
struct MessageMap {
    const MessageMap* pBaseMap;
    const MessageMapEntry* pEntries;
    std::size_t nCount;
};

namespace msgmap {

// Typed adapters: each handler signature decodes the message parameters once.
template <auto F>
struct Adapter;

template <class T, void (T::*F)()>
struct Adapter<F> {
    static LRESULT Call(CWnd* pWnd, WPARAM, LPARAM)
    {
        (static_cast<T*>(pWnd)->*F)();
        return 0;
    }
};

// WM_CREATE: the creation parameters; -1 fails the creation.
template <class T, int (T::*F)(LPCREATESTRUCTA)>
struct Adapter<F> {
    static LRESULT Call(CWnd* pWnd, WPARAM, LPARAM lParam)
    {
        return (static_cast<T*>(pWnd)->*F)(reinterpret_cast<LPCREATESTRUCTA>(lParam));
    }
};

// WM_SYSCOMMAND: the command and the cursor position as sent.
template <class T, void (T::*F)(UINT, LPARAM)>
struct Adapter<F> {
    static LRESULT Call(CWnd* pWnd, WPARAM wParam, LPARAM lParam)
    {
        (static_cast<T*>(pWnd)->*F)(static_cast<UINT>(wParam), lParam);
        return 0;
    }
};

// A tray icon's callback message: the icon identifier and the mouse message.
template <class T, void (T::*F)(UINT, UINT)>
struct Adapter<F> {
    static LRESULT Call(CWnd* pWnd, WPARAM wParam, LPARAM lParam)
    {
        (static_cast<T*>(pWnd)->*F)(static_cast<UINT>(wParam), static_cast<UINT>(lParam));
        return 0;
    }
};

// WM_TIMER: the timer's identifier.
template <class T, void (T::*F)(UINT_PTR)>
struct Adapter<F> {
    static LRESULT Call(CWnd* pWnd, WPARAM wParam, LPARAM)
    {
        (static_cast<T*>(pWnd)->*F)(static_cast<UINT_PTR>(wParam));
        return 0;
    }
};

// WM_ENDSESSION: whether the session ends.
template <class T, void (T::*F)(BOOL)>
struct Adapter<F> {
    static LRESULT Call(CWnd* pWnd, WPARAM wParam, LPARAM)
    {
        (static_cast<T*>(pWnd)->*F)(static_cast<BOOL>(wParam));
        return 0;
    }
};

// WM_DPICHANGED: the new DPI and the window's suggested place.
template <class T, void (T::*F)(UINT, const RECT*)>
struct Adapter<F> {
    static LRESULT Call(CWnd* pWnd, WPARAM wParam, LPARAM lParam)
    {
        (static_cast<T*>(pWnd)->*F)(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    }
};

// WM_QUERYDRAGICON: the icon to drag.
template <class T, HCURSOR (T::*F)()>
struct Adapter<F> {
    static LRESULT Call(CWnd* pWnd, WPARAM, LPARAM)
    {
        return reinterpret_cast<LRESULT>((static_cast<T*>(pWnd)->*F)());
    }
};

}  // namespace msgmap

template <auto F>
constexpr MessageMapEntry OnMessage(UINT nMessage)
{
    return {nMessage, 0, 0, &msgmap::Adapter<F>::Call};
}

template <auto F>
constexpr MessageMapEntry OnCommand(UINT nID)
{
    return {WM_COMMAND, 0, nID, &msgmap::Adapter<F>::Call};
}

template <auto F>
constexpr MessageMapEntry OnNotify(UINT nCode, UINT nID)
{
    return {WM_COMMAND, nCode, nID, &msgmap::Adapter<F>::Call};
}

template <std::size_t N>
constexpr MessageMap MakeMessageMap(const MessageMap* pBaseMap, const MessageMapEntry (&entries)[N])
{
    return {pBaseMap, entries, N};
}

// A class with no handlers of its own: everything goes to its base's map.
constexpr MessageMap MakeMessageMap(const MessageMap* pBaseMap)
{
    return {pBaseMap, nullptr, 0};
}

class CWnd {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    // Destroys the window if this object still owns one.
    virtual ~CWnd();

    HWND m_hWnd = nullptr;

    // Creates a window of the framework's own class: no class style, cursor,
    // background brush or icon.
    BOOL CreateEx(DWORD dwExStyle, const char* pszWindowName, DWORD dwStyle, int x, int y, int nWidth,
                  int nHeight, HWND hWndParent, HMENU hMenu);
    BOOL DestroyWindow();

    // The object bound to a window made or subclassed by the framework, if any.
    static CWnd* FromHandlePermanent(HWND hWnd);

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    BOOL SetForegroundWindow() const { return ::SetForegroundWindow(m_hWnd); }
    HMENU GetSystemMenu(BOOL bRevert) const { return ::GetSystemMenu(m_hWnd, bRevert); }
    HICON SetIcon(HICON hIcon, BOOL bBigIcon)
    {
        return reinterpret_cast<HICON>(SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL,
                                                   reinterpret_cast<LPARAM>(hIcon)));
    }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void GetClientRect(RECT* pRect) const { ::GetClientRect(m_hWnd, pRect); }
    void GetWindowText(CString& rString) const;
    int MessageBox(const char* pszText, const char* pszCaption, UINT nType = MB_OK) const
    {
        return ::MessageBoxA(m_hWnd, pszText, pszCaption, nType);
    }

    // Centres the window over its owner, or in the work area when the owner
    // is missing, hidden or minimised.
    void CenterWindow();

protected:
    // The message map first, then the default processing.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Runs the first matching handler of the class's map or its base maps.
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual const MessageMap* GetMessageMap() const;
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled.
    LRESULT Default();

    void Attach(HWND hWnd);
    static LRESULT CALLBACK StdWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    WNDPROC m_pfnSuper = nullptr;

private:
    void Detach();

    const MSG* m_pCurrentMsg = nullptr;
};
