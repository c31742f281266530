// Starting with Windows: the program's shortcut in the user's Startup folder.
#pragma once

#include <windows.h>

// Whether the Startup folder's shortcut of the program leads to this very
// executable and Windows has not switched it off; one to another copy of the
// program is not this one's.
BOOL IsStartedWithWindows();
// TRUE makes the shortcut lead to this executable, in place of one to another
// copy, and switched on; FALSE removes it, and is for when it is this
// executable's. Either way Windows' switch of it goes. Returns whether that
// was done.
BOOL SetStartedWithWindows(BOOL bStarted);
