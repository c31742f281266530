// CLineCutter: cuts clipboard text into trimmed lines.
#include "search/line_cutter.h"

bool CLineCutter::Next(CString& line)
{
    if (m_bDone)
        return false;

    const int start = m_nPos;
    const int lf = m_text.Find('\n', start);
    int end = m_text.GetLength();
    if (lf < 0) {
        m_bDone = true;
    } else {
        end = lf > start && m_text[lf - 1] == '\r' ? lf - 1 : lf;
        m_nPos = lf + 1;
    }
    // The position has moved on already, so a copy that runs out of memory
    // costs this line only and the caller can go on with the next.
    line = m_text.Mid(start, end - start);
    line.Trim();
    return true;
}

int CLineCutter::Count() const
{
    int nLines = 1;
    for (int lf = -1; (lf = m_text.Find('\n', lf + 1)) >= 0;)
        ++nLines;
    return nLines;
}
