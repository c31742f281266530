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

// The clipboard's owner window and whether it exists, and whether the
// window that owned the change before is gone: one rendering its formats as
// it is destroyed may be gone by the time the change is read.
void FindOwners(ClipboardFacts& facts, std::uintptr_t nLastOwner)
{
    const HWND hOwner = ::GetClipboardOwner();
    facts.nOwner = reinterpret_cast<std::uintptr_t>(hOwner);
    facts.bOwnerAlive = hOwner && ::IsWindow(hOwner);
    // Each look is a call to the window server, made for every change.
    const bool bLastAlive = nLastOwner == facts.nOwner ? facts.bOwnerAlive
                                                      : ::IsWindow(reinterpret_cast<HWND>(nLastOwner)) != FALSE;
    facts.bLastOwnerGone = nLastOwner && !bLastAlive;
}

// A program rendering its text again as its window is destroyed tells the
// viewers before the window is gone. Its thread answers a message only once
// it is done destroying it: after that round trip, the window is gone, or
// it was not going. One that does not answer within a second is not waited for.
bool OwnerStays(HWND hOwner)
{
    DWORD_PTR result;
    ::SendMessageTimeoutA(hOwner, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result);
    return ::IsWindow(hOwner) != FALSE;
}

}  // namespace

void CClipboardWatcher::Start()
{
    m_bStopped = FALSE;
    m_rule = CCopyRule();
}

// The text is taken out at once, before another change can replace it. The
// search waits for a message of its own: the browser's automation server is
// another process, and Windows refuses calls to it from a thread that is
// replying to another program's sent message, as the viewer before this one
// sends it.
void CClipboardWatcher::OnDrawClipboard(BOOL bMonitoring)
{
    const DWORD dwSequence = ::GetClipboardSequenceNumber();
    if (!m_rule.IsChange(dwSequence))
        return;
    CancelRetry();
    m_dwChange = dwSequence;
    m_facts = ClipboardFacts();
    m_facts.nTime = ::GetTickCount();
    if (!bMonitoring) {
        // Not read, but known to the rule: neither text copied while
        // monitoring was off nor its owner's rendering it again is searched.
        FindOwners(m_facts, m_rule.LastOwner());
        m_rule.Judge(m_facts, FALSE);
        return;
    }
    m_nReadTries = 0;
    m_bReadAtStartUp = !theApp.IsStarted();
    Read();
}

// Reading lets messages in (a program rendering its text), and a
// notification may come meanwhile: for a newer change, what is read is read
// again, as that change.
void CClipboardWatcher::Read()
{
    if (m_bReading) {
        m_bReadAgain = TRUE;
        return;
    }
    try {
        CWaitingCopy copy;
        ClipboardFacts facts;
        ClipboardRead read;
        OleObject ole;
        m_bReading = TRUE;
        m_bReadCancelled = FALSE;
        do {
            m_bReadAgain = FALSE;
            copy.text = CClipboardText();
            facts = m_facts;
            FindOwners(facts, m_rule.LastOwner());
            read = ReadClipboardText(copy.text, ole);
        } while (m_bReadAgain);
        m_bReading = FALSE;
        // Monitoring went off while the text was read: it stays unread.
        if (m_bReadCancelled) {
            m_rule.Judge(facts, FALSE);
            return;
        }
        if (read == ClipboardRead::kHeld) {
            if (++m_nReadTries < kReadTries)
                m_bRetrying = ::SetTimer(m_wnd.m_hWnd, IDT_CLIPBOARD_RETRY, kReadRetryMs, nullptr) != 0;
            return;
        }
        facts.bRead = true;
        facts.bOleLive = ole == OleObject::kLive;
        facts.bOleReleased = ole == OleObject::kReleased;
        if (read == ClipboardRead::kText)
            facts.nText = CCopyRule::Fingerprint(copy.text);
        // The mode is read afresh, and only for text: nothing else is searched in either.
        const CopyVerdict verdict = m_rule.Judge(facts, read == ClipboardRead::kText && theApp.IsDoubleCopySearched());
        if (verdict == CopyVerdict::kPassOn)
            return;
        if (verdict == CopyVerdict::kSearchIfOwnerStays)
            copy.hOwner = reinterpret_cast<HWND>(m_rule.LastOwner());
        copy.bStartUp = m_bReadAtStartUp;
        m_waitingCopies.AddTail(std::move(copy));
        m_wnd.PostMessage(WM_SEARCHCOPIES);
    } catch (const std::bad_alloc&) {
        // A copy too large for memory is not searched; later ones are.
        m_bReading = FALSE;
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
    // What was cancelled left the queue with it: a copy taken from it now
    // came after.
    for (CWaitingCopy copy; !m_bStopped && m_waitingCopies.RemoveHead(copy);) {
        m_bCancelled = FALSE;
        if (copy.hOwner && !OwnerStays(copy.hOwner))
            continue;
        try {
            if (!MaySearch(copy.text) || m_bCancelled)
                continue;
            const SearchOutcome outcome = SearchClipboardText(copy.text, copy.bStartUp, m_bCancelled);
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
    m_bAsking = TRUE;
    const int nAnswer = m_wnd.MessageBox(question, AfxGetApp()->m_pszAppName, MB_YESNO | MB_ICONQUESTION | MB_TOPMOST);
    m_bAsking = FALSE;
    return nAnswer == IDYES;
}

// A change held when monitoring went off stays unread, as one copied then.
void CClipboardWatcher::Cancel()
{
    if (m_bRetrying) {
        FindOwners(m_facts, m_rule.LastOwner());
        m_rule.Judge(m_facts, FALSE);
    }
    m_bReadCancelled = m_bReading;
    CancelRetry();
    m_bCancelled = TRUE;
    m_waitingCopies.RemoveAll();
}

void CClipboardWatcher::Stop()
{
    m_bStopped = TRUE;
    Cancel();
}
