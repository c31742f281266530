// Acts out a restart of the shell for one program: its tray icon goes away,
// then every top-level window hears "TaskbarCreated", as from a new taskbar.
//
//   shell_restart TITLE ID
//       TITLE names the program's window, ID its icon identifier.
// Exit status 0 on success, 1 when no such window, 2 on bad arguments.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: shell_restart TITLE ID\n");
        return 2;
    }
    const HWND hWnd = ::FindWindowA(nullptr, argv[1]);
    if (!hWnd) {
        std::fprintf(stderr, "shell_restart: no window titled %s\n", argv[1]);
        return 1;
    }

    NOTIFYICONDATAA nid = {};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = hWnd;
    nid.uID = static_cast<UINT>(std::strtoul(argv[2], nullptr, 10));
    ::Shell_NotifyIconA(NIM_DELETE, &nid);

    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(HWND_BROADCAST, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 5000,
                          &result);
    return 0;
}
