// The Wine browser bridge, loaded from its DLL as COM loads it, with the recording URL handler as the desktop's browser.
#include <gtest/gtest.h>
#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <oleidl.h>

#include <string>
#include <vector>

#include "framework/holders.h"
#include "tests/support/wine_test_util.h"

namespace {

const CLSID kBrowserClsid = {0x0002DF01, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Long enough for a handler that was started to have written its line.
const DWORD kQuietMs = 700;

CBstr Bstr(const std::string& ascii)
{
    return CBstr(::SysAllocStringLen(std::wstring(ascii.begin(), ascii.end()).c_str(),
                                     static_cast<UINT>(ascii.size())));
}

VARIANT Missing()
{
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

class BrowserBridge : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        s_hDll = ::LoadLibraryA(testutil::WinPath(QF_BROWSER_DLL_PATH).c_str());
    }

    void SetUp() override
    {
        ASSERT_NE(s_hDll, nullptr);
        m_urlLog = testutil::FreshFile("qf_bridge_urls.log");
        ::SetEnvironmentVariableA("URL_RECORDER_LOG", m_urlLog.c_str());
        ASSERT_HRESULT_SUCCEEDED(Export<DllGetClassObjectFn>("DllGetClassObject")(
            kBrowserClsid, IID_IClassFactory, reinterpret_cast<void**>(m_factory.Receive())));
    }

    void TearDown() override
    {
        // Nothing may still be on its way to the handler when the next test reads a fresh log.
        testutil::Pump(kQuietMs);
    }

    CComRef<IWebBrowser2> Create()
    {
        CComRef<IWebBrowser2> browser;
        EXPECT_HRESULT_SUCCEEDED(m_factory.get()->CreateInstance(nullptr, IID_IWebBrowser2,
                                                                 reinterpret_cast<void**>(browser.Receive())));
        return browser;
    }

    static HRESULT Navigate(IWebBrowser2* browser, const std::string& url)
    {
        CVariant target;
        target.get()->vt = VT_BSTR;
        target.get()->bstrVal = Bstr(url).release();
        VARIANT missing = Missing();
        return browser->Navigate2(target.get(), &missing, &missing, &missing, &missing);
    }

    // What reached the handler once it has been quiet for a while.
    std::vector<std::string> Opened(size_t expected) const
    {
        testutil::PumpUntil([&] { return testutil::ReadLines(m_urlLog).size() >= expected; });
        testutil::Pump(kQuietMs);
        return testutil::ReadLines(m_urlLog);
    }

    static HRESULT CanUnloadNow() { return Export<DllCanUnloadNowFn>("DllCanUnloadNow")(); }

    CComRef<IClassFactory> m_factory;

private:
    using DllGetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    using DllCanUnloadNowFn = HRESULT(WINAPI*)();

    template <class Fn>
    static Fn Export(const char* name)
    {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(s_hDll, name)));
    }

    static inline HMODULE s_hDll;
    std::string m_urlLog;
};

TEST_F(BrowserBridge, QuillfindsCallsOpenEachAddressUnchangedInOrder)
{
    // Escapes a shell may be tempted to tidy, a Shift_JIS query, a scheme in
    // capitals; then enough quick searches that handlers started together
    // would finish out of order.
    std::vector<std::string> urls = {
        "http://www.google.co.jp/search?q=%61%26%62%2F%63&hl=ja&lr=",
        "http://www.google.co.jp/search?q=%8C%9F%8D%F5&hl=ja&lr=",
        "https://example.com/a%2Fb?x=%7E%20%2B#top",
        "HTTP://EXAMPLE.COM/?q=%25%30",
    };
    for (char digit = '0'; digit <= '9'; ++digit)
        urls.push_back(std::string("http://example.com/?q=%3") + digit);
    for (const std::string& url : urls) {
        CComRef<IWebBrowser2> browser = Create();
        ASSERT_TRUE(browser);
        const CBstr status = Bstr("Torven");
        EXPECT_EQ(browser.get()->put_Offline(VARIANT_FALSE), S_OK);
        EXPECT_EQ(browser.get()->put_AddressBar(VARIANT_TRUE), S_OK);
        EXPECT_EQ(browser.get()->put_StatusBar(VARIANT_TRUE), S_OK);
        EXPECT_EQ(browser.get()->put_StatusText(status.get()), S_OK);
        EXPECT_EQ(browser.get()->put_Visible(VARIANT_TRUE), S_OK);
        EXPECT_EQ(Navigate(browser.get(), url), S_OK);
    }
    EXPECT_EQ(Opened(urls.size()), urls);
}

TEST_F(BrowserBridge, PageNavigatedToWhileHiddenOpensWhenShown)
{
    enum Step { NavigateA, NavigateB, Show, Hide };
    const struct {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> opened;
    } cases[] = {
        {"shown after navigating", {NavigateA, Show}, {"http://a.test/"}},
        {"the last page counts", {NavigateA, NavigateB, Show}, {"http://b.test/"}},
        {"never shown", {NavigateA}, {}},
        {"hidden again first", {Show, Hide, NavigateA}, {}},
        {"shown twice opens once", {Show, NavigateA, Show}, {"http://a.test/"}},
        {"each page while shown", {Show, NavigateA, NavigateB}, {"http://a.test/", "http://b.test/"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        {
            CComRef<IWebBrowser2> browser = Create();
            ASSERT_TRUE(browser);
            for (const Step step : c.steps) {
                if (step == NavigateA || step == NavigateB)
                    EXPECT_EQ(Navigate(browser.get(), step == NavigateA ? "http://a.test/" : "http://b.test/"), S_OK);
                else
                    EXPECT_EQ(browser.get()->put_Visible(step == Show ? VARIANT_TRUE : VARIANT_FALSE), S_OK);
            }
        }
        EXPECT_EQ(Opened(c.opened.size()), c.opened);
    }
}

TEST_F(BrowserBridge, RefusesWhatIsNotAPlainWebAddress)
{
    CComRef<IWebBrowser2> browser = Create();
    ASSERT_TRUE(browser);
    ASSERT_EQ(browser.get()->put_Visible(VARIANT_TRUE), S_OK);

    const struct {
        std::string url;
        HRESULT expected;
    } addresses[] = {
        {"C:\\windows\\notepad.exe", E_INVALIDARG},
        {"file:///etc/passwd", E_INVALIDARG},
        {"mailto:someone@example.com", E_INVALIDARG},
        {"http://", E_INVALIDARG},
        {"xhttp://example.com/", E_INVALIDARG},
        {std::string("http://example.com/") + '\0' + "C:\\windows\\notepad.exe", E_INVALIDARG},
    };
    for (const auto& a : addresses) {
        SCOPED_TRACE(a.url.c_str());
        EXPECT_EQ(Navigate(browser.get(), a.url), a.expected);
    }

    VARIANT missing = Missing();
    CVariant number;
    number.get()->vt = VT_I4;
    number.get()->lVal = 1;
    EXPECT_EQ(browser.get()->Navigate2(number.get(), &missing, &missing, &missing, &missing), E_INVALIDARG);
    EXPECT_EQ(browser.get()->Navigate2(nullptr, &missing, &missing, &missing, &missing), E_INVALIDARG);

    // Posting a form, or sending headers, cannot be handed to the shell.
    CVariant url;
    url.get()->vt = VT_BSTR;
    url.get()->bstrVal = Bstr("http://example.com/").release();
    CVariant headers;
    headers.get()->vt = VT_BSTR;
    headers.get()->bstrVal = Bstr("Referer: http://example.com/\r\n").release();
    EXPECT_EQ(browser.get()->Navigate2(url.get(), &missing, &missing, &missing, headers.get()), E_NOTIMPL);
    EXPECT_EQ(browser.get()->Navigate2(url.get(), &missing, &missing, headers.get(), &missing), E_NOTIMPL);

    EXPECT_EQ(Opened(0), std::vector<std::string>());
}

TEST_F(BrowserBridge, RemembersTheWindowsProperties)
{
    using Getter = HRESULT (STDMETHODCALLTYPE IWebBrowser2::*)(VARIANT_BOOL*);
    using Putter = HRESULT (STDMETHODCALLTYPE IWebBrowser2::*)(VARIANT_BOOL);
    const struct {
        const char* name;
        Putter put;
        Getter get;
    } properties[] = {
        {"Offline", &IWebBrowser2::put_Offline, &IWebBrowser2::get_Offline},
        {"AddressBar", &IWebBrowser2::put_AddressBar, &IWebBrowser2::get_AddressBar},
        {"StatusBar", &IWebBrowser2::put_StatusBar, &IWebBrowser2::get_StatusBar},
        {"Visible", &IWebBrowser2::put_Visible, &IWebBrowser2::get_Visible},
    };
    CComRef<IWebBrowser2> browser = Create();
    ASSERT_TRUE(browser);
    IWebBrowser2* b = browser.get();
    for (const auto& p : properties) {
        SCOPED_TRACE(p.name);
        // A caller's TRUE of 1 rather than VARIANT_TRUE still means true.
        for (const VARIANT_BOOL value : {VARIANT_TRUE, VARIANT_FALSE, static_cast<VARIANT_BOOL>(1)}) {
            VARIANT_BOOL read = 42;
            EXPECT_EQ((b->*p.put)(value), S_OK);
            EXPECT_EQ((b->*p.get)(&read), S_OK);
            EXPECT_EQ(read, value ? VARIANT_TRUE : VARIANT_FALSE);
        }
    }

    const CBstr text = Bstr("Torven");
    ASSERT_EQ(b->put_StatusText(text.get()), S_OK);
    CBstr read;
    ASSERT_EQ(b->get_StatusText(read.Receive()), S_OK);
    EXPECT_STREQ(read.get(), L"Torven");
}

TEST_F(BrowserBridge, EachRequestMakesOneObjectThatLivesUntilItsLastRelease)
{
    ASSERT_EQ(CanUnloadNow(), S_FALSE) << "the test's factory reference holds the module";
    CComRef<IUnknown> first;
    CComRef<IUnknown> second;
    ASSERT_EQ(m_factory.get()->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(first.Receive())),
              S_OK);
    ASSERT_EQ(m_factory.get()->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(second.Receive())),
              S_OK);
    EXPECT_NE(first.get(), second.get());

    CComRef<IUnknown> outer;
    EXPECT_EQ(m_factory.get()->CreateInstance(first.get(), IID_IUnknown, reinterpret_cast<void**>(outer.Receive())),
              CLASS_E_NOAGGREGATION);

    // All the browser's interfaces are one object; what a real browser window
    // also offers, this one does not claim.
    const struct {
        const char* name;
        IID iid;
        HRESULT expected;
    } interfaces[] = {
        {"IUnknown", IID_IUnknown, S_OK},
        {"IDispatch", IID_IDispatch, S_OK},
        {"IWebBrowser", IID_IWebBrowser, S_OK},
        {"IWebBrowserApp", IID_IWebBrowserApp, S_OK},
        {"IWebBrowser2", IID_IWebBrowser2, S_OK},
        {"IOleObject", IID_IOleObject, E_NOINTERFACE},
        {"IConnectionPointContainer", IID_IConnectionPointContainer, E_NOINTERFACE},
        {"IRunnableObject", IID_IRunnableObject, E_NOINTERFACE},
    };
    CComRef<IUnknown> identity;
    ASSERT_EQ(first.get()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.Receive())), S_OK);
    for (const auto& i : interfaces) {
        SCOPED_TRACE(i.name);
        CComRef<IUnknown> answer;
        EXPECT_EQ(first.get()->QueryInterface(i.iid, reinterpret_cast<void**>(answer.Receive())), i.expected);
        if (i.expected == S_OK) {
            CComRef<IUnknown> itsIdentity;
            ASSERT_EQ(answer.get()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(itsIdentity.Receive())),
                      S_OK);
            EXPECT_EQ(itsIdentity.get(), identity.get());
        } else {
            EXPECT_EQ(answer.get(), nullptr);
        }
    }
    identity.reset();

    m_factory.reset();
    EXPECT_EQ(CanUnloadNow(), S_FALSE) << "two objects still live";
    first.reset();
    EXPECT_EQ(CanUnloadNow(), S_FALSE) << "one object still lives";
    second.reset();
    EXPECT_EQ(CanUnloadNow(), S_OK);
}

}  // namespace
