// Starting with Windows through a shortcut in the user's Startup folder, not a
// registry value of the program's: the folder is what Windows' own start-up
// lists and Task Manager show and switch off, and their switch is heeded.
#include "app/startup_shortcut.h"

#include <objidl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "framework/holders.h"
#include "framework/win_app.h"

namespace {

// The platform's published identifiers, spelled out here: the SDK's library
// of them would bring hundreds of unrelated ones into the program.
const KNOWNFOLDERID kFolderIdStartup = {0xB97D20BB, 0xF46A, 0x4C97, {0xBA, 0x10, 0x5E, 0x36, 0x08, 0x43, 0x08, 0x54}};
const CLSID kClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidShellLinkW = {0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// One name for every copy, so that a copy's check box takes the place of
// another's rather than starting both.
const wchar_t kShortcutName[] = L"Quillfind.lnk";

// Task Manager's Startup tab and Settings' start-up list switch an item of
// the folder off without deleting it, with a value named after its file:
// 12 bytes, whose first is odd while the item is off (03, then the time it
// was switched off) and even once it is on again (02 or 06). An item
// without one is on.
const wchar_t kSwitchKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\StartupFolder";

bool IsSwitchedOff()
{
    BYTE value[16];
    DWORD nSize = sizeof value;
    return ::SHGetValueW(HKEY_CURRENT_USER, kSwitchKey, kShortcutName, nullptr, value, &nSize) == ERROR_SUCCESS &&
           nSize > 0 && (value[0] & 1);
}

// The switch goes, which leaves the item on, as it is for one never switched.
bool ForgetSwitch()
{
    const LSTATUS status = ::SHDeleteValueW(HKEY_CURRENT_USER, kSwitchKey, kShortcutName);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

// The shortcut's path; false when the folder is not there and dwFlags does
// not make it.
bool GetShortcutPath(DWORD dwFlags, wchar_t (&path)[MAX_PATH])
{
    CTaskMemString folder;
    return SUCCEEDED(::SHGetKnownFolderPath(kFolderIdStartup, dwFlags, nullptr, folder.Receive())) &&
           ::PathCombineW(path, folder.get(), kShortcutName);
}

bool NewShellLink(CComRef<IShellLinkW>& link, CComRef<IPersistFile>& file)
{
    return SUCCEEDED(::CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkW,
                                        reinterpret_cast<void**>(link.Receive()))) &&
           SUCCEEDED(link.get()->QueryInterface(kIidPersistFile, reinterpret_cast<void**>(file.Receive())));
}

}  // namespace

// Paths are wide throughout, unlike the rest of the program: the executable
// may lie in a user's folder whose name the ANSI code page cannot spell.
BOOL IsStartedWithWindows()
{
    wchar_t path[MAX_PATH], target[MAX_PATH], executable[MAX_PATH];
    CComRef<IShellLinkW> link;
    CComRef<IPersistFile> file;
    return GetShortcutPath(0, path) && NewShellLink(link, file) && SUCCEEDED(file.get()->Load(path, STGM_READ)) &&
           SUCCEEDED(link.get()->GetPath(target, MAX_PATH, nullptr, 0)) &&
           ::GetModuleFileNameW(nullptr, executable, MAX_PATH) &&
           ::CompareStringOrdinal(target, -1, executable, -1, TRUE) == CSTR_EQUAL && !IsSwitchedOff();
}

BOOL SetStartedWithWindows(BOOL bStarted)
{
    wchar_t path[MAX_PATH], executable[MAX_PATH], folder[MAX_PATH], description[MAX_PATH];
    if (!GetShortcutPath(KF_FLAG_CREATE, path))
        return FALSE;
    if (!bStarted)
        return ::DeleteFileW(path) && ForgetSwitch();
    if (!::GetModuleFileNameW(nullptr, executable, MAX_PATH))
        return FALSE;
    ::lstrcpyW(folder, executable);
    ::PathRemoveFileSpecW(folder);
    ::MultiByteToWideChar(CP_ACP, 0, AfxGetApp()->m_pszAppName, -1, description, MAX_PATH);
    CComRef<IShellLinkW> link;
    CComRef<IPersistFile> file;
    return NewShellLink(link, file) && SUCCEEDED(link.get()->SetPath(executable)) &&
           SUCCEEDED(link.get()->SetWorkingDirectory(folder)) && SUCCEEDED(link.get()->SetDescription(description)) &&
           SUCCEEDED(file.get()->Save(path, TRUE)) && ForgetSwitch();
}
