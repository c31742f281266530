// The Wine browser bridge, loaded from its DLL as COM loads it, with the
// recording URL handler as the desktop's browser.
#include <gtest/gtest.h>
#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>

#include <string>
#include <vector>

#include "framework/holders.h"
#include "tests/support/wine_test_util.h"
#include "wine/web_browser_base.h"

namespace {

using Strings = std::vector<std::string>;

CBstr Bstr(const std::string& ascii)
{
    return CBstr(::SysAllocStringLen(std::wstring(ascii.begin(), ascii.end()).c_str(), static_cast<UINT>(ascii.size())));
}

// Navigate2 as Quillfind calls it, the optional arguments missing unless headers are given.
HRESULT Navigate(IWebBrowser2* browser, const std::string& url, VARIANT* pHeaders = nullptr)
{
    CVariant target;
    target.get()->vt = VT_BSTR;
    target.get()->bstrVal = Bstr(url).release();
    VARIANT missing = {};
    missing.vt = VT_ERROR;
    missing.scode = DISP_E_PARAMNOTFOUND;
    return browser->Navigate2(target.get(), &missing, &missing, &missing, pHeaders ? pHeaders : &missing);
}

class BrowserBridge : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ::SetEnvironmentVariableA("URL_RECORDER_LOG", m_urlLog.c_str());
        ASSERT_EQ(S_OK, Export<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>("DllGetClassObject")(
                            kBrowserClsid, IID_IClassFactory, reinterpret_cast<void**>(m_factory.Receive())));
    }

    template <class Fn>
    static Fn Export(const char* pszName)
    {
        static const HMODULE hDll = ::LoadLibraryA(("Z:" + std::string(QF_BROWSER_DLL_PATH)).c_str());
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(hDll, pszName)));
    }

    CComRef<IWebBrowser2> Create()
    {
        CComRef<IWebBrowser2> browser;
        EXPECT_EQ(S_OK, m_factory.get()->CreateInstance(nullptr, IID_IWebBrowser2, reinterpret_cast<void**>(browser.Receive())));
        return browser;
    }

    // What reached the handler since the last look, once no handler that was
    // started can still be writing.
    Strings Opened(size_t expected) const
    {
        testutil::PumpUntil([&] { return testutil::ReadLines(m_urlLog).size() >= expected; });
        testutil::Pump(700);
        const Strings lines = testutil::ReadLines(m_urlLog);
        ::DeleteFileA(m_urlLog.c_str());
        return lines;
    }

    const std::string m_urlLog = testutil::FreshFile("qf_bridge_urls.log");
    CComRef<IClassFactory> m_factory;
};

TEST_F(BrowserBridge, QuillfindsCallsOpenEachAddressUnchangedInLineOrder)
{
    // Escapes a shell may be tempted to tidy, a Shift_JIS query, a scheme in
    // capitals; then enough quick searches that handlers started together
    // would finish out of order.
    Strings urls = {"http://www.google.co.jp/search?q=%61%26%62%2F%63&hl=ja&lr=",
                    "https://example.com/a%2Fb?x=%8C%9F%7E%20%2B#top", "HTTP://EXAMPLE.COM/?q=%25%30"};
    for (char digit = '0'; digit <= '9'; ++digit)
        urls.push_back(std::string("http://example.com/?q=%3") + digit);
    for (const std::string& url : urls) {
        CComRef<IWebBrowser2> browser = Create();
        const CBstr status = Bstr("Torven");
        EXPECT_EQ(S_OK, browser.get()->put_Offline(VARIANT_FALSE));
        EXPECT_EQ(S_OK, browser.get()->put_AddressBar(VARIANT_TRUE));
        EXPECT_EQ(S_OK, browser.get()->put_StatusBar(1));
        EXPECT_EQ(S_OK, browser.get()->put_StatusText(status.get()));
        EXPECT_EQ(S_OK, browser.get()->put_Visible(VARIANT_TRUE));
        EXPECT_EQ(S_OK, Navigate(browser.get(), url));
        // The properties read back as set; a caller's TRUE of 1 still means true.
        VARIANT_BOOL offline = 1, addressBar = 0, statusBar = 0, visible = 0;
        CBstr text;
        browser.get()->get_Offline(&offline);
        browser.get()->get_AddressBar(&addressBar);
        browser.get()->get_StatusBar(&statusBar);
        browser.get()->get_Visible(&visible);
        browser.get()->get_StatusText(text.Receive());
        EXPECT_EQ(std::vector<int>({0, -1, -1, -1}), std::vector<int>({offline, addressBar, statusBar, visible}));
        EXPECT_STREQ(L"Torven", text.get());
    }
    EXPECT_EQ(urls, Opened(urls.size()));
}

TEST_F(BrowserBridge, APageNavigatedToWhileHiddenOpensWhenShown)
{
    // A and B navigate to a.test and b.test, S shows the window, H hides it.
    const struct {
        const char* steps;
        Strings opened;
    } cases[] = {
        {"AS", {"http://a.test/"}}, {"ABS", {"http://b.test/"}}, {"A", {}},
        {"SHA", {}},                {"SAS", {"http://a.test/"}}, {"SAB", {"http://a.test/", "http://b.test/"}},
    };
    for (const auto& c : cases) {
        {
            CComRef<IWebBrowser2> browser = Create();
            for (const char* p = c.steps; *p; ++p) {
                const HRESULT hr = *p == 'S' || *p == 'H' ? browser.get()->put_Visible(*p == 'S' ? VARIANT_TRUE : VARIANT_FALSE)
                                                          : Navigate(browser.get(), std::string("http://") + char(*p + 32) + ".test/");
                EXPECT_EQ(S_OK, hr) << c.steps;
            }
        }
        EXPECT_EQ(c.opened, Opened(c.opened.size())) << c.steps;
    }
}

TEST_F(BrowserBridge, RefusesWhatIsNotAPlainWebAddress)
{
    CComRef<IWebBrowser2> browser = Create();
    ASSERT_EQ(S_OK, browser.get()->put_Visible(VARIANT_TRUE));
    for (const std::string& url : {std::string("C:\\windows\\notepad.exe"), std::string("file:///etc/passwd"),
                                   std::string("mailto:x@example.com"), std::string("http://"),
                                   std::string("xhttp://example.com/"),
                                   std::string("http://example.com/\0C:\\windows\\notepad.exe", 42)})
        EXPECT_EQ(E_INVALIDARG, Navigate(browser.get(), url)) << url.c_str();
    // Headers, like posted data, cannot be handed to the shell.
    CVariant headers;
    headers.get()->vt = VT_BSTR;
    headers.get()->bstrVal = Bstr("Referer: http://example.com/\r\n").release();
    EXPECT_EQ(E_NOTIMPL, Navigate(browser.get(), "http://example.com/", headers.get()));
    EXPECT_EQ(Strings(), Opened(0));
}

TEST_F(BrowserBridge, EachRequestMakesOneObjectThatLivesUntilItsLastRelease)
{
    CComRef<IUnknown> first, second, outer;
    ASSERT_EQ(S_OK, m_factory.get()->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(first.Receive())));
    ASSERT_EQ(S_OK, m_factory.get()->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(second.Receive())));
    EXPECT_NE(first.get(), second.get());
    EXPECT_EQ(CLASS_E_NOAGGREGATION, m_factory.get()->CreateInstance(first.get(), IID_IUnknown, reinterpret_cast<void**>(outer.Receive())));

    // All the browser's interfaces are one object; what a real browser window also offers, this one does not claim.
    const std::pair<IID, bool> interfaces[] = {
        {IID_IUnknown, true},       {IID_IDispatch, true},       {IID_IWebBrowser, true},
        {IID_IWebBrowserApp, true}, {IID_IWebBrowser2, true},    {IID_IConnectionPointContainer, false},
        {IID_IRunnableObject, false},
    };
    for (const auto& i : interfaces) {
        CComRef<IUnknown> answer, identity;
        EXPECT_EQ(i.second ? S_OK : E_NOINTERFACE, first.get()->QueryInterface(i.first, reinterpret_cast<void**>(answer.Receive())));
        if (answer)
            answer.get()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.Receive()));
        EXPECT_EQ(i.second ? first.get() : nullptr, identity.get()) << &i - interfaces;
    }

    const auto canUnloadNow = Export<HRESULT(WINAPI*)()>("DllCanUnloadNow");
    m_factory.reset();
    EXPECT_EQ(S_FALSE, canUnloadNow()) << "two objects live";
    first.reset();
    EXPECT_EQ(S_FALSE, canUnloadNow()) << "one object lives";
    second.reset();
    EXPECT_EQ(S_OK, canUnloadNow());
}

}  // namespace
