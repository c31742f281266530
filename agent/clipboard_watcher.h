// CClipboardWatcher: what becomes of each change of the clipboard, from its
// notification to its searches.
#pragma once

#include <windows.h>

#include "agent/copy_rule.h"
#include "framework/list.h"
#include "search/clipboard_text.h"

class CTrayWnd;

// The agent window hands it every notification of the clipboard chain. A
// change is read at once and waits in a queue; its searches run from a
// message posted to the window, one copy after another, in the order they
// came. The window's timer IDT_CLIPBOARD_RETRY is the watcher's.
class CClipboardWatcher {
public:
    explicit CClipboardWatcher(CTrayWnd& wnd) : m_wnd(wnd) {}
    CClipboardWatcher(const CClipboardWatcher&) = delete;
    CClipboardWatcher& operator=(const CClipboardWatcher&) = delete;

    // Ready for the window's first notification, which is a change whatever
    // the clipboard holds.
    void Start();
    // A WM_DRAWCLIPBOARD: a change is read if bMonitoring, and searched if
    // it is a copy (CCopyRule).
    void OnDrawClipboard(BOOL bMonitoring);
    void OnRetryTimer();
    // WM_SEARCHCOPIES: searches what waits, unless a search is under way.
    void SearchWaitingCopies();
    // While a copy is searched: its launches, their waits and the question.
    BOOL IsSearching() const { return m_bSearching; }
    // While the question before many searches is open.
    BOOL IsAsking() const { return m_bAsking; }
    // Monitoring went off: the copy under way stops after its current line,
    // and what waits behind it, or for a held clipboard, is dropped.
    void Cancel();
    // The program ends: as Cancel, and nothing is searched any more.
    void Stop();

private:
    // A clipboard change's text, waiting for its search.
    struct CWaitingCopy {
        CClipboardText text;
        // Read before start-up had finished: its searches go to the shell.
        BOOL bStartUp = FALSE;
        // The window that must still exist for it to be searched (kSearchIfOwnerStays).
        HWND hOwner = nullptr;
    };

    void Read();
    void CancelRetry();
    // Whether a copy's searches may open: a copy that would open more of them
    // than the settings allow asks the user first.
    BOOL MaySearch(const CClipboardText& text);

    CTrayWnd& m_wnd;
    CList<CWaitingCopy> m_waitingCopies;
    BOOL m_bSearching = FALSE;
    BOOL m_bAsking = FALSE;
    BOOL m_bCancelled = FALSE;
    BOOL m_bStopped = FALSE;
    CCopyRule m_rule;
    // The change being read, what is known of it so far, the tries at
    // reading it, and whether it came before start-up had finished.
    DWORD m_dwChange = 0;
    ClipboardFacts m_facts;
    int m_nReadTries = 0;
    BOOL m_bReadAtStartUp = FALSE;
    BOOL m_bRetrying = FALSE;
    BOOL m_bReading = FALSE;
    BOOL m_bReadAgain = FALSE;
    BOOL m_bReadCancelled = FALSE;
};
