// The site accessors against the real private-profile functions and file.
#include "tests/support/agent_test.h"

namespace {

using testutil::SettingsFile;

TEST(SettingsTest, EverySiteIsReadFromItsOwnKeysAtEveryCall)
{
    EXPECT_STREQ("quillfind_tests.INI", AfxGetApp()->m_pszProfileName) << "the executable's base name and .INI";
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
    EXPECT_EQ("[Url Setting]\r\nWWW Search Site Name 3=\x8C\x9F\x8D\xF5 site\r\n", SettingsFile::Read());
    EXPECT_EQ(CString("\x8C\x9F\x8D\xF5 site"), theApp.GetSiteName(2));
}

}  // namespace
