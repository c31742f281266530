// CWinApp: the application object, its message loop and its profile access.
#pragma once

#include <windows.h>

#include "framework/cstring.h"

class CWnd;

class CWinApp {
public:
    CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    // Set by AfxWinInit from the executable's file name: its base name, and
    // that name with ".INI" for the profile, which the private-profile
    // functions then look for in the Windows directory.
    const char* m_pszAppName = "";
    const char* m_pszProfileName = "";
    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;

    virtual BOOL InitInstance();
    // The message loop; returns the quit message's exit code through ExitInstance.
    virtual int Run();
    virtual int ExitInstance();

    // Makes the program use the system's current look for dialog controls.
    void Enable3dControls();

    CString GetProfileString(const char* pszSection, const char* pszEntry, const char* pszDefault) const;
    UINT GetProfileInt(const char* pszSection, const char* pszEntry, int nDefault) const;
    BOOL WriteProfileString(const char* pszSection, const char* pszEntry, const char* pszValue) const;

    void SetAppName(const char* pszAppName);

private:
    friend BOOL AfxWinInit(HINSTANCE hInstance);

    CString m_strAppName;
    CString m_strProfileName;
    int m_nExitCode = 0;
};

CWinApp* AfxGetApp();

// The DPI of the monitor a window is on, or 0 where the system cannot say
// (before Windows 10), which the sizes below take as the system's own DPI.
UINT AfxGetWindowDpi(HWND hWnd);

// The program's icon resource nID at the system's small-icon (or large-icon)
// size for a DPI, for the caller to destroy: the image drawn for that size,
// or for the nearest one the icon holds.
HICON AfxLoadSizedIcon(UINT nID, bool bSmall, UINT nDpi);

// Names the program and its profile after the executable. The entry point
// calls it before InitInstance; test programs call it themselves.
BOOL AfxWinInit(HINSTANCE hInstance);

// The entry point's work: AfxWinInit, InitInstance, then the message loop.
int AfxWinMain(HINSTANCE hInstance);
