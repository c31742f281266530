// Searches opened in the user's default browser: recording stand-ins are
// registered as the https handler under browsers' names, and the URL handler
// of the shell records what the shell is given. Each takes a random moment
// before its address arrives, as a browser's launcher does.
#include "tests/support/agent_test.h"

namespace {

using namespace testutil;
using DefaultBrowserTest = AgentTest;

// What arrives from launchers of this form (the arguments before the lines,
// and before each line) that get so many lines of digits each, in order, on
// the site of the test below (its 検索 in UTF-8, as the recorders write it).
Strings Launched(const Strings& form, const Strings& lines, const std::vector<size_t>& launchers)
{
    Strings arrived;
    size_t nLine = 0;
    for (const size_t nLines : launchers) {
        arrived.push_back(form[0]);
        for (const size_t nEnd = nLine + nLines; nLine < nEnd; ++nLine) {
            arrived.back() += form[1] + "http://q/\xE6\xA4\x9C\xE7\xB4\xA2";
            for (const char digit : lines[nLine])
                arrived.back() += std::string("%3") + digit;
        }
    }
    return arrived;
}

// Launchers started back to back would reach the browser in any order, and
// one that has become the browser stays on; a race can pass by luck, so
// several rows race with four lines. Firefox gets the lines from as few launchers as
// command lines of at most 32,767 UTF-16 units, the closing zero included,
// hold: its path lies under a user name that code page 932 cannot spell
// (사용자), one unit longer where a line has just fitted, and the site's 検索
// counts a unit a character. The wait for a launcher lets in the command to
// end, after which none starts, nor the shell for a browser that did not.
TEST_F(DefaultBrowserTest, EveryLineReachesTheDefaultBrowserOnceInLineOrderWhateverItsLaunchersDo)
{
    const std::string kOn = "Use Default Browser=1\r\n", kLeft = "WWW Search Site 1 Left=";
    // A 64-bit program's COM looks for a local server in the 32-bit view of the registry too.
    const std::wstring kAutomation = L"{0002DF01-0000-0000-C000-000000000046}";
    const std::wstring kViews[] = {L"Software\\Classes\\CLSID\\", L"Software\\Classes\\Wow6432Node\\CLSID\\"};
    // "PATH" -wait-for-browser, then -new-window "URL" for each line, a URL of
    // 11 units and 3 for each byte of the line: ten lines of 1,000, then one
    // that fills the command line up, its path padded to a length divisible
    // by 3. The path is the temporary folder's (GetTempPathW counts its
    // closing zero too), 사용자 (3 units) and "\firefox.exe" (12).
    const size_t nPath = ::GetTempPathW(0, nullptr) - 1 + 3 + 12, nPad = (3 - nPath % 3) % 3;
    const std::string user = "\xEC\x82\xAC\xEC\x9A\xA9\xEC\x9E\x90", fits = user + std::string(nPad, '_') + "\\firefox.exe";
    const std::string over = user + "_" + fits.substr(user.size());
    Strings two = {"2", "1"}, four = {"1", "2", "3", "4"}, full(10, std::string(1000, '1'));
    full.insert(full.end(), {std::string((32766 - (nPath + nPad + 20) - 10 * 3026 - 26) / 3, '2'), "3"});
    const Strings kChrome = {"", "--new-window "}, kFirefox = {"-wait-for-browser", " -new-window "}, kShell = {"", ""};
    const struct {
        std::string settings;        // beside [Url Setting], before the site's parts
        std::string handler;         // of https
        const Strings& copied;
        Strings opened;              // by the handlers, in the order they arrived
        size_t navigated = 0;        // through automation; where nothing opens at all, a balloon says so
        bool unregistered = false;   // no automation server is registered, as without Internet Explorer
        bool bEnd = false;           // the program is told to end during the copy
    } cases[] = {
        {kOn, "chrome.exe", four, Launched(kChrome, four, {1, 1, 1, 1})}, {kOn, "MSEdge.EXE", two, Launched(kChrome, two, {1, 1})},
        {kOn, "chromium.exe", two, Launched(kChrome, two, {1, 1})}, {kOn, fits, four, Launched(kFirefox, four, {4})},
        // Vivaldi's first launcher becomes the browser and stays on: it is waited for 3 s, not till it ends.
        {kOn, "vivaldi.exe", four, Launched(kChrome, four, {1, 1, 1, 1})},
        {kOn, fits, full, Launched(kFirefox, full, {11, 1})}, {kOn, over, full, Launched(kFirefox, full, {10, 2})},
        // Any other browser gets the address through the shell, whose http handler is the recorder itself; so
        // does a browser that does not start.
        {kOn, "other.exe", four, Launched(kShell, four, {1, 1, 1, 1})}, {kOn, "broken\\chrome.exe", two, Launched(kShell, two, {1, 1})},
        {kOn, "broken\\firefox.exe", two, Launched(kShell, two, {1, 1})},
        // Quotes and backslashes reach the browser as they stand, apart or together, a closing one too; so
        // does a trail byte like a backslash (表).
        {kOn + kLeft + "HTTPS://x/\\a\"b\\\"c d\r\n", "chrome.exe", two,
         {"--new-window HTTPS://x/\\a\"b\\\"c d%32", "--new-window HTTPS://x/\\a\"b\\\"c d%31"}},
        {kOn + "WWW Search Site 1 Right=\x95\x5C\\\r\n", "chrome.exe", two,
         {"--new-window http://q/\xE6\xA4\x9C\xE7\xB4\xA2%32\xE8\xA1\xA8\\", "--new-window http://q/\xE6\xA4\x9C\xE7\xB4\xA2%31\xE8\xA1\xA8\\"}},
        // Only web addresses go onto a browser's command line.
        {kOn + kLeft + "qftest:\r\n", "chrome.exe", two, {"qftest:%32", "qftest:%31"}}, {kOn + kLeft + "nosuch:\r\n", "chrome.exe", two, {}},
        {"Use Default Browser=0\r\n", "chrome.exe", two, {}, 2}, {"", "chrome.exe", two, {}, 2}, {"Use Default Browser=yes\r\n", "chrome.exe", two, {}, 2},
        {kOn, fits, full, Launched(kFirefox, full, {11}), 0, false, true},
        // Wine's shell overflows its stack on addresses as long as the full ones.
        {kOn, "broken\\firefox.exe", four, Launched(kShell, four, {1}), 0, false, true},
        // Without an automation server the lines take the same road; the last row, as the class is put back
        // after the loop.
        {"", "chrome.exe", two, Launched(kChrome, two, {1, 1}), 0, true},
    };
    SetHandler("qftest", nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        SettingsFile::Write("[Url Setting]\r\n" + c.settings + kLeft + "http://q/\x8C\x9F\x8D\xF5\r\nWWW Search Site 1 Right=\r\n");
        SetHandler("https", c.handler.c_str());
        ::SetEnvironmentVariableA("URL_RECORDER_STAY", c.handler == "vivaldi.exe" ? "10000" : nullptr);
        if (c.unregistered)
            for (const std::wstring& view : kViews)
                ::RegRenameKey(HKEY_LOCAL_MACHINE, (view + kAutomation).c_str(), L"qf_taken");
        std::string text;
        for (const std::string& line : c.copied)
            text += line + "\r\n";
        Recorders recorders;
        Empty();
        m_agent.records.clear();
        // Heard at once: the command to end comes after the search in the
        // queue, and is handled in the wait for the first launcher.
        ASSERT_TRUE(SetClipboard(text));
        if (c.bEnd)
            m_agent.PostMessage(WM_COMMAND, ID_TRAY_EXIT);
        PumpUntil([&] { return ReadLines(recorders.urlLog).size() >= c.opened.size(); }, 8000);
        PumpUntil([] { return false; }, c.opened.empty() || c.bEnd ? 1000 : 100);
        EXPECT_EQ(c.opened, ReadLines(recorders.urlLog));
        if (c.handler == "vivaldi.exe")
            EXPECT_TRUE(CKernelHandle(::OpenMutexA(SYNCHRONIZE, FALSE, "url_recorder_browser"))) << "it is still on";
        EXPECT_EQ(c.navigated, recorders.Navigated().size());
        EXPECT_EQ((c.opened.empty() && !c.navigated) || c.bEnd ? 1u : 0u, m_agent.records.size()) << "a balloon, or the icon's removal";
        if (c.bEnd)
            Restart();
    }
    for (const std::wstring& view : kViews)
        ::RegRenameKey(HKEY_LOCAL_MACHINE, (view + L"qf_taken").c_str(), kAutomation.c_str());
}

}  // namespace
