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
// after windows.h, which it needs
#include <shlwapi.h>

#include "platform/os.h"

namespace qel::os {

inline HKEY ToHkey(RegKey key) { return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(key)); }
inline RegKey FromHkey(HKEY key) { return static_cast<RegKey>(reinterpret_cast<std::uintptr_t>(key)); }

static_assert(kSuccess == ERROR_SUCCESS && kFileNotFound == ERROR_FILE_NOT_FOUND &&
              kAccessDenied == ERROR_ACCESS_DENIED && kInvalidHandle == ERROR_INVALID_HANDLE &&
              kMoreData == ERROR_MORE_DATA && kNoMoreItems == ERROR_NO_MORE_ITEMS);
static_assert(kRegSz == REG_SZ && kRegBinary == REG_BINARY && kRegDword == REG_DWORD);
static_assert(kKeyQueryValue == KEY_QUERY_VALUE && kKeySetValue == KEY_SET_VALUE &&
              kKeyCreateSubKey == KEY_CREATE_SUB_KEY && kKeyEnumerateSubKeys == KEY_ENUMERATE_SUB_KEYS &&
              kKeyRead == KEY_READ && kKeyWrite == KEY_WRITE);

} // namespace qel::os

#endif // QELBOOT_PLATFORM_WIN32_WINDOWS_API_H
