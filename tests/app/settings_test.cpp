// The settings accessors against the real private-profile functions and file.
#include <gtest/gtest.h>

#include <string>

#include "app/search_app.h"
#include "res/resource.h"
#include "tests/support/settings_file.h"

namespace {

const char kMiteii[] = "\x96\xA2\x92\xE8";  // 未定

struct Site {
    const char* name;
    const char* left;
    const char* right;
};

const Site kBuiltInSites[CSearchApp::kSiteCount] = {
    {"Google", "http://www.google.co.jp/search?q=", "&hl=ja&lr="},
    {"infoseek", "http://www.infoseek.co.jp/Titles?qt=", "&lk=noframes&svx=101100&lk=noframes&qp=0&nh=10"},
    {"MSN Japan", "http://search.msn.co.jp/q_msn.asp?w=", "&e=msnj&x=11&y=16"},
    {"Goo Search", "http://search.goo.ne.jp/default.asp?MT=",
     "&WTS=ntt&SM=MC&DE=2&DC=10&_v=2&top=expert&url2=http%3A%2F%2Fsearch.goo.ne.jp%2F&PT=MSN"},
    {"Goo \x89\x70\x98\x61\x8E\xAB\x93\x54", "http://dictionary.goo.ne.jp/cgi-bin/dict_search.cgi?MT=", "&sw=0"},
    {"Goo \x98\x61\x89\x70\x8E\xAB\x93\x54", "http://dictionary.goo.ne.jp/cgi-bin/dict_search.cgi?MT=", "&sw=1"},
    {kMiteii, "http://", "&"},
    {kMiteii, "http://", "&"},
    {kMiteii, "http://", "&"},
    {kMiteii, "http://", "&"},
};

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { SettingsFile::Remove(); }
    void TearDown() override { SettingsFile::Remove(); }
};

TEST_F(SettingsTest, WithoutAFileTheBuiltInTableIsRead)
{
    EXPECT_EQ(0, theApp.GetCurrentSiteIndex());
    for (int i = 0; i < CSearchApp::kSiteCount; ++i) {
        EXPECT_EQ(CString(kBuiltInSites[i].name), theApp.GetSiteName(i)) << i;
        EXPECT_EQ(CString(kBuiltInSites[i].left), theApp.GetSiteLeft(i)) << i;
        EXPECT_EQ(CString(kBuiltInSites[i].right), theApp.GetSiteRight(i)) << i;
    }
    EXPECT_EQ(CString(kBuiltInSites[0].left), theApp.GetCurrentSiteLeft());
    EXPECT_EQ(CString(kBuiltInSites[0].right), theApp.GetCurrentSiteRight());
    EXPECT_FALSE(SettingsFile::Exists()) << "reading must not create the file";
}

TEST_F(SettingsTest, AWriteChangesOnlyItsKey)
{
    ASSERT_TRUE(theApp.SetSiteName(2, "\x8C\x9F\x8D\xF5 site"));
    EXPECT_EQ("[Url Setting]\r\nWWW Search Site Name 3=\x8C\x9F\x8D\xF5 site\r\n", SettingsFile::Read());

    EXPECT_EQ(CString("\x8C\x9F\x8D\xF5 site"), theApp.GetSiteName(2));
    for (int i = 0; i < CSearchApp::kSiteCount; ++i) {
        if (i != 2)
            EXPECT_EQ(CString(kBuiltInSites[i].name), theApp.GetSiteName(i)) << i;
        EXPECT_EQ(CString(kBuiltInSites[i].left), theApp.GetSiteLeft(i)) << i;
        EXPECT_EQ(CString(kBuiltInSites[i].right), theApp.GetSiteRight(i)) << i;
    }

    ASSERT_TRUE(theApp.SetSiteLeft(9, "L"));
    ASSERT_TRUE(theApp.SetSiteRight(9, "R"));
    ASSERT_TRUE(theApp.SetCurrentSiteIndex(9));
    EXPECT_EQ(CString("L"), theApp.GetCurrentSiteLeft());
    EXPECT_EQ(CString("R"), theApp.GetCurrentSiteRight());
    EXPECT_EQ(CString(kBuiltInSites[8].left), theApp.GetSiteLeft(8));
}

TEST_F(SettingsTest, StoredIndexPicksTheSiteAndStrayValuesReadAsZero)
{
    const struct {
        const char* stored;
        int expected;
    } cases[] = {
        {"3", 3}, {"9", 9}, {"0", 0}, {" 4 ", 4}, {"\"5\"", 5}, {"7 sites", 7},
        {"10", 0}, {"12", 0}, {"-1", 0}, {"abc", 0}, {"", 0}, {"99999999999", 0},
    };
    for (const auto& c : cases) {
        SettingsFile::Write(std::string("[Url Setting]\r\nCurrent Url Index=") + c.stored + "\r\n");
        EXPECT_EQ(c.expected, theApp.GetCurrentSiteIndex()) << c.stored;
        EXPECT_EQ(CString(kBuiltInSites[c.expected].left), theApp.GetCurrentSiteLeft()) << c.stored;
        EXPECT_EQ(CString(kBuiltInSites[c.expected].right), theApp.GetCurrentSiteRight()) << c.stored;
    }
}

TEST_F(SettingsTest, ValuesReadBackAsThePlatformStoresThem)
{
    const struct {
        const char* line;
        const char* expected;
    } cases[] = {
        {"WWW Search Site 1 Left=", ""},
        {"WWW Search Site 1 Left=   padded   ", "padded"},
        {"WWW Search Site 1 Left=\"quoted\"", "quoted"},
        {"WWW Search Site 1 Left=  \" both \"  ", " both "},
        {"WWW Search Site 1 Left=\"open", "\"open"},
        {"WWW Search Site 1 Left=a=b&c=d", "a=b&c=d"},
    };
    for (const auto& c : cases) {
        SettingsFile::Write(std::string("[Url Setting]\r\n") + c.line + "\r\n");
        EXPECT_EQ(CString(c.expected), theApp.GetSiteLeft(0)) << c.line;
        EXPECT_EQ(CString(kBuiltInSites[0].right), theApp.GetSiteRight(0)) << c.line;
    }
}

TEST_F(SettingsTest, LongValuesAreCutAtTheReadBuffer)
{
    const std::string longValue(5000, 'v');
    ASSERT_TRUE(theApp.SetSiteRight(4, longValue.c_str()));
    EXPECT_EQ(CString(std::string(4095, 'v').c_str()), theApp.GetSiteRight(4));
}

TEST_F(SettingsTest, IntegersAreWrittenAsDecimalText)
{
    ASSERT_TRUE(theApp.WriteSettingInt(IDS_SECTION, IDS_KEY_CURRENT, -12));
    EXPECT_EQ("[Url Setting]\r\nCurrent Url Index=-12\r\n", SettingsFile::Read());
    EXPECT_EQ(-12, theApp.ReadSettingInt(IDS_SECTION, IDS_KEY_CURRENT, 5));
    EXPECT_EQ(5, theApp.ReadSettingInt(IDS_SECTION, IDS_KEY_NAME_FIRST, 5));
    EXPECT_EQ(0, theApp.ReadSettingInt(IDS_SECTION, IDS_KEY_NAME_FIRST, static_cast<UINT>(IDS_DEFAULT_CURRENT)));
}

}  // namespace
