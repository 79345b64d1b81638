// utf16.h - registry text is UTF-16LE bytes; wchar_t is 16 bits on Windows and 32 bits elsewhere.
#ifndef QELBOOT_PLATFORM_UTF16_H
#define QELBOOT_PLATFORM_UTF16_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qel::os {

// The text's code units as little-endian bytes, with a terminating null when asked. Characters beyond 16 bits
// (possible only where wchar_t is wider) keep their low 16 bits.
inline std::vector<std::uint8_t> Utf16LeBytes(const std::wstring& text, bool terminated) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve((text.size() + 1) * 2);
    for (wchar_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    if (terminated) {
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

// Widens `count` bytes of UTF-16LE into `out`, one character per code unit; an odd last byte becomes a
// character of its own.
inline void WidenUtf16Le(const std::uint8_t* bytes, std::size_t count, wchar_t* out) {
    for (std::size_t i = 0; i < count; i += 2) {
        const unsigned high = i + 1 < count ? bytes[i + 1] : 0;
        out[i / 2] = static_cast<wchar_t>(bytes[i] | (high << 8));
    }
}

} // namespace qel::os

#endif // QELBOOT_PLATFORM_UTF16_H
