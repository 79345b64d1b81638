// machine.h - the simulated machine behind the seam: what tests set up and inspect.
//
// One machine is current per process; the seam functions of platform/sim act on it. Tests start each case
// with Machine::Reset() and build the registry and files they need.
#ifndef QELBOOT_PLATFORM_SIM_MACHINE_H
#define QELBOOT_PLATFORM_SIM_MACHINE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/os.h"

namespace qel::sim {

struct RegValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
};

// Key, value and path comparisons ignore case (ASCII and Latin-1 letters), as the registry's do.
std::wstring FoldCase(const std::wstring& text);

class Machine {
public:
    static Machine& Current();
    static void Reset();

    // Registry set-up. Paths are relative to the hive; missing keys on the way are created.
    void CreateKey(os::Hive hive, const std::wstring& path);
    void SetValue(os::Hive hive, const std::wstring& path, const std::wstring& name, std::uint32_t type,
                  std::vector<std::uint8_t> bytes);
    void SetString(os::Hive hive, const std::wstring& path, const std::wstring& name, const std::wstring& text);
    // REG_SZ whose stored bytes end without the terminating null.
    void SetUnterminatedString(os::Hive hive, const std::wstring& path, const std::wstring& name,
                               const std::wstring& text);
    void SetDword(os::Hive hive, const std::wstring& path, const std::wstring& name, std::uint32_t value);

    // Access rights of the user on one key (a hive root is path ""). Denied reads fail opens that ask for
    // reading; denied writes fail opens that ask for writing, creating subkeys included.
    void DenyRead(os::Hive hive, const std::wstring& path);
    void DenyWrite(os::Hive hive, const std::wstring& path);

    bool KeyExists(os::Hive hive, const std::wstring& path) const;
    std::optional<RegValue> GetValue(os::Hive hive, const std::wstring& path, const std::wstring& name) const;
    std::optional<std::uint32_t> GetDword(os::Hive hive, const std::wstring& path, const std::wstring& name) const;

    // Files; existence ignores case, and the folders of an added file exist too.
    void AddFile(const std::wstring& path);
    bool FileExists(const std::wstring& path) const;

    // Debugger output, in order.
    const std::vector<std::wstring>& DebugLines() const { return debugLines_; }

    // Keys opened through the seam and not closed yet.
    std::size_t OpenKeyCount() const { return handles_.size(); }
    // Registry calls made through the seam since the machine was reset.
    std::size_t RegistryCallCount() const { return registryCalls_; }
    // Makes the n-th registry call from now (1 = the next) throw std::bad_alloc, as memory exhaustion would
    // inside the library; 0 switches it off.
    void ThrowOnRegistryCall(std::size_t n) { throwCountdown_ = n; }

    // The seam's side, used by platform/sim's functions.
    long Open(os::RegKey parent, const wchar_t* subkey, std::uint32_t access, os::RegKey* out, bool create);
    long Close(os::RegKey key);
    long Query(os::RegKey key, const wchar_t* name, std::uint32_t* type, std::uint8_t* data, std::uint32_t* size);
    long Set(os::RegKey key, const wchar_t* name, std::uint32_t type, const std::uint8_t* data, std::uint32_t size);
    long Delete(os::RegKey key, const wchar_t* name);
    long Enum(os::RegKey key, std::uint32_t index, wchar_t* name, std::uint32_t* capacity);
    void RecordDebugLine(const std::wstring& line) { debugLines_.push_back(line); }

private:
    struct Key {
        std::wstring name;
        bool denyRead = false;
        bool denyWrite = false;
        std::map<std::wstring, std::unique_ptr<Key>> children; // by folded name: the enumeration order
        // Where the last enumeration stood, so that enumerating index after index stays linear.
        std::size_t enumIndex = 0;
        std::map<std::wstring, std::unique_ptr<Key>>::iterator enumAt = children.end();
        std::map<std::wstring, std::pair<std::wstring, RegValue>> values; // folded name -> (name, value)
    };
    struct Handle {
        Key* key;
        std::uint32_t access;
    };

    Key* Root(os::Hive hive);
    const Key* Root(os::Hive hive) const;
    Key* Find(os::Hive hive, const std::wstring& path);
    const Key* Find(os::Hive hive, const std::wstring& path) const;
    Key* Resolve(os::RegKey key, std::uint32_t* access);
    void CountCall();

    Key currentUser_;
    Key localMachine_;
    std::map<std::uintptr_t, Handle> handles_;
    std::uintptr_t nextHandle_ = 0x100;
    std::set<std::wstring> files_; // folded paths of files and folders
    std::vector<std::wstring> debugLines_;
    std::size_t registryCalls_ = 0;
    std::size_t throwCountdown_ = 0;
};

} // namespace qel::sim

#endif // QELBOOT_PLATFORM_SIM_MACHINE_H
