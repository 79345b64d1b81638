// registry.cpp - the simulated registry: setting it up, inspecting it, and the seam's registry calls.
#include <cstring>
#include <new>

#include "platform/sim/machine.h"
#include "platform/utf16.h"

namespace qel::sim {
namespace {

// Predefined hive handles carry the values Windows gives them, so they never collide with opened keys.
constexpr std::uintptr_t kCurrentUserHandle = 0x80000001;
constexpr std::uintptr_t kLocalMachineHandle = 0x80000002;

constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegMultiSz = 7;
constexpr std::uint32_t kReadRights = os::kKeyQueryValue | os::kKeyEnumerateSubKeys;
constexpr std::uint32_t kWriteRights = os::kKeySetValue | os::kKeyCreateSubKey;

using Key = RegistryState::Key;

} // namespace

RegistryState::Key* RegistryState::Find(os::Hive hive, const std::wstring& path) {
    Key* key = Root(hive);
    for (const auto& part : SplitPath(path)) {
        const auto child = key->children.find(FoldCase(part));
        if (child == key->children.end())
            return nullptr;
        key = child->second.get();
    }
    return key;
}

void RegistryState::CountCall() {
    ++calls;
    if (throwCountdown != 0 && --throwCountdown == 0)
        throw std::bad_alloc();
}

RegistryState::Key* RegistryState::Granted(os::RegKey key, std::uint32_t right, long* error) {
    CountCall();
    *error = os::kSuccess;
    std::uint32_t access = 0;
    Key* found = Resolve(key, &access);
    if (!found)
        *error = os::kInvalidHandle;
    else if (!(access & right))
        *error = os::kAccessDenied;
    return *error == os::kSuccess ? found : nullptr;
}

RegistryState::Key* RegistryState::Resolve(os::RegKey key, std::uint32_t* access) {
    const auto raw = static_cast<std::uintptr_t>(key);
    if (raw == kCurrentUserHandle || raw == kLocalMachineHandle) {
        const auto hive = raw == kCurrentUserHandle ? os::Hive::CurrentUser : os::Hive::LocalMachine;
        Key* root = Root(hive);
        // The predefined keys are opened with every right the user has on the hive.
        *access = (root->denyRead ? 0 : kReadRights) | (root->denyWrite ? 0 : kWriteRights);
        return root;
    }
    const auto handle = handles.find(raw);
    if (handle == handles.end())
        return nullptr;
    *access = handle->second.access;
    return handle->second.key;
}

void Machine::CreateKey(os::Hive hive, const std::wstring& path) {
    Key* key = registry_.Root(hive);
    for (const auto& part : SplitPath(path)) {
        auto& child = key->children[FoldCase(part)];
        if (!child) {
            child = std::make_unique<Key>();
            child->name = part;
            key->enumAt = key->children.end();
        }
        key = child.get();
    }
}

void Machine::SetValue(os::Hive hive, const std::wstring& path, const std::wstring& name, std::uint32_t type,
                       std::vector<std::uint8_t> bytes) {
    CreateKey(hive, path);
    registry_.Find(hive, path)->values[FoldCase(name)] = {name, RegValue{type, std::move(bytes)}};
}

void Machine::SetString(os::Hive hive, const std::wstring& path, const std::wstring& name,
                        const std::wstring& text) {
    SetValue(hive, path, name, os::kRegSz, os::Utf16LeBytes(text, true));
}

void Machine::SetUnterminatedString(os::Hive hive, const std::wstring& path, const std::wstring& name,
                                    const std::wstring& text) {
    SetValue(hive, path, name, os::kRegSz, os::Utf16LeBytes(text, false));
}

void Machine::SetDword(os::Hive hive, const std::wstring& path, const std::wstring& name,
                       std::uint32_t value) {
    std::vector<std::uint8_t> bytes(4);
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    SetValue(hive, path, name, os::kRegDword, std::move(bytes));
}

void Machine::DenyRead(os::Hive hive, const std::wstring& path) {
    CreateKey(hive, path);
    registry_.Find(hive, path)->denyRead = true;
}

void Machine::DenyWrite(os::Hive hive, const std::wstring& path) {
    CreateKey(hive, path);
    registry_.Find(hive, path)->denyWrite = true;
}

bool Machine::KeyExists(os::Hive hive, const std::wstring& path) const {
    return registry_.Find(hive, path) != nullptr;
}

std::optional<RegValue> Machine::GetValue(os::Hive hive, const std::wstring& path,
                                          const std::wstring& name) const {
    const Key* key = registry_.Find(hive, path);
    if (!key)
        return std::nullopt;
    const auto value = key->values.find(FoldCase(name));
    if (value == key->values.end())
        return std::nullopt;
    return value->second.second;
}

std::optional<std::uint32_t> Machine::GetDword(os::Hive hive, const std::wstring& path,
                                               const std::wstring& name) const {
    const auto value = GetValue(hive, path, name);
    if (!value || value->bytes.size() != 4)
        return std::nullopt;
    std::uint32_t result = 0;
    for (int i = 0; i < 4; ++i)
        result |= static_cast<std::uint32_t>(value->bytes[i]) << (8 * i);
    return result;
}

long Machine::Open(os::RegKey parent, const wchar_t* subkey, std::uint32_t access, os::RegKey* out,
                   bool create) {
    registry_.CountCall();
    std::uint32_t parentAccess = 0;
    Key* key = registry_.Resolve(parent, &parentAccess);
    if (!key)
        return os::kInvalidHandle;
    const Key* const start = key;
    for (const auto& part : SplitPath(subkey ? subkey : L"")) {
        auto child = key->children.find(FoldCase(part));
        if (child == key->children.end()) {
            if (!create)
                return os::kFileNotFound;
            // Windows asks for the right to create subkeys on the handle it is given, then the key's own.
            if (key->denyWrite || (key == start && !(parentAccess & os::kKeyCreateSubKey)))
                return os::kAccessDenied;
            auto made = std::make_unique<Key>();
            made->name = part;
            child = key->children.emplace(FoldCase(part), std::move(made)).first;
            key->enumAt = key->children.end();
        }
        key = child->second.get();
    }
    if (((access & kReadRights) && key->denyRead) || ((access & kWriteRights) && key->denyWrite))
        return os::kAccessDenied;
    const auto raw = registry_.nextHandle;
    registry_.nextHandle += 4;
    registry_.handles[raw] = RegistryState::OpenKey{key, access};
    *out = static_cast<os::RegKey>(raw);
    return os::kSuccess;
}

long Machine::Close(os::RegKey key) {
    const auto raw = static_cast<std::uintptr_t>(key);
    if (raw == kCurrentUserHandle || raw == kLocalMachineHandle)
        return os::kSuccess;
    return registry_.handles.erase(raw) ? os::kSuccess : os::kInvalidHandle;
}

long Machine::Query(os::RegKey key, const wchar_t* name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) {
    long error = os::kSuccess;
    Key* found = registry_.Granted(key, os::kKeyQueryValue, &error);
    if (!found)
        return error;
    const auto value = found->values.find(FoldCase(name ? name : L""));
    if (value == found->values.end())
        return os::kFileNotFound;
    const auto& bytes = value->second.second.bytes;
    const auto needed = static_cast<std::uint32_t>(bytes.size());
    if (data) {
        if (*size < needed) {
            *size = needed;
            if (type)
                *type = value->second.second.type;
            return os::kMoreData;
        }
        if (needed)
            std::memcpy(data, bytes.data(), needed);
    }
    if (type)
        *type = value->second.second.type;
    if (size)
        *size = needed;
    return os::kSuccess;
}

long Machine::Set(os::RegKey key, const wchar_t* name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) {
    long error = os::kSuccess;
    Key* found = registry_.Granted(key, os::kKeySetValue, &error);
    if (!found)
        return error;
    const std::wstring valueName = name ? name : L"";
    std::vector<std::uint8_t> bytes(data, data + size);
    // RegSetValueExW stores a text value that the caller counted without its terminator with one.
    const bool isText = type == kRegExpandSz || type == os::kRegSz || type == kRegMultiSz;
    if (isText && size >= 2 && (bytes[size - 2] || bytes[size - 1])) {
        bytes.push_back(0);
        bytes.push_back(0);
    }
    found->values[FoldCase(valueName)] = {valueName, RegValue{type, std::move(bytes)}};
    return os::kSuccess;
}

long Machine::Delete(os::RegKey key, const wchar_t* name) {
    long error = os::kSuccess;
    Key* found = registry_.Granted(key, os::kKeySetValue, &error);
    if (!found)
        return error;
    if (!found->values.erase(FoldCase(name ? name : L"")))
        return os::kFileNotFound;
    Echo(L"<value deleted> " + std::wstring(name ? name : L""));
    return os::kSuccess;
}

long Machine::Enum(os::RegKey key, std::uint32_t index, wchar_t* name, std::uint32_t* capacity) {
    long error = os::kSuccess;
    Key* found = registry_.Granted(key, os::kKeyEnumerateSubKeys, &error);
    if (!found)
        return error;
    if (index >= found->children.size())
        return os::kNoMoreItems;
    if (found->enumAt == found->children.end() || index < found->enumIndex) {
        found->enumAt = found->children.begin();
        found->enumIndex = 0;
    }
    for (; found->enumIndex < index; ++found->enumIndex)
        ++found->enumAt;
    const std::wstring& childName = found->enumAt->second->name;
    if (childName.size() + 1 > *capacity)
        return os::kMoreData;
    std::memcpy(name, childName.c_str(), (childName.size() + 1) * sizeof(wchar_t));
    *capacity = static_cast<std::uint32_t>(childName.size());
    return os::kSuccess;
}

} // namespace qel::sim

namespace qel::os {

RegKey HiveRoot(Hive hive) {
    return static_cast<RegKey>(hive == Hive::CurrentUser ? sim::kCurrentUserHandle
                                                         : sim::kLocalMachineHandle);
}

long OpenRegKey(RegKey parent, const wchar_t* subkey, std::uint32_t access, RegKey* out) {
    return sim::SeamFault() ? kAccessDenied
                            : sim::Machine::Current().Open(parent, subkey, access, out, false);
}

long CreateRegKey(RegKey parent, const wchar_t* subkey, std::uint32_t access, RegKey* out) {
    return sim::SeamFault() ? kAccessDenied : sim::Machine::Current().Open(parent, subkey, access, out, true);
}

long CloseRegKey(RegKey key) { return sim::Machine::Current().Close(key); }

long QueryRegValue(RegKey key, const wchar_t* name, std::uint32_t* type, std::uint8_t* data,
                   std::uint32_t* size) {
    return sim::SeamFault() ? kAccessDenied : sim::Machine::Current().Query(key, name, type, data, size);
}

long SetRegValue(RegKey key, const wchar_t* name, std::uint32_t type, const std::uint8_t* data,
                 std::uint32_t size) {
    return sim::SeamFault() ? kAccessDenied : sim::Machine::Current().Set(key, name, type, data, size);
}

long DeleteRegValue(RegKey key, const wchar_t* name) {
    return sim::SeamFault() ? kAccessDenied : sim::Machine::Current().Delete(key, name);
}

long EnumRegKey(RegKey key, std::uint32_t index, wchar_t* name, std::uint32_t* capacity) {
    return sim::SeamFault() ? kAccessDenied : sim::Machine::Current().Enum(key, index, name, capacity);
}

} // namespace qel::os
