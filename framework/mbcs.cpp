// Lead-byte test: the system's on Windows, a table for the native build.
#include "framework/mbcs.h"

#ifdef _WIN32
#include <windows.h>

namespace mbcs {

bool IsLeadByte(unsigned char b)
{
    return ::IsDBCSLeadByte(b) != FALSE;
}

}  // namespace mbcs

#else

namespace mbcs {

namespace {
unsigned g_codePage = 932;
}

void SelectCodePage(unsigned codePage)
{
    g_codePage = codePage;
}

bool IsLeadByte(unsigned char b)
{
    if (g_codePage != 932)
        return false;
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

}  // namespace mbcs

#endif
