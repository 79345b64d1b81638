// registry.cpp - the registry calls of the seam, one Win32 call each.
#include "platform/win32/windows_api.h"

namespace qel::os {

RegKey HiveRoot(Hive hive) {
    return FromHkey(hive == Hive::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE);
}

long OpenRegKey(RegKey parent, const wchar_t* subkey, std::uint32_t access, RegKey* out) {
    HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyExW(ToHkey(parent), subkey, 0, access, &opened);
    if (status == ERROR_SUCCESS)
        *out = FromHkey(opened);
    return status;
}

long CreateRegKey(RegKey parent, const wchar_t* subkey, std::uint32_t access, RegKey* out) {
    HKEY created = nullptr;
    const LONG status = ::RegCreateKeyExW(ToHkey(parent), subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                          nullptr, &created, nullptr);
    if (status == ERROR_SUCCESS)
        *out = FromHkey(created);
    return status;
}

long CloseRegKey(RegKey key) { return ::RegCloseKey(ToHkey(key)); }

long QueryRegValue(RegKey key, const wchar_t* name, std::uint32_t* type, std::uint8_t* data,
                   std::uint32_t* size) {
    DWORD storedType = 0;
    DWORD byteCount = size ? *size : 0;
    const LONG status = ::RegQueryValueExW(ToHkey(key), name, nullptr, type ? &storedType : nullptr, data,
                                           size ? &byteCount : nullptr);
    // Windows reports the needed size with ERROR_MORE_DATA too.
    if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        if (type)
            *type = storedType;
        if (size)
            *size = byteCount;
    }
    return status;
}

long SetRegValue(RegKey key, const wchar_t* name, std::uint32_t type, const std::uint8_t* data,
                 std::uint32_t size) {
    return ::RegSetValueExW(ToHkey(key), name, 0, type, data, size);
}

long DeleteRegValue(RegKey key, const wchar_t* name) { return ::RegDeleteValueW(ToHkey(key), name); }

long EnumRegKey(RegKey key, std::uint32_t index, wchar_t* name, std::uint32_t* capacity) {
    DWORD length = *capacity;
    FILETIME lastWrite;
    const LONG status =
        ::RegEnumKeyExW(ToHkey(key), index, name, &length, nullptr, nullptr, nullptr, &lastWrite);
    if (status == ERROR_SUCCESS)
        *capacity = length;
    return status;
}

} // namespace qel::os
