// A Windows program of the build started from a test, and ended with the test.
#pragma once

#include <windows.h>

#include <string>

#include "tests/support/wine_test_util.h"

namespace testutil {

class ChildProcess {
public:
    // unixPath is the program's path in the build tree; arguments follow it as given.
    explicit ChildProcess(const std::string& unixPath, const std::string& arguments = "")
    {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        std::string command = "\"" + WinPath(unixPath) + "\"";
        if (!arguments.empty())
            command += " " + arguments;
        m_started = ::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // A program still running when the test ends is ended here, so that it
    // cannot hold the clipboard or the viewer chain for the next test.
    ~ChildProcess()
    {
        if (!m_started)
            return;
        if (::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(m_pi.hProcess, 99);
            ::WaitForSingleObject(m_pi.hProcess, 5000);
        }
        ::CloseHandle(m_pi.hThread);
        ::CloseHandle(m_pi.hProcess);
    }

    bool Started() const { return m_started != FALSE; }
    HANDLE Handle() const { return m_pi.hProcess; }
    DWORD Id() const { return m_pi.dwProcessId; }
    bool Running() const { return m_started && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT; }

    // The exit code, or STILL_ACTIVE if it does not end in time. Messages
    // keep running meanwhile: the program may be sending to our windows.
    DWORD WaitForExit(DWORD timeoutMs = 10000) const
    {
        if (!m_started)
            return STILL_ACTIVE;
        PumpUntil([&] { return !Running(); }, timeoutMs);
        DWORD code = STILL_ACTIVE;
        ::GetExitCodeProcess(m_pi.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION m_pi = {};
    BOOL m_started = FALSE;
};

}  // namespace testutil
