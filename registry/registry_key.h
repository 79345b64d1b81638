// registry_key.h - one open registry key and the few value operations the library needs.
//
// Failures never throw: every call that reaches the registry stores the Win32 code in `status`, and results
// say "none" with a null pointer, false or 0xFFFFFFFF. Callers test `status` right after construction.
#ifndef QELBOOT_REGISTRY_REGISTRY_KEY_H
#define QELBOOT_REGISTRY_REGISTRY_KEY_H

#include <cstdint>
#include <memory>
#include <string>

#include "platform/os.h"
#include "platform/unique_handles.h"

namespace qel {

class CRegistryKey {
public:
    // Subkey names are enumerated into a buffer of this many characters, the terminator included, so the
    // longest name that can be enumerated has 127 characters.
    static constexpr std::uint32_t kNameCapacity = 128;

    CRegistryKey(os::Hive hive, const wchar_t* subkey, std::uint32_t access);
    // The same, keeping `subkey` itself as `path` rather than a copy of it.
    CRegistryKey(os::Hive hive, std::wstring&& subkey, std::uint32_t access);
    ~CRegistryKey();
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    // The stored four bytes, or -1 when no key is open or the query fails (a value longer than four bytes
    // fails). The stored type is not checked.
    std::int32_t GetDWORDValue(const wchar_t* name);

    // The text in this object's buffer, valid until the next GetStringValue; null on failure. The stored type
    // is not checked; the text is always terminated.
    const wchar_t* GetStringValue(const wchar_t* name);

    void SetDWORDValue(const wchar_t* name, std::uint32_t value);
    void SetStringValue(const wchar_t* name, const wchar_t* text);
    bool DeleteValue(const wchar_t* name);

    // Creates (or opens) a subkey for writing; when `text` is given it is stored as `valueName`. The returned
    // key is the caller's to close; it is empty on failure.
    RegKeyCloser CreateSubKey(const wchar_t* subkey, const wchar_t* valueName, const wchar_t* text);

    // The name of the subkey at `index`, or null at the end, on a name of kNameCapacity characters or more,
    // or on any other failure.
    const wchar_t* EnumSubKey(std::uint32_t index);

    bool IsOpen() const { return key != os::kNoKey; }

    long status = os::kInvalidHandle;
    os::RegKey key = os::kNoKey;
    std::wstring path;
    std::uint32_t valueBufferSize = 0;
    std::unique_ptr<wchar_t[]> valueBuffer;
    std::unique_ptr<wchar_t[]> nameBuffer;
};

class CCurrentUserKey : public CRegistryKey {
public:
    CCurrentUserKey(const wchar_t* subkey, std::uint32_t access)
        : CRegistryKey(os::Hive::CurrentUser, subkey, access) {}
    CCurrentUserKey(const std::wstring& subkey, std::uint32_t access)
        : CCurrentUserKey(subkey.c_str(), access) {}
};

class CLocalMachineKey : public CRegistryKey {
public:
    CLocalMachineKey(const wchar_t* subkey, std::uint32_t access)
        : CRegistryKey(os::Hive::LocalMachine, subkey, access) {}
    CLocalMachineKey(const std::wstring& subkey, std::uint32_t access)
        : CLocalMachineKey(subkey.c_str(), access) {}
    CLocalMachineKey(std::wstring&& subkey, std::uint32_t access)
        : CRegistryKey(os::Hive::LocalMachine, std::move(subkey), access) {}
};

} // namespace qel

#endif // QELBOOT_REGISTRY_REGISTRY_KEY_H
