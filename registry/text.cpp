#include "registry/text.h"

#include <cwctype>

namespace qel {

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towupper(static_cast<std::wint_t>(a[i])) != std::towupper(static_cast<std::wint_t>(b[i])))
            return false;
    }
    return true;
}

std::wstring JoinKeyPath(std::wstring_view parent, std::wstring_view child) {
    std::wstring path;
    path.reserve(parent.size() + 1 + child.size());
    path.append(parent);
    path.push_back(L'\\');
    path.append(child);
    return path;
}

std::wstring QuoteArgument(const std::wstring& value) {
    if (!value.empty() && value.front() == L'"')
        return value;
    return L"\"" + value + L"\"";
}

std::wstring JoinArguments(const std::vector<std::wstring>& arguments) {
    std::wstring line;
    for (const auto& argument : arguments) {
        if (!line.empty() || &argument != &arguments.front())
            line += L' ';
        line += argument;
    }
    return line;
}

std::wstring FormatLine(std::wstring_view pattern, std::initializer_list<std::wstring_view> values,
                        std::size_t capacity) {
    std::wstring line;
    auto value = values.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == L'%' && i + 1 < pattern.size() &&
            (pattern[i + 1] == L's' || pattern[i + 1] == L'd') && value != values.end()) {
            line += *value++;
            ++i;
        } else {
            line += pattern[i];
        }
    }
    if (capacity > 0 && line.size() > capacity - 1)
        line.resize(capacity - 1);
    return line;
}

} // namespace qel
