// The query encoding of a search URL.
#include "search/percent_encode.h"

#include <climits>
#include <new>

CString PercentEncodeAll(const CString& text)
{
    static const char kHex[] = "0123456789ABCDEF";
    const int length = text.GetLength();
    if (length > INT_MAX / 3)
        throw std::bad_alloc();

    CString encoded;
    char* out = encoded.GetBufferSetLength(length * 3);
    for (int i = 0; i < length; ++i) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        *out++ = '%';
        *out++ = kHex[b >> 4];
        *out++ = kHex[b & 0x0F];
    }
    return encoded;
}
