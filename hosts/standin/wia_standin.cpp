// wia_standin.cpp - a stand-in WIA device manager for tests, wiadevmgr.exe: a COM local server for
// CLSID_WiaDevMgr, which a test makes COM start in place of the system's WIA service (the class's
// LocalServer32). Wine's own service answers E_NOTIMPL to event registration, so without this a program's
// WIA tracker never gets as far as an event on real COM.
//
// Each callback registered for WIA_EVENT_DEVICE_CONNECTED receives one such event, raised from this
// program's message loop once the registration has returned, as the service would raise it when a camera
// comes. The local device list is always empty: Wine's proxy for IWiaPropertyStorage cannot carry
// ReadMultiple, so a listed device would end the program asking about it.
//
// Each call is appended to "wia-calls.txt" beside the program as "METHOD HRESULT" (hexadecimal), with what
// was asked for in between where it matters: "RegisterEventCallbackInterface DeviceConnected 0",
// "EnumDeviceInfo local 0", "Reset 0", "Next 1", and "ImageEventCallback 0" for the callback's own answer,
// so that a test can tell how far a program has got.
//
// The program ends a few seconds after its last event, or a minute after it started when no event was
// raised, rather than when its objects are released: a WIA tracker holds them until its process is ended,
// and a test must not leave the program behind.
#include <initguid.h>
#include <sti.h>
#include <wia.h>
#include <windows.h>
// It needs what windows.h declares.
#include <devguid.h>

#include <fstream>
#include <new>
#include <string>

#include "hosts/standin/beside_this_dll.h"
#include "hosts/standin/com_object.h"

namespace {

constexpr UINT kRaiseEvent = WM_APP;
constexpr UINT kLingerAfterEventMs = 5000;
constexpr UINT kWaitForClientMs = 60000;

DWORD loopThread = 0;

void Record(const std::string& call, HRESULT result) {
    std::ofstream(FileBesideThisDll(L"wia-calls.txt").c_str(), std::ios::app)
        << call << ' ' << std::hex << static_cast<unsigned long>(result) << '\n';
}

class EmptyDeviceList final : public Object<IEnumWIA_DEV_INFO> {
public:
    EmptyDeviceList() : Object(IID_IEnumWIA_DEV_INFO) {}
    STDMETHODIMP Next(ULONG, IWiaPropertyStorage**, ULONG* fetched) override {
        if (fetched)
            *fetched = 0;
        Record("Next", S_FALSE);
        return S_FALSE;
    }
    STDMETHODIMP Skip(ULONG) override { return S_FALSE; }
    STDMETHODIMP Reset() override {
        Record("Reset", S_OK);
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumWIA_DEV_INFO**) override { return E_NOTIMPL; }
    STDMETHODIMP GetCount(ULONG* count) override {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
};

// What RegisterEventCallbackInterface hands back: the client ends its registration by releasing it.
class Registration final : public Object<IUnknown> {
public:
    explicit Registration(IWiaEventCallback* callback) : Object(IID_IUnknown), callback_(callback) {
        callback_->AddRef();
    }
    ~Registration() override { callback_->Release(); }

    void RaiseDeviceConnected() {
        const BSTR description = ::SysAllocString(WIA_EVENT_DEVICE_CONNECTED_STR);
        // The first imaging device, named as Windows names device instances.
        wchar_t imageClass[40];
        ::StringFromGUID2(GUID_DEVCLASS_IMAGE, imageClass, 40);
        const BSTR deviceId = ::SysAllocString((std::wstring(imageClass) + L"\\0000").c_str());
        const BSTR deviceName = ::SysAllocString(L"Sample Camera");
        const BSTR noItem = ::SysAllocString(L"");
        ULONG eventType = WIA_NOTIFICATION_EVENT;
        const HRESULT result =
            callback_->ImageEventCallback(&WIA_EVENT_DEVICE_CONNECTED, description, deviceId, deviceName,
                                          MAKELONG(0, StiDeviceTypeDigitalCamera), noItem, &eventType, 0);
        for (BSTR text : {description, deviceId, deviceName, noItem})
            ::SysFreeString(text);
        Record("ImageEventCallback", result);
    }

private:
    IWiaEventCallback* callback_;
};

class DeviceManager final : public Object<IWiaDevMgr> {
public:
    DeviceManager() : Object(IID_IWiaDevMgr) {}

    STDMETHODIMP EnumDeviceInfo(LONG flags, IEnumWIA_DEV_INFO** list) override {
        HRESULT result = E_POINTER;
        if (list) {
            *list = new (std::nothrow) EmptyDeviceList;
            result = *list ? S_OK : E_OUTOFMEMORY;
        }
        Record(std::string("EnumDeviceInfo ") +
                   (flags == WIA_DEVINFO_ENUM_LOCAL ? "local" : std::to_string(flags)),
               result);
        return result;
    }

    STDMETHODIMP RegisterEventCallbackInterface(LONG, BSTR, const GUID* event, IWiaEventCallback* callback,
                                                IUnknown** registered) override {
        const bool connected = event && IsEqualGUID(*event, WIA_EVENT_DEVICE_CONNECTED);
        HRESULT result = E_INVALIDARG;
        if (event && callback && registered) {
            auto* registration = new (std::nothrow) Registration(callback);
            result = registration ? S_OK : E_OUTOFMEMORY;
            *registered = registration;
            // The client takes its calls only from its own message loop, once this call has returned.
            if (registration && connected) {
                registration->AddRef();
                ::PostThreadMessageW(loopThread, kRaiseEvent, 0, reinterpret_cast<LPARAM>(registration));
            }
        }
        Record(std::string("RegisterEventCallbackInterface ") +
                   (connected ? "DeviceConnected" : "OtherEvent"),
               result);
        return result;
    }

    STDMETHODIMP CreateDevice(BSTR, IWiaItem**) override { return E_NOTIMPL; }
    STDMETHODIMP SelectDeviceDlg(HWND, LONG, LONG, BSTR*, IWiaItem**) override { return E_NOTIMPL; }
    STDMETHODIMP SelectDeviceDlgID(HWND, LONG, LONG, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetImageDlg(HWND, LONG, LONG, LONG, IWiaItem*, BSTR, GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP RegisterEventCallbackProgram(LONG, BSTR, const GUID*, BSTR, BSTR, BSTR, BSTR) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP RegisterEventCallbackCLSID(LONG, BSTR, const GUID*, const GUID*, BSTR, BSTR, BSTR) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP AddDeviceDlg(HWND, LONG) override { return E_NOTIMPL; }
};

// One for the program's life: COM holds it from registration to revocation.
class Factory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* manager = new (std::nothrow) DeviceManager;
        if (!manager)
            return E_OUTOFMEMORY;
        const HRESULT result = manager->QueryInterface(iid, out);
        manager->Release();
        return result;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

} // namespace

int main() {
    // A single-threaded apartment: COM brings the client's calls in through the message loop below, and
    // the client's callback is called from the same thread.
    if (FAILED(::CoInitialize(nullptr)))
        return 1;
    loopThread = ::GetCurrentThreadId();
    static Factory factory;
    DWORD cookie = 0;
    if (FAILED(::CoRegisterClassObject(CLSID_WiaDevMgr, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                       &cookie))) {
        ::CoUninitialize();
        return 1;
    }
    UINT_PTR endTimer = ::SetTimer(nullptr, 0, kWaitForClientMs, nullptr);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == nullptr && message.message == WM_TIMER && message.wParam == endTimer)
            break;
        if (message.hwnd == nullptr && message.message == kRaiseEvent) {
            auto* registration = reinterpret_cast<Registration*>(message.lParam);
            registration->RaiseDeviceConnected();
            registration->Release();
            endTimer = ::SetTimer(nullptr, endTimer, kLingerAfterEventMs, nullptr);
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    ::CoRevokeClassObject(cookie);
    ::CoUninitialize();
    return 0;
}
