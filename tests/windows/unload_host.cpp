// unload_host.exe - a host that knows the library only as a file beside it: it loads qelboot.dll, finds the
// service's two functions by the names the DLL exports them under, registers its callback, starts the service
// and frees the library again at once. Then it shows a hidden window titled "Qelboot Unload Host", so that a
// test knows the library has been freed, and waits up to 30 s for one device, which it prints.
//
// Exit code 0 after a device; 2 when none came; 3 when the library or one of its functions is missing.
#include <cstdio>
#include <string>

#include "platform/win32/windows_api.h"
#include "qelboot.h"

namespace {

HANDLE deviceCame = nullptr;

void OnDeviceConnect(std::wstring& devType, std::wstring& devId) {
    std::printf("unload_host: device %ls %ls\n", devType.c_str(), devId.c_str());
    std::fflush(stdout);
    ::SetEvent(deviceCame);
}

template <typename Function> Function Find(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

} // namespace

int main() {
    deviceCame = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HMODULE library = ::LoadLibraryW(L"qelboot.dll");
    const auto registerCallback = Find<void (*)(DeviceConnectCallback)>(
        library,
        "_Z29RegisterDeviceConnectCallbackPFvRNSt7__cxx1112basic_stringIwSt11char_traitsIwESaIwEEES5_E");
    const auto startService = Find<void (*)()>(library, "_Z25StartDeviceConnectServicev");
    if (!registerCallback || !startService) {
        std::printf("unload_host: the library or its functions are missing\n");
        return 3;
    }
    registerCallback(&OnDeviceConnect);
    startService();
    std::printf("unload_host: library %s\n", ::FreeLibrary(library) ? "freed" : "not freed");
    std::fflush(stdout);
    ::CreateWindowExW(0, L"STATIC", L"Qelboot Unload Host", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                      nullptr);
    if (::WaitForSingleObject(deviceCame, 30000) == WAIT_OBJECT_0)
        return 0;
    std::printf("unload_host: no device\n");
    return 2;
}
