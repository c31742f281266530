// Opening a search in a new window of the user's default web browser.
#pragma once

#include "framework/cstring.h"

// Starts the program that handles https for a web address (http:// or
// https://): a Chromium-family browser with --new-window, Firefox with
// -new-window, each with arguments of the program's own; any other handler,
// or a start that fails, gets the address through the shell, as does any
// other kind of address. Does not wait for the page. Throws _com_error when
// neither the browser nor the shell takes it.
void OpenInDefaultBrowser(const CString& url);
