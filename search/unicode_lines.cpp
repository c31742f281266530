// Unicode clipboard text: cut into lines as ANSI text is, and each line written as UTF-8.
#include "search/unicode_lines.h"

#include <algorithm>
#include <climits>
#include <new>

namespace {

bool IsBlank(char16_t c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

bool IsHighSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char32_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

bool CUnicodeLineCutter::Next(const char16_t*& pLine, int& nLength)
{
    if (m_bDone)
        return false;

    int start = m_nPos;
    const char16_t* pLf = std::find(m_pText + start, m_pText + m_nLength, u'\n');
    int end = m_nLength;
    if (pLf == m_pText + m_nLength) {
        m_bDone = true;
    } else {
        const int lf = static_cast<int>(pLf - m_pText);
        end = lf > start && m_pText[lf - 1] == u'\r' ? lf - 1 : lf;
        m_nPos = lf + 1;
    }
    while (start < end && IsBlank(m_pText[start]))
        ++start;
    while (end > start && IsBlank(m_pText[end - 1]))
        --end;
    pLine = m_pText + start;
    nLength = end - start;
    return true;
}

int CUnicodeLineCutter::Count() const
{
    return 1 + static_cast<int>(std::count(m_pText, m_pText + m_nLength, u'\n'));
}

CString Utf16ToUtf8(const char16_t* pText, int nLength)
{
    // At most three bytes for a unit: a pair of two makes four.
    if (nLength > INT_MAX / 3)
        throw std::bad_alloc();
    CString utf8;
    char* const begin = utf8.GetBufferSetLength(nLength * 3);
    char* out = begin;
    for (int i = 0; i < nLength; ++i) {
        char32_t c = pText[i];
        if (IsHighSurrogate(c) && i + 1 < nLength && IsLowSurrogate(pText[i + 1]))
            c = 0x10000 + ((c - 0xD800) << 10) + (pText[++i] - 0xDC00);
        else if (IsHighSurrogate(c) || IsLowSurrogate(c))
            c = 0xFFFD;

        if (c < 0x80) {
            *out++ = static_cast<char>(c);
            continue;
        }
        const int nTrail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        static const unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
        *out++ = static_cast<char>(kLead[nTrail] | (c >> (6 * nTrail)));
        for (int shift = 6 * (nTrail - 1); shift >= 0; shift -= 6)
            *out++ = static_cast<char>(0x80 | ((c >> shift) & 0x3F));
    }
    utf8.ReleaseBuffer(static_cast<int>(out - begin));
    return utf8;
}

#ifdef _WIN32
CWideBuffer AnsiToUtf16(const CString& text, UINT codePage)
{
    const int nWide = ::MultiByteToWideChar(codePage, 0, text, text.GetLength(), nullptr, 0);
    CWideBuffer wide(nWide);
    ::MultiByteToWideChar(codePage, 0, text, text.GetLength(), reinterpret_cast<LPWSTR>(wide.data()), nWide);
    return wide;
}

CString Utf16ToAnsi(const CWideBuffer& text)
{
    const LPCWSTR pWide = reinterpret_cast<LPCWSTR>(text.data());
    const int nWide = static_cast<int>(text.size());
    const int nBytes = ::WideCharToMultiByte(CP_ACP, 0, pWide, nWide, nullptr, 0, nullptr, nullptr);
    CString ansi;
    ::WideCharToMultiByte(CP_ACP, 0, pWide, nWide, ansi.GetBufferSetLength(nBytes), nBytes, nullptr, nullptr);
    return ansi;
}

bool AnsiHolds(const char16_t* pLine, int nLength)
{
    BOOL bDefaultUsed = FALSE;
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, reinterpret_cast<LPCWSTR>(pLine), nLength, nullptr, 0,
                          nullptr, &bDefaultUsed);
    return !bDefaultUsed;
}
#endif
