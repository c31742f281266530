// quillfind_browser.dll: under Wine, the browser automation server that opens each page in the desktop's browser.
//
// Wine's own server (iexplore.exe) fails put_Offline, put_AddressBar and
// put_StatusBar with E_NOTIMPL, so every search Quillfind starts through it
// ends there. `wine regsvr32 /s quillfind_browser.dll` registers this one as
// the in-process server of the browser application class, which COM then
// prefers to Wine's LocalServer32. Nothing registers it on Windows.
#include <windows.h>
#include <exdisp.h>
#include <shellapi.h>

#include <new>
#include <utility>

#include "framework/holders.h"
#include "wine/inproc_server.h"
#include "wine/web_browser_base.h"

namespace {

// How long a hand-off waits for the one before it; a shell that takes longer
// is stuck, and the page after it opens anyway.
const DWORD kHandOffWaitMs = 3000;

// Entered again by the same thread should a hand-off ever let messages in.
class CCriticalSection {
public:
    CCriticalSection() { ::InitializeCriticalSection(&m_cs); }
    ~CCriticalSection() { ::DeleteCriticalSection(&m_cs); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    class CLock {
    public:
        explicit CLock(CCriticalSection& section) : m_section(section) { ::EnterCriticalSection(&m_section.m_cs); }
        ~CLock() { ::LeaveCriticalSection(&m_section.m_cs); }
        CLock(const CLock&) = delete;
        CLock& operator=(const CLock&) = delete;

    private:
        CCriticalSection& m_section;
    };

private:
    CRITICAL_SECTION m_cs;
};

CCriticalSection g_handOffSection;
CKernelHandle g_hPreviousHandOff;

// Each hand-off starts winebrowser, which starts xdg-open and ends at once.
// Started together, they race and the pages open in any order, so a hand-off
// first waits for the one before it to be through; a single search never waits.
HRESULT OpenInDesktopBrowser(const wchar_t* pszUrl)
{
    const CCriticalSection::CLock lock(g_handOffSection);
    if (g_hPreviousHandOff) {
        ::WaitForSingleObject(g_hPreviousHandOff.get(), kHandOffWaitMs);
        g_hPreviousHandOff.reset();
    }
    SHELLEXECUTEINFOW sei = {};
    sei.cbSize = sizeof sei;
    // No error boxes from a program that has no window of its own: the caller hears the failure.
    sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    sei.lpFile = pszUrl;
    sei.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&sei)) {
        const DWORD error = ::GetLastError();
        return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    g_hPreviousHandOff.reset(sei.hProcess);
    return S_OK;
}

// The shell would run a path or any protocol's handler where a browser window
// only shows a page, so only web addresses are handed on.
bool IsWebAddress(BSTR url)
{
    const UINT length = ::SysStringLen(url);
    if (length != static_cast<UINT>(lstrlenW(url)))
        return false;
    auto startsWith = [&](const wchar_t* prefix) {
        const int n = lstrlenW(prefix);
        return static_cast<int>(length) > n && ::CompareStringOrdinal(url, n, prefix, n, TRUE) == CSTR_EQUAL;
    };
    return startsWith(L"http://") || startsWith(L"https://");
}

bool IsOmitted(const VARIANT* v)
{
    return !v || V_VT(v) == VT_EMPTY || V_VT(v) == VT_NULL ||
           (V_VT(v) == VT_ERROR && V_ERROR(v) == DISP_E_PARAMNOTFOUND);
}

// A browser window that is never drawn: the desktop's browser shows the page.
// The window's properties are kept only so they read back as set.
class CBrowserBridge final : public CWebBrowserBase {
public:
    HRESULT STDMETHODCALLTYPE put_Offline(VARIANT_BOOL value) override { return Put(m_bOffline, value); }
    HRESULT STDMETHODCALLTYPE get_Offline(VARIANT_BOOL* pValue) override { return Get(m_bOffline, pValue); }
    HRESULT STDMETHODCALLTYPE put_AddressBar(VARIANT_BOOL value) override { return Put(m_bAddressBar, value); }
    HRESULT STDMETHODCALLTYPE get_AddressBar(VARIANT_BOOL* pValue) override { return Get(m_bAddressBar, pValue); }
    HRESULT STDMETHODCALLTYPE put_StatusBar(VARIANT_BOOL value) override { return Put(m_bStatusBar, value); }
    HRESULT STDMETHODCALLTYPE get_StatusBar(VARIANT_BOOL* pValue) override { return Get(m_bStatusBar, pValue); }

    HRESULT STDMETHODCALLTYPE put_StatusText(BSTR text) override
    {
        CBstr copy(::SysAllocStringLen(text, ::SysStringLen(text)));
        if (!copy)
            return E_OUTOFMEMORY;
        m_statusText = std::move(copy);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_StatusText(BSTR* pText) override
    {
        if (!pText)
            return E_POINTER;
        *pText = ::SysAllocStringLen(m_statusText.get(), ::SysStringLen(m_statusText.get()));
        return *pText ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* pValue) override { return Get(m_bVisible, pValue); }

    // A window told to quit before it was shown opens nothing.
    HRESULT STDMETHODCALLTYPE Quit() override
    {
        m_pendingUrl.reset();
        return S_OK;
    }

    // A real browser loads a page navigated to while hidden and shows it
    // when made visible, so such a page opens then, and never if the window
    // is let go of unseen. Only the last one counts, as it would there.
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL value) override
    {
        m_bVisible = value != VARIANT_FALSE;
        if (!m_bVisible || !m_pendingUrl)
            return S_OK;
        const CBstr url(m_pendingUrl.release());
        return OpenInDesktopBrowser(url.get());
    }

    // Flags and target frame ask where the page goes; the desktop's browser
    // decides that. Post data and headers it cannot be given, and dropping
    // them would load a different page, so those are refused.
    HRESULT STDMETHODCALLTYPE Navigate2(VARIANT* pUrl, VARIANT*, VARIANT*, VARIANT* pPostData,
                                        VARIANT* pHeaders) override
    {
        if (!pUrl || V_VT(pUrl) != VT_BSTR || !V_BSTR(pUrl) || !IsWebAddress(V_BSTR(pUrl)))
            return E_INVALIDARG;
        if (!IsOmitted(pPostData) || !IsOmitted(pHeaders))
            return E_NOTIMPL;
        if (m_bVisible)
            return OpenInDesktopBrowser(V_BSTR(pUrl));
        CBstr copy(::SysAllocStringLen(V_BSTR(pUrl), ::SysStringLen(V_BSTR(pUrl))));
        if (!copy)
            return E_OUTOFMEMORY;
        m_pendingUrl = std::move(copy);
        return S_OK;
    }

private:
    static HRESULT Put(bool& property, VARIANT_BOOL value)
    {
        property = value != VARIANT_FALSE;
        return S_OK;
    }

    static HRESULT Get(bool property, VARIANT_BOOL* pValue)
    {
        if (!pValue)
            return E_POINTER;
        *pValue = property ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

    bool m_bOffline = false;
    bool m_bAddressBar = true;
    bool m_bStatusBar = true;
    bool m_bVisible = false;
    CBstr m_statusText;
    CBstr m_pendingUrl;
};

HRESULT CreateBrowserBridge(IUnknown** ppObject)
{
    auto* browser = new (std::nothrow) CBrowserBridge;
    if (!browser)
        return E_OUTOFMEMORY;
    *ppObject = static_cast<IWebBrowser2*>(browser);
    return S_OK;
}

}  // namespace

CInprocServer g_server(kBrowserClsid, CreateBrowserBridge);
