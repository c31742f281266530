// CAboutDlg: the about box, which needs nothing beyond the framework's dialog.
#include "ui/about_dlg.h"

#include "res/resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

CAboutDlg::~CAboutDlg() = default;

const MessageMap* CAboutDlg::GetMessageMap() const
{
    static const MessageMap map = MakeMessageMap(CDialog::GetMessageMap());
    return &map;
}

void CAboutDlg::DoDataExchange(CDataExchange*) {}
