// The program's entry point, which hands over to the application object.
#include <windows.h>

#include <cstdlib>

#include "framework/win_app.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    return AfxWinMain(hInstance);
}

#if defined(__GLIBCXX__)
// libstdc++'s default handler for an exception nobody catches prints the
// exception's demangled type to a console a GUI program does not have; the
// demangler and the printf it pulls in would make up a third of the program.
// Ending at once is all this program needs.
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
}  // namespace __gnu_cxx
#endif
