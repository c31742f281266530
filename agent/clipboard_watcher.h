// CClipboardWatcher: what becomes of each change of the clipboard, from its
// notification to its searches.
#pragma once

#include <windows.h>

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

    // Ready for the window's first notification, which is searched whatever
    // the clipboard holds.
    void Start();
    // A WM_DRAWCLIPBOARD. It is a change only if the clipboard's sequence
    // number moved since the last one, and then read if bMonitoring.
    void OnDrawClipboard(BOOL bMonitoring);
    void OnRetryTimer();
    // Monitoring went off: a held clipboard is not tried again.
    void CancelRetry();
    // WM_SEARCHCOPIES: searches what waits, unless a search is under way.
    void SearchWaitingCopies();
    // While a copy is searched: its launches, their waits and the question.
    BOOL IsSearching() const { return m_bSearching; }
    // Nothing that waits is searched any more, and a search under way
    // stops after its current line.
    void Stop();

private:
    // A clipboard change's text, waiting for its search.
    struct CWaitingCopy {
        CClipboardText text;
        // Read before start-up had finished: its searches go to the shell.
        BOOL bStartUp = FALSE;
    };

    void Read();
    // Whether a copy's searches may open: a copy that would open more of them
    // than the settings allow asks the user first.
    BOOL MaySearch(const CClipboardText& text);

    CTrayWnd& m_wnd;
    CList<CWaitingCopy> m_waitingCopies;
    BOOL m_bSearching = FALSE;
    BOOL m_bStopped = FALSE;
    // The sequence number of the last notification, if there was one.
    BOOL m_bNotified = FALSE;
    DWORD m_dwChange = 0;
    // The tries at reading that change so far, and whether it came before
    // start-up had finished.
    int m_nReadTries = 0;
    BOOL m_bReadAtStartUp = FALSE;
    BOOL m_bRetrying = FALSE;
};
