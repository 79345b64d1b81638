// sample_plugin.cpp - a sample .mox plug-in standing for a phone manager, built only from qelboot_mox.h and
// <windows.h>. MOX_SAMPLE_NAME (a narrow string literal) and MOX_SAMPLE_ID (0-255, the identifier's last
// byte) choose its name and identifier, so that one source gives several plug-ins. A copy whose file name
// ends in a number (phone17.mox) takes that number, modulo 256, as its identifier's last byte instead: many
// plug-ins from one file, for benchmarks.
//
// How a person drives it: put it in a host's ".\moxplugins" folder (as nokiamanager.mox it is the gate
// plug-in). Once the host has called Advise, the plug-in looks every 50 ms into the folder named like its own
// file plus ".events" (for example "moxplugins\nokiamanager.mox.events", which it creates). Each file
// appearing there holds one ASCII line "CLASS STATE IDENTIFIER", such as "2 1 phone-0001" for a phone
// connecting: the plug-in deletes the file and reports the device to the host. Write the file elsewhere and
// move it in, so that it is never read half-written. Benchmarks call the export MoxSampleRaise, which reports
// at once.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "qelboot_mox.h"

namespace {

DWORD WINAPI Watch(void* stop);

std::wstring OwnPath() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&Watch), &module);
    wchar_t path[MAX_PATH];
    return std::wstring(path, ::GetModuleFileNameW(module, path, MAX_PATH));
}

std::uint8_t IdLastByte() {
    const std::wstring path = OwnPath();
    std::size_t at = path.size() >= 4 ? path.size() - 4 : 0; // before ".mox"
    unsigned number = 0, scale = 1;
    bool numbered = false;
    for (; at > 0 && path[at - 1] >= L'0' && path[at - 1] <= L'9'; --at, scale = scale * 10 % 256) {
        number = (number + static_cast<unsigned>(path[at - 1] - L'0') * scale) % 256;
        numbered = true;
    }
    return static_cast<std::uint8_t>(numbered ? number : MOX_SAMPLE_ID);
}

// One object per module: the host may load the module several times and ask for it each time.
class SamplePlugin final : public IMOXPlugin, public IMOXSource, public IMOXCapability {
public:
    SamplePlugin() { ::InitializeCriticalSection(&lock_); }

    std::int32_t MOXAPI QueryInterface(std::int32_t number, void** out) override {
        if (!out)
            return 0;
        *out = nullptr;
        if (number == MOXPluginInterfaceNumber)
            *out = static_cast<IMOXPlugin*>(this);
        else if (number == MOXSourceInterfaceNumber)
            *out = static_cast<IMOXSource*>(this);
        else if (number == MOXCapabilityInterfaceNumber)
            *out = static_cast<IMOXCapability*>(this);
        if (*out)
            AddRef();
        return *out ? 1 : 0;
    }
    // The object lives as long as the module: the count is kept for the contract's sake only.
    std::uint32_t MOXAPI AddRef() override { return ::InterlockedIncrement(&count_); }
    std::uint32_t MOXAPI Release() override { return ::InterlockedDecrement(&count_); }

    FxStatus MOXAPI GetName(char16_t* buffer, std::int32_t maxChars) override {
        if (!buffer || maxChars < 0)
            return FxInvalid;
        const std::u16string name = u"" MOX_SAMPLE_NAME;
        buffer[name.copy(buffer, static_cast<std::size_t>(maxChars))] = u'\0';
        return FxOk;
    }
    std::uint32_t MOXAPI GetKind() override { return 4; }
    FxStatus MOXAPI GetId(MOXGuid* id) override {
        *id = MOXGuid{0x5A3E0D00, 0x7C21, 0x4B6A, {0x9E, 0x10, 0x2F, 0x6D, 0x51, 0xC3, 0x88, IdLastByte()}};
        return FxOk;
    }
    FxStatus MOXAPI OnLoad() override { return FxOk; }
    FxStatus MOXAPI OnUnload() override { return FxOk; }

    FxStatus MOXAPI Open() override { return FxOk; }
    FxStatus MOXAPI Reserved1() override { return FxFailed; }
    FxStatus MOXAPI Reserved2() override { return FxFailed; }
    FxStatus MOXAPI Advise(ICallbackInterface* callback, std::uint32_t) override {
        if (!callback)
            return FxInvalid;
        callback->AddRef();
        ::EnterCriticalSection(&lock_);
        callbacks_.push_back(callback);
        if (!watcher_) {
            stop_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
            watcher_ = ::CreateThread(nullptr, 0, &Watch, stop_, 0, nullptr);
        }
        ::LeaveCriticalSection(&lock_);
        return FxOk;
    }
    FxStatus MOXAPI Unadvise(ICallbackInterface* callback) override {
        ::EnterCriticalSection(&lock_);
        const auto it = std::find(callbacks_.begin(), callbacks_.end(), callback);
        const bool found = it != callbacks_.end();
        if (found)
            callbacks_.erase(it);
        const bool last = callbacks_.empty();
        const HANDLE watcher = last ? std::exchange(watcher_, nullptr) : nullptr;
        const HANDLE stop = last ? std::exchange(stop_, nullptr) : nullptr;
        ::LeaveCriticalSection(&lock_);
        // The watcher takes the lock to report, so it is awaited only after the lock is left.
        if (watcher) {
            ::SetEvent(stop);
            ::WaitForSingleObject(watcher, INFINITE);
            ::CloseHandle(watcher);
            ::CloseHandle(stop);
        }
        if (found)
            callback->Release();
        return found ? FxOk : FxInvalid;
    }

    FxStatus MOXAPI Reserved() override { return FxFailed; }
    FxStatus MOXAPI GetCapability(std::uint32_t* flag) override {
        *flag = MOXTrackArrivals;
        return FxOk;
    }

    // Calls every advised callback with one event; the number called.
    std::uint32_t Raise(std::uint32_t deviceClass, std::uint32_t state, const std::u16string& id) {
        MOXDeviceEvent event{};
        event.version = MOXDeviceEventVersion;
        event.size = sizeof event;
        id.copy(event.deviceId, MOXNameChars - 1);
        event.deviceClass = deviceClass;
        event.state = state;
        // Called outside the lock, each with a reference of its own, so that an Unadvise meanwhile frees
        // nothing in use and a host's OnEvent may call Advise.
        ::EnterCriticalSection(&lock_);
        const std::vector<ICallbackInterface*> callbacks = callbacks_;
        for (ICallbackInterface* callback : callbacks)
            callback->AddRef();
        ::LeaveCriticalSection(&lock_);
        for (ICallbackInterface* callback : callbacks) {
            callback->OnEvent(0, &event);
            callback->Release();
        }
        return static_cast<std::uint32_t>(callbacks.size());
    }

private:
    LONG count_ = 0;
    CRITICAL_SECTION lock_;
    std::vector<ICallbackInterface*> callbacks_;
    HANDLE watcher_ = nullptr;
    HANDLE stop_ = nullptr;
};

SamplePlugin plugin;

// A file still open elsewhere is read at a later look; one that cannot be deleted is not reported, so that
// no event is reported twice.
void RaiseFromFile(const std::wstring& file) {
    const HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return;
    char text[512] = {};
    DWORD read = 0;
    ::ReadFile(handle, text, sizeof text - 1, &read, nullptr);
    ::CloseHandle(handle);
    unsigned deviceClass = 0, state = 0;
    char id[MOXNameChars] = {};
    const bool parsed = std::sscanf(text, "%u %u %259s", &deviceClass, &state, id) == 3;
    if (::DeleteFileW(file.c_str()) && parsed)
        plugin.Raise(deviceClass, state, std::u16string(id, id + std::char_traits<char>::length(id)));
}

DWORD WINAPI Watch(void* stop) {
    const std::wstring folder = OwnPath() + L".events";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    while (::WaitForSingleObject(stop, 50) == WAIT_TIMEOUT) {
        WIN32_FIND_DATAW found;
        const HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE)
            continue;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                RaiseFromFile(folder + L"\\" + found.cFileName);
        } while (::FindNextFileW(find, &found));
        ::FindClose(find);
    }
    return 0;
}

} // namespace

extern "C" FxStatus MOXAPI FxPluginMain(IFxBase** root) {
    if (!root)
        return FxInvalid;
    *root = static_cast<IMOXPlugin*>(&plugin);
    plugin.AddRef();
    return FxOk;
}

extern "C" std::uint32_t MOXAPI MoxSampleRaise(std::uint32_t deviceClass, std::uint32_t state,
                                               const wchar_t* id) {
    // wchar_t is UTF-16 on Windows, as char16_t.
    return plugin.Raise(deviceClass, state, id ? reinterpret_cast<const char16_t*>(id) : u"");
}
