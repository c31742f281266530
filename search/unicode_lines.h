// Unicode clipboard text: cut into lines as ANSI text is, and each line written as UTF-8.
#pragma once

#include "framework/cstring.h"
#include "framework/wide_buffer.h"

// Cuts UTF-16 text by the rules CLineCutter follows for ANSI text: a line
// ends before an LF and a CR directly before the LF goes with it, a lone CR
// is not a line break, and each line comes out trimmed of ASCII white space
// (the ideographic space U+3000 stays), and may then be empty. The lines are
// pieces of the text, which must outlive them.
class CUnicodeLineCutter {
public:
    CUnicodeLineCutter(const char16_t* pText, int nLength) : m_pText(pText), m_nLength(nLength) {}

    // The next line, or false when the text is used up.
    bool Next(const char16_t*& pLine, int& nLength);
    // How many lines Next gives in all.
    int Count() const;

private:
    const char16_t* const m_pText;
    const int m_nLength;
    int m_nPos = 0;
    bool m_bDone = false;
};

// The text in UTF-8. A surrogate without its partner becomes U+FFFD, so no
// text is refused and none is cut short.
CString Utf16ToUtf8(const char16_t* pText, int nLength);

#ifdef _WIN32
// Text of the ANSI code page (or another) in UTF-16, and UTF-16 in the ANSI
// code page with a look-alike or the default character for what it cannot
// hold: what the system makes of one of the clipboard's text forms when asked
// for the other.
CWideBuffer AnsiToUtf16(const CString& text, UINT codePage = CP_ACP);
CString Utf16ToAnsi(const CWideBuffer& text);

// Whether the ANSI code page holds every character of the line itself, none
// replaced by the default character or by a look-alike.
bool AnsiHolds(const char16_t* pLine, int nLength);
#endif
