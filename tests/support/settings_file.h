// The test program's settings file in the Windows folder, read and written raw.
#pragma once

#include <windows.h>

#include <string>

#include "framework/win_app.h"

class SettingsFile {
public:
    static std::string Path()
    {
        char dir[MAX_PATH];
        ::GetWindowsDirectoryA(dir, MAX_PATH);
        return std::string(dir) + "\\" + AfxGetApp()->m_pszProfileName;
    }

    // Wine caches profile files; an all-null write flushes that cache, so
    // the next profile call sees the file as it now is on disk.
    static void Flush() { ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, AfxGetApp()->m_pszProfileName); }

    static void Remove()
    {
        Flush();
        ::SetFileAttributesA(Path().c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(Path().c_str());
    }

    static void Write(const std::string& content)
    {
        Remove();
        HANDLE h = ::CreateFileA(Path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        ::CloseHandle(h);
    }

    static std::string Read()
    {
        Flush();
        std::string content;
        HANDLE h = ::CreateFileA(Path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return content;
        char buffer[4096];
        DWORD got = 0;
        while (::ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0)
            content.append(buffer, got);
        ::CloseHandle(h);
        return content;
    }

    static bool Exists() { return ::GetFileAttributesA(Path().c_str()) != INVALID_FILE_ATTRIBUTES; }
};
