// The built files' version resources, how the programs answer --help, a mistake and an accented folder, and
// what dbgrec passes on from the program it runs.
#include <gtest/gtest.h>

#include <tuple>

#include "host_runner.h"
#include "hosts/utf8.h"

namespace qel::testhost {
namespace {

TEST(VersionResource, EveryFileCarriesTheProjectVersionTheProductAndItsOwnName) {
    for (const wchar_t* file : {L"qelboot.dll", L"qelboot.exe", L"qelproxy.exe", L"qelapp.exe",
                                L"qelinfo.exe", L"dbgrec.exe", L"qelmount.exe"}) {
        std::vector<char> info(::GetFileVersionInfoSizeW(BinPath(file).c_str(), nullptr) + 1);
        ::GetFileVersionInfoW(BinPath(file).c_str(), 0, static_cast<DWORD>(info.size()), info.data());
        std::string found;
        for (const wchar_t* name : {L"FileVersion", L"ProductVersion", L"ProductName", L"OriginalFilename"}) {
            wchar_t* text = nullptr;
            UINT size = 0;
            ::VerQueryValueW(info.data(), (L"\\StringFileInfo\\040904B0\\" + std::wstring(name)).c_str(),
                             reinterpret_cast<void**>(&text), &size);
            found += (text ? Utf8(text) : "<none>") + " ";
        }
        EXPECT_EQ(QELBOOT_VERSION " " QELBOOT_VERSION " qelboot " + Utf8(file) + " ", found);
    }
}

TEST(ProgramUsage, HelpIsTheOutputAndAMistakeTheErrorWithCode2) {
    for (const std::wstring program : {L"qelinfo", L"qelproxy", L"qelmount", L"dbgrec"}) {
        const std::string usage = testhost::Run(program + L".exe", L"--help").output;
        EXPECT_EQ("usage: " + Utf8(program) + " ", usage.substr(0, program.size() + 8));
        // The last two are mistakes for each program: an option it does not know, or one it knows misused.
        for (const std::wstring args : {L"--help", L"-h", L"/?", L"--check-volume", L"--service x"}) {
            SCOPED_TRACE(Utf8(program + L" " + args));
            const RunResult run = testhost::Run(program + L".exe", args, 20000);
            const bool help = args == L"--help" || args == L"-h" || args == L"/?";
            EXPECT_EQ(help ? 0u : 2u, run.exitCode);
            EXPECT_EQ(help ? usage : "", run.output);
            EXPECT_EQ(help ? "" : usage, run.errors);
        }
    }
    const RunResult bare = testhost::Run(L"dbgrec.exe", L"");
    EXPECT_EQ(std::make_tuple(DWORD{2}, "usage: dbgrec PROGRAM [ARGS...]\n"),
              std::make_tuple(bare.exitCode, bare.errors))
        << "dbgrec without a program";
    EXPECT_EQ("qelinfo " QELBOOT_VERSION "\n", testhost::Run(L"qelinfo.exe", L"--version").output);
}

// Each debugger line once, without its newline, and not the program's own output; the arguments reach the
// program unchanged (quoted for dbgrec's own command line, dbgrec must quote them again); its exit code is
// dbgrec's. A program that cannot start ends dbgrec with 127 and the reason.
TEST(Dbgrec, PrintsEachDebuggerLineOnceAndEndsWithTheProgramsExitCodeOr127) {
    const RunResult run = testhost::Run(
        L"dbgrec.exe", Quoted(BinPath(L"debug_lines_child.exe")) +
                           LR"( plain "with blank" "" "quote\"inside" "trailing blank\\" back\slash)");
    EXPECT_EQ(
        "first debugger line\nsecond debugger line\nargument <plain>\nargument <with blank>\nargument <>\n"
        "argument <quote\"inside>\nargument <trailing blank\\>\nargument <back\\slash>\n",
        run.output);
    EXPECT_EQ(std::make_tuple(DWORD{7}, std::string()), std::make_tuple(run.exitCode, run.errors));
    const std::wstring missing = BinPath(L"no_such_program.exe");
    const RunResult failed = testhost::Run(L"dbgrec.exe", Quoted(missing));
    EXPECT_EQ(
        std::make_tuple(DWORD{127}, std::string(), "dbgrec: cannot start " + Utf8(missing) + ": error 2\n"),
        std::make_tuple(failed.exitCode, failed.output, failed.errors));
}

// The hostile plug-in throws from OnUnload, so the tracker's second load of it finds it loaded already.
TEST(ProgramUsage, QelinfoListsThePluginsOfAFolderNamedOutsideTheAnsiCodePage) {
    const std::wstring folder = MakeRoad(L"plug-ins \u00e9t\u00e9 \u0141\u00fcb",
                                         {{L"moxplugins\\nokiamanager.mox", L"sample_phone.mox"},
                                          {L"moxplugins\\aaa.mox", L"hostile_plugin_3.mox"}});
    const RunResult run = testhost::Run(L"qelinfo.exe", L"--plugins \"" + folder + L"\"");
    EXPECT_EQ(0u, run.exitCode) << run.output;
    EXPECT_EQ("Plug-ins of " + Utf8(folder) + "\\moxplugins, as the library would load them",
              run.lines.at(0));
    EXPECT_EQ(
        "", Miscounted(run.output,
                       {{"  - \"Sample Phone Manager\" {5A3E0D00-7C21-4B6A-9E10-2F6D51C38801} kind 0x4\n", 1},
                        {"\\nokiamanager.mox\n      source opens: yes; tracked: yes\n", 1},
                        {"\\aaa.mox\n      source opens: yes; tracked: no (second load: its first load could "
                         "not be unloaded, so it registers nothing)\n",
                         1}}));
}

} // namespace
} // namespace qel::testhost
