// Opening searches through the shell or in new windows of the user's default
// web browser, one after another, in line order.
#pragma once

#include <windows.h>

#include "framework/cstring.h"
#include "framework/list.h"

// Hands url to the shell's default handler, and waits for the program the
// shell started for it, if any, as for a browser's launcher.
HRESULT OpenWithShell(const CString& url);

// The program that handles https, found at the first web address of a copy.
// A Chromium-family browser gets --new-window and Firefox -new-window, with
// arguments of the program's own; any other handler, a browser that does not
// start, and any address that is not a web address (http:// or https://) go
// to the shell. No page is waited for. Once bStopped is set (a wait for a
// launcher lets messages in, and the program may end meanwhile) Flush opens
// no more windows.
class CDefaultBrowser {
public:
    explicit CDefaultBrowser(const BOOL& bStopped) : m_bStopped(bStopped) {}
    CDefaultBrowser(const CDefaultBrowser&) = delete;
    CDefaultBrowser& operator=(const CDefaultBrowser&) = delete;

    // Opens url in a new window once the windows before it have reached the
    // browser. Firefox's wait to be opened together, by Flush. Throws
    // _com_error when neither the browser nor the shell takes it.
    void Open(const CString& url);
    // Opens the windows that wait, unless stopped; the first failure, or S_OK.
    HRESULT Flush();

private:
    bool Find();
    // Starts the browser with these arguments after its own path.
    bool Start(const CString& arguments) const;

    const BOOL& m_bStopped;
    bool m_bLookedUp = false;
    // In UTF-16: a browser installed for its user lies under a user name
    // that the ANSI code page may not spell.
    wchar_t m_szExecutable[MAX_PATH] = {};
    const char* m_pszSwitch = nullptr;
    // For a browser that takes every window of a copy from one launcher, that launcher's switch.
    const char* m_pszOneLauncher = nullptr;
    // Firefox's windows that wait, the arguments that open them, and the
    // length of that command line in UTF-16 units, as Windows limits it.
    CList<CString> m_waiting;
    CString m_arguments;
    int m_nCommandLine = 0;
};
