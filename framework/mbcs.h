// The lead-byte test of the ANSI multibyte code page, the one place that knows the code page.
#pragma once

namespace mbcs {

// True when b starts a double-byte character in the current ANSI code page.
bool IsLeadByte(unsigned char b);

#ifndef _WIN32
// The native build has no system code page: tests pick 932 (Shift_JIS) or any
// single-byte page (for example 1252). 932 is the default.
void SelectCodePage(unsigned codePage);
#endif

}  // namespace mbcs
