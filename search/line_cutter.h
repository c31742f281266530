// CLineCutter: cuts clipboard text into trimmed lines.
#pragma once

#include "framework/cstring.h"

// A line ends before an LF; a CR directly before that LF is dropped with it.
// The LF is looked for a whole character at a time, so an LF that follows a
// lead byte belongs to that character and stays inside the line. A lone CR
// is not a line break. Each line comes out trimmed, and may then be empty.
class CLineCutter {
public:
    explicit CLineCutter(const CString& text) : m_text(text) {}

    // The next line, or false when the text is used up.
    bool Next(CString& line);
    // How many lines Next gives in all.
    int Count() const;

private:
    const CString& m_text;
    int m_nPos = 0;
    bool m_bDone = false;
};
