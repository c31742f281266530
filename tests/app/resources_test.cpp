// The compiled resources and the shape of Quillfind.exe itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "framework/cstring.h"
#include "res/resource.h"

namespace {

// The built program, as Wine sees the build folder through drive Z:.
std::string ExePath()
{
    std::string path = "Z:" QF_EXE_PATH;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

TEST(Resources, EveryStringOfTheSettingsIsPresent)
{
    const struct {
        UINT id;
        const char* text;
    } cases[] = {
        {IDS_SITE_COUNT, "10"},
        {IDS_SECTION, "Url Setting"},
        {IDS_KEY_CURRENT, "Current Url Index"},
        {IDS_DEFAULT_CURRENT, "0"},
        {IDS_KEY_LEFT_FIRST, "WWW Search Site 1 Left"},
        {IDS_KEY_RIGHT_FIRST, "WWW Search Site 1 Right"},
        {IDS_KEY_LEFT_FIRST + 2 * 4, "WWW Search Site 5 Left"},
        {IDS_KEY_RIGHT_FIRST + 2 * 9, "WWW Search Site 10 Right"},
        {IDS_KEY_NAME_FIRST, "WWW Search Site Name 1"},
        {IDS_KEY_NAME_FIRST + 9, "WWW Search Site Name 10"},
        {IDS_DEFAULT_NAME_FIRST + 4, "Goo \x89\x70\x98\x61\x8E\xAB\x93\x54"},
        {IDS_DEFAULT_NAME_FIRST + 9, "\x96\xA2\x92\xE8"},
        {IDS_DEFAULT_LEFT_FIRST + 2 * 9, "http://"},
        {IDS_DEFAULT_RIGHT_FIRST + 2 * 9, "&"},
    };
    for (const auto& c : cases) {
        CString text;
        EXPECT_TRUE(text.LoadString(c.id)) << c.id;
        EXPECT_EQ(CString(c.text), text) << c.id;
    }

    // Every key and default of every site, with nothing left blank.
    for (UINT i = 0; i < 10; ++i) {
        for (UINT id : {IDS_KEY_LEFT_FIRST + 2 * i, IDS_KEY_RIGHT_FIRST + 2 * i, IDS_DEFAULT_LEFT_FIRST + 2 * i,
                        IDS_DEFAULT_RIGHT_FIRST + 2 * i, IDS_KEY_NAME_FIRST + i, IDS_DEFAULT_NAME_FIRST + i}) {
            CString text;
            EXPECT_TRUE(text.LoadString(id)) << id;
        }
        CString left;
        left.LoadString(IDS_DEFAULT_LEFT_FIRST + 2 * i);
        EXPECT_EQ(0, left.Find("http://")) << i;
    }

    CString absent("not empty");
    EXPECT_FALSE(absent.LoadString(9999));
    EXPECT_TRUE(absent.IsEmpty());
}

TEST(Resources, VersionRecordNamesTheProduct)
{
    const std::string path = ExePath();
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u) << path;
    std::vector<char> info(size);
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(1, 0), fixed->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwProductVersionMS);
    EXPECT_EQ(MAKELONG(1, 0), fixed->dwProductVersionLS);

    const struct {
        const char* name;
        const char* value;
    } cases[] = {
        {"FileDescription", "Quillfind \xB1\xCC\xDF\xD8\xB9\xB0\xBC\xAE\xDD"},
        {"FileVersion", "1.0.0.1"},
        {"ProductVersion", "1.0.0.1"},
    };
    for (const auto& c : cases) {
        char* value = nullptr;
        const std::string query = std::string("\\StringFileInfo\\041104b0\\") + c.name;
        ASSERT_TRUE(::VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) << c.name;
        EXPECT_STREQ(c.value, value) << c.name;
    }
}

TEST(Resources, ManifestKeepsLegacyWriteRedirection)
{
    HMODULE exe = ::LoadLibraryExA(ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, exe);
    HRSRC found = ::FindResourceA(exe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(nullptr, found);
    const char* data = static_cast<const char*>(::LockResource(::LoadResource(exe, found)));
    const std::string manifest(data, ::SizeofResource(exe, found));
    ::FreeLibrary(exe);

    EXPECT_NE(std::string::npos, manifest.find("Microsoft.Windows.Common-Controls"));
    EXPECT_EQ(std::string::npos, manifest.find("requestedExecutionLevel"));
}

// Reads the import directory of a PE32 file straight from its bytes.
struct PeImage {
    std::vector<unsigned char> bytes;
    const IMAGE_NT_HEADERS32* nt = nullptr;

    explicit PeImage(const std::string& path)
    {
        HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return;
        bytes.resize(::GetFileSize(h, nullptr));
        DWORD got = 0;
        ::ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
        ::CloseHandle(h);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
        nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes.data() + dos->e_lfanew);
    }

    const unsigned char* AtRva(DWORD rva) const
    {
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->Misc.VirtualSize)
                return bytes.data() + section->PointerToRawData + (rva - section->VirtualAddress);
        }
        return nullptr;
    }

    std::vector<std::string> ImportedDlls() const
    {
        std::vector<std::string> dlls;
        const DWORD rva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
        for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(AtRva(rva)); d && d->Name; ++d) {
            std::string name = reinterpret_cast<const char*>(AtRva(d->Name));
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char ch) { return std::tolower(ch); });
            dlls.push_back(name);
        }
        return dlls;
    }
};

TEST(Executable, IsA32BitGuiProgramImportingOnlySystemDlls)
{
    const PeImage pe(ExePath());
    ASSERT_NE(nullptr, pe.nt);
    EXPECT_EQ(IMAGE_NT_SIGNATURE, pe.nt->Signature);
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, pe.nt->FileHeader.Machine);
    EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR32_MAGIC, pe.nt->OptionalHeader.Magic);
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, pe.nt->OptionalHeader.Subsystem);

    const std::set<std::string> system = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll",
                                          "ole32.dll", "oleaut32.dll", "comctl32.dll", "advapi32.dll",
                                          "msvcrt.dll"};
    const std::vector<std::string> dlls = pe.ImportedDlls();
    ASSERT_FALSE(dlls.empty());
    for (const std::string& dll : dlls)
        EXPECT_TRUE(system.count(dll)) << dll << " is not a Windows system DLL";
}

}  // namespace
