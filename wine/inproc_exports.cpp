// The exports of an in-process server DLL of ours, for the one class its g_server serves.
#include "wine/inproc_server.h"

namespace {

HMODULE g_hModule;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH) {
        g_hModule = hInstance;
        ::DisableThreadLibraryCalls(hInstance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    return g_server.GetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow()
{
    return CInprocServer::CanUnloadNow();
}

STDAPI DllRegisterServer()
{
    return g_server.Register(g_hModule);
}

STDAPI DllUnregisterServer()
{
    return g_server.Unregister();
}
