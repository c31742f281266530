// CSettingsDlg: the settings dialog that edits the site table.
#pragma once

#include "framework/dialog.h"

class CSettingsDlg : public CDialog {
public:
    explicit CSettingsDlg(CWnd* pParent = nullptr);
};
