// CWideBuffer: an owned, counted run of UTF-16 code units.
#pragma once

#include <cstring>
#include <memory>
#include <utility>

// Moved, never copied; its units are not zero-terminated. Made of a plain
// array: the standard library's strings would bring their exception classes
// and unwind tables, a third of the program, for what this needs.
class CWideBuffer {
public:
    CWideBuffer() = default;
    // nLength units, uninitialised, for filling; throws std::bad_alloc.
    explicit CWideBuffer(int nLength) : m_pUnits(new char16_t[nLength > 0 ? nLength : 1]), m_nLength(nLength) {}
    CWideBuffer(const char16_t* pUnits, int nLength) : CWideBuffer(nLength)
    {
        if (nLength > 0)
            std::memcpy(m_pUnits.get(), pUnits, nLength * sizeof(char16_t));
    }
    CWideBuffer(CWideBuffer&& other) noexcept
        : m_pUnits(std::move(other.m_pUnits)), m_nLength(std::exchange(other.m_nLength, 0))
    {
    }
    CWideBuffer& operator=(CWideBuffer&& other) noexcept
    {
        m_pUnits = std::move(other.m_pUnits);
        m_nLength = std::exchange(other.m_nLength, 0);
        return *this;
    }

    char16_t* data() { return m_pUnits.get(); }
    const char16_t* data() const { return m_pUnits.get(); }
    int size() const { return m_nLength; }

private:
    std::unique_ptr<char16_t[]> m_pUnits;
    int m_nLength = 0;
};
