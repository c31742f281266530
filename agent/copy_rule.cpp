// CCopyRule: which changes of the clipboard are copies to search.
#include "agent/copy_rule.h"

#include "search/clipboard_text.h"

namespace {

// FNV-1a: the rule keeps a change's fingerprint rather than its text, which
// may be megabytes, for as long as the program runs.
constexpr std::uint64_t kFnvBasis = 14695981039346656037ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;

std::uint64_t Hash(std::uint64_t h, const unsigned char* p, std::size_t n)
{
    for (const unsigned char* end = p + n; p != end; ++p)
        h = (h ^ *p) * kFnvPrime;
    return h;
}

}  // namespace

bool CCopyRule::IsChange(std::uint32_t nSequence)
{
    const bool bChange = !m_bNotified || nSequence != m_nSequence;
    m_bNotified = true;
    m_nSequence = nSequence;
    return bChange;
}

CopyVerdict CCopyRule::Judge(const ClipboardFacts& facts, bool bDoubleCopy)
{
    const bool bAny = m_bAny;
    m_bAny = true;
    if (!facts.bRead || facts.nText == 0) {
        m_last = facts;
        m_nPresses = 0;
        return CopyVerdict::kPassOn;
    }
    // A change that was not read may have held this text: monitoring was off
    // when it was copied, so its owner rendering it again is not a copy either.
    const bool bSameText = bAny && (!m_last.bRead || m_last.nText == facts.nText);
    const bool bOwnerGone = facts.bLastOwnerGone && !facts.bOwnerAlive;
    const bool bFlushed = m_last.bOleLive && facts.bOleReleased && facts.nOwner == m_last.nOwner;
    if (bSameText && (bOwnerGone || bFlushed)) {
        m_last.bRead = true;
        m_last.nText = facts.nText;
        return CopyVerdict::kPassOn;
    }
    const bool bAgain = bAny && m_last.bRead && m_last.nText == facts.nText;
    const std::uint32_t nSince = facts.nTime - m_last.nTime;
    if (bAgain && nSince < kSamePressMs) {
        m_last.nTime = facts.nTime;
        return CopyVerdict::kPassOn;
    }
    // The window that owned the text is still there, and owns it again, or no
    // live window does: it may be rendering its text as it is destroyed.
    const std::uintptr_t nMayGo = bAgain && (facts.nOwner == m_last.nOwner || !facts.bOwnerAlive) ? m_last.nOwner : 0;
    m_nPresses = bAgain && nSince <= kRepeatMs ? m_nPresses + 1 : 1;
    m_last = facts;
    if (nMayGo)
        m_last.nOwner = nMayGo;
    if (m_nPresses != (bDoubleCopy ? 2 : 1))
        return CopyVerdict::kPassOn;
    return nMayGo ? CopyVerdict::kSearchIfOwnerStays : CopyVerdict::kSearch;
}

std::uint64_t CCopyRule::Fingerprint(const CClipboardText& text)
{
    // The ANSI form's length first keeps the forms apart.
    const int nAnsi = text.text.GetLength();
    const char* const pAnsi = text.text;
    std::uint64_t h = Hash(kFnvBasis, reinterpret_cast<const unsigned char*>(&nAnsi), sizeof nAnsi);
    h = Hash(h, reinterpret_cast<const unsigned char*>(pAnsi), nAnsi);
    h = Hash(h, reinterpret_cast<const unsigned char*>(text.unicode.data()), text.unicode.size() * sizeof(char16_t));
    return h ? h : 1;
}
