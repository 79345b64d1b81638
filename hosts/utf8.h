// utf8.h - the hosts print UTF-8.
#ifndef QELBOOT_HOSTS_UTF8_H
#define QELBOOT_HOSTS_UTF8_H

#include <string>

#include "platform/win32/windows_api.h"

inline std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                          nullptr, nullptr);
    return result;
}

#endif // QELBOOT_HOSTS_UTF8_H
