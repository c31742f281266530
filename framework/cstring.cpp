// CString operations that step through multibyte characters.
#include "framework/cstring.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

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
int CharWidth(const char* pch, int nLength, int i)
{
    return mbcs::IsLeadByte(static_cast<unsigned char>(pch[i])) && i + 1 < nLength ? 2 : 1;
}

}  // namespace

CString::CString(const char* psz) : CString(psz, psz ? static_cast<int>(std::strlen(psz)) : 0) {}

CString::CString(const char* pch, int nLength)
{
    Append(pch, nLength);
}

CString::CString(CString&& str) noexcept
    : m_pchData(std::exchange(str.m_pchData, nullptr)),
      m_nLength(std::exchange(str.m_nLength, 0)),
      m_nCapacity(std::exchange(str.m_nCapacity, 0))
{
}

CString& CString::operator=(const CString& str)
{
    if (this != &str) {
        Truncate(0);
        Append(str.m_pchData, str.m_nLength);
    }
    return *this;
}

CString& CString::operator=(CString&& str) noexcept
{
    std::swap(m_pchData, str.m_pchData);
    std::swap(m_nLength, str.m_nLength);
    std::swap(m_nCapacity, str.m_nCapacity);
    return *this;
}

bool operator==(const CString& a, const CString& b)
{
    return a.m_nLength == b.m_nLength && (a.m_nLength == 0 || std::memcmp(a.m_pchData, b.m_pchData, a.m_nLength) == 0);
}

char* CString::Reallocate(int nCapacity)
{
    if (nCapacity < m_nLength)
        throw std::bad_alloc();
    const size_t length = static_cast<unsigned>(m_nLength);
    char* pchNew = new char[static_cast<unsigned>(nCapacity) + size_t{1}];
    if (length > 0)
        std::memcpy(pchNew, m_pchData, length);
    pchNew[length] = '\0';
    m_nCapacity = nCapacity;
    return std::exchange(m_pchData, pchNew);
}

void CString::Reserve(int nCapacity)
{
    if (nCapacity > m_nCapacity)
        delete[] Reallocate(nCapacity);
}

void CString::SetLength(int nLength)
{
    Reserve(nLength);
    Truncate(nLength);
}

void CString::Truncate(int nLength)
{
    m_nLength = nLength;
    if (m_pchData)
        m_pchData[nLength] = '\0';
}

CString& CString::Append(const char* pch, int nLength)
{
    if (nLength <= 0)
        return *this;
    if (nLength > INT_MAX - m_nLength)
        throw std::bad_alloc();
    const int nNewLength = m_nLength + nLength;
    // The bytes may come from this very text, so its old block goes last.
    char* pchOld = nullptr;
    if (nNewLength > m_nCapacity) {
        // Grown geometrically, so text appended piece by piece costs linear time.
        const int nGrown = m_nCapacity > INT_MAX / 2 ? INT_MAX : m_nCapacity * 2;
        pchOld = Reallocate(nNewLength > nGrown ? nNewLength : nGrown);
    }
    std::memmove(m_pchData + m_nLength, pch, static_cast<size_t>(nLength));
    delete[] pchOld;
    SetLength(nNewLength);
    return *this;
}

CString& CString::operator+=(const char* psz)
{
    return psz ? Append(psz, static_cast<int>(std::strlen(psz))) : *this;
}

char* CString::GetBufferSetLength(int nLength)
{
    SetLength(nLength > 0 ? nLength : 0);
    return m_pchData;
}

#ifdef _WIN32
bool CString::LoadString(unsigned nID)
{
    // LoadStringA gives no length up front, so grow until the text fits with room to spare.
    for (int nSize = 256;; nSize *= 2) {
        const int n = ::LoadStringA(::GetModuleHandleA(nullptr), nID, GetBufferSetLength(nSize), nSize + 1);
        if (n < nSize) {
            SetLength(n > 0 ? n : 0);
            return n > 0;
        }
    }
}

void CString::FormatMessage(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    char* pszText = nullptr;
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER, pszFormat, 0, 0,
                                     reinterpret_cast<char*>(&pszText), 0, &args);
    va_end(args);
    *this = n ? CString(pszText, static_cast<int>(n)) : CString();
    ::LocalFree(pszText);
}
#endif

int CString::Find(char ch, int nStart) const
{
    if (nStart < 0 || nStart > m_nLength)
        return -1;
    for (int i = nStart; i < m_nLength; i += CharWidth(m_pchData, m_nLength, i)) {
        if (m_pchData[i] == ch)
            return i;
    }
    return -1;
}

int CString::Find(const char* pszSub, int nStart) const
{
    if (nStart < 0 || nStart > m_nLength)
        return -1;
    const size_t subLength = std::strlen(pszSub);
    for (int i = nStart; i < m_nLength; i += CharWidth(m_pchData, m_nLength, i)) {
        if (subLength <= static_cast<size_t>(m_nLength - i) && std::memcmp(m_pchData + i, pszSub, subLength) == 0)
            return i;
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
    return CString(m_pchData + nFirst, nCount);
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
    int i = 0;
    while (i < m_nLength && IsSpace(static_cast<unsigned char>(m_pchData[i])))
        ++i;
    if (i > 0) {
        std::memmove(m_pchData, m_pchData + i, m_nLength - i);
        Truncate(m_nLength - i);
    }
    return *this;
}

CString& CString::TrimRight()
{
    int end = 0;
    for (int i = 0; i < m_nLength;) {
        const int width = CharWidth(m_pchData, m_nLength, i);
        const bool space = width == 1 && IsSpace(static_cast<unsigned char>(m_pchData[i]));
        i += width;
        if (!space)
            end = i;
    }
    Truncate(end);
    return *this;
}

void CString::Format(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

namespace {

// The C runtime's own formatting on Windows: the compiler's portable printf
// would add tens of kilobytes to a program that formats a few integers.
#ifdef _WIN32
int MeasureFormat(const char* pszFormat, va_list args)
{
    return ::_vscprintf(pszFormat, args);
}
void FormatInto(char* buffer, size_t size, const char* pszFormat, va_list args)
{
    ::_vsnprintf(buffer, size, pszFormat, args);
}
#else
int MeasureFormat(const char* pszFormat, va_list args)
{
    return std::vsnprintf(nullptr, 0, pszFormat, args);
}
void FormatInto(char* buffer, size_t size, const char* pszFormat, va_list args)
{
    std::vsnprintf(buffer, size, pszFormat, args);
}
#endif

}  // namespace

void CString::FormatV(const char* pszFormat, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    const int n = MeasureFormat(pszFormat, measure);
    va_end(measure);
    if (n <= 0) {
        Empty();
        return;
    }
    CString result;
    FormatInto(result.GetBufferSetLength(n), static_cast<size_t>(n) + 1, pszFormat, args);
    *this = std::move(result);
}

