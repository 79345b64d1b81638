#include "hosts/qelinfo/print.h"

#include <cstdio>

namespace qel::info {

std::string Hex(std::uint64_t value, int digits) {
    std::string text;
    for (; value != 0 || digits > 0; value >>= 4, --digits)
        text.insert(text.begin(), "0123456789ABCDEF"[value & 0xF]);
    return text;
}

void WriteLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

} // namespace qel::info
