// Clipboard text to searches, through the real clipboard, the real settings
// file and a recording browser automation server.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/search_app.h"
#include "search/clipboard_search.h"
#include "tests/support/browser_log.h"
#include "tests/support/settings_file.h"
#include "tests/support/wine_test_util.h"

namespace {

using testutil::Recorders;
using Strings = std::vector<std::string>;

const std::string kGoogle = "http://www.google.co.jp/search?q=";
const std::string kGoogleRight = "&hl=ja&lr=";

// The program as it runs after start-up, with a viewer behind it in the chain.
class SearchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SettingsFile::Remove();
        testutil::EmptyTheClipboard();
        m_viewer = std::make_unique<testutil::ChainViewer>();
        theApp.InitInstance();
        ASSERT_TRUE(::IsWindow(agent().m_hWnd));
        ASSERT_EQ(m_viewer->m_hWnd, agent().m_hWndNextViewer);
    }

    void TearDown() override
    {
        agent().SendMessage(WM_CLOSE);
        m_viewer.reset();
        SettingsFile::Remove();
    }

    static CTrayWnd& agent() { return theApp.m_wndAgent; }

    // Copies text and waits until the agent has passed the change on.
    void Copy(const std::string& text, const std::vector<testutil::ExtraFormat>& extra = {})
    {
        const int before = m_viewer->m_nDraws;
        ASSERT_TRUE(testutil::SetClipboard(text, extra));
        ASSERT_TRUE(testutil::PumpUntil([&] { return m_viewer->m_nDraws > before; })) << "not passed on";
    }

    Recorders m_recorders;
    std::unique_ptr<testutil::ChainViewer> m_viewer;
};

TEST_F(SearchTest, EveryNonEmptyLineOpensOneSearch)
{
    const struct {
        std::string clip;
        Strings queries;
    } cases[] = {
        {"abc", {"%61%62%63"}},
        {"first\r\nsecond\r\n", {"%66%69%72%73%74", "%73%65%63%6F%6E%64"}},
        {"  spaced  \r\n\r\n\tx\r\n", {"%73%70%61%63%65%64", "%78"}},
        {"ab\ncd", {"%61%62", "%63%64"}},
        {"\x8C\x9F\x8D\xF5\nabc", {"%8C%9F%8D%F5", "%61%62%63"}},
        {"a\x82\nb", {"%61%82%0A%62"}},
        {"a\rb", {"%61%0D%62"}},
        {std::string("ab\0cd", 5), {"%61%62"}},
        {"\x81\x40", {"%81%40"}},
        {" \r\n\t\r\n", {}},
    };
    for (const auto& c : cases) {
        Recorders recorders;
        Copy(c.clip);
        Strings expected;
        for (const std::string& q : c.queries)
            expected.push_back(kGoogle + q + kGoogleRight);
        EXPECT_EQ(expected, recorders.Navigated()) << c.clip;
        EXPECT_EQ(static_cast<int>(c.queries.size()), recorders.CountLines(" released")) << c.clip;
    }
}

TEST_F(SearchTest, TheCurrentSiteIsReadFromTheFileForEverySearch)
{
    ASSERT_TRUE(theApp.SetCurrentSiteIndex(1));
    Copy("abc");
    EXPECT_EQ(Strings{"http://www.infoseek.co.jp/Titles?qt=%61%62%63&lk=noframes&svx=101100&lk=noframes&qp=0&nh=10"},
              m_recorders.Navigated());

    // Site 3 with a Shift_JIS left part (検索) reaches the browser as UTF-16.
    SettingsFile::Write("[Url Setting]\r\nCurrent Url Index=2\r\n"
                        "WWW Search Site 3 Left=http://x/\x8C\x9F\x8D\xF5?q=\r\n"
                        "WWW Search Site 3 Right=\r\n");
    Recorders recorders;
    Copy("q");
    EXPECT_EQ(Strings{"http://x/\xE6\xA4\x9C\xE7\xB4\xA2?q=%71"}, recorders.Navigated());
}

TEST_F(SearchTest, ThreeLinesMakeThreeCompleteLaunchesInLineOrder)
{
    Copy("one\r\ntwo\r\nthree\r\n");
    const Strings expected = {
        "create 1",
        "1 put_Offline 0",
        "1 put_AddressBar -1",
        "1 put_StatusBar -1",
        "1 put_StatusText Torven",
        "1 put_Visible -1",
        "1 Navigate2 " + kGoogle + "%6F%6E%65" + kGoogleRight + "|missing|missing|missing|missing",
        "1 released",
        "create 2",
        "2 put_Offline 0",
        "2 put_AddressBar -1",
        "2 put_StatusBar -1",
        "2 put_StatusText Torven",
        "2 put_Visible -1",
        "2 Navigate2 " + kGoogle + "%74%77%6F" + kGoogleRight + "|missing|missing|missing|missing",
        "2 released",
        "create 3",
        "3 put_Offline 0",
        "3 put_AddressBar -1",
        "3 put_StatusBar -1",
        "3 put_StatusText Torven",
        "3 put_Visible -1",
        "3 Navigate2 " + kGoogle + "%74%68%72%65%65" + kGoogleRight + "|missing|missing|missing|missing",
        "3 released",
    };
    EXPECT_EQ(expected, m_recorders.BrowserLines());
}

// Each launch's log lines, in order, without their instance numbers.
std::vector<Strings> Launches(const Strings& lines)
{
    std::vector<Strings> launches;
    for (const std::string& line : lines) {
        if (line.rfind("create ", 0) == 0) {
            launches.push_back({line.find(" FAILED") != std::string::npos ? "create FAILED" : "create"});
        } else if (!launches.empty()) {
            launches.back().push_back(line.substr(line.find(' ') + 1));
        }
    }
    return launches;
}

TEST_F(SearchTest, AFailingStepEndsOnlyItsOwnLaunch)
{
    const HRESULT kInjected = static_cast<HRESULT>(0x80041001);
    const Strings kSetUp = {"create", "put_Offline 0", "put_AddressBar -1", "put_StatusBar -1",
                            "put_StatusText Torven", "put_Visible -1"};
    auto upTo = [&](size_t steps, const std::string& failing) {
        Strings lines(kSetUp.begin(), kSetUp.begin() + steps);
        lines.push_back(failing + " FAILED");
        lines.push_back("released");
        return lines;
    };
    auto complete = [&](const char* query) {
        Strings lines = kSetUp;
        lines.push_back("Navigate2 " + kGoogle + query + kGoogleRight + "|missing|missing|missing|missing");
        lines.push_back("released");
        return lines;
    };
    const struct {
        const char* step;
        Strings failedLaunch;
        HRESULT hr;
    } cases[] = {
        {"create", {"create FAILED"}, E_POINTER},
        {"query", {"create", "released"}, E_POINTER},
        {"put_Offline", upTo(1, "put_Offline 0"), kInjected},
        {"put_AddressBar", upTo(2, "put_AddressBar -1"), kInjected},
        {"put_StatusBar", upTo(3, "put_StatusBar -1"), kInjected},
        {"put_StatusText", upTo(4, "put_StatusText Torven"), kInjected},
        {"put_Visible", upTo(5, "put_Visible -1"), kInjected},
        {"Navigate2",
         upTo(6, "Navigate2 " + kGoogle + "%62" + kGoogleRight + "|missing|missing|missing|missing"), kInjected},
    };

    // Searched by direct call, so the result can be seen; the agent stays quiet.
    agent().m_bMonitoring = FALSE;
    Copy("a\r\nb\r\nc");
    int instancesSoFar = 0;
    for (const auto& c : cases) {
        Recorders recorders;
        Recorders::Fail(c.step, instancesSoFar + 2);
        EXPECT_EQ(c.hr, SearchClipboardText()) << c.step;
        instancesSoFar += 3;

        const std::vector<Strings> launches = Launches(recorders.BrowserLines());
        ASSERT_EQ(3u, launches.size()) << c.step;
        EXPECT_EQ(complete("%61"), launches[0]) << c.step;
        EXPECT_EQ(c.failedLaunch, launches[1]) << c.step;
        EXPECT_EQ(complete("%63"), launches[2]) << c.step;
    }
}

TEST_F(SearchTest, ClipboardWithoutTextSearchesNothing)
{
    agent().m_bMonitoring = FALSE;
    testutil::EmptyTheClipboard();
    EXPECT_EQ(S_OK, SearchClipboardText());
    EXPECT_TRUE(m_recorders.BrowserLines().empty());
}

TEST_F(SearchTest, MarkedSecretsAreNotSearchedButPassedOn)
{
    const struct {
        std::vector<testutil::ExtraFormat> formats;
        bool searched;
    } cases[] = {
        {{{"ExcludeClipboardContentFromMonitorProcessing", std::string(1, '\0')}}, false},
        {{{"CanIncludeInClipboardHistory", std::string(4, '\0')}}, false},
        {{{"CanIncludeInClipboardHistory", std::string("\x01\0\0\0", 4)}}, true},
        {{}, true},
    };
    for (const auto& c : cases) {
        Recorders recorders;
        Copy("hunter2", c.formats);
        EXPECT_EQ(c.searched ? 1u : 0u, recorders.Navigated().size())
            << (c.formats.empty() ? "plain" : c.formats[0].name);
    }
}

TEST_F(SearchTest, MonitoringOffSearchesNothingButPassesOn)
{
    agent().ToggleMonitoring();
    ASSERT_FALSE(agent().m_bMonitoring);
    Copy("abc");
    EXPECT_TRUE(m_recorders.BrowserLines().empty());

    agent().ToggleMonitoring();
    Copy("abc");
    EXPECT_EQ(1u, m_recorders.Navigated().size());
}

TEST_F(SearchTest, AHugeCopyNeitherCrashesNorStopsLaterSearches)
{
    // No log: the recorder would write the whole URL out.
    ::SetEnvironmentVariableA("FAKE_BROWSER_LOG", nullptr);
    Copy(std::string(64 << 20, 'x'));

    Recorders recorders;
    Copy("after");
    EXPECT_EQ(Strings{kGoogle + "%61%66%74%65%72" + kGoogleRight}, recorders.Navigated());
}

}  // namespace
