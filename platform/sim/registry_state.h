// registry_state.h - the simulated registry's state: both hives' keys and typed values, denials, open keys.
#ifndef QELBOOT_PLATFORM_SIM_REGISTRY_STATE_H
#define QELBOOT_PLATFORM_SIM_REGISTRY_STATE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/os.h"

namespace qel::sim {

struct RegValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
};

struct RegistryState {
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
    struct OpenKey {
        Key* key;
        std::uint32_t access;
    };

    Key* Root(os::Hive hive) { return hive == os::Hive::CurrentUser ? &currentUser : &localMachine; }
    Key* Find(os::Hive hive, const std::wstring& path);
    const Key* Find(os::Hive hive, const std::wstring& path) const {
        return const_cast<RegistryState*>(this)->Find(hive, path);
    }
    // The key behind an opened or predefined handle, and the rights it was opened with; null for neither.
    Key* Resolve(os::RegKey key, std::uint32_t* access);
    // Counts one call through the seam, and throws std::bad_alloc when it is the one scripted to.
    void CountCall();
    // A counted call on an opened key that needs `right`: the key, or null with the Windows error in `error`.
    Key* Granted(os::RegKey key, std::uint32_t right, long* error);

    Key currentUser;
    Key localMachine;
    std::map<std::uintptr_t, OpenKey> handles;
    std::uintptr_t nextHandle = 0x100;
    std::size_t calls = 0;
    std::size_t throwCountdown = 0;
};

} // namespace qel::sim

#endif // QELBOOT_PLATFORM_SIM_REGISTRY_STATE_H
