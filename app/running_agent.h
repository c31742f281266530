// CRunningAgent: the session's running agent, as another process sees it: a
// second start of the program, or its installer.
#pragma once

#include <windows.h>

#include "framework/holders.h"

class CRunningAgent {
public:
    // Found by its window's title; none when no agent runs in this session.
    CRunningAgent();

    HWND GetWindow() const { return m_hWnd; }
    // Whether its process runs the executable at this full path.
    bool Runs(const wchar_t* pszPath) const;
    // Asks it to end, as the tray's exit would, and waits at most this long for its process to end.
    bool End(DWORD dwTimeoutMs) const;

private:
    HWND m_hWnd;
    CKernelHandle m_process;
};

// The full path of the executable a process runs; false when it cannot be read.
bool GetProcessPath(HANDLE hProcess, wchar_t (&path)[MAX_PATH]);
// This program's file version from the version record it runs with, which
// is not the file at its path once an upgrade has replaced that; most
// significant half first.
ULONGLONG GetOwnVersion();
