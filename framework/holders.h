// Owning holders for handles, COM references, COM-allocated strings, automation strings and variants.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

// One owner of one handle: copy forbidden, move allowed. Traits name the
// empty value and how the handle is let go.
template <class Traits>
class CUniqueHandle {
public:
    using Handle = typename Traits::Handle;

    CUniqueHandle() = default;
    explicit CUniqueHandle(Handle h) : m_h(h) {}
    CUniqueHandle(CUniqueHandle&& other) noexcept : m_h(other.release()) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;
    ~CUniqueHandle() { reset(); }

    Handle get() const { return m_h; }
    explicit operator bool() const { return m_h != Handle(); }

    Handle release() { return std::exchange(m_h, Handle()); }

    void reset(Handle h = Handle())
    {
        Handle old = std::exchange(m_h, h);
        if (old != Handle())
            Traits::Free(old);
    }

    // For an API that hands out a new handle through an out parameter: lets
    // go of the old one first, so nothing leaks.
    Handle* Receive()
    {
        reset();
        return &m_h;
    }

private:
    Handle m_h = Handle();
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static void Free(HANDLE h) { ::CloseHandle(h); }
};
using CKernelHandle = CUniqueHandle<KernelHandleTraits>;

struct IconTraits {
    using Handle = HICON;
    static void Free(HICON h) { ::DestroyIcon(h); }
};
using CIconHandle = CUniqueHandle<IconTraits>;

struct MenuTraits {
    using Handle = HMENU;
    static void Free(HMENU h) { ::DestroyMenu(h); }
};
using CMenuHandle = CUniqueHandle<MenuTraits>;

struct BstrTraits {
    using Handle = BSTR;
    static void Free(BSTR s) { ::SysFreeString(s); }
};
using CBstr = CUniqueHandle<BstrTraits>;

// A string that a COM or shell function allocated for its caller.
struct TaskMemStringTraits {
    using Handle = PWSTR;
    static void Free(PWSTR s) { ::CoTaskMemFree(s); }
};
using CTaskMemString = CUniqueHandle<TaskMemStringTraits>;

template <class I>
struct ComTraits {
    using Handle = I*;
    static void Free(I* p) { p->Release(); }
};
template <class I>
using CComRef = CUniqueHandle<ComTraits<I>>;

// A VARIANT that is cleared on every way out. Clear() reports the result for
// callers that must not lose a failing clear.
class CVariant {
public:
    CVariant() { ::VariantInit(&m_var); }
    CVariant(const CVariant&) = delete;
    CVariant& operator=(const CVariant&) = delete;
    ~CVariant() { ::VariantClear(&m_var); }

    VARIANT* get() { return &m_var; }
    HRESULT Clear() { return ::VariantClear(&m_var); }

private:
    VARIANT m_var;
};

// The clipboard, open for as long as this object lives.
class CClipboardOpen {
public:
    explicit CClipboardOpen(HWND hWndOwner) : m_bOpen(::OpenClipboard(hWndOwner) != FALSE) {}
    CClipboardOpen(const CClipboardOpen&) = delete;
    CClipboardOpen& operator=(const CClipboardOpen&) = delete;
    ~CClipboardOpen() { Close(); }

    explicit operator bool() const { return m_bOpen; }
    void Close()
    {
        if (m_bOpen)
            ::CloseClipboard();
        m_bOpen = false;
    }

private:
    bool m_bOpen;
};

// A global memory block, locked for as long as this object lives.
class CGlobalLock {
public:
    explicit CGlobalLock(HGLOBAL h) : m_h(h), m_p(h ? ::GlobalLock(h) : nullptr) {}
    CGlobalLock(const CGlobalLock&) = delete;
    CGlobalLock& operator=(const CGlobalLock&) = delete;
    ~CGlobalLock()
    {
        if (m_p)
            ::GlobalUnlock(m_h);
    }

    const void* get() const { return m_p; }
    SIZE_T size() const { return m_p ? ::GlobalSize(m_h) : 0; }

private:
    HGLOBAL m_h;
    void* m_p;
};
