// CClipboardWatcher: reading each change, retrying a held clipboard, and the
// copies that wait for their searches.
#include "agent/clipboard_watcher.h"

#include <new>
#include <utility>

#include "agent/tray_wnd.h"
#include "app/search_app.h"
#include "framework/cstring.h"
#include "framework/win_app.h"
#include "res/resource.h"
#include "search/clipboard_search.h"

namespace {

// Clipboard history and remote-desktop agents open the clipboard right after
// each change too: one held that way is tried again this often, and given
// up after about half a second.
constexpr UINT kReadRetryMs = 50;
constexpr int kReadTries = 10;

}  // namespace

void CClipboardWatcher::Start()
{
    m_bStopped = FALSE;
    m_bNotified = FALSE;
}

// A viewer that leaves and rejoins the chain passes on the notification its
// joining brings, with nothing changed; text already searched, which may be
// private, is not searched again, nor text copied while monitoring was off.
//
// The text is taken out at once, before another change can replace it. The
// search waits for a message of its own: the browser's automation server is
// another process, and Windows refuses calls to it from a thread that is
// replying to another program's sent message, as the viewer before this one
// sends it.
void CClipboardWatcher::OnDrawClipboard(BOOL bMonitoring)
{
    const DWORD dwChange = ::GetClipboardSequenceNumber();
    if (m_bNotified && dwChange == m_dwChange)
        return;
    m_bNotified = TRUE;
    m_dwChange = dwChange;
    CancelRetry();
    if (!bMonitoring)
        return;
    m_nReadTries = 0;
    m_bReadAtStartUp = !theApp.IsStarted();
    Read();
}

void CClipboardWatcher::Read()
{
    try {
        CWaitingCopy copy;
        switch (ReadClipboardText(copy.text)) {
        case ClipboardRead::kText:
            copy.bStartUp = m_bReadAtStartUp;
            m_waitingCopies.AddTail(std::move(copy));
            m_wnd.PostMessage(WM_SEARCHCOPIES);
            break;
        case ClipboardRead::kHeld:
            if (++m_nReadTries < kReadTries)
                m_bRetrying = ::SetTimer(m_wnd.m_hWnd, IDT_CLIPBOARD_RETRY, kReadRetryMs, nullptr) != 0;
            break;
        case ClipboardRead::kNone:
            break;
        }
    } catch (const std::bad_alloc&) {
        // A copy too large for memory is not searched; later ones are.
    }
}

// Once the clipboard has changed again, the change that was held is gone,
// and the new one is read on its own notification.
void CClipboardWatcher::OnRetryTimer()
{
    m_bRetrying = FALSE;
    if (!m_bStopped && ::GetClipboardSequenceNumber() == m_dwChange)
        Read();
}

// Every change comes here, so the timer is killed only when it is set.
void CClipboardWatcher::CancelRetry()
{
    if (m_bRetrying)
        ::KillTimer(m_wnd.m_hWnd, IDT_CLIPBOARD_RETRY);
    m_bRetrying = FALSE;
}

// Searching lets messages in (a call into the browser's process, the wait
// for a launcher, a box), and a copy that arrives meanwhile waits behind the
// one under way, so copies are searched one after another, in the order they came.
void CClipboardWatcher::SearchWaitingCopies()
{
    if (m_bSearching)
        return;
    m_bSearching = TRUE;
    for (CWaitingCopy copy; !m_bStopped && m_waitingCopies.RemoveHead(copy);) {
        try {
            if (!MaySearch(copy.text))
                continue;
            const SearchOutcome outcome = SearchClipboardText(copy.text, copy.bStartUp, m_bStopped);
            if (FAILED(outcome.hrFirstFailure) || outcome.nUnsearched > 0)
                m_wnd.ShowSearchBalloon(outcome);
        } catch (const std::bad_alloc&) {
            // Out of memory for the question or the balloon: the next copy goes on.
        }
    }
    m_bSearching = FALSE;
}

// Copying a log or a page opens hundreds of windows at once, so a copy that
// would open more than a handful asks first, as browsers do before opening
// many tabs. Changes that arrive meanwhile wait their turn.
BOOL CClipboardWatcher::MaySearch(const CClipboardText& text)
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
    // On top, but not taking the keyboard from the program the user is
    // typing in, where an Enter meant for it would answer Yes.
    return m_wnd.MessageBox(question, AfxGetApp()->m_pszAppName, MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) == IDYES;
}

void CClipboardWatcher::Stop()
{
    m_bStopped = TRUE;
    CancelRetry();
    m_waitingCopies.RemoveAll();
}
