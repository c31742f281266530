// Turning clipboard text into searches, each opened in a new browser window.
#include "search/clipboard_search.h"

#include <comdef.h>
#include <exdisp.h>
#include <ole2.h>

#include <new>

#include "app/search_app.h"
#include "framework/holders.h"
#include "search/clipboard_text.h"
#include "search/default_browser.h"
#include "search/line_cutter.h"
#include "search/unicode_lines.h"

namespace {

// The platform's published identifiers, spelled out here: the SDK's library
// of them would bring hundreds of unrelated ones into the program.
const CLSID kClsidBrowserApplication = {0x0002DF01, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidWebBrowser2 = {0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};

// The automation convention for an omitted optional argument. Made before
// start-up and only read afterwards, so nested launches can share it.
VARIANT MakeMissingArgument()
{
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}
VARIANT g_varMissing = MakeMissingArgument();

void Check(HRESULT hr)
{
    if (FAILED(hr))
        throw _com_error(hr);
}

// The lines of a copy's two forms, side by side. An ANSI line whose Unicode
// form holds a character that the code page cannot does not fit an ANSI
// site: its ANSI form has a stand-in there, such as "?", and would search
// something else. The forms' lines are paired only when both cut into as
// many lines.
enum class LineFate {
    kSearched,
    kBlank,
    // Holds what the site's code page cannot.
    kUnsearchable,
};

class CTextLines {
public:
    explicit CTextLines(const CClipboardText& text)
        : m_cutter(text.text), m_unicodeCutter(text.unicode.data(), text.unicode.size()),
          m_bPaired(m_cutter.Count() == m_unicodeCutter.Count())
    {
    }

    // The next line with text in either form; false at the end. A line too
    // large for memory throws std::bad_alloc, and the next call goes on
    // after it.
    bool Next()
    {
        for (;;) {
            m_nUnicode = 0;
            m_line.Empty();
            const bool bUnicode = m_unicodeCutter.Next(m_pUnicode, m_nUnicode);
            const bool bAnsi = m_cutter.Next(m_line);
            if (!bUnicode && !bAnsi)
                return false;
            if (m_nUnicode > 0 || !m_line.IsEmpty())
                return true;
        }
    }

    // What becomes of the line on a site of this encoding. The search and
    // the count before asking both go by it.
    LineFate Fate(BOOL bUtf8) const
    {
        if (!bUtf8 && m_bPaired && !AnsiHolds(m_pUnicode, m_nUnicode))
            return LineFate::kUnsearchable;
        return (bUtf8 ? m_nUnicode == 0 : m_line.IsEmpty()) ? LineFate::kBlank : LineFate::kSearched;
    }
    // UTF-8 from the Unicode form, or the ANSI form's bytes.
    CString Query(BOOL bUtf8) const
    {
        return PercentEncodeAll(bUtf8 ? Utf16ToUtf8(m_pUnicode, m_nUnicode) : m_line);
    }

private:
    CLineCutter m_cutter;
    CUnicodeLineCutter m_unicodeCutter;
    const bool m_bPaired;
    CString m_line;
    const char16_t* m_pUnicode = nullptr;
    int m_nUnicode = 0;
};

CString MakeSearchUrl(const CString& query)
{
    const CString right = theApp.GetCurrentSiteRight();
    const CString left = theApp.GetCurrentSiteLeft();
    CString url;
    url.Format("%s%s%s", static_cast<const char*>(left), static_cast<const char*>(query),
               static_cast<const char*>(right));
    return url;
}

// Every way a search opens goes through here.
void OpenSearch(const CString& url, BOOL bViaShell, CDefaultBrowser& browser)
{
    if (bViaShell)
        // At start-up what the shell cannot open is not shown, and nothing is said.
        OpenWithShell(url);
    else if (theApp.IsDefaultBrowserUsed())
        browser.Open(url);
    else {
        try {
            OpenSearchWindow(url);
        } catch (const _com_error& e) {
            // Where Internet Explorer was removed, no automation server is
            // registered at all: the user's own browser has the line.
            if (e.Error() != REGDB_E_CLASSNOTREG)
                throw;
            browser.Open(url);
        }
    }
}

}  // namespace

CBstr MakeBstr(const CString& text)
{
    const int nWide = ::MultiByteToWideChar(CP_ACP, 0, text, text.GetLength() + 1, nullptr, 0);
    if (nWide <= 0)
        return CBstr();
    CBstr bstr(::SysAllocStringLen(nullptr, nWide - 1));
    if (bstr)
        ::MultiByteToWideChar(CP_ACP, 0, text, text.GetLength() + 1, bstr.get(), nWide);
    return bstr;
}

SearchOutcome SearchClipboardText(const CClipboardText& text, BOOL bViaShell, const BOOL& bStopped)
{
    SearchOutcome outcome;
    const auto failed = [&outcome](HRESULT hr) {
        if (SUCCEEDED(outcome.hrFirstFailure))
            outcome.hrFirstFailure = hr;
    };
    CDefaultBrowser browser(bStopped);
    CTextLines lines(text);
    while (!bStopped) {
        try {
            if (!lines.Next())
                break;
            const BOOL bUtf8 = theApp.IsCurrentSiteUtf8();
            const LineFate fate = lines.Fate(bUtf8);
            if (fate == LineFate::kUnsearchable)
                ++outcome.nUnsearched;
            else if (fate == LineFate::kSearched)
                OpenSearch(MakeSearchUrl(lines.Query(bUtf8)), bViaShell, browser);
        } catch (const _com_error& e) {
            failed(e.Error());
        } catch (const std::bad_alloc&) {
            // A line too large for memory is skipped; the others still run.
        }
    }
    failed(browser.Flush());
    return outcome;
}

int CountSearches(const CClipboardText& text)
{
    const BOOL bUtf8 = theApp.IsCurrentSiteUtf8();
    int nSearches = 0;
    CTextLines lines(text);
    for (;;) {
        try {
            if (!lines.Next())
                return nSearches;
            if (lines.Fate(bUtf8) == LineFate::kSearched)
                ++nSearches;
        } catch (const std::bad_alloc&) {
            // Skipped by the search too.
        }
    }
}

void OpenSearchWindow(const CString& url)
{
    CComRef<IWebBrowser2> browser;
    {
        CComRef<IUnknown> unknown;
        const HRESULT hr = ::CoCreateInstance(kClsidBrowserApplication, nullptr,
                                              CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER,
                                              kIidUnknown, reinterpret_cast<void**>(unknown.Receive()));
        if (hr == REGDB_E_CLASSNOTREG)
            throw _com_error(hr);
        if (SUCCEEDED(hr) && SUCCEEDED(::OleRun(unknown.get())))
            unknown.get()->QueryInterface(kIidWebBrowser2, reinterpret_cast<void**>(browser.Receive()));
    }
    if (!browser)
        throw _com_error(E_POINTER);

    CVariant target;
    try {
        // Every new window works online and shows its bars whatever the
        // browser's own settings for new windows say.
        Check(browser.get()->put_Offline(VARIANT_FALSE));
        Check(browser.get()->put_AddressBar(VARIANT_TRUE));
        Check(browser.get()->put_StatusBar(VARIANT_TRUE));
        {
            const CBstr status = MakeBstr("Torven");
            if (!status)
                throw _com_error(E_OUTOFMEMORY);
            Check(browser.get()->put_StatusText(status.get()));
        }

        CBstr urlString = MakeBstr(url);
        if (!urlString)
            throw _com_error(E_OUTOFMEMORY);
        target.get()->vt = VT_BSTR;
        target.get()->bstrVal = urlString.release();

        // Shown only now, with its bars and status text already in place.
        Check(browser.get()->put_Visible(VARIANT_TRUE));
    } catch (const _com_error&) {
        // Internet Explorer does not end when its last reference goes, so a
        // window that never showed would stay behind, hidden, for good.
        browser.get()->Quit();
        throw;
    }
    Check(browser.get()->Navigate2(target.get(), &g_varMissing, &g_varMissing, &g_varMissing, &g_varMissing));
    Check(target.Clear());
}
