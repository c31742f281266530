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

void DDX_Check(CDataExchange* pDX, int nIDC, BOOL& value)
{
    const HWND hWndCtrl = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = ::SendMessageA(hWndCtrl, BM_GETCHECK, 0, 0) == BST_CHECKED;
    else
        ::SendMessageA(hWndCtrl, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

// Bound afresh at every exchange: after a run the object still holds the
// handle of a control that is gone, and the next run of the same dialog
// object must not talk to it.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
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
    RECT rcBefore;
    ::GetWindowRect(hWnd, &rcBefore);
    const BOOL bSetFocus = pDlg->OnInitDialog();
    // As the classic framework does: a dialog that placed itself during
    // OnInitDialog stays where it put itself.
    RECT rcAfter;
    ::GetWindowRect(hWnd, &rcAfter);
    if (rcAfter.left == rcBefore.left && rcAfter.top == rcBefore.top && pDlg->IsTemplateAtOrigin())
        pDlg->CenterWindow();
    return bSetFocus;
}

bool CDialog::IsTemplateAtOrigin() const
{
    const HMODULE hModule = ::GetModuleHandleA(nullptr);
    const HRSRC hResource = ::FindResourceA(hModule, MAKEINTRESOURCEA(m_nIDTemplate), RT_DIALOG);
    const auto* pTemplate =
        hResource ? static_cast<const BYTE*>(::LockResource(::LoadResource(hModule, hResource))) : nullptr;
    if (!pTemplate)
        return false;
    // An extended template starts with version 1 and 0xFFFF; its position
    // follows the help id, both styles and the item count.
    const WORD* pWords = reinterpret_cast<const WORD*>(pTemplate);
    const bool bExtended = pWords[0] == 1 && pWords[1] == 0xFFFF;
    const auto* pPosition = reinterpret_cast<const short*>(pTemplate + (bExtended ? 18 : 10));
    return pPosition[0] == 0 && pPosition[1] == 0;
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
