// qelinfo - shows which photo applications this machine's qelboot.dll would start, and why the other
// registrations are not among them.
//
//   qelinfo.exe                    the application list, and why registrations were left out
//   qelinfo.exe --check-volume E:  whether a volume in E: would be reported, and why: the kind of drive, the
//                                  depth searched, the formats searched for, the first match or why none.
//                                  Nothing is launched and no setting is written.
//   qelinfo.exe --plugins [FOLDER]  the .mox plug-ins of FOLDER\moxplugins (default: the current folder, as
//                                  the proxy runs), as the library would find them: whether each loads,
//                                  its name and identifier, whether its source opens, whether it is
//                                  tracked (which takes a second load of the plug-in, as the tracker's).
//   qelinfo.exe --imaging          what STI, TWAIN and WIA report on this machine: still-image devices, their
//                                  "TwainDS" values and whether each data source is found, WIA's devices,
//                                  and whether WIA's connection events can be received.
//   qelinfo.exe --version          the version of this build
//   qelinfo.exe --help             the usage (also -h and /?); an option not listed here shows it as an
//                                  error, with exit code 2.
//
// One file per topic; every line goes through print.h.
#include <string>
#include <vector>

#include "hosts/qelinfo/print.h"
#include "hosts/qelinfo/topics.h"
#include "hosts/usage.h"

namespace {

const char kUsage[] =
    "usage: qelinfo [--check-volume E: | --plugins [FOLDER] | --imaging | --version | --help]\n"
    "  (no option)          the application list, and why registrations were left out\n"
    "  --check-volume E:    whether a volume in E: would be reported, and why (nothing is launched)\n"
    "  --plugins [FOLDER]   the .mox plug-ins of FOLDER\\moxplugins (default: the current folder)\n"
    "  --imaging            what STI, TWAIN and WIA report on this machine\n"
    "  --version            the version of this build\n";

} // namespace

int wmain(int argc, wchar_t** argv) {
    using namespace qel::info;
    using qel::hosts::ShowUsage;
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    const std::size_t count = args.size();
    if (count > 0 && qel::hosts::AsksForHelp(args[0]))
        return ShowUsage(kUsage, true);
    if (count == 1 && args[0] == L"--version") {
        Line("qelinfo ", QELBOOT_VERSION);
        return 0;
    }
    if (count == 1 && args[0] == L"--imaging")
        return ListImaging();
    if (count == 2 && args[0] == L"--check-volume")
        return CheckVolume(args[1]);
    if ((count == 1 || count == 2) && args[0] == L"--plugins")
        return ListPlugins(count == 2 ? args[1] : std::wstring());
    if (count > 0)
        return ShowUsage(kUsage, false);
    return ListApplications();
}
