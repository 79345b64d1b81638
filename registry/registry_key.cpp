#include "registry/registry_key.h"

#include <algorithm>

#include "platform/utf16.h"

namespace qel {

CRegistryKey::CRegistryKey(os::Hive hive, const wchar_t* subkey, std::uint32_t access) {
    os::RegKey opened = os::kNoKey;
    status = os::OpenRegKey(os::HiveRoot(hive), subkey, access, &opened);
    if (status == os::kSuccess) {
        key = opened;
        path = subkey ? subkey : L"";
    }
}

CRegistryKey::CRegistryKey(os::Hive hive, std::wstring&& subkey, std::uint32_t access) {
    os::RegKey opened = os::kNoKey;
    status = os::OpenRegKey(os::HiveRoot(hive), subkey.c_str(), access, &opened);
    if (status == os::kSuccess) {
        key = opened;
        path = std::move(subkey);
    }
}

CRegistryKey::~CRegistryKey() {
    if (IsOpen())
        status = os::CloseRegKey(key);
}

std::int32_t CRegistryKey::GetDWORDValue(const wchar_t* name) {
    if (!IsOpen())
        return -1;
    // A value shorter than four bytes leaves the rest of the word zero.
    std::uint8_t bytes[4] = {0, 0, 0, 0};
    std::uint32_t size = sizeof bytes;
    status = os::QueryRegValue(key, name, nullptr, bytes, &size);
    if (status != os::kSuccess)
        return -1;
    const std::uint32_t value =
        static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
        static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return static_cast<std::int32_t>(value);
}

const wchar_t* CRegistryKey::GetStringValue(const wchar_t* name) {
    if (!IsOpen())
        return nullptr;
    std::uint32_t needed = 0;
    // Without a size, the read below would ask for the size again and take its answer for the text.
    status = os::QueryRegValue(key, name, nullptr, nullptr, &needed);
    if (status != os::kSuccess)
        return nullptr;
    if (!valueBuffer || needed > valueBufferSize) {
        valueBuffer.reset();
        valueBufferSize = std::max(needed, valueBufferSize);
        // One character more than the bytes fill (an odd byte rounds up), so that a text stored without its
        // terminator still ends in one.
        valueBuffer = std::make_unique<wchar_t[]>((valueBufferSize + 1) / 2 + 1);
    }
    std::uint32_t written = valueBufferSize;
    status =
        os::QueryRegValue(key, name, nullptr, reinterpret_cast<std::uint8_t*>(valueBuffer.get()), &written);
    // Registry text is UTF-16 bytes; where wchar_t is wider they are widened where they were read.
    if constexpr (sizeof(wchar_t) != 2) {
        if (status == os::kSuccess)
            os::WidenUtf16LeInPlace(valueBuffer.get(), written);
    }
    if (status != os::kSuccess)
        return nullptr;
    valueBuffer[(written + 1) / 2] = L'\0';
    return valueBuffer.get();
}

void CRegistryKey::SetDWORDValue(const wchar_t* name, std::uint32_t value) {
    if (!IsOpen())
        return;
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                   static_cast<std::uint8_t>(value >> 16),
                                   static_cast<std::uint8_t>(value >> 24)};
    status = os::SetRegValue(key, name, os::kRegDword, bytes, sizeof bytes);
}

namespace {

// REG_SZ counted with its terminating null.
long WriteString(os::RegKey target, const wchar_t* name, const wchar_t* text) {
    const auto bytes = os::Utf16LeBytes(text ? text : L"", true);
    return os::SetRegValue(target, name, os::kRegSz, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

} // namespace

void CRegistryKey::SetStringValue(const wchar_t* name, const wchar_t* text) {
    if (!IsOpen())
        return;
    status = WriteString(key, name, text);
}

bool CRegistryKey::DeleteValue(const wchar_t* name) {
    if (!IsOpen())
        return false;
    status = os::DeleteRegValue(key, name);
    return status == os::kSuccess;
}

RegKeyCloser CRegistryKey::CreateSubKey(const wchar_t* subkey, const wchar_t* valueName,
                                        const wchar_t* text) {
    if (!IsOpen())
        return RegKeyCloser();
    os::RegKey created = os::kNoKey;
    status = os::CreateRegKey(key, subkey, os::kKeyWrite, &created);
    if (status != os::kSuccess)
        return RegKeyCloser();
    RegKeyCloser result(created);
    if (text)
        status = WriteString(created, valueName, text);
    return result;
}

const wchar_t* CRegistryKey::EnumSubKey(std::uint32_t index) {
    if (!IsOpen())
        return nullptr;
    // Left unfilled: the enumeration writes each name with its terminator, and a walk of a large registry
    // enumerates thousands of keys.
    if (!nameBuffer)
        nameBuffer.reset(new wchar_t[kNameCapacity]);
    std::uint32_t capacity = kNameCapacity;
    status = os::EnumRegKey(key, index, nameBuffer.get(), &capacity);
    return status == os::kSuccess ? nameBuffer.get() : nullptr;
}

} // namespace qel
