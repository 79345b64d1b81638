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

// Widens the first `count` bytes of `buffer`, UTF-16LE, into its characters, one per code unit; an odd last
// byte becomes a character of its own. The buffer holds (count + 1) / 2 characters. Widening runs from the
// end, where each character lands at or beyond the bytes it came from.
inline void WidenUtf16LeInPlace(wchar_t* buffer, std::size_t count) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
    for (std::size_t unit = (count + 1) / 2; unit-- > 0;) {
        const std::size_t i = unit * 2;
        const unsigned high = i + 1 < count ? bytes[i + 1] : 0;
        buffer[unit] = static_cast<wchar_t>(bytes[i] | (high << 8));
    }
}

} // namespace qel::os

#endif // QELBOOT_PLATFORM_UTF16_H
