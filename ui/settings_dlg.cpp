// CSettingsDlg: the site table copied in on opening, edited row by row,
// and written back on OK.
#include "ui/settings_dlg.h"

#include <algorithm>
#include <cstdlib>

#include "app/search_app.h"
#include "app/startup_shortcut.h"
#include "framework/win_app.h"
#include "res/resource.h"
#include "ui/about_dlg.h"

namespace {

// "検索語" (search term) in Shift_JIS: the sample joins it unencoded, unlike a real search.
const char kSampleQuery[] = "\x8C\x9F\x8D\xF5\x8C\xEA";

// Converted anew each time it is needed, and kept to the rows the table has:
// an empty list would leave no row to show.
int SiteCount()
{
    CString text;
    text.LoadString(IDS_SITE_COUNT);
    return std::clamp(std::atoi(text), 1, CSettingsDlg::kTableRows);
}

}  // namespace

CSettingsDlg::CSettingsDlg(CWnd* pParent)
    : CDialog(IDD_SETTINGS, pParent), m_hIcon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_ACTIVE)))
{
}

// The icon is a shared one from LoadIcon: it is not the dialog's to destroy.
CSettingsDlg::~CSettingsDlg() = default;

const MessageMap* CSettingsDlg::GetMessageMap() const
{
    static const MessageMapEntry entries[] = {
        OnMessage<&CSettingsDlg::OnSysCommand>(WM_SYSCOMMAND),
        OnMessage<&CSettingsDlg::OnPaint>(WM_PAINT),
        OnMessage<&CSettingsDlg::OnQueryDragIcon>(WM_QUERYDRAGICON),
        OnNotify<&CSettingsDlg::OnSelChangeSite>(CBN_SELCHANGE, IDC_SITE_COMBO),
        OnNotify<&CSettingsDlg::OnKillFocusLeft>(EN_KILLFOCUS, IDC_LEFT_EDIT),
        OnNotify<&CSettingsDlg::OnKillFocusRight>(EN_KILLFOCUS, IDC_RIGHT_EDIT),
        OnNotify<&CSettingsDlg::OnKillFocusName>(EN_KILLFOCUS, IDC_NAME_EDIT),
        OnNotify<&CSettingsDlg::OnClickedUtf8>(BN_CLICKED, IDC_UTF8_CHECK),
    };
    static const MessageMap map = MakeMessageMap(CDialog::GetMessageMap(), entries);
    return &map;
}

void CSettingsDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SITE_COMBO, m_comboSite);
    DDX_Text(pDX, IDC_LEFT_EDIT, m_strLeft);
    DDX_Text(pDX, IDC_RIGHT_EDIT, m_strRight);
    DDX_Text(pDX, IDC_SAMPLE_EDIT, m_strSample);
    DDX_Text(pDX, IDC_NAME_EDIT, m_strName);
    DDX_Check(pDX, IDC_UTF8_CHECK, m_bUtf8);
    DDX_Check(pDX, IDC_DEFAULT_BROWSER_CHECK, m_bDefaultBrowser);
    DDX_Check(pDX, IDC_START_WITH_WINDOWS_CHECK, m_bStartWithWindows);
    DDX_Check(pDX, IDC_DOUBLE_COPY_CHECK, m_bDoubleCopy);
}

BOOL CSettingsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    AddAboutItem();
    m_smallIcon.reset(AfxLoadSizedIcon(IDI_ACTIVE, true, AfxGetWindowDpi(m_hWnd)));
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_smallIcon.get(), FALSE);

    const int nCount = SiteCount();
    m_comboSite.ResetContent();
    for (int i = 0; i < nCount; ++i) {
        const CString strName = theApp.GetSiteName(i);
        CString strItem;
        strItem.Format(" %2d ", i + 1);
        m_comboSite.AddString(strItem);
        m_strSiteName[i] = strName;
        m_strSiteLeft[i] = theApp.GetSiteLeft(i);
        m_strSiteRight[i] = theApp.GetSiteRight(i);
        m_bSiteUtf8[i] = theApp.IsSiteUtf8(i);
    }
    // An index that names no row would leave the list without a selection,
    // and every later step indexes the table with the selection.
    if (m_comboSite.SetCurSel(theApp.GetCurrentSiteIndex()) == CB_ERR)
        m_comboSite.SetCurSel(0);
    m_bDefaultBrowser = theApp.IsDefaultBrowserUsed();
    m_bDoubleCopy = theApp.IsDoubleCopySearched();
    m_bStartWithWindows = IsStartedWithWindows();
    m_nShownRow = -1;
    ShowSelectedSite();
    return TRUE;
}

void CSettingsDlg::AddAboutItem()
{
    const HMENU hSysMenu = GetSystemMenu(FALSE);
    if (!hSysMenu)
        return;
    CString strAboutMenu;
    strAboutMenu.LoadString(IDS_ABOUTBOX);
    if (strAboutMenu.IsEmpty())
        return;
    ::AppendMenuA(hSysMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(hSysMenu, MF_STRING, IDM_ABOUTBOX, strAboutMenu);
}

void CSettingsDlg::KeepShownRow()
{
    if (m_nShownRow < 0)
        return;
    UpdateData(TRUE);
    m_strSiteName[m_nShownRow] = m_strName;
    m_strSiteLeft[m_nShownRow] = m_strLeft;
    m_strSiteRight[m_nShownRow] = m_strRight;
}

void CSettingsDlg::ShowSelectedSite()
{
    KeepShownRow();
    const int nSel = m_nShownRow = m_comboSite.GetCurSel();
    m_strName = m_strSiteName[nSel];
    m_strLeft = m_strSiteLeft[nSel];
    m_strRight = m_strSiteRight[nSel];
    m_bUtf8 = m_bSiteUtf8[nSel];
    m_strSample = m_strLeft + kSampleQuery + m_strRight;
    UpdateData(FALSE);
}

void CSettingsDlg::OnSelChangeSite()
{
    ShowSelectedSite();
}

void CSettingsDlg::OnKillFocusLeft()
{
    UpdateData(TRUE);
    m_strSiteLeft[m_nShownRow] = m_strLeft;
}

void CSettingsDlg::OnKillFocusRight()
{
    UpdateData(TRUE);
    m_strSiteRight[m_nShownRow] = m_strRight;
}

void CSettingsDlg::OnKillFocusName()
{
    UpdateData(TRUE);
    m_strSiteName[m_nShownRow] = m_strName;
}

// The choice belongs to the row it was made on, at once.
void CSettingsDlg::OnClickedUtf8()
{
    UpdateData(TRUE);
    m_bSiteUtf8[m_nShownRow] = m_bUtf8;
}

void CSettingsDlg::OnOK()
{
    // Enter in an edit box ends here without the box losing the focus, so
    // its text would miss the table; the boxes are kept as a focus loss would.
    KeepShownRow();
    const int nSel = m_comboSite.GetCurSel();
    const int nCount = SiteCount();
    bool bSaved = true;
    auto check = [&bSaved](BOOL bWritten) {
        if (!bWritten)
            bSaved = false;
    };
    check(theApp.SetCurrentSiteIndex(nSel));
    for (int i = 0; i < nCount; ++i) {
        check(theApp.SetSiteLeft(i, m_strSiteLeft[i]));
        check(theApp.SetSiteRight(i, m_strSiteRight[i]));
        check(theApp.SetSiteName(i, m_strSiteName[i]));
    }
    // An encoding is written only where the choice differs from the file, so
    // a user who never touches the box gets no new keys.
    for (int i = 0; i < nCount; ++i) {
        if (m_bSiteUtf8[i] != theApp.IsSiteUtf8(i))
            check(theApp.SetSiteUtf8(i, m_bSiteUtf8[i]));
    }
    if (m_bDefaultBrowser != theApp.IsDefaultBrowserUsed())
        check(theApp.SetDefaultBrowserUsed(m_bDefaultBrowser));
    if (m_bDoubleCopy != theApp.IsDoubleCopySearched())
        check(theApp.SetDoubleCopySearched(m_bDoubleCopy));
    // Another copy's shortcut reads as unchecked: left unchecked, it stays.
    if (m_bStartWithWindows != IsStartedWithWindows())
        check(SetStartedWithWindows(m_bStartWithWindows));
    // Every write is tried, so one that fails does not hold back the rest;
    // the dialog stays open with its table, for another try or for Cancel.
    if (!bSaved) {
        CString strText;
        strText.LoadString(IDS_SAVE_FAILED);
        CString strTitle;
        GetWindowText(strTitle);
        MessageBox(strText, strTitle, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    CDialog::OnOK();
}

void CSettingsDlg::OnSysCommand(UINT nID, LPARAM)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        Default();
    }
}

void CSettingsDlg::OnPaint()
{
    if (!IsIconic()) {
        Default();
        return;
    }
    PAINTSTRUCT ps;
    const HDC hDC = ::BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hDC));
    RECT rect;
    GetClientRect(&rect);
    const int x = (rect.right - rect.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rect.bottom - rect.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(hDC, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &ps);
}

HCURSOR CSettingsDlg::OnQueryDragIcon()
{
    return m_hIcon;
}
