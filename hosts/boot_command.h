// boot_command.h - what the boot executable does with its command words, shared by qelboot.exe and the
// fuzz target that drives the same handling on the simulated machine.
#ifndef QELBOOT_HOSTS_BOOT_COMMAND_H
#define QELBOOT_HOSTS_BOOT_COMMAND_H

#include <string>
#include <vector>

#include "qelboot.h"

namespace qel::boot {

// Command words compare without regard to ASCII case.
inline bool SameWord(const std::wstring& word, const wchar_t* expected) {
    if (word.size() != std::char_traits<wchar_t>::length(expected))
        return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        const wchar_t a = word[i] >= L'A' && word[i] <= L'Z' ? static_cast<wchar_t>(word[i] + 32) : word[i];
        if (a != expected[i])
            return false;
    }
    return true;
}

// Runs -install, -uninstall or -default [app name] [yes | no]. The exit code: 0 when the operation
// succeeded, 1 when it failed, 2 when the command was not understood.
inline int RunBootCommand(CQELBootCommandHandler& handler, std::vector<std::wstring>& words) {
    if (words.empty())
        return 2;
    if (SameWord(words[0], L"-install")) {
        // Ends the process with exit code 0 itself when no application is registered.
        handler.MaintainOrder();
        return 0;
    }
    if (SameWord(words[0], L"-uninstall")) {
        handler.Uninstall();
        return 0;
    }
    if (SameWord(words[0], L"-default") && words.size() == 3)
        return handler.SetApplicationDefaultStatus(words[1], words[2]) ? 0 : 1;
    return 2;
}

} // namespace qel::boot

#endif // QELBOOT_HOSTS_BOOT_COMMAND_H
