// CSettingsDlg: the settings dialog that edits the site table.
#include "ui/settings_dlg.h"

#include "res/resource.h"

CSettingsDlg::CSettingsDlg(CWnd* pParent) : CDialog(IDD_SETTINGS, pParent) {}
