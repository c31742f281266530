// Quillfind.exe itself, started as a user starts it and driven from outside.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/browser_log.h"
#include "tests/support/child_process.h"
#include "tests/support/wine_test_util.h"

namespace {

using testutil::Recorders;
using Strings = std::vector<std::string>;

// The program's own settings file, beside the test program's in the Windows folder.
std::string ProgramSettingsPath()
{
    char dir[MAX_PATH];
    ::GetWindowsDirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\Quillfind.INI";
}

// Quillfind.exe, started as a user starts it.
class Program : public testutil::ChildProcess {
public:
    Program() : ChildProcess(QF_EXE_PATH) {}
    ~Program() { ::DeleteFileA(ProgramSettingsPath().c_str()); }

    HWND WaitForAgent() const
    {
        HWND hWnd = nullptr;
        testutil::PumpUntil([&] { return (hWnd = ::FindWindowA(nullptr, "TORVEN_QUILLFIND")) != nullptr; });
        return hWnd;
    }
};

TEST(Program, SearchesStartUpTextThroughTheShellAndLaterCopiesByAutomation)
{
    ::DeleteFileA(ProgramSettingsPath().c_str());
    Recorders recorders;
    ASSERT_TRUE(testutil::SetClipboard("abc"));

    Program program;
    ASSERT_TRUE(program.Started());
    const HWND hWndAgent = program.WaitForAgent();
    ASSERT_NE(nullptr, hWndAgent);
    ASSERT_TRUE(recorders.WaitUrls(1));
    EXPECT_EQ(Strings{"http://www.google.co.jp/search?q=%61%62%63&hl=ja&lr="}, recorders.Urls());
    EXPECT_TRUE(recorders.BrowserLines().empty());

    // A viewer that joins later sits ahead of Quillfind and hands it the change.
    testutil::ChainViewer viewer;
    ASSERT_EQ(hWndAgent, viewer.m_hWndNext);
    ASSERT_TRUE(testutil::SetClipboard("first\r\nsecond\r\n"));
    ASSERT_TRUE(recorders.WaitReleased(2));
    EXPECT_EQ((Strings{"http://www.google.co.jp/search?q=%66%69%72%73%74&hl=ja&lr=",
                       "http://www.google.co.jp/search?q=%73%65%63%6F%6E%64&hl=ja&lr="}),
              recorders.Navigated());
    EXPECT_EQ(1u, recorders.Urls().size());

    ::PostMessageA(hWndAgent, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, program.WaitForExit());
    EXPECT_FALSE(::IsWindow(hWndAgent));

    // The chain is whole without it: our viewer's next is no longer Quillfind.
    testutil::Pump(100);
    EXPECT_NE(hWndAgent, viewer.m_hWndNext);
}

TEST(Program, StartsWithNothingToSearchAndEndsWithCodeZero)
{
    ::DeleteFileA(ProgramSettingsPath().c_str());
    Recorders recorders;
    testutil::EmptyTheClipboard();

    Program program;
    ASSERT_TRUE(program.Started());
    const HWND hWndAgent = program.WaitForAgent();
    ASSERT_NE(nullptr, hWndAgent);
    EXPECT_FALSE(::IsWindowVisible(hWndAgent));
    EXPECT_TRUE(testutil::PumpUntil([&] { return ::GetClipboardViewer() == hWndAgent; }));

    ::PostMessageA(hWndAgent, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, program.WaitForExit());
    EXPECT_NE(hWndAgent, ::GetClipboardViewer());
    EXPECT_TRUE(recorders.Urls().empty());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(ProgramSettingsPath().c_str()))
        << "starting and ending must not write settings";
}

}  // namespace
