// In-process stand-in for the browser's automation server that records every call Quillfind makes.
//
// Registration: `wine regsvr32 /s fake_browser.dll` adds an InprocServer32 key
// under HKLM\Software\Classes\CLSID\{0002DF01-0000-0000-C000-000000000046};
// Wine prefers it to its own LocalServer32 (iexplore.exe), which is left alone.
// `wine regsvr32 /u /s fake_browser.dll` removes only that key again.
//
// Environment, read at every call because tests change it between calls:
//   FAKE_BROWSER_LOG      file that gets one UTF-8 line per event; unset: no log.
//   FAKE_BROWSER_FAIL     create | query | put_Offline | put_AddressBar |
//                         put_StatusBar | put_StatusText | put_Visible | Navigate2
//   FAKE_BROWSER_FAIL_AT  instance number the failure is limited to; unset: all.
//   FAKE_BROWSER_PUMP_MS  Navigate2 runs the caller's message loop this long.
//
// Log lines (N counts CreateInstance calls in this process, from 1):
//   create N [FAILED]
//   N put_Offline|put_AddressBar|put_StatusBar|put_Visible V [FAILED]   (V: -1 or 0)
//   N put_StatusText TEXT [FAILED]
//   N Navigate2 URL|FLAGS|FRAME|POSTDATA|HEADERS [FAILED]
//     URL is the BSTR, or vt=NN, or null; the others are missing, null or vt=NN.
//   N released
#include <windows.h>
#include <exdisp.h>
#include <ole2.h>

#include <cwchar>
#include <new>
#include <string>

#include "support_util.h"
#include "wine/inproc_server.h"
#include "wine/web_browser_base.h"

namespace {

const CLSID kBrowserClsid = {0x0002DF01, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// What the injected failures return: an HRESULT no real step would give, so a
// test can tell it from Quillfind's own errors.
const HRESULT kInjectedFailure = static_cast<HRESULT>(0x80041001);

HMODULE g_module;
LONG g_created;

void Log(const std::string& line)
{
    const auto path = support::Env(L"FAKE_BROWSER_LOG");
    if (!path || path->empty())
        return;
    support::AppendLine(*path, line);
}

bool ShouldFail(const wchar_t* step, LONG instance)
{
    const auto step_to_fail = support::Env(L"FAKE_BROWSER_FAIL");
    if (!step_to_fail || *step_to_fail != step)
        return false;
    const auto at = support::Env(L"FAKE_BROWSER_FAIL_AT");
    if (!at || at->empty())
        return true;
    return std::wcstol(at->c_str(), nullptr, 10) == instance;
}

DWORD PumpMilliseconds()
{
    const auto ms = support::Env(L"FAKE_BROWSER_PUMP_MS");
    if (!ms || ms->empty())
        return 0;
    return std::wcstoul(ms->c_str(), nullptr, 10);
}

std::string DescribeOptional(const VARIANT* v)
{
    if (!v)
        return "null";
    if (V_VT(v) == VT_ERROR && V_ERROR(v) == DISP_E_PARAMNOTFOUND)
        return "missing";
    return "vt=" + std::to_string(V_VT(v));
}

std::string DescribeUrl(const VARIANT* v)
{
    if (!v)
        return "null";
    if (V_VT(v) != VT_BSTR)
        return "vt=" + std::to_string(V_VT(v));
    return support::Utf8(V_BSTR(v), static_cast<int>(SysStringLen(V_BSTR(v))));
}

class FakeBrowser final : public CWebBrowserBase {
public:
    explicit FakeBrowser(LONG number) : number_(number) {}
    ~FakeBrowser() override { Log(std::to_string(number_) + " released"); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv && IsBrowserInterface(riid) && ShouldFail(L"query", number_)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return CWebBrowserBase::QueryInterface(riid, ppv);
    }

    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL value) override { return RecordBool(L"put_Visible", value); }
    HRESULT STDMETHODCALLTYPE put_StatusBar(VARIANT_BOOL value) override
    {
        return RecordBool(L"put_StatusBar", value);
    }
    HRESULT STDMETHODCALLTYPE put_StatusText(BSTR text) override
    {
        return Record(L"put_StatusText", support::Utf8(text, static_cast<int>(SysStringLen(text))));
    }
    HRESULT STDMETHODCALLTYPE put_Offline(VARIANT_BOOL value) override { return RecordBool(L"put_Offline", value); }
    HRESULT STDMETHODCALLTYPE put_AddressBar(VARIANT_BOOL value) override
    {
        return RecordBool(L"put_AddressBar", value);
    }

    HRESULT STDMETHODCALLTYPE Navigate2(VARIANT* url, VARIANT* flags, VARIANT* frame, VARIANT* postData,
                                        VARIANT* headers) override
    {
        try {
            return RecordNavigate2(url, flags, frame, postData, headers);
        } catch (const std::bad_alloc&) {
            // A URL too large to describe must not take the caller's process down.
            Log(std::to_string(number_) + " Navigate2 (out of memory)");
            return E_OUTOFMEMORY;
        }
    }

private:
    HRESULT RecordNavigate2(VARIANT* url, VARIANT* flags, VARIANT* frame, VARIANT* postData, VARIANT* headers)
    {
        const std::string args = DescribeUrl(url) + "|" + DescribeOptional(flags) + "|" + DescribeOptional(frame) +
                                 "|" + DescribeOptional(postData) + "|" + DescribeOptional(headers);
        const bool fail = ShouldFail(L"Navigate2", number_);
        Log(std::to_string(number_) + " Navigate2 " + args + (fail ? " FAILED" : ""));
        // Logged first, so that a nested call made while pumping shows up after this one.
        if (const DWORD ms = PumpMilliseconds())
            support::PumpMessagesFor(ms);
        return fail ? kInjectedFailure : S_OK;
    }

    HRESULT Record(const wchar_t* member, const std::string& argument)
    {
        const bool fail = ShouldFail(member, number_);
        Log(std::to_string(number_) + " " + support::Utf8(member) + " " + argument + (fail ? " FAILED" : ""));
        return fail ? kInjectedFailure : S_OK;
    }

    HRESULT RecordBool(const wchar_t* member, VARIANT_BOOL value)
    {
        return Record(member, std::to_string(static_cast<int>(value)));
    }

    const LONG number_;
};

HRESULT CreateFakeBrowser(IUnknown** object)
{
    const LONG number = InterlockedIncrement(&g_created);
    // Failing here rather than in DllGetClassObject: there COM would quietly
    // fall back to Wine's own browser through LocalServer32.
    if (ShouldFail(L"create", number)) {
        Log("create " + std::to_string(number) + " FAILED");
        return REGDB_E_CLASSNOTREG;
    }
    auto* browser = new (std::nothrow) FakeBrowser(number);
    if (!browser)
        return E_OUTOFMEMORY;
    Log("create " + std::to_string(number));
    *object = static_cast<IWebBrowser2*>(browser);
    return S_OK;
}

CInprocServer g_server(kBrowserClsid, CreateFakeBrowser);

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    g_module = instance;
    DisableThreadLibraryCalls(instance);
    // Instance numbers count per process; COM unloads an idle server when an
    // apartment closes, which would start them at 1 again.
    HMODULE pinned;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&g_server), &pinned);
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
    return g_server.Register(g_module);
}

STDAPI DllUnregisterServer()
{
    return g_server.Unregister();
}
