// Size baseline: a program that throws and catches one exception of a class, as Quillfind does.
#include <windows.h>

namespace {

struct Failure {
    HRESULT hr;
};

// Out of line, so the compiler cannot see through the throw and drop the handler.
__attribute__((noinline)) void Fail(HRESULT hr)
{
    throw Failure{hr};
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR pszCmdLine, int)
{
    try {
        Fail(pszCmdLine[0] ? E_FAIL : S_FALSE);
    } catch (const Failure& e) {
        return static_cast<int>(e.hr & 0xFF);
    }
    return 0;
}
