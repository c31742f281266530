// Puts exact bytes on the clipboard, or holds it open, from a process other than the one under test.
//
//   clip_tool text-hex HEX [--format NAME=HEX]...
//       Empties the clipboard and sets CF_TEXT to the bytes HEX spells (two hex
//       digits a byte; 00 allowed anywhere) plus one terminating zero, and each
//       registered format NAME to exactly its bytes. NAME= gives one zero
//       byte: Wine keeps no clipboard data of size zero.
//   clip_tool empty [--format NAME=HEX]...
//       The same without CF_TEXT: an empty clipboard, or only the named formats.
//   clip_tool hold MS
//       Opens the clipboard with a hidden window of its own (so that
//       GetOpenClipboardWindow shows it), writes "held\n" to stdout and keeps
//       it open MS milliseconds.
//
// A clipboard that another program holds is retried for up to 2 seconds.
// Exit status 0 on success, 1 when the clipboard refused, 2 on bad arguments;
// a message on stderr for both.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "support_util.h"

namespace {

// The program under test reads the clipboard after each change and may still
// hold it when the next change comes.
const DWORD kOpenTimeoutMs = 2000;

struct Format {
    std::wstring name;
    std::vector<unsigned char> bytes;
};

bool ParseHex(const std::wstring& hex, std::vector<unsigned char>& bytes)
{
    if (hex.size() % 2 != 0)
        return false;
    bytes.clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        unsigned value = 0;
        for (size_t j = i; j < i + 2; ++j) {
            const wchar_t c = hex[j];
            unsigned digit;
            if (c >= L'0' && c <= L'9')
                digit = static_cast<unsigned>(c - L'0');
            else if (c >= L'a' && c <= L'f')
                digit = static_cast<unsigned>(c - L'a' + 10);
            else if (c >= L'A' && c <= L'F')
                digit = static_cast<unsigned>(c - L'A' + 10);
            else
                return false;
            value = value * 16 + digit;
        }
        bytes.push_back(static_cast<unsigned char>(value));
    }
    return true;
}

int Usage()
{
    std::fputs("usage: clip_tool text-hex HEX [--format NAME=HEX]...\n"
               "       clip_tool empty [--format NAME=HEX]...\n"
               "       clip_tool hold MS\n",
               stderr);
    return 2;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "clip_tool: %s failed (error %lu)\n", what, GetLastError());
    return 1;
}

class Window {
public:
    Window() : hwnd_(CreateWindowExW(0, L"STATIC", L"clip_tool", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr))
    {
    }
    ~Window()
    {
        if (hwnd_)
            DestroyWindow(hwnd_);
    }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND get() const { return hwnd_; }

private:
    HWND hwnd_;
};

class OpenClipboardScope {
public:
    explicit OpenClipboardScope(HWND owner)
    {
        const DWORD start = GetTickCount();
        while (!(open_ = OpenClipboard(owner) != FALSE) && GetTickCount() - start < kOpenTimeoutMs)
            Sleep(10);
    }
    ~OpenClipboardScope()
    {
        if (open_)
            CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;

    bool open() const { return open_; }

    bool Close()
    {
        open_ = false;
        return CloseClipboard() != FALSE;
    }

private:
    bool open_ = false;
};

bool SetData(UINT format, const std::vector<unsigned char>& bytes, size_t zeroes)
{
    // Wine's SetClipboardData refuses a block of size zero, and a NULL handle
    // (delayed rendering) vanishes when this process exits; one zero byte is
    // the nearest to "no data" that outlives us.
    const size_t size = bytes.size() + zeroes == 0 ? 1 : bytes.size() + zeroes;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!memory)
        return false;
    if (!bytes.empty()) {
        void* p = GlobalLock(memory);
        if (!p) {
            GlobalFree(memory);
            return false;
        }
        std::memcpy(p, bytes.data(), bytes.size());
        GlobalUnlock(memory);
    }
    if (!SetClipboardData(format, memory)) {
        GlobalFree(memory);
        return false;
    }
    return true;
}

int SetClipboard(const std::vector<unsigned char>* text, const std::vector<Format>& formats)
{
    Window owner;
    if (!owner.get())
        return Fail("CreateWindowEx");
    OpenClipboardScope clipboard(owner.get());
    if (!clipboard.open())
        return Fail("OpenClipboard");
    if (!EmptyClipboard())
        return Fail("EmptyClipboard");
    if (text && !SetData(CF_TEXT, *text, 1))
        return Fail("SetClipboardData(CF_TEXT)");
    for (const Format& f : formats) {
        const UINT id = RegisterClipboardFormatW(f.name.c_str());
        if (!id)
            return Fail("RegisterClipboardFormat");
        if (!SetData(id, f.bytes, 0))
            return Fail("SetClipboardData(registered format)");
    }
    if (!clipboard.Close())
        return Fail("CloseClipboard");
    return 0;
}

int Hold(DWORD milliseconds)
{
    Window owner;
    if (!owner.get())
        return Fail("CreateWindowEx");
    OpenClipboardScope clipboard(owner.get());
    if (!clipboard.open())
        return Fail("OpenClipboard");
    static const char kHeld[] = "held\n";
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), kHeld, sizeof kHeld - 1, &written, nullptr);
    support::PumpMessagesFor(milliseconds);
    return 0;
}

int Run(int argc, wchar_t** argv)
{
    if (argc < 2)
        return Usage();
    const std::wstring command = argv[1];
    if (command == L"hold") {
        if (argc != 3 || !*argv[2])
            return Usage();
        wchar_t* end;
        const unsigned long ms = std::wcstoul(argv[2], &end, 10);
        if (*end)
            return Usage();
        return Hold(ms);
    }

    int next;
    std::vector<unsigned char> text;
    if (command == L"text-hex") {
        if (argc < 3 || !ParseHex(argv[2], text))
            return Usage();
        next = 3;
    } else if (command == L"empty") {
        next = 2;
    } else {
        return Usage();
    }

    std::vector<Format> formats;
    for (; next < argc; next += 2) {
        if (std::wstring(argv[next]) != L"--format" || next + 1 >= argc)
            return Usage();
        const std::wstring assignment = argv[next + 1];
        const size_t equals = assignment.find(L'=');
        if (equals == std::wstring::npos || equals == 0)
            return Usage();
        Format f;
        f.name = assignment.substr(0, equals);
        if (!ParseHex(assignment.substr(equals + 1), f.bytes))
            return Usage();
        formats.push_back(std::move(f));
    }
    return SetClipboard(command == L"text-hex" ? &text : nullptr, formats);
}

}  // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return Fail("CommandLineToArgvW");
    const int status = Run(argc, argv);
    LocalFree(argv);
    return status;
}
