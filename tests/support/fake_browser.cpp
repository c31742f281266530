// In-process stand-in for the browser's automation server that records every call made to it.
//
// `wine regsvr32 /s fake_browser.dll` registers it in place of Wine's own
// browser, which COM then leaves alone. Environment, read at every call since
// tests change it between calls:
//   FAKE_BROWSER_LOG      file that gets one UTF-8 line per event; unset: no log
//   FAKE_BROWSER_FAIL     the step that fails: create, query or a member's name
//   FAKE_BROWSER_FAIL_AT  the instance it fails in; unset: every one
// Lines: "create N [FAILED]", "N MEMBER ARGUMENT [FAILED]", "N released", N
// counting instances in this process from 1. Navigate2's argument is the URL
// and each optional argument ("missing" or its vt), joined by "|".
//
// The real server runs in a process of its own, and Windows refuses a call
// into another process from a thread that is replying to another thread's
// sent message: this one refuses creation then, with that error, and logs
// "create N FAILED in a sent message".
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "wine/inproc_server.h"
#include "wine/web_browser_base.h"

namespace {

// An HRESULT that no real step gives, so a test can tell it from Quillfind's own.
const HRESULT kInjectedFailure = static_cast<HRESULT>(0x80041001);

LONG g_nCreated;

std::string Env(const char* pszName)
{
    char value[1024];
    const DWORD n = ::GetEnvironmentVariableA(pszName, value, sizeof value);
    return n < sizeof value ? std::string(value, n) : std::string();
}

std::string Utf8(BSTR text)
{
    const int nWide = static_cast<int>(::SysStringLen(text));
    std::string out(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, text, nWide, nullptr, 0, nullptr, nullptr)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, nWide, &out[0], static_cast<int>(out.size()), nullptr, nullptr);
    return out;
}

// Opened for every line, so that each is on disk before the caller goes on.
void Log(const std::string& line)
{
    const std::string path = Env("FAKE_BROWSER_LOG");
    if (!path.empty())
        std::ofstream(path, std::ios::binary | std::ios::app) << line << '\n';
}

bool ShouldFail(const char* pszStep, LONG nInstance)
{
    const std::string at = Env("FAKE_BROWSER_FAIL_AT");
    return Env("FAKE_BROWSER_FAIL") == pszStep && (at.empty() || std::atol(at.c_str()) == nInstance);
}

std::string Describe(const VARIANT* v)
{
    if (v && V_VT(v) == VT_BSTR)
        return Utf8(V_BSTR(v));
    if (v && V_VT(v) == VT_ERROR && V_ERROR(v) == DISP_E_PARAMNOTFOUND)
        return "missing";
    return v ? "vt=" + std::to_string(V_VT(v)) : "null";
}

class CFakeBrowser final : public CWebBrowserBase {
public:
    explicit CFakeBrowser(LONG nNumber) : m_nNumber(nNumber) {}
    ~CFakeBrowser() override { Log(std::to_string(m_nNumber) + " released"); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv && IsBrowserInterface(riid) && ShouldFail("query", m_nNumber)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return CWebBrowserBase::QueryInterface(riid, ppv);
    }

    HRESULT STDMETHODCALLTYPE put_Offline(VARIANT_BOOL value) override { return Record("put_Offline", value); }
    HRESULT STDMETHODCALLTYPE put_AddressBar(VARIANT_BOOL value) override { return Record("put_AddressBar", value); }
    HRESULT STDMETHODCALLTYPE put_StatusBar(VARIANT_BOOL value) override { return Record("put_StatusBar", value); }
    HRESULT STDMETHODCALLTYPE put_StatusText(BSTR text) override { return Record("put_StatusText", Utf8(text)); }
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL value) override { return Record("put_Visible", value); }
    HRESULT STDMETHODCALLTYPE Quit() override { return Record("Quit", std::string()); }

    HRESULT STDMETHODCALLTYPE Navigate2(VARIANT* pUrl, VARIANT* pFlags, VARIANT* pFrame, VARIANT* pPostData,
                                        VARIANT* pHeaders) override
    {
        // Unlogged, a URL of hundreds of megabytes is not copied once more.
        const bool bLogged = !Env("FAKE_BROWSER_LOG").empty();
        return Record("Navigate2", bLogged ? Describe(pUrl) + "|" + Describe(pFlags) + "|" + Describe(pFrame) + "|" +
                                                 Describe(pPostData) + "|" + Describe(pHeaders)
                                           : std::string());
    }

private:
    HRESULT Record(const char* pszMember, VARIANT_BOOL value) { return Record(pszMember, std::to_string(value)); }
    HRESULT Record(const char* pszMember, const std::string& argument)
    {
        const bool bFail = ShouldFail(pszMember, m_nNumber);
        const std::string step = std::to_string(m_nNumber) + " " + pszMember;
        Log((argument.empty() ? step : step + " " + argument) + (bFail ? " FAILED" : ""));
        return bFail ? kInjectedFailure : S_OK;
    }

    const LONG m_nNumber;
};

HRESULT CreateFakeBrowser(IUnknown** ppObject)
{
    // Instance numbers count per process: pinned, the module is never
    // unloaded between two searches, which would start them at 1 again.
    HMODULE hPinned;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         reinterpret_cast<LPCSTR>(&g_nCreated), &hPinned);
    const LONG nNumber = ::InterlockedIncrement(&g_nCreated);
    if ((::InSendMessageEx(nullptr) & (ISMEX_SEND | ISMEX_REPLIED)) == ISMEX_SEND) {
        Log("create " + std::to_string(nNumber) + " FAILED in a sent message");
        return RPC_E_CANTCALLOUT_ININPUTSYNCCALL;
    }
    // Failing here rather than in DllGetClassObject: there COM would quietly
    // fall back to Wine's own browser.
    if (ShouldFail("create", nNumber)) {
        Log("create " + std::to_string(nNumber) + " FAILED");
        return CO_E_SERVER_EXEC_FAILURE;
    }
    Log("create " + std::to_string(nNumber));
    *ppObject = static_cast<IWebBrowser2*>(new (std::nothrow) CFakeBrowser(nNumber));
    return *ppObject ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

CInprocServer g_server(kBrowserClsid, CreateFakeBrowser);
