// Small helpers shared by the test doubles: handle holders, environment look-ups, line logs.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace support {

class UniqueHandle {
public:
    explicit UniqueHandle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~UniqueHandle()
    {
        if (valid())
            CloseHandle(h_);
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

class UniqueKey {
public:
    UniqueKey() = default;
    ~UniqueKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    UniqueKey(const UniqueKey&) = delete;
    UniqueKey& operator=(const UniqueKey&) = delete;

    HKEY get() const { return key_; }
    HKEY* out() { return &key_; }

private:
    HKEY key_ = nullptr;
};

// Reads the process environment block rather than the CRT's copy, which is
// taken once at start-up: tests change variables with SetEnvironmentVariable
// between calls into code loaded in their own process.
inline std::optional<std::wstring> Env(const wchar_t* name)
{
    std::wstring value(64, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD n = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (n == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND)
                return std::nullopt;
            return std::wstring();
        }
        if (n < value.size()) {
            value.resize(n);
            return value;
        }
        value.resize(n);
    }
}

inline std::string Utf8(const wchar_t* s, int length)
{
    if (!s || length <= 0)
        return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, s, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s, length, out.data(), n, nullptr, nullptr);
    return out;
}

inline std::string Utf8(const std::wstring& s)
{
    return Utf8(s.c_str(), static_cast<int>(s.size()));
}

inline std::wstring ModulePath(HMODULE module)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// One open-append-close per line so that every line is on disk before the
// caller goes on, and several processes can share one log. FILE_APPEND_DATA
// without FILE_WRITE_DATA makes each write land at the current end of file.
inline bool AppendLine(const std::wstring& path, const std::string& line)
{
    const std::string data = line + "\n";
    for (int attempt = 0;; ++attempt) {
        UniqueHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.valid()) {
            DWORD written = 0;
            return WriteFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
                   written == data.size();
        }
        // A reader that opened the log without sharing write access holds it only briefly.
        if (GetLastError() != ERROR_SHARING_VIOLATION || attempt >= 50)
            return false;
        Sleep(10);
    }
}

// Runs the thread's message loop until the deadline, as a blocking call into
// another process would let sent and posted messages in. A WM_QUIT seen here is
// posted again and ends the wait, so the caller's own loop still gets it.
inline void PumpMessagesFor(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds)
            return;
        MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds - elapsed, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

}  // namespace support
