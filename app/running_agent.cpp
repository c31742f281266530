// CRunningAgent: finding the session's agent, its executable, and asking it to end.
#include "app/running_agent.h"

#include "agent/tray_wnd.h"

CRunningAgent::CRunningAgent() : m_hWnd(::FindWindowA(nullptr, CTrayWnd::kTitle))
{
    DWORD dwProcessId = 0;
    if (m_hWnd && ::GetWindowThreadProcessId(m_hWnd, &dwProcessId))
        m_process.reset(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwProcessId));
}

bool CRunningAgent::Runs(const wchar_t* pszPath) const
{
    wchar_t path[MAX_PATH];
    return m_process && GetProcessPath(m_process.get(), path) &&
           ::CompareStringOrdinal(path, -1, pszPath, -1, TRUE) == CSTR_EQUAL;
}

// The agent ends on it as on WM_CLOSE, even in the middle of a copy or with
// a dialog open.
bool CRunningAgent::End(DWORD dwTimeoutMs) const
{
    return m_process && ::PostMessageA(m_hWnd, CTrayWnd::EndMessage(), 0, 0) &&
           ::WaitForSingleObject(m_process.get(), dwTimeoutMs) == WAIT_OBJECT_0;
}

bool GetProcessPath(HANDLE hProcess, wchar_t (&path)[MAX_PATH])
{
    DWORD nLength = MAX_PATH;
    return ::QueryFullProcessImageNameW(hProcess, 0, path, &nLength) != FALSE;
}

ULONGLONG GetOwnVersion()
{
    const HRSRC hInfo = ::FindResourceA(nullptr, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    const auto* pRecord = hInfo ? static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, hInfo))) : nullptr;
    // The fixed part follows the record's header and its key, "VS_VERSION_INFO"
    // in UTF-16, on a 4-byte boundary.
    constexpr DWORD kFixedAt = 40;
    if (!pRecord || ::SizeofResource(nullptr, hInfo) < kFixedAt + sizeof(VS_FIXEDFILEINFO))
        return 0;
    const auto* pFixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(pRecord + kFixedAt);
    return pFixed->dwSignature == VS_FFI_SIGNATURE ? ULONGLONG{pFixed->dwFileVersionMS} << 32 | pFixed->dwFileVersionLS : 0;
}
