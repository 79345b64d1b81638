// qelboot.exe - the boot executable: runs -install, -uninstall or -default [app name] [yes | no].
// Exit code: 0 when the operation succeeded, 1 when it failed, 2 when the command was not understood.
#include <string>
#include <vector>

#include "hosts/boot_command.h"
#include "qelboot.h"

int main() {
    CQELBootCommandHandler handler;
    std::vector<std::wstring> words;
    handler.ParseCommandLineParameter(words);
    return qel::boot::RunBootCommand(handler, words);
}
