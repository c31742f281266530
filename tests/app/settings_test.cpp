// The site accessors against the real private-profile functions and file.
#include "tests/support/agent_test.h"

namespace {

using testutil::SettingsFile;

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { SettingsFile::Remove(); }
    void TearDown() override { SettingsFile::Remove(); }
};

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

}  // namespace
