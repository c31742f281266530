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

namespace {

const CLSID kBrowserClsid = {0x0002DF01, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const wchar_t kInprocKey[] = L"Software\\Classes\\CLSID\\{0002DF01-0000-0000-C000-000000000046}\\InprocServer32";

// What the injected failures return: an HRESULT no real step would give, so a
// test can tell it from Quillfind's own errors.
const HRESULT kInjectedFailure = static_cast<HRESULT>(0x80041001);

HMODULE g_module;
LONG g_created;
LONG g_liveObjects;
LONG g_serverLocks;

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

class FakeBrowser final : public IWebBrowser2 {
public:
    explicit FakeBrowser(LONG number) : number_(number) { InterlockedIncrement(&g_liveObjects); }
    ~FakeBrowser() { InterlockedDecrement(&g_liveObjects); }

    FakeBrowser(const FakeBrowser&) = delete;
    FakeBrowser& operator=(const FakeBrowser&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        const bool browser = IsEqualIID(riid, IID_IWebBrowser2) || IsEqualIID(riid, IID_IWebBrowserApp) ||
                             IsEqualIID(riid, IID_IWebBrowser);
        if (browser && ShouldFail(L"query", number_))
            return E_NOINTERFACE;
        if (!browser && !IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch))
            return E_NOINTERFACE;
        *ppv = static_cast<IWebBrowser2*>(this);
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) {
            Log(std::to_string(number_) + " released");
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE GoBack() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoForward() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoHome() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoSearch() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Navigate(BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Refresh() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Refresh2(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stop() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Application(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Parent(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Container(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Document(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_TopLevelContainer(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Type(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Left(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Left(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Top(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Top(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Width(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Width(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Height(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Height(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_LocationName(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Busy(VARIANT_BOOL*) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE Quit() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ClientToWindow(int*, int*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutProperty(BSTR, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetProperty(BSTR, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FullName(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Path(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL value) override { return RecordBool(L"put_Visible", value); }
    HRESULT STDMETHODCALLTYPE get_StatusBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_StatusBar(VARIANT_BOOL value) override
    {
        return RecordBool(L"put_StatusBar", value);
    }
    HRESULT STDMETHODCALLTYPE get_StatusText(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_StatusText(BSTR text) override
    {
        return Record(L"put_StatusText", support::Utf8(text, static_cast<int>(SysStringLen(text))));
    }
    HRESULT STDMETHODCALLTYPE get_ToolBar(int*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_ToolBar(int) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MenuBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_MenuBar(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FullScreen(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_FullScreen(VARIANT_BOOL) override { return E_NOTIMPL; }

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
    HRESULT STDMETHODCALLTYPE QueryStatusWB(OLECMDID, OLECMDF*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecWB(OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ShowBrowserBar(VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ReadyState(READYSTATE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Offline(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Offline(VARIANT_BOOL value) override { return RecordBool(L"put_Offline", value); }
    HRESULT STDMETHODCALLTYPE get_Silent(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Silent(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RegisterAsBrowser(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RegisterAsBrowser(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RegisterAsDropTarget(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RegisterAsDropTarget(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_TheaterMode(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_TheaterMode(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_AddressBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_AddressBar(VARIANT_BOOL value) override
    {
        return RecordBool(L"put_AddressBar", value);
    }
    HRESULT STDMETHODCALLTYPE get_Resizable(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Resizable(VARIANT_BOOL) override { return E_NOTIMPL; }

private:
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
    LONG refs_ = 1;
};

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
            return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }

    // The factory is static; references to it only keep the module in use.
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&g_serverLocks)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&g_serverLocks)); }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
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
        const HRESULT hr = browser->QueryInterface(riid, ppv);
        browser->Release();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            InterlockedIncrement(&g_serverLocks);
        else
            InterlockedDecrement(&g_serverLocks);
        return S_OK;
    }
};

Factory g_factory;

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
                       reinterpret_cast<LPCWSTR>(&g_factory), &pinned);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, kBrowserClsid))
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow()
{
    return g_liveObjects == 0 && g_serverLocks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer()
{
    const std::wstring path = support::ModulePath(g_module);
    if (path.empty())
        return HRESULT_FROM_WIN32(GetLastError());
    support::UniqueKey key;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kInprocKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                     key.out(), nullptr);
    if (status != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(status);
    status = RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                            static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(status);
    static const wchar_t kBoth[] = L"Both";
    status = RegSetValueExW(key.get(), L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(kBoth),
                            sizeof(kBoth));
    return HRESULT_FROM_WIN32(status);
}

STDAPI DllUnregisterServer()
{
    const LSTATUS status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, kInprocKey);
    if (status == ERROR_FILE_NOT_FOUND)
        return S_OK;
    return HRESULT_FROM_WIN32(status);
}
