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

static_assert(kSuccess == ERROR_SUCCESS && kFileNotFound == ERROR_FILE_NOT_FOUND &&
              kAccessDenied == ERROR_ACCESS_DENIED && kInvalidHandle == ERROR_INVALID_HANDLE &&
              kMoreData == ERROR_MORE_DATA && kNoMoreItems == ERROR_NO_MORE_ITEMS);
static_assert(kRegSz == REG_SZ && kRegBinary == REG_BINARY && kRegDword == REG_DWORD);
static_assert(kKeyQueryValue == KEY_QUERY_VALUE && kKeySetValue == KEY_SET_VALUE &&
              kKeyCreateSubKey == KEY_CREATE_SUB_KEY && kKeyEnumerateSubKeys == KEY_ENUMERATE_SUB_KEYS &&
              kKeyRead == KEY_READ && kKeyWrite == KEY_WRITE && kKeyAllAccess == KEY_ALL_ACCESS);
static_assert(kProcessAllAccess == PROCESS_ALL_ACCESS && kWmQuit == WM_QUIT && kWmClose == WM_CLOSE);
static_assert(kPathNotFound == ERROR_PATH_NOT_FOUND && kNoMoreFiles == ERROR_NO_MORE_FILES &&
              kNotReady == ERROR_NOT_READY);
static_assert(kWmDeviceChange == WM_DEVICECHANGE && kDbtDevNodesChanged == DBT_DEVNODES_CHANGED &&
              kDbtDeviceArrival == DBT_DEVICEARRIVAL &&
              kDbtDeviceRemoveComplete == DBT_DEVICEREMOVECOMPLETE && kWsPopup == WS_POPUP);
static_assert(kSemFailCriticalErrors == SEM_FAILCRITICALERRORS);
static_assert(kDriveUnknown == DRIVE_UNKNOWN && kDriveNoRootDir == DRIVE_NO_ROOT_DIR &&
              kDriveRemovable == DRIVE_REMOVABLE && kDriveFixed == DRIVE_FIXED &&
              kDriveRemote == DRIVE_REMOTE && kDriveCdrom == DRIVE_CDROM && kDriveRamdisk == DRIVE_RAMDISK);

} // namespace qel::os

#endif // QELBOOT_PLATFORM_WIN32_WINDOWS_API_H
