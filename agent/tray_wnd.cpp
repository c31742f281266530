// CTrayWnd: creation, the tray icon, the clipboard chain and the exit sequences.
#include "agent/tray_wnd.h"

#include <objbase.h>

#include "app/running_agent.h"
#include "app/search_app.h"
#include "framework/cstring.h"
#include "framework/win_app.h"
#include "res/resource.h"
#include "search/clipboard_search.h"
#include "ui/about_dlg.h"
#include "ui/settings_dlg.h"

namespace {

// Any fixed value serves, as long as every change and the removal use it too.
constexpr UINT kTrayIconId = 1;

// The classic notify-icon record, understood by every shell.
constexpr DWORD kRecordSize = NOTIFYICONDATAA_V1_SIZE;

// The shell may refuse an icon while it is busy, as at sign-in, and need not
// say when it is ready: a refused one is offered again this often, for two minutes.
constexpr UINT kIconRetryMs = 4000;
constexpr int kIconTries = 30;

// How long the next viewer gets to take a notification.
constexpr UINT kPassOnTimeoutMs = 2000;

// Sent to every top-level window when the shell (re)starts its taskbar.
UINT TaskbarCreatedMessage()
{
    static const UINT message = ::RegisterWindowMessageA("TaskbarCreated");
    return message;
}

}  // namespace

UINT CTrayWnd::ShowIconMessage()
{
    static const UINT message = ::RegisterWindowMessageA("TORVEN_QUILLFIND_SHOW_ICON");
    return message;
}

BOOL CTrayWnd::Create()
{
    return CreateEx(WS_EX_TOOLWINDOW, kTitle, 0, 0, 0, 0, 0, nullptr, nullptr);
}

const MessageMap* CTrayWnd::GetMessageMap() const
{
    static const MessageMapEntry entries[] = {
        OnMessage<&CTrayWnd::OnCreate>(WM_CREATE),
        OnMessage<&CTrayWnd::OnClose>(WM_CLOSE),
        OnMessage<&CTrayWnd::OnEndSession>(WM_ENDSESSION),
        OnMessage<&CTrayWnd::OnTimer>(WM_TIMER),
        OnMessage<&CTrayWnd::OnDpiChanged>(WM_DPICHANGED),
        OnMessage<&CTrayWnd::OnTrayNotify>(WM_TRAYNOTIFY),
        OnMessage<&CTrayWnd::OnSearchCopies>(WM_SEARCHCOPIES),
        OnCommand<&CTrayWnd::ToggleMonitoring>(ID_TRAY_TOGGLE),
        OnCommand<&CTrayWnd::Exit>(ID_TRAY_EXIT),
        OnCommand<&CTrayWnd::OnOpenSettings>(ID_TRAY_SETTINGS),
        OnCommand<&CTrayWnd::OnOpenVersion>(ID_TRAY_VERSION),
    };
    static const MessageMap map = MakeMessageMap(nullptr, entries);
    return &map;
}

int CTrayWnd::OnCreate(LPCREATESTRUCTA)
{
    if (Default() == -1)
        return -1;

    m_nTrayIconId = kTrayIconId;
    m_bLeft = FALSE;
    m_nIconTries = 0;
    // Run as administrator, the program hears from the shell and from a
    // second start, at the user's level, only what it lets through.
    for (const UINT message : {TaskbarCreatedMessage(), ShowIconMessage(), EndMessage()})
        ::ChangeWindowMessageFilterEx(m_hWnd, message, MSGFLT_ALLOW, nullptr);
    LoadTrayIcons(AfxGetWindowDpi(m_hWnd));
    AddTrayIcon(IDI_ACTIVE);
    m_bMonitoring = FALSE;

    // The library stays initialised for the life of the process.
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        RemoveTrayIcon();
        return -1;
    }

    ToggleMonitoring();
    m_bDialogOpen = FALSE;

    m_watcher.Start();
    // Joining sends the first WM_DRAWCLIPBOARD before it returns: the text
    // already on the clipboard is read now, to be searched through the
    // shell since start-up has not finished, and it is not passed on, as
    // the next viewer is not known yet.
    m_hWndNextViewer = ::SetClipboardViewer(m_hWnd);
    return 0;
}

LRESULT CTrayWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DRAWCLIPBOARD)
        OnDrawClipboard(wParam, lParam);
    else if (message == WM_CHANGECBCHAIN)
        OnChangeCbChain(wParam, lParam);
    else if (message != 0 && message == TaskbarCreatedMessage())
        RestoreTrayIcon();
    else if (message != 0 && message == ShowIconMessage())
        return OnShowIcon(wParam, lParam);
    else if (message != 0 && message == EndMessage())
        message = WM_CLOSE;
    return CWnd::WindowProc(message, wParam, lParam);
}

// The news goes on down the chain at once, whatever becomes of the change.
void CTrayWnd::OnDrawClipboard(WPARAM wParam, LPARAM lParam)
{
    m_watcher.OnDrawClipboard(m_bMonitoring);
    // A next viewer that hangs is not waited for: it misses this change.
    PassOn(WM_DRAWCLIPBOARD, wParam, lParam, SMTO_ABORTIFHUNG);
}

// A second start gives its version, the halves of its file version, and
// hears whether this agent runs that version; either way the icon comes back.
LRESULT CTrayWnd::OnShowIcon(WPARAM wParam, LPARAM lParam)
{
    RestoreTrayIcon();
    const ULONGLONG version = GetOwnVersion();
    return wParam == static_cast<DWORD>(version >> 32) && static_cast<DWORD>(lParam) == static_cast<DWORD>(version);
}

void CTrayWnd::OnTimer(UINT_PTR nIDEvent)
{
    ::KillTimer(m_hWnd, nIDEvent);
    if (nIDEvent == IDT_CLIPBOARD_RETRY)
        m_watcher.OnRetryTimer();
    else if (nIDEvent == IDT_TRAY_ICON_RETRY)
        AddTrayIcon(CurrentIconId());
}

void CTrayWnd::OnSearchCopies()
{
    m_watcher.SearchWaitingCopies();
}

// A next viewer that hangs must not hang this one.
void CTrayWnd::PassOn(UINT message, WPARAM wParam, LPARAM lParam, UINT fuFlags) const
{
    if (m_hWndNextViewer)
        ::SendMessageTimeoutA(m_hWndNextViewer, message, wParam, lParam, fuFlags, kPassOnTimeoutMs, nullptr);
}

void CTrayWnd::OnChangeCbChain(WPARAM wParam, LPARAM lParam)
{
    const HWND hWndRemoved = reinterpret_cast<HWND>(wParam);
    if (hWndRemoved == m_hWndNextViewer)
        m_hWndNextViewer = reinterpret_cast<HWND>(lParam);
    else
        // Waited for a while, never dropped: a viewer that misses this keeps
        // passing changes to a window that has left, and the chain breaks.
        PassOn(WM_CHANGECBCHAIN, wParam, lParam, SMTO_NORMAL);
}

// Every way out: the chain stays whole, the icon goes, and nothing that was
// waiting is searched any more.
void CTrayWnd::Leave()
{
    if (m_bLeft)
        return;
    m_bLeft = TRUE;
    m_watcher.Stop();
    ::KillTimer(m_hWnd, IDT_TRAY_ICON_RETRY);
    ::ChangeClipboardChain(m_hWnd, m_hWndNextViewer);
    RemoveTrayIcon();
}

void CTrayWnd::OnClose()
{
    Leave();
    Default();
}

void CTrayWnd::Exit()
{
    Leave();
    ::PostQuitMessage(0);
}

// The session ends, or Restart Manager closes the program, without a
// WM_CLOSE; the process may end any time after this.
void CTrayWnd::OnEndSession(BOOL bEnding)
{
    if (!bEnding)
        return;
    Leave();
    ::PostQuitMessage(0);
}

// Nor is there a menu while the question before many searches is open. One
// during a search is how the user stops it: switching monitoring off, or
// ending the program.
void CTrayWnd::OnTrayNotify(UINT, UINT nMouseMessage)
{
    if (nMouseMessage == WM_LBUTTONDOWN)
        ToggleMonitoring();
    else if (nMouseMessage == WM_RBUTTONDOWN && !m_bDialogOpen && !m_watcher.IsAsking())
        ShowTrayMenu();
}

void CTrayWnd::ShowTrayMenu()
{
    const CMenuHandle menu(::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAYMENU)));
    const HMENU hPopup = menu ? ::GetSubMenu(menu.get(), 0) : nullptr;
    if (!hPopup)
        return;

    CString toggle;
    toggle.LoadString(m_bMonitoring ? IDS_DISABLE : IDS_ENABLE);
    ::ModifyMenuA(hPopup, ID_TRAY_TOGGLE, MF_BYCOMMAND | MF_STRING, ID_TRAY_TOGGLE, toggle);
    // A dialog would hold up the rest of a copy under way, and its OK would
    // send the rest to another site.
    if (m_watcher.IsSearching()) {
        for (const UINT nId : {ID_TRAY_VERSION, ID_TRAY_SETTINGS})
            ::EnableMenuItem(hPopup, nId, MF_BYCOMMAND | MF_GRAYED);
    }

    POINT pt;
    ::GetCursorPos(&pt);
    // A tray menu only closes on a click elsewhere if its owner is in the
    // foreground, and only reliably if a message follows the tracking.
    SetForegroundWindow();
    ::TrackPopupMenu(hPopup, TPM_LEFTALIGN, pt.x, pt.y, 0, m_hWnd, nullptr);
    PostMessage(WM_NULL);
}

// The dialogs run modally; while they do, the right button shows no menu, so
// at most one of them is open. A menu opened just before a copy came may
// still send its command during the search: that opens none.
void CTrayWnd::RunDialog(CDialog& dlg)
{
    if (m_watcher.IsSearching())
        return;
    m_bDialogOpen = TRUE;
    dlg.DoModal();
    m_bDialogOpen = FALSE;
}

void CTrayWnd::OnOpenSettings()
{
    CSettingsDlg dlg;
    RunDialog(dlg);
}

void CTrayWnd::OnOpenVersion()
{
    CAboutDlg dlg;
    RunDialog(dlg);
}

void CTrayWnd::ToggleMonitoring()
{
    m_bMonitoring = !m_bMonitoring;
    if (!m_bMonitoring)
        m_watcher.Cancel();
    UpdateTrayIcon();
}

BOOL CTrayWnd::NotifyIcon(DWORD dwMessage, NOTIFYICONDATAA* pData)
{
    return ::Shell_NotifyIconA(dwMessage, pData);
}

void CTrayWnd::LoadTrayIcons(UINT nDpi)
{
    m_iconActive.reset(AfxLoadSizedIcon(IDI_ACTIVE, true, nDpi));
    m_iconInactive.reset(AfxLoadSizedIcon(IDI_INACTIVE, true, nDpi));
}

UINT CTrayWnd::CurrentIconId() const
{
    return m_bMonitoring ? IDI_ACTIVE : IDI_INACTIVE;
}

HICON CTrayWnd::TrayIcon(UINT nIconId) const
{
    return (nIconId == IDI_ACTIVE ? m_iconActive : m_iconInactive).get();
}

// The tray draws its icons at the small-icon size; one loaded at another
// size would be shrunk by dropping pixels. The shell keeps a copy of the
// image it was given, so the old one can go.
void CTrayWnd::OnDpiChanged(UINT nDpi, const RECT*)
{
    LoadTrayIcons(nDpi);
    UpdateTrayIcon();
}

// The record for this window's icon: what uFlags names is filled in, the
// callback message and the icon nIconId among it.
NOTIFYICONDATAA CTrayWnd::MakeRecord(UINT uFlags, UINT nIconId) const
{
    NOTIFYICONDATAA nid = {};
    nid.cbSize = kRecordSize;
    nid.hWnd = m_hWnd;
    nid.uID = m_nTrayIconId;
    nid.uFlags = uFlags;
    if (uFlags & NIF_MESSAGE)
        nid.uCallbackMessage = WM_TRAYNOTIFY;
    if (uFlags & NIF_ICON)
        nid.hIcon = TrayIcon(nIconId);
    return nid;
}

// An icon the shell already holds, as one added just before a time-out, is
// brought up to date instead.
void CTrayWnd::AddTrayIcon(UINT nIconId)
{
    NOTIFYICONDATAA nid = MakeRecord(NIF_MESSAGE | NIF_ICON | NIF_TIP, nIconId);
    ::lstrcpynA(nid.szTip, AfxGetApp()->m_pszAppName, sizeof nid.szTip);
    if (NotifyIcon(NIM_ADD, &nid) || NotifyIcon(NIM_MODIFY, &nid))
        ::KillTimer(m_hWnd, IDT_TRAY_ICON_RETRY);
    else if (++m_nIconTries <= kIconTries)
        ::SetTimer(m_hWnd, IDT_TRAY_ICON_RETRY, kIconRetryMs, nullptr);
}

// The shell restarted its taskbar, after a change of the display scale too,
// or a second start asks, since without its icon the program can be neither
// switched off nor ended: the icon comes back as it was.
void CTrayWnd::RestoreTrayIcon()
{
    if (m_bLeft)
        return;
    LoadTrayIcons(AfxGetWindowDpi(m_hWnd));
    m_nIconTries = 0;
    AddTrayIcon(CurrentIconId());
}

void CTrayWnd::UpdateTrayIcon()
{
    NOTIFYICONDATAA nid = MakeRecord(NIF_MESSAGE | NIF_ICON, CurrentIconId());
    NotifyIcon(NIM_MODIFY, &nid);
}

void CTrayWnd::RemoveTrayIcon()
{
    NOTIFYICONDATAA nid = MakeRecord(0, 0);
    NotifyIcon(NIM_DELETE, &nid);
}

// What a search left undone is not silent: one balloon per clipboard change,
// with the lines left unsearched and the result code of a failed launch. The
// balloon needs the larger record; the icon's own records stay the classic size.
void CTrayWnd::ShowSearchBalloon(const SearchOutcome& outcome)
{
    CString text;
    if (outcome.nUnsearched > 0) {
        CString unsearched;
        unsearched.LoadString(IDS_LINES_UNSEARCHED);
        text.Format("%d", outcome.nUnsearched);
        text += unsearched;
    }
    if (FAILED(outcome.hrFirstFailure)) {
        CString failure;
        failure.LoadString(IDS_LAUNCH_FAILED);
        CString code;
        code.Format(" (0x%08lX)", static_cast<unsigned long>(outcome.hrFirstFailure));
        text += (text.IsEmpty() ? "" : "\r\n") + failure + code;
    }

    NOTIFYICONDATAA nid = MakeRecord(NIF_INFO, 0);
    nid.cbSize = NOTIFYICONDATAA_V2_SIZE;
    nid.dwInfoFlags = FAILED(outcome.hrFirstFailure) ? NIIF_ERROR : NIIF_WARNING;
    ::lstrcpynA(nid.szInfo, text, sizeof nid.szInfo);
    ::lstrcpynA(nid.szInfoTitle, AfxGetApp()->m_pszAppName, sizeof nid.szInfoTitle);
    NotifyIcon(NIM_MODIFY, &nid);
}
