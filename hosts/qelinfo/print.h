// print.h - the one way qelinfo writes a line, whatever the topic: wide text always leaves as UTF-8, numbers
// are always written alike, and a topic's conclusion always looks the same.
#ifndef QELBOOT_HOSTS_QELINFO_PRINT_H
#define QELBOOT_HOSTS_QELINFO_PRINT_H

#include <cstdint>
#include <string>
#include <type_traits>

#include "hosts/utf8.h"

namespace qel::info {

inline std::string Piece(const std::string& text) { return text; }
inline std::string Piece(const char* text) { return text; }
inline std::string Piece(const std::wstring& text) { return Utf8(text); }
inline std::string Piece(const wchar_t* text) { return Utf8(text); }
template <typename Number, typename = std::enable_if_t<std::is_integral_v<Number>>>
std::string Piece(Number number) {
    static_assert(!std::is_same_v<Number, bool> && !std::is_same_v<Number, char>, "say what it means");
    return std::to_string(number);
}

// Upper-case digits, zero-padded to `digits`, without a prefix.
std::string Hex(std::uint64_t value, int digits);

template <typename Text> std::string Quoted(const Text& text) { return "\"" + Piece(text) + "\""; }

void WriteLine(const std::string& line);

// One line of standard output: the pieces one after another.
template <typename... Pieces> void Line(const Pieces&... pieces) {
    WriteLine((std::string() + ... + Piece(pieces)));
}

// What a topic concludes: "  => " and the pieces.
template <typename... Pieces> void Verdict(const Pieces&... pieces) { Line("  => ", pieces...); }

} // namespace qel::info

#endif // QELBOOT_HOSTS_QELINFO_PRINT_H
