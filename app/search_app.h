// CSearchApp: the application object, start-up and the only road to the settings file.
#pragma once

#include "agent/tray_wnd.h"
#include "framework/cstring.h"
#include "framework/holders.h"
#include "framework/win_app.h"

class CSearchApp : public CWinApp {
public:
    BOOL InitInstance() override;

    BOOL IsStarted() const { return m_bStarted; }

    // Every read and write goes to the settings file; nothing is cached, so a
    // change takes effect with the very next read.
    BOOL WriteSettingInt(UINT nSectionId, UINT nKeyId, int nValue);
    BOOL WriteSettingString(UINT nSectionId, UINT nKeyId, const char* pszText);
    int ReadSettingInt(UINT nSectionId, UINT nKeyId, int nDefault);
    int ReadSettingInt(UINT nSectionId, UINT nKeyId, UINT nDefaultId);
    CString ReadSettingString(UINT nSectionId, UINT nKeyId, const char* pszDefault);
    CString ReadSettingString(UINT nSectionId, UINT nKeyId, UINT nDefaultId);

    // Sites are numbered 0 to 9 here and 1 to 10 in the file's keys.
    int GetCurrentSiteIndex();
    BOOL SetCurrentSiteIndex(int nIndex);
    CString GetSiteLeft(int nIndex);
    CString GetSiteRight(int nIndex);
    CString GetSiteName(int nIndex);
    BOOL SetSiteLeft(int nIndex, const char* pszText);
    BOOL SetSiteRight(int nIndex, const char* pszText);
    BOOL SetSiteName(int nIndex, const char* pszText);
    CString GetCurrentSiteLeft();
    CString GetCurrentSiteRight();

    // A site's query encoding: its queries are UTF-8 when the stored value is
    // "UTF-8" in any letter case, and in the ANSI code page otherwise. Set,
    // the value is "UTF-8" or empty.
    BOOL IsSiteUtf8(int nIndex);
    BOOL SetSiteUtf8(int nIndex, BOOL bUtf8);
    BOOL IsCurrentSiteUtf8();

    // How many searches one clipboard change may open before the program asks
    // first; 0 never asks. A value that is not a whole number of 0 or more reads
    // as the built-in 15.
    int GetSearchesBeforeAsking();

    // Whether searches open in the user's default browser rather than through
    // browser automation: only when the stored value is "1". Set, it is "1" or "0".
    BOOL IsDefaultBrowserUsed();
    BOOL SetDefaultBrowserUsed(BOOL bUsed);

    // Whether only the same text copied twice within half a second searches,
    // rather than every copy: only when the stored value is "1". Set, it is "1" or "0".
    BOOL IsDoubleCopySearched();
    BOOL SetDoubleCopySearched(BOOL bSearched);

    static constexpr int kSiteCount = 10;

private:
    // A switch of the settings file, on only when its value is "1".
    BOOL IsSwitchOn(UINT nKeyId);
    BOOL SetSwitch(UINT nKeyId, BOOL bOn);

    BOOL m_bStarted = FALSE;
    // Held for the life of the process by the one agent of the session.
    CKernelHandle m_instance;

public:
    CTrayWnd m_wndAgent;
};

extern CSearchApp theApp;
