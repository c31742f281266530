// Searches opened in the user's default browser: recording stand-ins are
// registered as the https handler under browsers' names, and the URL handler
// of the shell records what the shell is given.
#include "tests/support/agent_test.h"

namespace {

using namespace testutil;
using Strings = std::vector<std::string>;
using DefaultBrowserTest = AgentTest;

// The recording URL handler, as register_doubles.sh made it the http handler.
std::string Recorder()
{
    char command[MAX_PATH * 2] = {};
    LONG size = sizeof command;
    ::RegQueryValueA(HKEY_LOCAL_MACHINE, "Software\\Classes\\http\\shell\\open\\command", command, &size);
    return std::string(command).substr(1, std::string(command).find('"', 1) - 1);
}

// Makes a copy of the recorder under a browser's name the open command of a
// URL scheme; a name in a folder of its own names a program that is not there.
void SetHandler(const char* pszScheme, const char* pszName)
{
    char dir[MAX_PATH];
    ::GetTempPathA(MAX_PATH, dir);
    const std::string program = pszName ? dir + std::string(pszName) : Recorder();
    ::CopyFileA(Recorder().c_str(), program.c_str(), FALSE);
    const std::string command = "\"" + program + "\" \"%1\"";
    ::RegSetValueA(HKEY_LOCAL_MACHINE, (std::string("Software\\Classes\\") + pszScheme + "\\shell\\open\\command").c_str(),
                   REG_SZ, command.c_str(), static_cast<DWORD>(command.size()));
}

TEST_F(DefaultBrowserTest, EachLineOpensANewWindowOfTheHttpsHandlerInLineOrder)
{
    const std::string google = "http://www.google.co.jp/search?q=", right = "&hl=ja&lr=";
    const std::string a = google + "%61" + right, b = google + "%62" + right;
    const std::string kOn = "Use Default Browser=1\r\n", kLeft = "WWW Search Site 1 Left=";
    const struct {
        std::string settings;  // beside [Url Setting]
        const char* handler;   // of https
        Strings opened;        // by the handlers, in order
        size_t navigated;      // through automation
        bool failed;           // one balloon for the change
    } cases[] = {
        {kOn, "chrome.exe", {"--new-window " + b, "--new-window " + a}, 0, false},
        {kOn, "MSEdge.EXE", {"--new-window " + b, "--new-window " + a}, 0, false},
        {kOn, "firefox.exe", {"-new-window " + b, "-new-window " + a}, 0, false},
        // Any other browser gets the address through the shell, whose http handler is the recorder itself.
        {kOn, "other.exe", {b, a}, 0, false},
        // A start that fails falls back to the shell too.
        {kOn, "missing\\chrome.exe", {b, a}, 0, false},
        // Quotes and backslashes reach the browser as they stand; so does a trail byte like a backslash (表).
        {kOn + kLeft + "HTTPS://x/\\\"a b\r\n", "chrome.exe",
         {"--new-window HTTPS://x/\\\"a b%62" + right, "--new-window HTTPS://x/\\\"a b%61" + right}, 0, false},
        {kOn + "WWW Search Site 1 Right=\x95\x5C\r\n", "chrome.exe",
         {"--new-window " + google + "%62\xE8\xA1\xA8", "--new-window " + google + "%61\xE8\xA1\xA8"}, 0, false},
        // Only web addresses go onto a browser's command line.
        {kOn + kLeft + "qftest:\r\n", "chrome.exe", {"qftest:%62" + right, "qftest:%61" + right}, 0, false},
        {kOn + kLeft + "nosuch:\r\n", "chrome.exe", {}, 0, true},
        {"Use Default Browser=0\r\n", "chrome.exe", {}, 2, false},
        {"", "chrome.exe", {}, 2, false},
        {"Use Default Browser=yes\r\n", "chrome.exe", {}, 2, false},
    };
    SetHandler("qftest", nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        SettingsFile::Write("[Url Setting]\r\n" + c.settings);
        SetHandler("https", c.handler);
        Recorders recorders;
        m_agent.records.clear();
        // Against the order of the alphabet, in which the log is read when two start at once.
        Copy("b\r\na");
        PumpUntil([&] { return ReadLines(recorders.urlLog).size() >= c.opened.size(); });
        PumpUntil([] { return false; }, c.opened.empty() ? 300 : 100);
        EXPECT_EQ(c.opened, Opened(recorders.urlLog));
        EXPECT_EQ(c.navigated, recorders.Navigated().size());
        EXPECT_EQ(c.failed ? 1u : 0u, m_agent.records.size());
    }
    SetHandler("https", nullptr);
}

}  // namespace
