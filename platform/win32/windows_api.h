// windows_api.h - the one header of the project that includes <windows.h>.
#ifndef QELBOOT_PLATFORM_WIN32_WINDOWS_API_H
#define QELBOOT_PLATFORM_WIN32_WINDOWS_API_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The headers below need windows.h first.
#include <dbt.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <tlhelp32.h>
// psapi.dll's own exports rather than the K32 aliases, which kernel32 has only from Windows 7 on.
#ifndef PSAPI_VERSION
#define PSAPI_VERSION 1
#endif
#include <psapi.h>

// winbase.h turns FreeModule into FreeLibrary, which would rename the seam's function of that name.
#undef FreeModule

#include "platform/os.h"

namespace qel::os {

inline HKEY ToHkey(RegKey key) { return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(key)); }
inline RegKey FromHkey(HKEY key) { return static_cast<RegKey>(reinterpret_cast<std::uintptr_t>(key)); }
inline HANDLE ToNativeHandle(Handle handle) {
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(handle));
}
inline Handle FromNativeHandle(HANDLE handle) {
    return static_cast<Handle>(reinterpret_cast<std::uintptr_t>(handle));
}
inline HMODULE ToHmodule(Module module) {
    return reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(module));
}
inline Module FromHmodule(HMODULE module) {
    return static_cast<Module>(reinterpret_cast<std::uintptr_t>(module));
}
inline HWND ToHwnd(Window window) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window)); }
inline Window FromHwnd(HWND window) { return static_cast<Window>(reinterpret_cast<std::uintptr_t>(window)); }

// The values the core keeps for Windows are compared with the SDK's by tests/windows/sdk_values_test.cpp.

} // namespace qel::os

#endif // QELBOOT_PLATFORM_WIN32_WINDOWS_API_H
