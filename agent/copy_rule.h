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
    // The clipboard's owner window (its handle's value, 0 for none), and
    // whether it still exists.
    std::uintptr_t nOwner = 0;
    bool bOwnerAlive = false;
    // The window that owned the change before this one (LastOwner) is gone.
    bool bLastOwnerGone = false;
    // OLE's "DataObject" format names the window of a data object on the
    // clipboard (bOleLive), or none, once OLE has rendered the object's
    // formats and let it go (bOleReleased).
    bool bOleLive = false;
    bool bOleReleased = false;
};

enum class CopyVerdict {
    kPassOn,
    kSearch,
    // The same text, with the window that owned it still there: a copy only
    // if that window (LastOwner) is still there when the search is due, as
    // one rendering its text again as it is destroyed may not be gone yet
    // when the change is read.
    kSearchIfOwnerStays,
};

// One decision over what the watcher gathered, with no call to the system.
// A change is a copy when the clipboard's sequence number moved and it is
// not one of these:
// - its owner rendering again what is there, with the text of the change
//   before it: the window that owned that change is gone (it rendered its
//   formats as it was destroyed, or they were dropped with it) and no other
//   took the clipboard; or the same owner's OLE data object, live then, is
//   let go now (OleFlushClipboard, as Office, LibreOffice and Firefox call
//   when they close). Neither empties the clipboard, and a copy always does.
//   A program that flushes as it copies (.NET's) shows a released object
//   from the start: with none live before it, that is a copy.
// - a repeated press: the same text within half a second of the change
//   before it, as Ctrl+C pressed twice. A run of them counts as presses of
//   one copy; one within a few hundredths of a second is not a press but
//   the same one, its program setting the clipboard twice.
// The same text copied again later is a copy again: the user may have
// closed the window of the first. In the double-copy mode only the second
// press of a run searches; otherwise the first does.
class CCopyRule {
public:
    static constexpr std::uint32_t kRepeatMs = 500;
    static constexpr std::uint32_t kSamePressMs = 60;

    // Whether a notification brings a change: only a moved sequence number
    // does. A viewer that rejoins the chain passes on the notification its
    // joining brings, and a notification may come again while the change is
    // read (a program rendering its text lets messages in): neither changes it.
    bool IsChange(std::uint32_t nSequence);
    // The owner window of the last change taken in, for bLastOwnerGone, or
    // the one that owned its text before it, if that decides.
    std::uintptr_t LastOwner() const { return m_last.nOwner; }
    // Takes a change in, and says whether to search it.
    CopyVerdict Judge(const ClipboardFacts& facts, bool bDoubleCopy);

    static std::uint64_t Fingerprint(const CClipboardText& text);

private:
    bool m_bNotified = false;
    std::uint32_t m_nSequence = 0;
    bool m_bAny = false;
    ClipboardFacts m_last;
    // The presses of the run the last change belongs to; 0 for none.
    int m_nPresses = 0;
};
