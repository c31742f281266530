// The recording browser automation server and URL handler, seen from a test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/wine_test_util.h"

namespace testutil {

// Points both recorders at fresh log files and clears any injected failure.
// Programs started from the test inherit the settings.
class Recorders {
public:
    Recorders() : m_browserLog(FreshFile("qf_browser.log")), m_urlLog(FreshFile("qf_urls.log"))
    {
        ::SetEnvironmentVariableA("FAKE_BROWSER_LOG", m_browserLog.c_str());
        ::SetEnvironmentVariableA("URL_RECORDER_LOG", m_urlLog.c_str());
        Fail(nullptr);
        ::SetEnvironmentVariableA("FAKE_BROWSER_PUMP_MS", nullptr);
    }

    // Makes the browser fail at step (nullptr: never), for instance atInstance only.
    static void Fail(const char* step, int atInstance = 0)
    {
        ::SetEnvironmentVariableA("FAKE_BROWSER_FAIL", step);
        ::SetEnvironmentVariableA("FAKE_BROWSER_FAIL_AT",
                                  atInstance > 0 ? std::to_string(atInstance).c_str() : nullptr);
    }

    std::vector<std::string> BrowserLines() const { return ReadLines(m_browserLog); }
    std::vector<std::string> Urls() const { return ReadLines(m_urlLog); }

    // The URLs that reached Navigate2, in order.
    std::vector<std::string> Navigated() const
    {
        std::vector<std::string> urls;
        for (const std::string& line : BrowserLines()) {
            const size_t at = line.find(" Navigate2 ");
            if (at != std::string::npos)
                urls.push_back(line.substr(at + 11, line.find('|', at) - at - 11));
        }
        return urls;
    }

    int CountLines(const char* suffix) const
    {
        int n = 0;
        const std::string s(suffix);
        for (const std::string& line : BrowserLines())
            n += line.size() >= s.size() && line.compare(line.size() - s.size(), s.size(), s) == 0;
        return n;
    }

    // Waits for n browser instances to have been let go of completely.
    bool WaitReleased(int n, DWORD timeoutMs = 5000) const
    {
        return PumpUntil([&] { return CountLines(" released") >= n; }, timeoutMs);
    }

    bool WaitUrls(size_t n, DWORD timeoutMs = 5000) const
    {
        return PumpUntil([&] { return Urls().size() >= n; }, timeoutMs);
    }

private:
    std::string m_browserLog;
    std::string m_urlLog;
};

}  // namespace testutil
