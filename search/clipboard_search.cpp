// Turning clipboard text into searches, each opened in a new browser window.
#include "search/clipboard_search.h"

#include <comdef.h>
#include <exdisp.h>
#include <ole2.h>
#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "app/search_app.h"
#include "framework/holders.h"
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

// Password managers mark what they copy so that clipboard watchers leave it alone.
bool IsMarkedPrivate()
{
    static const UINT cfExclude = ::RegisterClipboardFormatA("ExcludeClipboardContentFromMonitorProcessing");
    static const UINT cfHistory = ::RegisterClipboardFormatA("CanIncludeInClipboardHistory");
    if (::IsClipboardFormatAvailable(cfExclude))
        return true;
    if (!::IsClipboardFormatAvailable(cfHistory))
        return false;
    const CGlobalLock history(::GetClipboardData(cfHistory));
    DWORD allowed = 1;
    if (history.size() >= sizeof allowed)
        std::memcpy(&allowed, history.get(), sizeof allowed);
    return allowed == 0;
}

// Which text forms the clipboard's owner put there. The system makes a
// missing one from the other on request, but Wine keeps about 1 KiB of every
// form it makes that way for as long as the program runs; so the program
// reads only the owner's forms and makes the missing one itself, as the
// system would. Forms the system makes are listed after CF_LOCALE, which it
// adds when the owner closes the clipboard; the first text form listed is
// always the owner's.
void FindOwnersTextForms(bool& bAnsi, bool& bUnicode)
{
    bAnsi = bUnicode = false;
    bool bAfterLocale = false;
    for (UINT format = 0; (format = ::EnumClipboardFormats(format)) != 0;) {
        if (format == CF_LOCALE) {
            bAfterLocale = true;
        } else if (format == CF_TEXT || format == CF_UNICODETEXT) {
            const bool bOwners = !bAfterLocale || !(bAnsi || bUnicode);
            (format == CF_TEXT ? bAnsi : bUnicode) = bOwners;
        }
    }
    bAnsi = bAnsi || !bUnicode;
}

// The clipboard's text in both its forms, each up to its first zero. The
// clipboard is closed again before this returns; no search runs while it is open.
bool CopyClipboardText(CString& text, CWideBuffer& unicode)
{
    const CClipboardOpen clipboard(nullptr);
    if (!clipboard || IsMarkedPrivate())
        return false;
    bool bAnsi, bUnicode;
    FindOwnersTextForms(bAnsi, bUnicode);
    if (bAnsi) {
        const CGlobalLock data(::GetClipboardData(CF_TEXT));
        const char* bytes = static_cast<const char*>(data.get());
        const size_t length = std::find(bytes, bytes + data.size(), '\0') - bytes;
        if (length > INT_MAX)
            return false;
        text = CString(bytes, static_cast<int>(length));
    }
    if (bUnicode) {
        const CGlobalLock wide(::GetClipboardData(CF_UNICODETEXT));
        const char16_t* units = static_cast<const char16_t*>(wide.get());
        const size_t nUnits = std::find(units, units + wide.size() / sizeof(char16_t), u'\0') - units;
        if (nUnits > INT_MAX)
            return false;
        unicode = CWideBuffer(units, static_cast<int>(nUnits));
    } else {
        unicode = AnsiToUtf16(text);
    }
    if (!bAnsi)
        text = Utf16ToAnsi(unicode);
    return true;
}

// The query of the next line in the current site's encoding: UTF-8 from the
// Unicode form, or the ANSI form's bytes. An ANSI line whose Unicode form
// holds a character that the code page cannot is not searched: its ANSI form
// has a stand-in there, such as "?", and would search something else. The
// forms' lines are paired only when both cut into as many lines.
CString NextQuery(const CString& line, const char16_t* pUnicodeLine, int nUnicodeLength, bool bPaired,
                  SearchOutcome& outcome)
{
    if (theApp.IsCurrentSiteUtf8())
        return PercentEncodeAll(Utf16ToUtf8(pUnicodeLine, nUnicodeLength));
    if (bPaired && !AnsiHolds(pUnicodeLine, nUnicodeLength)) {
        ++outcome.nUnsearched;
        return CString();
    }
    return PercentEncodeAll(line);
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

SearchOutcome SearchClipboardText()
{
    SearchOutcome outcome;
    if (!::IsClipboardFormatAvailable(CF_TEXT))
        return outcome;
    CString text;
    CWideBuffer unicode;
    try {
        if (!CopyClipboardText(text, unicode))
            return outcome;
    } catch (const std::bad_alloc&) {
        return outcome;
    }

    CLineCutter cutter(text);
    CUnicodeLineCutter unicodeCutter(unicode.data(), unicode.size());
    const bool bPaired = cutter.Count() == unicodeCutter.Count();
    for (bool bMore = true; bMore;) {
        try {
            CString query;
            {
                CString line;
                const char16_t* pUnicodeLine = nullptr;
                int nUnicodeLength = 0;
                const bool bAnsi = cutter.Next(line);
                const bool bUnicode = unicodeCutter.Next(pUnicodeLine, nUnicodeLength);
                bMore = bAnsi || bUnicode;
                if (line.IsEmpty() && nUnicodeLength == 0)
                    continue;
                query = NextQuery(line, pUnicodeLine, nUnicodeLength, bPaired, outcome);
            }
            if (query.IsEmpty())
                continue;
            const CString right = theApp.GetCurrentSiteRight();
            const CString left = theApp.GetCurrentSiteLeft();
            CString url;
            url.Format("%s%s%s", static_cast<const char*>(left), static_cast<const char*>(query),
                       static_cast<const char*>(right));
            if (theApp.IsStarted())
                OpenSearchWindow(url);
            else
                ::ShellExecuteA(nullptr, nullptr, url, nullptr, nullptr, SW_SHOWNORMAL);
        } catch (const _com_error& e) {
            if (SUCCEEDED(outcome.hrFirstFailure))
                outcome.hrFirstFailure = e.Error();
        } catch (const std::bad_alloc&) {
            // A line too large for memory is skipped; the others still run.
        }
    }
    return outcome;
}

void OpenSearchWindow(const CString& url)
{
    CComRef<IWebBrowser2> browser;
    {
        CComRef<IUnknown> unknown;
        const HRESULT hr = ::CoCreateInstance(kClsidBrowserApplication, nullptr,
                                              CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER,
                                              kIidUnknown, reinterpret_cast<void**>(unknown.Receive()));
        if (SUCCEEDED(hr) && SUCCEEDED(::OleRun(unknown.get())))
            unknown.get()->QueryInterface(kIidWebBrowser2, reinterpret_cast<void**>(browser.Receive()));
    }
    if (!browser)
        throw _com_error(E_POINTER);

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

    CVariant target;
    CBstr urlString = MakeBstr(url);
    if (!urlString)
        throw _com_error(E_OUTOFMEMORY);
    target.get()->vt = VT_BSTR;
    target.get()->bstrVal = urlString.release();

    // Shown only now, with its bars and status text already in place.
    Check(browser.get()->put_Visible(VARIANT_TRUE));
    Check(browser.get()->Navigate2(target.get(), &g_varMissing, &g_varMissing, &g_varMissing, &g_varMissing));
    Check(target.Clear());
}
