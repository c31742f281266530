// CTrayWnd: the hidden agent window that owns the tray icon, the monitoring
// state and the program's place in the clipboard viewer chain.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "framework/holders.h"
#include "framework/list.h"
#include "framework/wnd.h"
#include "search/clipboard_text.h"

struct SearchOutcome;

class CTrayWnd : public CWnd {
public:
    // A hidden tool window, neither on the taskbar nor in the task switcher.
    // FALSE, with nothing made, when another agent runs in this session.
    virtual BOOL Create();

    void ToggleMonitoring();
    void UpdateTrayIcon();
    // Leaves the chain, removes the icon and ends the message loop with code 0.
    void Exit();
    // The image of IDI_ACTIVE or IDI_INACTIVE that the tray shows, at the
    // small-icon size of the display scale of the moment.
    HICON TrayIcon(UINT nIconId) const;

    UINT m_nTrayIconId = 0;
    BOOL m_bMonitoring = FALSE;
    BOOL m_bDialogOpen = FALSE;
    HWND m_hWndNextViewer = nullptr;

protected:
    // The clipboard-chain messages are handled here, ahead of the message map.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    const MessageMap* GetMessageMap() const override;

    // Every record the shell's notification area gets passes through here.
    virtual BOOL NotifyIcon(DWORD dwMessage, NOTIFYICONDATAA* pData);

    int OnCreate(LPCREATESTRUCTA pCreateStruct);
    void OnClose();
    void OnEndSession(BOOL bEnding);
    void OnTimer(UINT_PTR nIDEvent);
    void OnDpiChanged(UINT nDpi, const RECT* pSuggested);
    void OnTrayNotify(UINT nIconId, UINT nMouseMessage);
    void OnSearchCopies();
    void OnOpenSettings();
    void OnOpenVersion();

    // Shows the tray menu at the mouse cursor; the chosen command comes back
    // to this window as WM_COMMAND.
    void ShowTrayMenu();

private:
    // A clipboard change's text, waiting for its search.
    struct CWaitingCopy {
        CClipboardText text;
        // Read before start-up had finished: its searches go to the shell.
        BOOL bStartUp = FALSE;
    };

    void OnDrawClipboard(WPARAM wParam, LPARAM lParam);
    void OnChangeCbChain(WPARAM wParam, LPARAM lParam);
    void ReadChange();
    // Whether a copy's searches may open: a copy that would open more of them
    // than the settings allow asks the user first.
    BOOL MaySearch(const CClipboardText& text);
    void PassOn(UINT message, WPARAM wParam, LPARAM lParam, UINT fuFlags) const;
    void Leave();
    void LoadTrayIcons(UINT nDpi);
    NOTIFYICONDATAA MakeRecord(UINT uFlags, UINT nIconId) const;
    void AddTrayIcon(UINT nIconId);
    void RemoveTrayIcon();
    void ShowSearchBalloon(const SearchOutcome& outcome);

    CKernelHandle m_instance;
    CIconHandle m_iconActive;
    CIconHandle m_iconInactive;
    CList<CWaitingCopy> m_waitingCopies;
    BOOL m_bSearching = FALSE;
    BOOL m_bLeft = FALSE;
    // The change a held clipboard is tried again for, the tries so far, and
    // whether it came before start-up had finished.
    DWORD m_dwChange = 0;
    int m_nReadTries = 0;
    BOOL m_bReadAtStartUp = FALSE;
};
