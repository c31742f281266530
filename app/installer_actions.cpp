// The installer's custom actions: a running Quillfind is closed before the
// installer replaces or removes its file, and started again where it ran.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include "app/running_agent.h"

namespace {

// Past this, Windows Installer's own handling of files in use takes over.
constexpr DWORD kEndTimeoutMs = 10000;

}  // namespace

// Immediate, just before InstallValidate, which looks for files in use: the
// target folder is known by then. Only the agent that runs the file this
// package puts or takes is closed; a copy elsewhere is not the installer's.
// QF_RESTART tells the action after InstallFinalize to start it again.
extern "C" __declspec(dllexport) UINT __stdcall CloseQuillfind(MSIHANDLE hInstall)
{
    wchar_t path[MAX_PATH];
    DWORD nLength = MAX_PATH - 16;  // room for the file's name
    if (::MsiGetTargetPathW(hInstall, L"INSTALLDIR", path, &nLength) != ERROR_SUCCESS)
        return ERROR_SUCCESS;
    ::lstrcatW(path, L"Quillfind.exe");
    const CRunningAgent agent;
    if (agent.Runs(path) && agent.End(kEndTimeoutMs))
        ::MsiSetPropertyW(hInstall, L"QF_RESTART", L"1");
    return ERROR_SUCCESS;
}
