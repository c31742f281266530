// Fuzzes the portable core: clipboard bytes through line cutting, trimming and
// encoding, and CString look-ups at arbitrary positions.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/cstring.h"
#include "framework/mbcs.h"
#include "search/line_cutter.h"
#include "search/percent_encode.h"
#include "search/unicode_lines.h"

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

// Input: the code page (932 when the first byte is odd), two positions, then the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 9)
        return 0;
    mbcs::SelectCodePage(data[0] & 1 ? 932 : 1252);
    int a, b;
    std::memcpy(&a, data + 1, sizeof a);
    std::memcpy(&b, data + 5, sizeof b);
    const CString text(reinterpret_cast<const char*>(data + 9), static_cast<int>(size - 9));
    const std::string bytes(text, text.GetLength());

    // Every line is trimmed and lies inside the text, and the lines never add
    // up to more than the text; every byte of a line is encoded as itself.
    CLineCutter cutter(text);
    int total = 0;
    for (CString line; cutter.Next(line);) {
        total += line.GetLength();
        Require(total <= text.GetLength());
        Require(bytes.find(std::string(line, line.GetLength())) != std::string::npos);
        Require(line.IsEmpty() || (line[0] != ' ' && (line[0] < 9 || line[0] > 13)));
        const CString encoded = PercentEncodeAll(line);
        Require(encoded.GetLength() == 3 * line.GetLength());
        for (int i = 0; i < line.GetLength(); ++i)
            Require(encoded[3 * i] == '%' && std::strtol(std::string(encoded.Mid(3 * i + 1, 2), 2).c_str(), nullptr, 16) ==
                                                 static_cast<unsigned char>(line[i]));
    }

    // The same bytes as UTF-16: as many lines as counted, each well within
    // three bytes of UTF-8 a unit, none of them a byte UTF-8 never has.
    std::u16string units(size / 2, u'\0');
    std::memcpy(&units[0], data, units.size() * 2);
    CUnicodeLineCutter unicodeCutter(units.data(), static_cast<int>(units.size()));
    int nLines = 0;
    const char16_t* pLine;
    for (int nLength; unicodeCutter.Next(pLine, nLength); ++nLines) {
        const CString utf8 = Utf16ToUtf8(pLine, nLength);
        Require(utf8.GetLength() >= nLength && utf8.GetLength() <= 3 * nLength);
        Require(std::string(utf8, utf8.GetLength()).find_first_of("\xC0\xC1\xF5\xF6\xF7\xF8\xF9\xFA\xFB\xFC\xFD\xFE\xFF") ==
                std::string::npos);
    }
    Require(nLines == unicodeCutter.Count());

    // Look-ups stay inside the text and find what they report.
    const CString mid = text.Mid(a, b);
    const int found = text.Find(mid, a);
    Require(found == -1 || std::memcmp(static_cast<const char*>(text) + found, mid, mid.GetLength()) == 0);
    CString twice = text;
    twice += twice;
    Require(twice.GetLength() == 2 * text.GetLength() && std::memcmp(twice + text.GetLength(), text, text.GetLength()) == 0);
    Require(std::memcmp(twice.GetBufferSetLength(3 * text.GetLength() + 1), text, text.GetLength()) == 0);
    Require(bytes.find(std::string(mid, mid.GetLength())) != std::string::npos);
    return 0;
}
