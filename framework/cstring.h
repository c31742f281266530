// CString: a counted byte string in the ANSI multibyte code page, copied by value.
#pragma once

#include <cstdarg>

#ifdef _WIN32
// Before the class, so that LoadString is the same name for every caller.
#include <windows.h>
#endif

#if defined(__clang__)
#define CSTRING_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#elif defined(__GNUC__)
#define CSTRING_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define CSTRING_PRINTF(fmt, args)
#endif

class CString {
public:
    CString() = default;
    CString(const char* psz);
    CString(const char* pch, int nLength);
    CString(const CString& str) : CString(str.m_pchData, str.m_nLength) {}
    CString(CString&& str) noexcept;
    CString& operator=(const CString& str);
    CString& operator=(CString&& str) noexcept;
    ~CString() { delete[] m_pchData; }

    int GetLength() const { return m_nLength; }
    bool IsEmpty() const { return m_nLength == 0; }
    void Empty() { Truncate(0); }
    char GetAt(int nIndex) const { return m_pchData[nIndex]; }
    char operator[](int nIndex) const { return m_pchData[nIndex]; }
    operator const char*() const { return m_pchData ? m_pchData : ""; }

    // Loads string resource nID; an absent number gives the empty text.
    bool LoadString(unsigned nID);
    // Formats with inserts that name their argument, "%1" for a string and
    // "%1!d!" for an int, so a translated text may take them in any order.
    void FormatMessage(const char* pszFormat, ...);

    // Both step through the text a character at a time, a lead byte together
    // with the byte after it, so a match never starts on a trail byte.
    // -1 when nothing is found or when nStart is past the end.
    int Find(char ch, int nStart = 0) const;
    int Find(const char* pszSub, int nStart = 0) const;

    // Out-of-range arguments are clipped to the text; a negative count gives the empty text.
    CString Mid(int nFirst, int nCount) const;
    CString Mid(int nFirst) const;
    CString Left(int nCount) const;

    // White space is exactly the bytes 0x20 and 0x09 to 0x0D. Trimming steps
    // whole characters, so a trail byte is never taken for white space and a
    // lone lead byte at the end stays.
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim() { return TrimRight().TrimLeft(); }

    void Format(const char* pszFormat, ...) CSTRING_PRINTF(2, 3);
    void FormatV(const char* pszFormat, va_list args) CSTRING_PRINTF(2, 0);

    CString& Append(const char* pch, int nLength);
    // Resizes the text to nLength bytes and hands out its storage for filling.
    char* GetBufferSetLength(int nLength);
    // Ends the filling: the text is the first nNewLength bytes written, at most as many as were handed out.
    void ReleaseBuffer(int nNewLength) { Truncate(nNewLength); }

    CString& operator+=(const CString& str) { return Append(str.m_pchData, str.m_nLength); }
    CString& operator+=(const char* psz);
    CString& operator+=(char ch) { return Append(&ch, 1); }

    friend CString operator+(CString a, const CString& b) { return a += b; }
    friend CString operator+(CString a, const char* b) { return a += b; }
    friend CString operator+(const char* a, const CString& b) { return CString(a) += b; }

    friend bool operator==(const CString& a, const CString& b);
    friend bool operator==(const CString& a, const char* b) { return a == CString(b); }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }

private:
    // Storage for at least nCapacity bytes and the terminating zero; the text is kept.
    void Reserve(int nCapacity);
    // Moves the text to a new block of nCapacity bytes; returns the old one to free.
    char* Reallocate(int nCapacity);
    void SetLength(int nLength);
    // Shortens the text in place; nLength is at most the length.
    void Truncate(int nLength);

    // Zero-terminated, or null while nothing was ever stored.
    char* m_pchData = nullptr;
    int m_nLength = 0;
    int m_nCapacity = 0;
};
