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
        EXPECT_EQ("L" + n + "R" + n + "N" + n, std::string(theApp.GetSiteLeft(i)) + std::string(theApp.GetSiteRight(i)) +
                                                  std::string(theApp.GetSiteName(i)));
    }
}

}  // namespace
