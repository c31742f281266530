// CComboBox: a borrowed combo box control.
#pragma once

#include "framework/cstring.h"
#include "framework/wnd.h"

class CComboBox : public CWnd {
public:
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int nSelect) { return static_cast<int>(SendMessage(CB_SETCURSEL, nSelect)); }
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
    int AddString(const char* pszString)
    {
        return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pszString)));
    }
    CString GetLBText(int nIndex) const
    {
        const int n = static_cast<int>(SendMessage(CB_GETLBTEXTLEN, nIndex));
        if (n <= 0)
            return CString();
        CString text;
        char* buffer = text.GetBufferSetLength(n + 1);
        SendMessage(CB_GETLBTEXT, nIndex, reinterpret_cast<LPARAM>(buffer));
        return text.Left(n);
    }
};
