// CTrayWnd: the hidden agent window that owns the tray icon, the monitoring
// state and the program's place in the clipboard viewer chain.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "agent/clipboard_watcher.h"
#include "framework/holders.h"
#include "framework/wnd.h"

class CDialog;
struct SearchOutcome;

class CTrayWnd : public CWnd {
public:
    // The title other programs, and a second start, find the agent by.
    static constexpr const char* kTitle = "TORVEN_QUILLFIND";
    // Sent by a second start: the icon is shown again, as the shell may
    // have lost it, and the answer says whether the start's version is this one's.
    static UINT ShowIconMessage();
    // Posted by a second start of another copy, and by the installer: the
    // program ends, as on WM_CLOSE, which would not pass the privilege
    // filter of an agent run as administrator. Here, for the installer's
    // actions too.
    static UINT EndMessage()
    {
        static const UINT message = ::RegisterWindowMessageA("TORVEN_QUILLFIND_END");
        return message;
    }

    // A hidden tool window, neither on the taskbar nor in the task switcher.
    virtual BOOL Create();

    void ToggleMonitoring();
    void UpdateTrayIcon();
    // Leaves the chain, removes the icon and ends the message loop with code 0.
    void Exit();
    // The image of IDI_ACTIVE or IDI_INACTIVE that the tray shows, at the
    // small-icon size of the display scale of the moment.
    HICON TrayIcon(UINT nIconId) const;
    // One balloon per clipboard change whose search left something undone.
    void ShowSearchBalloon(const SearchOutcome& outcome);

    UINT m_nTrayIconId = 0;
    BOOL m_bMonitoring = FALSE;
    BOOL m_bDialogOpen = FALSE;
    HWND m_hWndNextViewer = nullptr;

protected:
    // The clipboard-chain messages and the registered ones are handled here,
    // ahead of the message map.
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
    void OnDrawClipboard(WPARAM wParam, LPARAM lParam);
    LRESULT OnShowIcon(WPARAM wParam, LPARAM lParam);
    void OnChangeCbChain(WPARAM wParam, LPARAM lParam);
    void PassOn(UINT message, WPARAM wParam, LPARAM lParam, UINT fuFlags) const;
    void Leave();
    UINT CurrentIconId() const;
    void LoadTrayIcons(UINT nDpi);
    NOTIFYICONDATAA MakeRecord(UINT uFlags, UINT nIconId) const;
    void RunDialog(CDialog& dlg);
    void AddTrayIcon(UINT nIconId);
    void RestoreTrayIcon();
    void RemoveTrayIcon();

    CClipboardWatcher m_watcher{*this};
    CIconHandle m_iconActive;
    CIconHandle m_iconInactive;
    BOOL m_bLeft = FALSE;
    // The tries at adding an icon the shell refused.
    int m_nIconTries = 0;
};
