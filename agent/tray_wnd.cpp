// CTrayWnd: creation, the tray icon, the clipboard chain and the exit sequences.
#include "agent/tray_wnd.h"

#include <objbase.h>

#include <new>
#include <utility>

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

// Clipboard history and remote-desktop agents open the clipboard right after
// each change too: one held that way is tried again this often, and given
// up after about half a second.
constexpr UINT kReadRetryMs = 50;
constexpr int kReadTries = 10;

// How long the next viewer gets to take a notification.
constexpr UINT kPassOnTimeoutMs = 2000;

// Sent to every top-level window when the shell (re)starts its taskbar.
UINT TaskbarCreatedMessage()
{
    static const UINT message = ::RegisterWindowMessageA("TaskbarCreated");
    return message;
}

}  // namespace

BOOL CTrayWnd::Create()
{
    // One agent a session: a second would add a second icon and search every
    // copy twice. The name is the session's, so each user has an agent.
    m_instance.reset();
    const HANDLE hInstance = ::CreateMutexA(nullptr, FALSE, "Local\\TORVEN_QUILLFIND");
    const bool bFirst = hInstance && ::GetLastError() != ERROR_ALREADY_EXISTS;
    m_instance.reset(hInstance);
    if (bFirst && CreateEx(WS_EX_TOOLWINDOW, "TORVEN_QUILLFIND", 0, 0, 0, 0, 0, nullptr, nullptr))
        return TRUE;
    m_instance.reset();
    return FALSE;
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
    else if (message == TaskbarCreatedMessage() && message != 0) {
        // The shell restarts its taskbar after a change of the display scale too.
        LoadTrayIcons(AfxGetWindowDpi(m_hWnd));
        AddTrayIcon(m_bMonitoring ? IDI_ACTIVE : IDI_INACTIVE);
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

// The text is taken out at once, before another change can replace it, and
// the news goes on down the chain at once too. The search waits for a
// message of its own: the browser's automation server is another process,
// and Windows refuses calls to it from a thread that is replying to another
// program's sent message, as the viewer before this one sends it.
void CTrayWnd::OnDrawClipboard(WPARAM wParam, LPARAM lParam)
{
    if (m_bMonitoring) {
        m_nReadTries = 0;
        m_bReadAtStartUp = !theApp.IsStarted();
        ReadChange();
    }
    // A next viewer that hangs is not waited for: it misses this change.
    PassOn(WM_DRAWCLIPBOARD, wParam, lParam, SMTO_ABORTIFHUNG);
}

void CTrayWnd::ReadChange()
{
    ::KillTimer(m_hWnd, IDT_CLIPBOARD_RETRY);
    m_dwChange = ::GetClipboardSequenceNumber();
    try {
        CWaitingCopy copy;
        switch (ReadClipboardText(copy.text)) {
        case ClipboardRead::kText:
            copy.bStartUp = m_bReadAtStartUp;
            m_waitingCopies.AddTail(std::move(copy));
            PostMessage(WM_SEARCHCOPIES);
            break;
        case ClipboardRead::kHeld:
            if (++m_nReadTries < kReadTries)
                ::SetTimer(m_hWnd, IDT_CLIPBOARD_RETRY, kReadRetryMs, nullptr);
            break;
        case ClipboardRead::kNone:
            break;
        }
    } catch (const std::bad_alloc&) {
        // A copy too large for memory is not searched; later ones are.
    }
}

void CTrayWnd::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != IDT_CLIPBOARD_RETRY)
        return;
    ::KillTimer(m_hWnd, IDT_CLIPBOARD_RETRY);
    // Once the clipboard has changed again, the change that was held is gone,
    // and the new one is read on its own notification.
    if (::GetClipboardSequenceNumber() == m_dwChange)
        ReadChange();
}

// Searching lets messages in (a call into the browser's process, a box), and
// a copy that arrives meanwhile waits behind the one under way, so copies are
// searched one after another, in the order they came.
void CTrayWnd::OnSearchCopies()
{
    if (m_bSearching)
        return;
    m_bSearching = TRUE;
    for (CWaitingCopy copy; !m_bLeft && m_waitingCopies.RemoveHead(copy);) {
        try {
            if (!MaySearch(copy.text))
                continue;
            const SearchOutcome outcome = SearchClipboardText(copy.text, copy.bStartUp, m_bLeft);
            if (FAILED(outcome.hrFirstFailure) || outcome.nUnsearched > 0)
                ShowSearchBalloon(outcome);
        } catch (const std::bad_alloc&) {
            // Out of memory for the question or the balloon: the next copy goes on.
        }
    }
    m_bSearching = FALSE;
}

// Copying a log or a page opens hundreds of windows at once, so a copy that
// would open more than a handful asks first, as browsers do before opening
// many tabs. Changes that arrive meanwhile wait their turn; the tray's menu
// stays closed, as while a dialog is open.
BOOL CTrayWnd::MaySearch(const CClipboardText& text)
{
    const int nLimit = theApp.GetSearchesBeforeAsking();
    if (nLimit == 0)
        return TRUE;
    const int nSearches = CountSearches(text);
    if (nSearches <= nLimit)
        return TRUE;

    CString format, question;
    format.LoadString(IDS_ASK_BEFORE_SEARCHING);
    question.FormatMessage(format, nSearches, static_cast<const char*>(theApp.GetSiteName(theApp.GetCurrentSiteIndex())));
    const BOOL bDialogWasOpen = m_bDialogOpen;
    m_bDialogOpen = TRUE;
    // On top, but not taking the keyboard from the program the user is
    // typing in, where an Enter meant for it would answer Yes.
    const int nAnswer = MessageBox(question, AfxGetApp()->m_pszAppName, MB_YESNO | MB_ICONQUESTION | MB_TOPMOST);
    m_bDialogOpen = bDialogWasOpen;
    // The program may have ended while the box was open: closed, the box
    // went with the window that owns it.
    return nAnswer == IDYES && !m_bLeft;
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
    ::KillTimer(m_hWnd, IDT_CLIPBOARD_RETRY);
    m_waitingCopies.RemoveAll();
    ::ChangeClipboardChain(m_hWnd, m_hWndNextViewer);
    RemoveTrayIcon();
    m_instance.reset();
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

void CTrayWnd::OnTrayNotify(UINT, UINT nMouseMessage)
{
    if (nMouseMessage == WM_LBUTTONDOWN)
        ToggleMonitoring();
    else if (nMouseMessage == WM_RBUTTONDOWN && !m_bDialogOpen)
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

    POINT pt;
    ::GetCursorPos(&pt);
    // A tray menu only closes on a click elsewhere if its owner is in the
    // foreground, and only reliably if a message follows the tracking.
    SetForegroundWindow();
    ::TrackPopupMenu(hPopup, TPM_LEFTALIGN, pt.x, pt.y, 0, m_hWnd, nullptr);
    PostMessage(WM_NULL);
}

// The dialogs run modally; while they do, the right button shows no menu, so
// at most one of them is open.
void CTrayWnd::OnOpenSettings()
{
    m_bDialogOpen = TRUE;
    CSettingsDlg dlg;
    dlg.DoModal();
    m_bDialogOpen = FALSE;
}

void CTrayWnd::OnOpenVersion()
{
    m_bDialogOpen = TRUE;
    CAboutDlg dlg;
    dlg.DoModal();
    m_bDialogOpen = FALSE;
}

void CTrayWnd::ToggleMonitoring()
{
    m_bMonitoring = !m_bMonitoring;
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

// Also run when the shell restarts, so the icon comes back as it was.
void CTrayWnd::AddTrayIcon(UINT nIconId)
{
    NOTIFYICONDATAA nid = MakeRecord(NIF_MESSAGE | NIF_ICON | NIF_TIP, nIconId);
    ::lstrcpynA(nid.szTip, AfxGetApp()->m_pszAppName, sizeof nid.szTip);
    NotifyIcon(NIM_ADD, &nid);
}

void CTrayWnd::UpdateTrayIcon()
{
    NOTIFYICONDATAA nid = MakeRecord(NIF_MESSAGE | NIF_ICON, m_bMonitoring ? IDI_ACTIVE : IDI_INACTIVE);
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
