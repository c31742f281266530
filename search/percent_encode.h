// The query encoding of a search URL.
#pragma once

#include "framework/cstring.h"

// Every byte as "%" and two upper-case hex digits, letters and digits
// included, so the result is exactly three times as long as the text.
CString PercentEncodeAll(const CString& text);
