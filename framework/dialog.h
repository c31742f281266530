// CDialog: modal dialogs from templates, with dialog data exchange.
#pragma once

#include "framework/cstring.h"
#include "framework/wnd.h"

// Which way UpdateData copies: boxes to fields (TRUE) or fields to boxes.
struct CDataExchange {
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
};

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
// A check box: TRUE when checked.
void DDX_Check(CDataExchange* pDX, int nIDC, BOOL& value);
// Binds a control object to the dialog's control; the window stays the dialog's.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Runs the dialog; with no parent its owner is the main window's last
    // active pop-up, disabled for the run. A template placed at 0, 0 is
    // centred over that owner, or in the work area when the owner is hidden.
    virtual INT_PTR DoModal();
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    void EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    const MessageMap* GetMessageMap() const override;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Whether the template places the dialog at 0, 0, which asks for centring.
    bool IsTemplateAtOrigin() const;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
};
