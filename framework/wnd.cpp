// CWnd: attaching objects to windows and dispatching through message maps.
#include "framework/wnd.h"

#include "framework/win_app.h"

namespace {

const char kFrameworkClass[] = "FrameworkWnd";

}  // namespace

CWnd::~CWnd()
{
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this)
        ::DestroyWindow(m_hWnd);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, const char* pszWindowName, DWORD dwStyle, int x, int y, int nWidth,
                    int nHeight, HWND hWndParent, HMENU hMenu)
{
    const HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    if (!::GetClassInfoA(hInstance, kFrameworkClass, &wc)) {
        wc.lpfnWndProc = StdWndProc;
        wc.hInstance = hInstance;
        wc.lpszClassName = kFrameworkClass;
        if (!::RegisterClassA(&wc))
            return FALSE;
    }
    HWND hWnd = ::CreateWindowExA(dwExStyle, kFrameworkClass, pszWindowName, dwStyle, x, y, nWidth, nHeight,
                                  hWndParent, hMenu, hInstance, this);
    return hWnd != nullptr;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    return hWnd ? reinterpret_cast<CWnd*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA)) : nullptr;
}

void CWnd::Attach(HWND hWnd)
{
    m_hWnd = hWnd;
    ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void CWnd::Detach()
{
    ::SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
    if (m_pfnSuper)
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    m_hWnd = nullptr;
}

LRESULT CALLBACK CWnd::StdWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = FromHandlePermanent(hWnd);
    if (!pWnd && message == WM_NCCREATE) {
        pWnd = static_cast<CWnd*>(reinterpret_cast<LPCREATESTRUCTA>(lParam)->lpCreateParams);
        pWnd->Attach(hWnd);
    }
    if (!pWnd)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);

    const LRESULT result = pWnd->WindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        pWnd->Detach();
        // Like the classic framework: the main window's end is the program's end.
        CWinApp* pApp = AfxGetApp();
        if (pApp && pApp->m_pMainWnd == pWnd) {
            pApp->m_pMainWnd = nullptr;
            ::PostQuitMessage(0);
        }
    }
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const UINT nCode = HIWORD(wParam);
    const UINT nID = LOWORD(wParam);
    for (const MessageMap* pMap = GetMessageMap(); pMap; pMap = pMap->pBaseMap) {
        for (std::size_t i = 0; i < pMap->nCount; ++i) {
            const MessageMapEntry& entry = pMap->pEntries[i];
            if (entry.nMessage != message)
                continue;
            if (message == WM_COMMAND && (entry.nCode != nCode || entry.nID != nID))
                continue;
            const MSG msg = {m_hWnd, message, wParam, lParam, 0, {0, 0}};
            const MSG* pOuter = m_pCurrentMsg;
            m_pCurrentMsg = &msg;
            *pResult = entry.pfn(this, wParam, lParam);
            m_pCurrentMsg = pOuter;
            return true;
        }
    }
    return false;
}

const MessageMap* CWnd::GetMessageMap() const
{
    return nullptr;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    if (!m_pCurrentMsg)
        return 0;
    return DefWindowProc(m_pCurrentMsg->message, m_pCurrentMsg->wParam, m_pCurrentMsg->lParam);
}

void CWnd::GetWindowText(CString& rString) const
{
    const int n = ::GetWindowTextLengthA(m_hWnd);
    CString text;
    char* buffer = text.GetBufferSetLength(n + 1);
    rString = text.Left(::GetWindowTextA(m_hWnd, buffer, n + 1));
}

void CWnd::CenterWindow()
{
    RECT rcWindow;
    ::GetWindowRect(m_hWnd, &rcWindow);

    RECT rcArea;
    const HWND hWndOwner = ::GetWindow(m_hWnd, GW_OWNER);
    if (hWndOwner && ::IsWindowVisible(hWndOwner) && !::IsIconic(hWndOwner)) {
        ::GetWindowRect(hWndOwner, &rcArea);
    } else {
        MONITORINFO mi = {};
        mi.cbSize = sizeof(mi);
        ::GetMonitorInfoA(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &mi);
        rcArea = mi.rcWork;
    }

    const int cx = rcWindow.right - rcWindow.left;
    const int cy = rcWindow.bottom - rcWindow.top;
    const int x = (rcArea.left + rcArea.right - cx) / 2;
    const int y = (rcArea.top + rcArea.bottom - cy) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
