// CSearchApp: start-up and the settings accessors.
#include "app/search_app.h"

#include <cstdlib>

#include "app/running_agent.h"
#include "res/resource.h"

CSearchApp theApp;

namespace {

CString LoadText(UINT nId)
{
    CString text;
    text.LoadString(nId);
    return text;
}

// How long the running agent gets to answer, or to end, before this start gives up.
constexpr DWORD kTakeOverTimeoutMs = 10000;

// A second start of this very program, the same executable of the same
// version, changes nothing but the running agent's icon, which it asks to be
// shown again: a user starts the program again when the icon is missing.
// Another copy, or another version at the same path (an upgrade replaced the
// file under the running one), asks the running agent to end and takes its
// place. The agent answers whether it runs the version it is told.
bool TakeOver()
{
    const CRunningAgent agent;
    wchar_t path[MAX_PATH];
    const ULONGLONG version = GetOwnVersion();
    DWORD_PTR bSameVersion = FALSE;
    if (GetProcessPath(::GetCurrentProcess(), path) && agent.Runs(path) &&
        ::SendMessageTimeoutA(agent.GetWindow(), CTrayWnd::ShowIconMessage(), static_cast<DWORD>(version >> 32),
                              static_cast<DWORD>(version), SMTO_ABORTIFHUNG, kTakeOverTimeoutMs, &bSameVersion) &&
        bSameVersion)
        return false;
    return agent.End(kTakeOverTimeoutMs);
}

}  // namespace

BOOL CSearchApp::InitInstance()
{
    // One agent a session: a second would add a second icon and search every
    // copy twice. The name is the session's, so each user has an agent.
    m_instance.reset();
    const HANDLE hInstance = ::CreateMutexA(nullptr, FALSE, "Local\\TORVEN_QUILLFIND");
    const bool bFirst = hInstance && ::GetLastError() != ERROR_ALREADY_EXISTS;
    m_instance.reset(hInstance);
    if (!bFirst && !(m_instance && TakeOver())) {
        m_instance.reset();
        return FALSE;
    }

    Enable3dControls();
    SetAppName("Torven - Quill to Find");

    // Creating the window already reads what is on the clipboard, while
    // m_bStarted is still FALSE.
    m_pMainWnd = &m_wndAgent;
    if (!m_wndAgent.Create()) {
        m_pMainWnd = nullptr;
        return FALSE;
    }

    // Windows Installer and Windows Update may then end it to replace its
    // file, and start it again after; it takes no command line. After a
    // restart of Windows, the Startup folder decides.
    ::RegisterApplicationRestart(nullptr, RESTART_NO_REBOOT);
    m_bStarted = TRUE;
    return TRUE;
}

BOOL CSearchApp::WriteSettingInt(UINT nSectionId, UINT nKeyId, int nValue)
{
    CString text;
    text.Format("%d", nValue);
    return WriteSettingString(nSectionId, nKeyId, text);
}

// Reading a value drops the blanks and control bytes around it, and then one
// pair of quotes around it: a value that begins or ends with either is
// written quoted, so that it reads back as it was written.
BOOL CSearchApp::WriteSettingString(UINT nSectionId, UINT nKeyId, const char* pszText)
{
    const CString value(pszText);
    const int n = value.GetLength();
    const auto isEdge = [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == '"' || c == '\''; };
    const bool bQuoted = n > 0 && (isEdge(value[0]) || isEdge(value[n - 1]));
    return WriteProfileString(LoadText(nSectionId), LoadText(nKeyId), bQuoted ? "\"" + value + "\"" : value);
}

int CSearchApp::ReadSettingInt(UINT nSectionId, UINT nKeyId, int nDefault)
{
    return static_cast<int>(GetProfileInt(LoadText(nSectionId), LoadText(nKeyId), nDefault));
}

int CSearchApp::ReadSettingInt(UINT nSectionId, UINT nKeyId, UINT nDefaultId)
{
    return ReadSettingInt(nSectionId, nKeyId, std::atoi(LoadText(nDefaultId)));
}

CString CSearchApp::ReadSettingString(UINT nSectionId, UINT nKeyId, const char* pszDefault)
{
    return GetProfileString(LoadText(nSectionId), LoadText(nKeyId), pszDefault);
}

CString CSearchApp::ReadSettingString(UINT nSectionId, UINT nKeyId, UINT nDefaultId)
{
    return ReadSettingString(nSectionId, nKeyId, LoadText(nDefaultId));
}

int CSearchApp::GetCurrentSiteIndex()
{
    // The index picks string numbers: one outside the table would read keys
    // and defaults that belong to other entries, so it falls back to the first site.
    const int nIndex = ReadSettingInt(IDS_SECTION, IDS_KEY_CURRENT, static_cast<UINT>(IDS_DEFAULT_CURRENT));
    return nIndex >= 0 && nIndex < kSiteCount ? nIndex : 0;
}

BOOL CSearchApp::SetCurrentSiteIndex(int nIndex)
{
    return WriteSettingInt(IDS_SECTION, IDS_KEY_CURRENT, nIndex);
}

CString CSearchApp::GetSiteLeft(int nIndex)
{
    return ReadSettingString(IDS_SECTION, IDS_KEY_LEFT_FIRST + 2 * nIndex, IDS_DEFAULT_LEFT_FIRST + 2 * nIndex);
}

CString CSearchApp::GetSiteRight(int nIndex)
{
    return ReadSettingString(IDS_SECTION, IDS_KEY_RIGHT_FIRST + 2 * nIndex, IDS_DEFAULT_RIGHT_FIRST + 2 * nIndex);
}

CString CSearchApp::GetSiteName(int nIndex)
{
    return ReadSettingString(IDS_SECTION, IDS_KEY_NAME_FIRST + nIndex, IDS_DEFAULT_NAME_FIRST + nIndex);
}

BOOL CSearchApp::SetSiteLeft(int nIndex, const char* pszText)
{
    return WriteSettingString(IDS_SECTION, IDS_KEY_LEFT_FIRST + 2 * nIndex, pszText);
}

BOOL CSearchApp::SetSiteRight(int nIndex, const char* pszText)
{
    return WriteSettingString(IDS_SECTION, IDS_KEY_RIGHT_FIRST + 2 * nIndex, pszText);
}

BOOL CSearchApp::SetSiteName(int nIndex, const char* pszText)
{
    return WriteSettingString(IDS_SECTION, IDS_KEY_NAME_FIRST + nIndex, pszText);
}

CString CSearchApp::GetCurrentSiteLeft()
{
    return GetSiteLeft(GetCurrentSiteIndex());
}

CString CSearchApp::GetCurrentSiteRight()
{
    return GetSiteRight(GetCurrentSiteIndex());
}

BOOL CSearchApp::IsSiteUtf8(int nIndex)
{
    const CString value = ReadSettingString(IDS_SECTION, IDS_KEY_ENCODING_FIRST + nIndex, "");
    return ::lstrcmpiA(value, LoadText(IDS_ENCODING_UTF8)) == 0;
}

BOOL CSearchApp::SetSiteUtf8(int nIndex, BOOL bUtf8)
{
    return WriteSettingString(IDS_SECTION, IDS_KEY_ENCODING_FIRST + nIndex, bUtf8 ? LoadText(IDS_ENCODING_UTF8) : "");
}

BOOL CSearchApp::IsCurrentSiteUtf8()
{
    return IsSiteUtf8(GetCurrentSiteIndex());
}

int CSearchApp::GetSearchesBeforeAsking()
{
    const CString text = ReadSettingString(IDS_SECTION, IDS_KEY_SEARCHES_BEFORE_ASKING, "");
    const char* const psz = text;
    char* pszEnd = nullptr;
    const long nValue = std::strtol(psz, &pszEnd, 10);
    // A number too large for a long reads as the largest one, which never asks.
    const bool bWhole = *psz >= '0' && *psz <= '9' && *pszEnd == '\0';
    return bWhole ? static_cast<int>(nValue) : std::atoi(LoadText(IDS_DEFAULT_SEARCHES_BEFORE_ASKING));
}

BOOL CSearchApp::IsSwitchOn(UINT nKeyId)
{
    return ReadSettingString(IDS_SECTION, nKeyId, "") == "1";
}

BOOL CSearchApp::SetSwitch(UINT nKeyId, BOOL bOn)
{
    return WriteSettingString(IDS_SECTION, nKeyId, bOn ? "1" : "0");
}

BOOL CSearchApp::IsDefaultBrowserUsed()
{
    return IsSwitchOn(IDS_KEY_USE_DEFAULT_BROWSER);
}

BOOL CSearchApp::SetDefaultBrowserUsed(BOOL bUsed)
{
    return SetSwitch(IDS_KEY_USE_DEFAULT_BROWSER, bUsed);
}

BOOL CSearchApp::IsDoubleCopySearched()
{
    return IsSwitchOn(IDS_KEY_SEARCH_ON_DOUBLE_COPY);
}

BOOL CSearchApp::SetDoubleCopySearched(BOOL bSearched)
{
    return SetSwitch(IDS_KEY_SEARCH_ON_DOUBLE_COPY, bSearched);
}
