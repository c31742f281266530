// Taking the text of a clipboard change out of the clipboard, in both its forms.
#include "search/clipboard_text.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "framework/holders.h"
#include "search/unicode_lines.h"

namespace {

// Password managers and clipboard histories mark what they copy so that
// clipboard viewers leave it alone: with a format of the oldest convention,
// or of the newer one, or by keeping it out of the clipboard history.
// Found as the formats are listed (ListFormats), with the two formats whose
// data tells more, where they are listed.
struct Marks {
    bool bPrivate = false;
    UINT cfHistory = 0;
    // OLE's "DataObject" (FindOleObject).
    UINT cfOle = 0;
};

bool IsMarkedPrivate(const Marks& marks)
{
    if (marks.bPrivate || !marks.cfHistory)
        return marks.bPrivate;
    const CGlobalLock history(::GetClipboardData(marks.cfHistory));
    DWORD allowed = 1;
    if (history.size() >= sizeof allowed)
        std::memcpy(&allowed, history.get(), sizeof allowed);
    return allowed == 0;
}

// Which text forms the copying program put on the clipboard. The system
// makes a missing one from the other on request, but Wine keeps about 1 KiB
// of every form it makes that way for as long as the program runs, and
// Windows makes Unicode from ANSI text with the code page of CF_LOCALE, the
// input language of the moment, not the ANSI code page: so a form the system
// makes is not read where that can be told.
//
// EnumClipboardFormats lists the formats in the order they were placed.
// When the owner closes the clipboard, the system adds CF_LOCALE if it is
// missing and then the text forms it can make, CF_TEXT, CF_OEMTEXT and
// CF_UNICODETEXT in that order. So the first text form listed is the
// owner's, and so is one listed before the system's CF_LOCALE, or, after
// the owner's ANSI text, before CF_OEMTEXT. A Unicode form listed after all
// of these may be the system's, or the owner's put in the system's place in
// a later opening, for text its ANSI form could not hold: that text has the
// code page's stand-in, "?", there. Only then is it read, and its text tells
// which it is (UnicodeIsMadeByTheSystem).
struct TextForms {
    bool bAnsi = false;
    bool bUnicode = false;
    bool bUnicodeUnsure = false;
};

// The one pass over the formats finds the marks too: under Wine every look at
// the clipboard is a call to its server, made for every change.
TextForms ListFormats(Marks& marks)
{
    static const UINT cfIgnore = ::RegisterClipboardFormatA("Clipboard Viewer Ignore");
    static const UINT cfExclude = ::RegisterClipboardFormatA("ExcludeClipboardContentFromMonitorProcessing");
    static const UINT cfHistory = ::RegisterClipboardFormatA("CanIncludeInClipboardHistory");
    static const UINT cfDataObject = ::RegisterClipboardFormatA("DataObject");
    int nAnsi = -1, nUnicode = -1, nOem = -1, nLocale = -1;
    int i = 0;
    for (UINT format = 0; (format = ::EnumClipboardFormats(format)) != 0; ++i) {
        int* pAt = format == CF_TEXT ? &nAnsi : format == CF_UNICODETEXT ? &nUnicode
                 : format == CF_OEMTEXT ? &nOem : format == CF_LOCALE ? &nLocale : nullptr;
        if (pAt && *pAt < 0)
            *pAt = i;
        if (format == cfIgnore || format == cfExclude)
            marks.bPrivate = true;
        else if (format == cfHistory)
            marks.cfHistory = format;
        else if (format == cfDataObject)
            marks.cfOle = format;
    }
    TextForms forms;
    forms.bUnicode = nUnicode >= 0;
    forms.bAnsi = nAnsi >= 0 && (nUnicode < 0 || nAnsi < nUnicode || nLocale > nAnsi);
    forms.bUnicodeUnsure = forms.bUnicode && forms.bAnsi && nAnsi < nUnicode && nOem >= 0 && nOem < nUnicode &&
                           nLocale < nUnicode;
    return forms;
}

// The code page the system makes Unicode text from ANSI text with.
UINT LocaleCodePage()
{
    const CGlobalLock locale(::GetClipboardData(CF_LOCALE));
    LCID lcid = 0;
    if (locale.size() >= sizeof lcid)
        std::memcpy(&lcid, locale.get(), sizeof lcid);
    DWORD codePage = 0;
    if (!lcid || !::GetLocaleInfoA(lcid, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                                   reinterpret_cast<char*>(&codePage), sizeof codePage / sizeof(char)))
        return CP_ACP;
    return codePage;
}

bool UnicodeIsMadeByTheSystem(const CString& text, const CWideBuffer& unicode, UINT codePage)
{
    const CWideBuffer made = AnsiToUtf16(text, codePage);
    return made.size() == unicode.size() && std::equal(made.data(), made.data() + made.size(), unicode.data());
}

// OLE names the window of the data object it put on the clipboard in its
// "DataObject" format, and none there once it has rendered the object's
// formats and let it go; a copy empties the clipboard, and that format with it.
// A window handle's value fits 32 bits in 32- and 64-bit programs alike.
OleObject FindOleObject(const Marks& marks)
{
    if (!marks.cfOle)
        return OleObject::kNone;
    const CGlobalLock window(::GetClipboardData(marks.cfOle));
    DWORD dwWindow = 1;
    if (window.size() >= sizeof dwWindow)
        std::memcpy(&dwWindow, window.get(), sizeof dwWindow);
    return dwWindow ? OleObject::kLive : OleObject::kReleased;
}

template <class Char>
int LengthToZero(const CGlobalLock& data)
{
    const Char* p = static_cast<const Char*>(data.get());
    const size_t n = std::find(p, p + data.size() / sizeof(Char), Char()) - p;
    if (n > INT_MAX)
        throw std::bad_alloc();
    return static_cast<int>(n);
}

}  // namespace

ClipboardRead ReadClipboardText(CClipboardText& text, OleObject& ole)
{
    // Text in either form makes CF_TEXT available.
    if (!::IsClipboardFormatAvailable(CF_TEXT))
        return ClipboardRead::kNone;
    TextForms forms;
    UINT codePage = CP_ACP;
    {
        const CClipboardOpen clipboard(nullptr);
        if (!clipboard)
            return ClipboardRead::kHeld;
        Marks marks;
        forms = ListFormats(marks);
        if (IsMarkedPrivate(marks))
            return ClipboardRead::kNone;
        ole = FindOleObject(marks);
        if (forms.bAnsi) {
            const CGlobalLock data(::GetClipboardData(CF_TEXT));
            text.text = CString(static_cast<const char*>(data.get()), LengthToZero<char>(data));
        }
        if (forms.bUnicodeUnsure && text.text.Find('?') < 0)
            forms.bUnicode = false;
        if (forms.bUnicode) {
            const CGlobalLock data(::GetClipboardData(CF_UNICODETEXT));
            text.unicode = CWideBuffer(static_cast<const char16_t*>(data.get()), LengthToZero<char16_t>(data));
        }
        if (forms.bUnicode && forms.bUnicodeUnsure)
            codePage = LocaleCodePage();
    }
    if (!forms.bAnsi && !forms.bUnicode)
        return ClipboardRead::kNone;
    if (!forms.bUnicode || (forms.bUnicodeUnsure && UnicodeIsMadeByTheSystem(text.text, text.unicode, codePage)))
        text.unicode = AnsiToUtf16(text.text);
    if (!forms.bAnsi)
        text.text = Utf16ToAnsi(text.unicode);
    return ClipboardRead::kText;
}
