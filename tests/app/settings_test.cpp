// The site accessors against the real private-profile functions and file.
#include "tests/support/agent_test.h"

namespace {

using testutil::SettingsFile;

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { SettingsFile::Remove(); }
    void TearDown() override { SettingsFile::Remove(); }
};

TEST_F(SettingsTest, WithoutAFileTheBuiltInSitesAreRead)
{
    EXPECT_EQ(0, theApp.GetCurrentSiteIndex());
    EXPECT_EQ(CString("Google"), theApp.GetSiteName(0));
    EXPECT_EQ(CString("http://www.google.co.jp/search?q="), theApp.GetCurrentSiteLeft());
    EXPECT_EQ(CString("&hl=ja&lr="), theApp.GetCurrentSiteRight());
    EXPECT_EQ(CString("\x96\xA2\x92\xE8"), theApp.GetSiteName(9));  // 未定
    EXPECT_EQ(CString("http://"), theApp.GetSiteLeft(9));
    EXPECT_EQ(CString("&"), theApp.GetSiteRight(9));
    EXPECT_EQ("", SettingsFile::Read()) << "reading must not create the file";
}

TEST_F(SettingsTest, EverySiteIsReadFromItsOwnKeysAtEveryCall)
{
    std::string file = "[Url Setting]\r\n";
    for (int i = 1; i <= 10; ++i) {
        const std::string n = std::to_string(i);
        file += "WWW Search Site " + n + " Left=L" + n + "\r\nWWW Search Site " + n + " Right=R" + n +
                "\r\nWWW Search Site Name " + n + "=N" + n + "\r\n";
    }
    SettingsFile::Write(file);
    for (int i = 0; i < CSearchApp::kSiteCount; ++i) {
        const std::string n = std::to_string(i + 1);
        EXPECT_EQ(CString(("L" + n).c_str()), theApp.GetSiteLeft(i));
        EXPECT_EQ(CString(("R" + n).c_str()), theApp.GetSiteRight(i));
        EXPECT_EQ(CString(("N" + n).c_str()), theApp.GetSiteName(i));
    }

    SettingsFile::Remove();
    ASSERT_TRUE(theApp.SetSiteName(2, "\x8C\x9F\x8D\xF5 site"));
    ASSERT_TRUE(theApp.SetSiteLeft(2, ""));
    EXPECT_EQ("[Url Setting]\r\nWWW Search Site Name 3=\x8C\x9F\x8D\xF5 site\r\nWWW Search Site 3 Left=\r\n",
              SettingsFile::Read());
    EXPECT_EQ(CString("\x8C\x9F\x8D\xF5 site"), theApp.GetSiteName(2));
    EXPECT_EQ(CString(""), theApp.GetSiteLeft(2)) << "an empty value is not the built-in one";

    // Values are read back as at most 4095 characters.
    ASSERT_TRUE(theApp.SetSiteRight(4, std::string(5000, 'v').c_str()));
    EXPECT_EQ(CString(std::string(4095, 'v').c_str()), theApp.GetSiteRight(4));
}

TEST_F(SettingsTest, TheStoredIndexPicksTheSiteAndOneWithoutASiteReadsAsTheFirst)
{
    const struct {
        const char* stored;
        int expected;
    } cases[] = {
        {"3", 3}, {"9", 9}, {" 4 ", 4}, {"7 sites", 7}, {"10", 0}, {"-1", 0}, {"abc", 0}, {"", 0},
    };
    for (const auto& c : cases) {
        SettingsFile::Write(std::string("[Url Setting]\r\nCurrent Url Index=") + c.stored +
                            "\r\nWWW Search Site 4 Left=four\r\n");
        EXPECT_EQ(c.expected, theApp.GetCurrentSiteIndex()) << c.stored;
        EXPECT_EQ(theApp.GetSiteLeft(c.expected), theApp.GetCurrentSiteLeft()) << c.stored;
        EXPECT_EQ(theApp.GetSiteRight(c.expected), theApp.GetCurrentSiteRight()) << c.stored;
    }
}

}  // namespace
