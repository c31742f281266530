// Fuzzes the portable core: clipboard bytes through line cutting, trimming and
// encoding, and CString operations at arbitrary positions.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/cstring.h"
#include "framework/mbcs.h"
#include "search/line_cutter.h"
#include "search/percent_encode.h"

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

bool IsSpace(unsigned char b)
{
    return b == 0x20 || (b >= 0x09 && b <= 0x0D);
}

int HexValue(char c)
{
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

void CheckEncoding(const CString& line)
{
    const CString encoded = PercentEncodeAll(line);
    Require(encoded.GetLength() == 3 * line.GetLength());
    for (int i = 0; i < line.GetLength(); ++i) {
        Require(encoded[3 * i] == '%');
        const int value = HexValue(encoded[3 * i + 1]) * 16 + HexValue(encoded[3 * i + 2]);
        Require(value == static_cast<unsigned char>(line[i]));
    }
}

// Every line is trimmed, lies inside the text, and the lines never add up to
// more than the text itself.
void CheckLines(const CString& text)
{
    CLineCutter cutter(text);
    int total = 0;
    int count = 0;
    for (CString line; cutter.Next(line);) {
        Require(++count <= text.GetLength() + 1);
        total += line.GetLength();
        Require(total <= text.GetLength());
        if (!line.IsEmpty()) {
            Require(!IsSpace(static_cast<unsigned char>(line[0])));
            Require(std::string(static_cast<const char*>(text), text.GetLength())
                        .find(std::string(static_cast<const char*>(line), line.GetLength())) != std::string::npos);
        }
        CheckEncoding(line);
    }
}

void CheckStringOperations(const CString& text, int a, int b)
{
    const CString mid = text.Mid(a, b);
    Require(mid.GetLength() >= 0 && mid.GetLength() <= text.GetLength());
    if (b < 0 || a >= text.GetLength())
        Require(mid.IsEmpty());

    const int found = text.Find(mid, a);
    Require(found == -1 || (found >= 0 && found <= text.GetLength()));
    if (found >= 0 && !mid.IsEmpty())
        Require(std::memcmp(static_cast<const char*>(text) + found, mid, mid.GetLength()) == 0);

    const char ch = text.IsEmpty() ? 'x' : text[(a & 0x7FFFFFFF) % text.GetLength()];
    const int at = text.Find(ch, b);
    Require(at == -1 || text[at] == ch);

    CString trimmed = text;
    trimmed.Trim();
    CString again = trimmed;
    again.Trim();
    Require(again == trimmed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 9)
        return 0;
    mbcs::SelectCodePage(data[0] & 1 ? 932 : 1252);
    int a;
    int b;
    std::memcpy(&a, data + 1, sizeof a);
    std::memcpy(&b, data + 5, sizeof b);
    const CString text(reinterpret_cast<const char*>(data + 9), static_cast<int>(size - 9));

    CheckLines(text);
    CheckStringOperations(text, a, b);
    return 0;
}
