// CComboBox: a borrowed combo box control.
#pragma once

#include "framework/wnd.h"

class CComboBox : public CWnd {
public:
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int nSelect) { return static_cast<int>(SendMessage(CB_SETCURSEL, nSelect)); }
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
    int AddString(const char* pszString)
    {
        return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pszString)));
    }
};
