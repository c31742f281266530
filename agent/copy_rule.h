// CCopyRule: which changes of the clipboard are copies to search.
#pragma once

#include <cstdint>

struct CClipboardText;

// What the watcher gathered of one change of the clipboard.
struct ClipboardFacts {
    // When its notification came, in milliseconds of the tick count.
    std::uint32_t nTime = 0;
    // Whether its text was read; not while monitoring is off.
    bool bRead = false;
    // Both forms of its text, as the search reads them (Fingerprint); 0 for
    // a change without text, or with text marked private.
    std::uint64_t nText = 0;
    // The clipboard's owner is a window that still exists.
    bool bOwnerAlive = false;
    // OLE has rendered its data object onto the clipboard and let it go.
    bool bOleReleased = false;
};

// One decision over what the watcher gathered, with no call to the system.
// A change is a copy when the clipboard's sequence number moved and it is
// not one of these:
// - its owner rendering again what is there: the text of the change before
//   it, with the window that owned that gone (it rendered its formats as it
//   was destroyed, or they were dropped with it), or OLE's data object let
//   go (OleFlushClipboard, as Office, LibreOffice and Firefox call when they
//   close). Neither empties the clipboard, and a copy always does: OLE's
//   "DataObject" format then names the window of a new data object, not none.
// - a repeated press: the same text within half a second of the change
//   before it, as Ctrl+C pressed twice, or a program that sets the clipboard
//   twice for one copy. A run of them counts as presses of one copy.
// The same text copied again later is a copy again: the user may have
// closed the window of the first. In the double-copy mode only the second
// press of a run searches; otherwise the first does.
class CCopyRule {
public:
    static constexpr std::uint32_t kRepeatMs = 500;

    // Whether a notification brings a change: only a moved sequence number
    // does. A viewer that rejoins the chain passes on the notification its
    // joining brings, and a notification may come again while the change is
    // read (a program rendering its text lets messages in): neither changes it.
    bool IsChange(std::uint32_t nSequence);
    // Takes a change in, and says whether to search it.
    bool IsSearched(const ClipboardFacts& facts, bool bDoubleCopy);

    static std::uint64_t Fingerprint(const CClipboardText& text);

private:
    bool m_bNotified = false;
    std::uint32_t m_nSequence = 0;
    bool m_bAny = false;
    ClipboardFacts m_last;
    // The presses of the run the last change belongs to; 0 for none.
    int m_nPresses = 0;
};
