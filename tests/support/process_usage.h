// What a process holds: handles, committed private memory, GDI and USER objects.
#pragma once

#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <vector>

namespace testutil {

struct ProcessUsage {
    DWORD handles = 0;
    SIZE_T privateBytes = 0;
    // Wine 8 does not count these (GetGuiResources returns 0 there); on
    // Windows they are real figures.
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
};

// Wine 8 answers GetProcessHandleCount with 0; its process list carries the
// count (the size of the handle table, so it moves in steps).
inline DWORD HandleCountFromProcessList(DWORD processId)
{
    using QueryFn = NTSTATUS(NTAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return 0;
    const NTSTATUS kLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
    std::vector<unsigned char> buffer(256 * 1024);
    NTSTATUS status;
    ULONG needed = 0;
    while ((status = query(SystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
           kLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status < 0)
        return 0;
    for (size_t offset = 0;;) {
        const auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
        if (reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId) == processId)
            return entry->HandleCount;
        if (entry->NextEntryOffset == 0)
            return 0;
        offset += entry->NextEntryOffset;
    }
}

// hProcess needs query and read access, as CreateProcess's handle has.
// Private bytes are the commit charge (PagefileUsage), which Wine fills in
// where it leaves PrivateUsage empty.
inline ProcessUsage MeasureProcess(HANDLE hProcess, DWORD processId)
{
    ProcessUsage usage;
    if (!::GetProcessHandleCount(hProcess, &usage.handles) || usage.handles == 0)
        usage.handles = HandleCountFromProcessList(processId);
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (::K32GetProcessMemoryInfo(hProcess, &counters, sizeof counters))
        usage.privateBytes = counters.PagefileUsage;
    usage.gdiObjects = ::GetGuiResources(hProcess, GR_GDIOBJECTS);
    usage.userObjects = ::GetGuiResources(hProcess, GR_USEROBJECTS);
    return usage;
}

inline ProcessUsage MeasureThisProcess()
{
    return MeasureProcess(::GetCurrentProcess(), ::GetCurrentProcessId());
}

}  // namespace testutil
