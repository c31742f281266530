// The Wine browser bridge, loaded from its DLL as COM loads it, with the
// recording URL handler as the desktop's browser. Quillfind's own calls, in
// order and at speed, are the end-to-end day's.
#include <gtest/gtest.h>
#include <windows.h>
#include <exdisp.h>

#include <string>
#include <vector>

#include "framework/holders.h"
#include "tests/support/wine_test_util.h"
#include "wine/web_browser_base.h"

namespace {

// Navigate2 as Quillfind calls it, but for the headers given.
HRESULT Navigate(IWebBrowser2* browser, const std::string& url, const wchar_t* pszHeaders = nullptr)
{
    CVariant target, missing, headers;
    target.get()->vt = headers.get()->vt = VT_BSTR;
    target.get()->bstrVal = ::SysAllocStringLen(std::wstring(url.begin(), url.end()).c_str(), static_cast<UINT>(url.size()));
    headers.get()->bstrVal = ::SysAllocString(pszHeaders);
    missing.get()->vt = VT_ERROR;
    missing.get()->scode = DISP_E_PARAMNOTFOUND;
    return browser->Navigate2(target.get(), missing.get(), missing.get(), missing.get(),
                              pszHeaders ? headers.get() : missing.get());
}

TEST(BrowserBridge, OpensOnlyWebAddressesAndAHiddenWindowsLastPageWhenShown)
{
    const std::string log = testutil::FreshFile("qf_bridge_urls.log");
    ::SetEnvironmentVariableA("URL_RECORDER_LOG", log.c_str());
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CComRef<IClassFactory> factory;
    CComRef<IWebBrowser2> browser;
    const HMODULE hDll = ::LoadLibraryA("Z:" QF_BROWSER_DLL_PATH);
    const auto getClassObject = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(::GetProcAddress(hDll, "DllGetClassObject")));
    ASSERT_EQ(S_OK, getClassObject(kBrowserClsid, IID_IClassFactory, reinterpret_cast<void**>(factory.Receive())));
    ASSERT_EQ(S_OK, factory.get()->CreateInstance(nullptr, IID_IWebBrowser2, reinterpret_cast<void**>(browser.Receive())));

    for (const std::string& url : {std::string("C:\\windows\\notepad.exe"), std::string("file:///etc/passwd"),
                                   std::string("ftp://a.test/"), std::string("http://"),
                                   std::string("http://a.test/\0C:\\windows\\notepad.exe", 38)})
        EXPECT_EQ(E_INVALIDARG, Navigate(browser.get(), url)) << url.c_str();
    // Headers, like posted data, cannot be handed to a shell.
    EXPECT_EQ(E_NOTIMPL, Navigate(browser.get(), "http://a.test/", L"Referer: http://a.test/\r\n"));
    EXPECT_EQ(S_OK, Navigate(browser.get(), "http://a.test/"));
    EXPECT_EQ(S_OK, Navigate(browser.get(), "HTTPS://b.test/?q=%41%2F"));
    VARIANT_BOOL read[3] = {};
    for (const HRESULT hr : {browser.get()->put_AddressBar(VARIANT_FALSE), browser.get()->put_StatusBar(1),
                             browser.get()->put_Visible(VARIANT_TRUE), browser.get()->get_AddressBar(&read[0]),
                             browser.get()->get_StatusBar(&read[1]), browser.get()->get_Visible(&read[2])})
        EXPECT_EQ(S_OK, hr);
    EXPECT_EQ((std::vector<int>{0, -1, -1}), std::vector<int>(read, read + 3)) << "read back as set";
    testutil::PumpUntil([&] { return !testutil::ReadLines(log).empty(); });
    testutil::PumpUntil([] { return false; }, 700);
    EXPECT_EQ(std::vector<std::string>{"HTTPS://b.test/?q=%41%2F"}, testutil::ReadLines(log));

    // An object for every request, never aggregated, holding the module while it lives.
    CComRef<IUnknown> outer;
    EXPECT_EQ(CLASS_E_NOAGGREGATION,
              factory.get()->CreateInstance(browser.get(), IID_IUnknown, reinterpret_cast<void**>(outer.Receive())));
    const auto canUnloadNow =
        reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(::GetProcAddress(hDll, "DllCanUnloadNow")));
    factory.reset();
    EXPECT_EQ(S_FALSE, canUnloadNow()) << "an object still lives";
    browser.reset();
    EXPECT_EQ(S_OK, canUnloadNow());
}

}  // namespace
