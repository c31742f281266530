// Searches opened in the user's default browser: recording stand-ins are
// registered as the https handler under browsers' names, and the URL handler
// of the shell records what the shell is given. Each takes a random moment
// before its address arrives, as a browser's launcher does.
#include "tests/support/agent_test.h"

namespace {

using namespace testutil;
using Strings = std::vector<std::string>;
using DefaultBrowserTest = AgentTest;

TEST_F(DefaultBrowserTest, EachLineOpensANewWindowOfTheHttpsHandlerInLineOrder)
{
    const std::string google = "http://www.google.co.jp/search?q=", right = "&hl=ja&lr=";
    const std::string a = google + "%61" + right, b = google + "%62" + right;
    const std::string kOn = "Use Default Browser=1\r\n", kLeft = "WWW Search Site 1 Left=";
    const struct {
        std::string settings;  // beside [Url Setting]
        const char* handler;   // of https
        Strings opened;        // by the handlers, in the order they arrived
        size_t navigated;      // through automation
        bool failed;           // one balloon for the change
    } cases[] = {
        {kOn, "chrome.exe", {"--new-window " + b, "--new-window " + a}, 0, false},
        {kOn, "MSEdge.EXE", {"--new-window " + b, "--new-window " + a}, 0, false},
        {kOn, "chromium.exe", {"--new-window " + b, "--new-window " + a}, 0, false},
        // One launcher for all the windows of a copy.
        {kOn, "firefox.exe", {"-wait-for-browser -new-window " + b + " -new-window " + a}, 0, false},
        // Any other browser gets the address through the shell, whose http handler is the recorder itself.
        {kOn, "other.exe", {b, a}, 0, false},
        // A browser that does not start falls back to the shell too, as a missing one does.
        {kOn, "broken\\chrome.exe", {b, a}, 0, false},
        {kOn, "broken\\firefox.exe", {b, a}, 0, false},
        // Quotes and backslashes reach the browser as they stand, a closing one too; so does a trail byte
        // like a backslash (表).
        {kOn + kLeft + "HTTPS://x/\\\"a b\r\n", "chrome.exe",
         {"--new-window HTTPS://x/\\\"a b%62" + right, "--new-window HTTPS://x/\\\"a b%61" + right}, 0, false},
        {kOn + "WWW Search Site 1 Right=\x95\x5C\\\r\n", "chrome.exe",
         {"--new-window " + google + "%62\xE8\xA1\xA8\\", "--new-window " + google + "%61\xE8\xA1\xA8\\"}, 0, false},
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
        Empty();
        m_agent.records.clear();
        Copy("b\r\na");
        PumpUntil([&] { return ReadLines(recorders.urlLog).size() >= c.opened.size(); });
        PumpUntil([] { return false; }, c.opened.empty() ? 300 : 100);
        EXPECT_EQ(c.opened, ReadLines(recorders.urlLog));
        EXPECT_EQ(c.navigated, recorders.Navigated().size());
        EXPECT_EQ(c.failed ? 1u : 0u, m_agent.records.size());
    }
    SetHandler("https", nullptr);
}

// Launchers started back to back would reach the browser in any order, and a
// launcher that has become the browser stays on; a race can pass by luck, so
// each is tried more than once.
TEST_F(DefaultBrowserTest, FourLinesReachTheBrowserInLineOrderWhateverItsLaunchersDo)
{
    SettingsFile::Write("[Url Setting]\r\nUse Default Browser=1\r\nWWW Search Site 1 Left=http://q/\r\n"
                        "WWW Search Site 1 Right=\r\n");
    const Strings kEach = {"--new-window http://q/%31", "--new-window http://q/%32", "--new-window http://q/%33",
                           "--new-window http://q/%34"};
    const Strings kAll = {"-wait-for-browser -new-window http://q/%31 -new-window http://q/%32 -new-window http://q/%33 -new-window http://q/%34"};
    const Strings kShell = {"http://q/%31", "http://q/%32", "http://q/%33", "http://q/%34"};
    const struct {
        const char* handler;
        const char* stay;  // the first launcher's time as the browser, in ms
        const Strings& opened;
    } cases[] = {
        {"chrome.exe", nullptr, kEach}, {"chrome.exe", nullptr, kEach}, {"chrome.exe", nullptr, kEach},
        {"firefox.exe", nullptr, kAll}, {"firefox.exe", nullptr, kAll}, {"vivaldi.exe", "10000", kEach},
        {"other.exe", nullptr, kShell},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        SetHandler("https", c.handler);
        ::SetEnvironmentVariableA("URL_RECORDER_STAY", c.stay);
        Recorders recorders;
        Empty();
        Copy("1\r\n2\r\n3\r\n4");
        PumpUntil([&] { return ReadLines(recorders.urlLog).size() >= c.opened.size(); }, 8000);
        EXPECT_EQ(c.opened, ReadLines(recorders.urlLog));
        if (c.stay)
            EXPECT_TRUE(CKernelHandle(::OpenMutexA(SYNCHRONIZE, FALSE, "url_recorder_browser"))) << "the browser was waited for";
    }
    ::SetEnvironmentVariableA("URL_RECORDER_STAY", nullptr);
    SetHandler("https", nullptr);
}

}  // namespace
