// CInprocServer: the class factory, unload answer and registration of an in-process COM server of one class.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "framework/holders.h"

struct RegKeyTraits {
    using Handle = HKEY;
    static void Free(HKEY h) { ::RegCloseKey(h); }
};
using CRegKey = CUniqueHandle<RegKeyTraits>;

// One per module, living as long as the module: references to it as a class
// factory only keep the module loaded. The creator makes one new object and
// hands over its only reference.
class CInprocServer final : public IClassFactory {
public:
    using Creator = HRESULT (*)(IUnknown** ppObject);

    CInprocServer(REFCLSID clsid, Creator pfnCreate) : m_clsid(clsid), m_pfnCreate(pfnCreate) {}
    CInprocServer(const CInprocServer&) = delete;
    CInprocServer& operator=(const CInprocServer&) = delete;

    // Every live object holds the module, as LockServer does.
    static void Lock() { ::InterlockedIncrement(&s_nLocks); }
    static void Unlock() { ::InterlockedDecrement(&s_nLocks); }

    HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!::IsEqualCLSID(rclsid, m_clsid))
            return CLASS_E_CLASSNOTAVAILABLE;
        return QueryInterface(riid, ppv);
    }

    static HRESULT CanUnloadNow() { return s_nLocks == 0 ? S_OK : S_FALSE; }

    // Under HKLM\Software\Classes, since Wine 8 reads no HKCU classes. Only the
    // InprocServer32 key is written: a LocalServer32 beside it stays, and COM
    // prefers the in-process server when the caller allows both.
    HRESULT Register(HMODULE hModule) const
    {
        // COM reads the server's path into a MAX_PATH buffer, so a longer one would not load.
        wchar_t path[MAX_PATH];
        const DWORD nPath = ::GetModuleFileNameW(hModule, path, MAX_PATH);
        if (nPath == 0)
            return HRESULT_FROM_WIN32(::GetLastError());
        if (nPath == MAX_PATH)
            return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        InprocKey keyName(m_clsid);
        CRegKey key;
        LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyName.text, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                           key.Receive(), nullptr);
        if (status != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(status);
        status = ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                                  (nPath + 1) * sizeof(wchar_t));
        if (status != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(status);
        static const wchar_t kBoth[] = L"Both";
        status = ::RegSetValueExW(key.get(), L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(kBoth),
                                  sizeof kBoth);
        return HRESULT_FROM_WIN32(status);
    }

    HRESULT Unregister() const
    {
        const LSTATUS status = ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, InprocKey(m_clsid).text);
        return status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!::IsEqualIID(riid, IID_IUnknown) && !::IsEqualIID(riid, IID_IClassFactory))
            return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&s_nLocks)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(::InterlockedDecrement(&s_nLocks)); }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (pOuter)
            return CLASS_E_NOAGGREGATION;
        CComRef<IUnknown> object;
        const HRESULT hr = m_pfnCreate(object.Receive());
        if (FAILED(hr))
            return hr;
        return object.get()->QueryInterface(riid, ppv);
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL bLock) override
    {
        if (bLock)
            Lock();
        else
            Unlock();
        return S_OK;
    }

private:
    struct InprocKey {
        explicit InprocKey(REFCLSID clsid)
        {
            wchar_t guid[39];
            ::StringFromGUID2(clsid, guid, ARRAYSIZE(guid));
            ::wsprintfW(text, L"Software\\Classes\\CLSID\\%s\\InprocServer32", guid);
        }
        wchar_t text[80];
    };

    static inline LONG s_nLocks = 0;

    const CLSID m_clsid;
    const Creator m_pfnCreate;
};

// The class a server DLL serves, defined once in each; inproc_exports.cpp
// gives COM and regsvr32 their way to it.
extern CInprocServer g_server;
