// CString operations that step through multibyte characters.
#include "framework/cstring.h"

#include <cstdio>
#include <cstring>

#include "framework/mbcs.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

bool IsSpace(unsigned char b)
{
    return b == 0x20 || (b >= 0x09 && b <= 0x0D);
}

// Width of the character starting at i: a lead byte takes the byte after it,
// except at the very end, where it stands alone.
int CharWidth(const std::string& s, size_t i)
{
    return mbcs::IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

}  // namespace

#ifdef _WIN32
bool CString::LoadString(unsigned nID)
{
    // LoadStringA gives no length up front, so grow until the text fits with room to spare.
    std::string buffer(256, '\0');
    for (;;) {
        int n = ::LoadStringA(::GetModuleHandleA(nullptr), nID, &buffer[0], static_cast<int>(buffer.size()));
        if (n < static_cast<int>(buffer.size()) - 1) {
            m_str.assign(buffer.data(), n > 0 ? n : 0);
            return n > 0;
        }
        buffer.resize(buffer.size() * 2);
    }
}
#endif

int CString::Find(char ch, int nStart) const
{
    if (nStart < 0 || nStart > GetLength())
        return -1;
    for (size_t i = static_cast<size_t>(nStart); i < m_str.size(); i += CharWidth(m_str, i)) {
        if (m_str[i] == ch)
            return static_cast<int>(i);
    }
    return -1;
}

int CString::Find(const char* pszSub, int nStart) const
{
    if (nStart < 0 || nStart > GetLength())
        return -1;
    const size_t subLength = std::strlen(pszSub);
    for (size_t i = static_cast<size_t>(nStart); i < m_str.size(); i += CharWidth(m_str, i)) {
        if (m_str.compare(i, subLength, pszSub) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

CString CString::Mid(int nFirst, int nCount) const
{
    if (nFirst < 0)
        nFirst = 0;
    if (nCount < 0 || nFirst >= GetLength())
        return CString();
    if (nCount > GetLength() - nFirst)
        nCount = GetLength() - nFirst;
    return CString(m_str.data() + nFirst, nCount);
}

CString CString::Mid(int nFirst) const
{
    return Mid(nFirst, GetLength());
}

CString CString::Left(int nCount) const
{
    return Mid(0, nCount);
}

CString& CString::TrimLeft()
{
    size_t i = 0;
    while (i < m_str.size() && IsSpace(static_cast<unsigned char>(m_str[i])))
        ++i;
    m_str.erase(0, i);
    return *this;
}

CString& CString::TrimRight()
{
    size_t end = 0;
    for (size_t i = 0; i < m_str.size();) {
        const int width = CharWidth(m_str, i);
        const bool space = width == 1 && IsSpace(static_cast<unsigned char>(m_str[i]));
        i += width;
        if (!space)
            end = i;
    }
    m_str.erase(end);
    return *this;
}

void CString::Format(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::FormatV(const char* pszFormat, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    const int n = std::vsnprintf(nullptr, 0, pszFormat, measure);
    va_end(measure);
    if (n <= 0) {
        m_str.clear();
        return;
    }
    std::string result(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(&result[0], result.size(), pszFormat, args);
    result.resize(static_cast<size_t>(n));
    m_str.swap(result);
}

CString& CString::Append(const char* pch, int nLength)
{
    if (nLength > 0)
        m_str.append(pch, static_cast<size_t>(nLength));
    return *this;
}

char* CString::GetBufferSetLength(int nLength)
{
    m_str.resize(nLength > 0 ? static_cast<size_t>(nLength) : 0);
    return &m_str[0];
}
