// Entry of the Windows test program: names the application after the test
// executable, as the real entry point would, then runs the tests.
#include <gtest/gtest.h>
#include <windows.h>

#include "framework/win_app.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!AfxWinInit(::GetModuleHandleA(nullptr)))
        return 2;
    return RUN_ALL_TESTS();
}
