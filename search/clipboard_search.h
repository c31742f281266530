// Turning clipboard text into searches, each opened in a new browser window.
#pragma once

#include <windows.h>

#include "framework/cstring.h"
#include "framework/holders.h"
#include "search/percent_encode.h"

// What a search of the clipboard's text had to leave undone.
struct SearchOutcome {
    // The first launch that failed, or S_OK.
    HRESULT hrFirstFailure = S_OK;
    // Lines not searched because the site's ANSI code page cannot hold them.
    int nUnsearched = 0;
};

struct CClipboardText;

// Searches every non-empty line of a clipboard change's text on the current
// site, its query in that site's encoding, each line reading the settings
// afresh. The URLs go to the shell's default handler (bViaShell: for the
// text found at start-up), to the user's default browser, or open through
// browser automation, as the settings say; where no automation server is
// registered, to the default browser too. A launch that fails costs only
// its own line. Once bStopped is set (the question before a search and a
// launch let messages in, and the program may end meanwhile) no further
// line opens.
SearchOutcome SearchClipboardText(const CClipboardText& text, BOOL bViaShell, const BOOL& bStopped);

// How many searches SearchClipboardText would open for the text on the
// current site as it stands now: its lines that are not empty and that the
// site's encoding can hold.
int CountSearches(const CClipboardText& text);

// Opens url in a new browser window through the browser's automation server.
// Throws _com_error on failure, REGDB_E_CLASSNOTREG where no such server is
// registered; a window that failed before it was shown has been told to quit,
// and every reference it made is released by then.
void OpenSearchWindow(const CString& url);

// An automation string from ANSI text, converted on the heap whatever its
// length; null if the text does not convert or memory runs out.
CBstr MakeBstr(const CString& text);
