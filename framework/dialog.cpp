// CDialog: modal dialogs from templates, with dialog data exchange.
#include "framework/dialog.h"

#include "framework/win_app.h"

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    const HWND hWndCtrl = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    if (!pDX->m_bSaveAndValidate) {
        ::SetWindowTextA(hWndCtrl, value);
        return;
    }
    const int n = ::GetWindowTextLengthA(hWndCtrl);
    CString text;
    char* buffer = text.GetBufferSetLength(n + 1);
    const int got = ::GetWindowTextA(hWndCtrl, buffer, n + 1);
    value = text.Left(got);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (!rControl.m_hWnd)
        rControl.m_hWnd = pDX->m_pDlgWnd->GetDlgItem(nIDC);
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

const MessageMap* CDialog::GetMessageMap() const
{
    static const MessageMapEntry entries[] = {
        OnCommand<&CDialog::OnOK>(IDOK),
        OnCommand<&CDialog::OnCancel>(IDCANCEL),
    };
    static const MessageMap map = MakeMessageMap(nullptr, entries);
    return &map;
}

INT_PTR CDialog::DoModal()
{
    HWND hWndOwner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!hWndOwner) {
        CWinApp* pApp = AfxGetApp();
        if (pApp && pApp->m_pMainWnd && pApp->m_pMainWnd->m_hWnd)
            hWndOwner = ::GetLastActivePopup(pApp->m_pMainWnd->m_hWnd);
    }
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nIDTemplate), hWndOwner, DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

// Only WM_INITDIALOG is answered here. From then on the dialog is subclassed
// with the framework's window procedure, which runs the message map and hands
// the rest to the dialog manager, which comes back here and is told FALSE.
INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    CDialog* pDlg = reinterpret_cast<CDialog*>(lParam);
    pDlg->Attach(hWnd);
    pDlg->m_pfnSuper =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StdWndProc)));
    const bool bCenter = pDlg->IsAtTemplateOrigin();
    const BOOL bSetFocus = pDlg->OnInitDialog();
    if (bCenter)
        pDlg->CenterWindow();
    return bSetFocus;
}

bool CDialog::IsAtTemplateOrigin() const
{
    POINT origin = {0, 0};
    const HWND hWndOwner = ::GetWindow(m_hWnd, GW_OWNER);
    if (hWndOwner)
        ::ClientToScreen(hWndOwner, &origin);
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    return rc.left == origin.x && rc.top == origin.y;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx = {bSaveAndValidate, this};
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}
