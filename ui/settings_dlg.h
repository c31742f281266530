// CSettingsDlg: the settings dialog that edits the site table.
#pragma once

#include <windows.h>

#include "framework/combo_box.h"
#include "framework/cstring.h"
#include "framework/dialog.h"
#include "framework/holders.h"

class CSettingsDlg : public CDialog {
public:
    explicit CSettingsDlg(CWnd* pParent = nullptr);
    ~CSettingsDlg() override;

    // The table's fixed size; the string resource IDS_SITE_COUNT says how
    // many of its rows are in use.
    static constexpr int kTableRows = 10;

    CComboBox m_comboSite;
    CString m_strLeft;
    CString m_strRight;
    CString m_strSample;
    CString m_strName;
    HICON m_hIcon;
    // The title bar's icon, drawn at the small-icon size rather than shrunk.
    CIconHandle m_smallIcon;
    CString m_strSiteName[kTableRows];
    CString m_strSiteRight[kTableRows];
    CString m_strSiteLeft[kTableRows];
    // The check box IDC_UTF8_CHECK of the shown row, and the table's query
    // encodings: TRUE for UTF-8.
    BOOL m_bUtf8 = FALSE;
    BOOL m_bSiteUtf8[kTableRows] = {};
    // The check box IDC_DEFAULT_BROWSER_CHECK, for every site.
    BOOL m_bDefaultBrowser = FALSE;
    // The check box IDC_START_WITH_WINDOWS_CHECK: whether the Startup folder
    // starts this executable.
    BOOL m_bStartWithWindows = FALSE;
    // The check box IDC_DOUBLE_COPY_CHECK: whether only a double copy searches.
    BOOL m_bDoubleCopy = FALSE;

protected:
    const MessageMap* GetMessageMap() const override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnSelChangeSite();
    void OnKillFocusLeft();
    void OnKillFocusRight();
    void OnKillFocusName();
    void OnClickedUtf8();

    // Keeps the boxes' texts in the row they show, then shows the row of the
    // list's selection in them.
    void ShowSelectedSite();

private:
    void AddAboutItem();
    // Takes the boxes' texts into the row they show.
    void KeepShownRow();

    // The row the boxes show, which their edits belong to. The list's
    // selection may already have moved on: the mouse wheel turns it while
    // an edit box keeps the focus.
    int m_nShownRow = -1;
};
