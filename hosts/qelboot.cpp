// qelboot.exe - the boot executable: runs -install, -uninstall or -default [app name] [yes | no].
// Exit code: 0 when the operation succeeded, 1 when it failed, 2 when the command was not understood.
#include <string>
#include <vector>

#include "qelboot.h"

namespace {

bool SameWord(const std::wstring& word, const wchar_t* expected) {
    if (word.size() != std::char_traits<wchar_t>::length(expected))
        return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        const wchar_t a = word[i] >= L'A' && word[i] <= L'Z' ? static_cast<wchar_t>(word[i] + 32) : word[i];
        if (a != expected[i])
            return false;
    }
    return true;
}

} // namespace

int main() {
    CQELBootCommandHandler handler;
    std::vector<std::wstring> words;
    handler.ParseCommandLineParameter(words);
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
