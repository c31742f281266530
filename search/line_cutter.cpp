// CLineCutter: cuts clipboard text into trimmed lines.
#include "search/line_cutter.h"

bool CLineCutter::Next(CString& line)
{
    if (m_bDone)
        return false;

    const int lf = m_text.Find('\n', m_nPos);
    if (lf < 0) {
        line = m_text.Mid(m_nPos);
        m_bDone = true;
    } else {
        int end = lf;
        if (end > m_nPos && m_text[end - 1] == '\r')
            --end;
        line = m_text.Mid(m_nPos, end - m_nPos);
        m_nPos = lf + 1;
    }
    line.Trim();
    return true;
}
