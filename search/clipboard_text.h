// Taking the text of a clipboard change out of the clipboard, in both its forms.
#pragma once

#include "framework/cstring.h"
#include "framework/wide_buffer.h"

// One change's text in the ANSI code page and in UTF-16, each up to its
// first zero: the forms the copying program put there, and what it did not
// put there made from them, as the system would make it.
struct CClipboardText {
    CString text;
    CWideBuffer unicode;
};

enum class ClipboardRead {
    kText,
    // No text, or text the copying program marked private.
    kNone,
    // Another program has the clipboard open.
    kHeld,
};

// OLE's data object behind a clipboard change, as its "DataObject" format
// names it: the window of one on the clipboard, or none once OLE has
// rendered its formats and let it go.
enum class OleObject {
    kNone,
    kLive,
    kReleased,
};

// The clipboard is open only while the text is copied out; the forms are
// made after it is closed again. Throws std::bad_alloc for text too large
// for memory.
ClipboardRead ReadClipboardText(CClipboardText& text, OleObject& ole);
