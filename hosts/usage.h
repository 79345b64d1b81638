// usage.h - how the hosts answer a request for help and an option they do not know.
#ifndef QELBOOT_HOSTS_USAGE_H
#define QELBOOT_HOSTS_USAGE_H

#include <cstdio>
#include <string>

namespace qel::hosts {

constexpr int kUsageExit = 2;

inline bool AsksForHelp(const std::wstring& argument) {
    return argument == L"--help" || argument == L"-h" || argument == L"/?";
}

// Asked for, the usage is the program's output; after a mistake it is an error message, and a script that
// checks the exit code learns that nothing was done.
inline int ShowUsage(const char* usage, bool asked) {
    std::fputs(usage, asked ? stdout : stderr);
    return asked ? 0 : kUsageExit;
}

} // namespace qel::hosts

#endif // QELBOOT_HOSTS_USAGE_H
