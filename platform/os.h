// os.h - the operating-system services the library uses, and nothing else.
//
// Everything above this seam is portable. Two implementations sit below it: platform/win32 (each function
// is about one Win32 call) and platform/sim (a deterministic simulated machine for tests). Functions return
// Win32 error codes and leave out-parameters untouched on failure, exactly as the calls they stand for.
#ifndef QELBOOT_PLATFORM_OS_H
#define QELBOOT_PLATFORM_OS_H

#include <cstdint>
#include <string>

namespace qel::os {

// Win32 error codes the library and its tests look at.
inline constexpr long kSuccess = 0;
inline constexpr long kFileNotFound = 2;
inline constexpr long kAccessDenied = 5;
inline constexpr long kInvalidHandle = 6;
inline constexpr long kMoreData = 234;
inline constexpr long kNoMoreItems = 259;

// Registry value types.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

// Registry access rights.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyWrite = 0x20006;

enum class Hive { CurrentUser, LocalMachine };

// An open registry key (HKEY). The zero value is no key.
enum class RegKey : std::uintptr_t {};
inline constexpr RegKey kNoKey{};

// The predefined key of a hive; it needs no closing.
RegKey HiveRoot(Hive hive);

// RegOpenKeyExW(parent, subkey, 0, access, out)
long OpenRegKey(RegKey parent, const wchar_t* subkey, std::uint32_t access, RegKey* out);

// RegCreateKeyExW(parent, subkey, 0, no class, REG_OPTION_NON_VOLATILE, access, no security, out, no disposition)
long CreateRegKey(RegKey parent, const wchar_t* subkey, std::uint32_t access, RegKey* out);

long CloseRegKey(RegKey key);

// RegQueryValueExW(key, name, 0, type, data, size). `type` and `data` may be null; `size` is in bytes,
// in/out, and may be null only when `data` is.
long QueryRegValue(RegKey key, const wchar_t* name, std::uint32_t* type, std::uint8_t* data,
                   std::uint32_t* size);

// RegSetValueExW(key, name, 0, type, data, size)
long SetRegValue(RegKey key, const wchar_t* name, std::uint32_t type, const std::uint8_t* data,
                 std::uint32_t size);

long DeleteRegValue(RegKey key, const wchar_t* name);

// RegEnumKeyExW(key, index, name, capacity, 0, no class, no class size, last-write time ignored).
// `capacity` is in characters, the terminator included; on success it receives the name's length.
long EnumRegKey(RegKey key, std::uint32_t index, wchar_t* name, std::uint32_t* capacity);

// PathFileExistsW(path)
bool FileExists(const std::wstring& path);

// OutputDebugStringW(line)
void DebugOutput(const std::wstring& line);

} // namespace qel::os

#endif // QELBOOT_PLATFORM_OS_H
