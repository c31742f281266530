// Turning clipboard text into searches, each opened in a new browser window.
#pragma once

#include <windows.h>

#include "framework/cstring.h"
#include "search/percent_encode.h"

// Searches every non-empty line of the clipboard's text on the current site.
// Before start-up has finished the URLs go to the shell's default handler;
// after it, each opens through browser automation. A launch that fails costs
// only its own line. Returns the first launch failure, or S_OK.
HRESULT SearchClipboardText();

// Opens url in a new browser window through the browser's automation server.
// Throws _com_error on failure; every reference it made is released by then.
void OpenSearchWindow(const CString& url);
