// text.h - the small text rules shared by the whole library: comparing names and paths, joining key paths,
// quoting values for a command line, and formatting diagnostic lines.
#ifndef QELBOOT_REGISTRY_TEXT_H
#define QELBOOT_REGISTRY_TEXT_H

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

// Paths, extensions and command words compare without regard to case.
bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b);

// "parent\child", made in one allocation: loading the list joins a path for every key it opens.
std::wstring JoinKeyPath(std::wstring_view parent, std::wstring_view child);

// A value that begins with a double quote is taken as it is; any other value is put in double quotes (an
// empty one becomes two double quotes).
std::wstring QuoteArgument(const std::wstring& value);

// The arguments joined with single blanks, as the started process sees its command line.
std::wstring JoinArguments(const std::vector<std::wstring>& arguments);

// Diagnostic lines are formatted into a fixed buffer: each "%s" of `pattern` takes the next value, "%d"
// likewise, and the line is cut to `capacity` - 1 characters.
inline constexpr std::size_t kLineCapacity = 260;
std::wstring FormatLine(std::wstring_view pattern, std::initializer_list<std::wstring_view> values,
                        std::size_t capacity = kLineCapacity);

} // namespace qel

#endif // QELBOOT_REGISTRY_TEXT_H
