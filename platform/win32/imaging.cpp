// imaging.cpp - COM, the WIA device manager, the Still Image service and the ANSI code page: the calls the
// imaging trackers make, and the COM object that carries WIA's events to the library's receiver.
#include "platform/win32/windows_api.h"
// Defines the WIA and STI identifiers in this file: mingw-w64 has no import library for them.
#include <initguid.h>
#include <objbase.h>
#include <sti.h>
#include <wia.h>

#include <atomic>
#include <cstring>
#include <new>

namespace qel::os {
namespace {

static_assert(sizeof(Guid) == sizeof(GUID));

Guid FromNativeGuid(const GUID& guid) {
    Guid result;
    std::memcpy(&result, &guid, sizeof result);
    return result;
}

template <typename Interface> Interface* ToInterface(ComObject object) {
    return reinterpret_cast<Interface*>(static_cast<std::uintptr_t>(object));
}
ComObject FromInterface(IUnknown* object) {
    return static_cast<ComObject>(reinterpret_cast<std::uintptr_t>(object));
}

// The COM face of the library's receiver. COM may hold it after the registration has gone (a proxy's stub is
// released when the apartment says so), so it lives by its own count, starting with the registration's
// reference; the receiver's count follows it.
class EventCallback final : public IWiaEventCallback {
public:
    explicit EventCallback(WiaEventSink* sink) : sink_(sink) { sink_->AddRef(); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        void* answer = nullptr;
        const HRESULT result = sink_->QueryInterface(FromNativeGuid(iid), &answer);
        if (result != S_OK) {
            *out = nullptr;
            return result;
        }
        sink_->Release(); // the reference the receiver added is this object's to count
        AddRef();
        *out = static_cast<IWiaEventCallback*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        sink_->AddRef();
        return static_cast<ULONG>(++references_);
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = --references_;
        sink_->Release();
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE ImageEventCallback(const GUID* event, BSTR, BSTR deviceId, BSTR, DWORD, BSTR,
                                                 ULONG*, ULONG) override {
        return sink_->ImageEventCallback(event ? FromNativeGuid(*event) : Guid{}, deviceId);
    }

private:
    WiaEventSink* sink_;
    std::atomic<LONG> references_{1};
};

// The registration object WIA hands back, with the callback object made for it, released together.
class Registration final : public IUnknown {
public:
    Registration(IUnknown* registration, EventCallback* callback)
        : registration_(registration), callback_(callback) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override {
        registration_->Release();
        callback_->Release();
        delete this;
        return 0;
    }

private:
    IUnknown* registration_;
    EventCallback* callback_;
};

} // namespace

long ComInitialize() { return ::CoInitialize(nullptr); }

void ComUninitialize() { ::CoUninitialize(); }

void ReleaseComObject(ComObject object) { ToInterface<IUnknown>(object)->Release(); }

long CreateWiaDeviceManager(ComObject* manager) {
    IWiaDevMgr* created = nullptr;
    const HRESULT result = ::CoCreateInstance(CLSID_WiaDevMgr, nullptr, CLSCTX_LOCAL_SERVER, IID_IWiaDevMgr,
                                              reinterpret_cast<void**>(&created));
    if (result == S_OK)
        *manager = FromInterface(created);
    return result;
}

long RegisterWiaEvent(ComObject manager, const Guid& event, WiaEventSink* sink, ComObject* registration) {
    auto* callback = new (std::nothrow) EventCallback(sink);
    if (!callback)
        return E_OUTOFMEMORY;
    GUID nativeEvent;
    std::memcpy(&nativeEvent, &event, sizeof nativeEvent);
    IUnknown* registered = nullptr;
    const HRESULT result = ToInterface<IWiaDevMgr>(manager)->RegisterEventCallbackInterface(
        0, nullptr, &nativeEvent, callback, &registered);
    if (result != S_OK || !registered) {
        if (registered)
            registered->Release();
        callback->Release();
        return result == S_OK ? E_FAIL : result;
    }
    auto* held = new (std::nothrow) Registration(registered, callback);
    if (!held) {
        registered->Release();
        callback->Release();
        return E_OUTOFMEMORY;
    }
    *registration = FromInterface(held);
    return S_OK;
}

long EnumWiaDevices(ComObject manager, ComObject* enumerator) {
    IEnumWIA_DEV_INFO* devices = nullptr;
    const HRESULT result = ToInterface<IWiaDevMgr>(manager)->EnumDeviceInfo(WIA_DEVINFO_ENUM_LOCAL, &devices);
    if (SUCCEEDED(result))
        *enumerator = FromInterface(devices);
    return result;
}

long ResetWiaDevices(ComObject enumerator) { return ToInterface<IEnumWIA_DEV_INFO>(enumerator)->Reset(); }

long NextWiaDevice(ComObject enumerator, ComObject* storage) {
    IWiaPropertyStorage* next = nullptr;
    ULONG fetched = 0;
    const HRESULT result = ToInterface<IEnumWIA_DEV_INFO>(enumerator)->Next(1, &next, &fetched);
    if (result == S_OK && next) {
        *storage = FromInterface(next);
        return S_OK;
    }
    if (next)
        next->Release();
    // A device list that answers S_OK and hands out nothing has nothing more to hand out.
    return result == S_OK ? S_FALSE : result;
}

long ReadWiaDeviceProperties(ComObject storage, WiaDeviceProperties* properties) {
    PROPSPEC specs[2] = {};
    specs[0].ulKind = PRSPEC_PROPID;
    specs[0].propid = WIA_DIP_DEV_ID;
    specs[1].ulKind = PRSPEC_PROPID;
    specs[1].propid = WIA_DIP_DEV_TYPE;
    PROPVARIANT values[2] = {};
    const HRESULT result = ToInterface<IWiaPropertyStorage>(storage)->ReadMultiple(2, specs, values);
    if (result == S_OK) {
        properties->hasId = values[0].vt == VT_BSTR && values[0].bstrVal != nullptr;
        properties->id = properties->hasId ? values[0].bstrVal : L"";
        properties->type = static_cast<std::uint32_t>(values[1].lVal);
    }
    ::FreePropVariantArray(2, values);
    return result;
}

long CreateStillImage(void* createInstance, Module instance, std::uint32_t version, ComObject* sti) {
    using Create = HRESULT(WINAPI*)(HINSTANCE, DWORD, IStillImageW**, IUnknown*);
    IStillImageW* created = nullptr;
    const HRESULT result =
        reinterpret_cast<Create>(createInstance)(ToHmodule(instance), version, &created, nullptr);
    if (result == S_OK)
        *sti = FromInterface(created);
    return result;
}

long InitializeStillImage(ComObject sti, Module instance, std::uint32_t version) {
    return ToInterface<IStillImageW>(sti)->Initialize(ToHmodule(instance), version);
}

long StillImageDevices(ComObject sti, std::vector<StiDevice>* devices) {
    DWORD count = 0;
    void* buffer = nullptr;
    const HRESULT result = ToInterface<IStillImageW>(sti)->GetDeviceList(0, 0, &count, &buffer);
    if (result == S_OK && buffer) {
        const auto* entries = static_cast<const STI_DEVICE_INFORMATIONW*>(buffer);
        for (DWORD i = 0; i < count; ++i)
            devices->push_back(StiDevice{static_cast<std::uint32_t>(entries[i].DeviceType),
                                         entries[i].szDeviceInternalName});
    }
    if (buffer)
        ::LocalFree(buffer);
    return result;
}

void* ModuleFunctionByOrdinal(Module module, std::uint16_t ordinal) {
    return reinterpret_cast<void*>(::GetProcAddress(ToHmodule(module), MAKEINTRESOURCEA(ordinal)));
}

std::wstring WidenAnsi(const char* text, std::size_t maxChars) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1)
        return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide.substr(0, maxChars);
}

} // namespace qel::os
