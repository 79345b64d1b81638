// The boot executable, the sample proxy and the sample application as real processes under Wine: the
// log-on entry, the -default command, uninstall across processes, launching, taking control, and the
// launch status and locale.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "host_runner.h"

namespace qel {
namespace {

using namespace testhost;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class LaunchControl : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRegistrations();
        ::DeleteFileW(BinPath(L"OEM\\tessel.ini").c_str());
    }
    void TearDown() override {
        ResetRegistrations();
        ::DeleteFileW(BinPath(L"OEM\\tessel.ini").c_str());
        ::RemoveDirectoryW(BinPath(L"OEM").c_str());
    }

    static std::wstring RunValue() {
        std::wstring value = L"<none>";
        ReadString(HKEY_LOCAL_MACHINE, kRunKey, L"Quorl Vandrel", &value);
        return value;
    }

    static std::string StartedCommandLines() { return ReadTextFile(BinPath(L"qelapp-started.txt")); }

    // The line the sample application records, for its path quoted and the given arguments.
    static std::string AppLine(const std::string& arguments) {
        return "\"" + Narrow(BinPath(L"qelapp.exe")) + "\" " + arguments + "\n";
    }
};

TEST_F(LaunchControl, InstallFromRegisteredProxyPointsTheRunEntryAtIt) {
    Register(L"First", L"First", BinPath(L"qelapp.exe"), BinPath(L"qelapp.exe"));
    Register(L"Second", L"Second", BinPath(L"qelboot.exe"), BinPath(L"qelapp.exe"));

    const RunResult run = testhost::Run(L"qelboot.exe", L"-install");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(L"\"" + BinPath(L"qelboot.exe") + L"\"", RunValue());
}

TEST_F(LaunchControl, InstallFromUnregisteredProgramPointsTheRunEntryAtTheFirstProxy) {
    Register(L"First", L"First", BinPath(L"qelapp.exe"), BinPath(L"qelapp.exe"));
    Register(L"Second", L"Second", BinPath(L"qelproxy.exe"), BinPath(L"qelapp.exe"));

    EXPECT_EQ(0u, testhost::Run(L"qelboot.exe", L"-install").exitCode);
    EXPECT_EQ(L"\"" + BinPath(L"qelapp.exe") + L"\"", RunValue());
}

TEST_F(LaunchControl, NothingRegisteredDeletesTheRunEntryAndEndsWithCodeZero) {
    SetString(HKEY_LOCAL_MACHINE, kRunKey, L"Quorl Vandrel", L"\"C:\\old\\proxy.exe\"");

    const RunResult run = RunRecordingDebugLines(L"qelboot.exe", L"-install");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ((std::vector<std::string>{
                  "<QELBoot><!!! No QEL Compatible application found. This situation should be avoided.>",
                  "<QELBoot><Deleting run key. Auto run is going to discontinue from now onwards.>"}),
              run.lines);
    EXPECT_EQ(L"<none>", RunValue());
}

TEST_F(LaunchControl, DefaultYesMakesOneApplicationTheDefaultInBothHives) {
    Register(L"Alpha", L"Alpha", BinPath(L"qelapp.exe"), BinPath(L"qelapp.exe"));
    Register(L"Beta Studio", L"Beta Studio", BinPath(L"qelproxy.exe"), BinPath(L"qelapp.exe"));
    CreateKey(HKEY_CURRENT_USER, L"SOFTWARE\\Quorl");
    SetDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl\\Alpha\\Quorl Vandrel\\Preferences", L"DefaultFlag", 1);
    CreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl\\Beta Studio\\Quorl Vandrel\\Preferences");

    const RunResult run = testhost::Run(L"qelboot.exe", L"-default \"Beta Studio\" YES");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("", run.output);
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        DWORD alpha = 7;
        DWORD beta = 7;
        EXPECT_TRUE(
            ReadDword(hive, L"SOFTWARE\\Quorl\\Alpha\\Quorl Vandrel\\Preferences", L"DefaultFlag", &alpha));
        EXPECT_TRUE(ReadDword(hive, L"SOFTWARE\\Quorl\\Beta Studio\\Quorl Vandrel\\Preferences",
                              L"DefaultFlag", &beta));
        EXPECT_EQ(0u, alpha);
        EXPECT_EQ(1u, beta);
    }
}

TEST_F(LaunchControl, DefaultCommandMistakesAreExplainedOnTheConsole) {
    Register(L"Alpha", L"Alpha", BinPath(L"qelapp.exe"), BinPath(L"qelapp.exe"));

    RunResult run = testhost::Run(L"qelboot.exe", L"-default alpha yes");
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ(
        "\n !!! Invalid first argument value.\n !!! This application is not registered as QEL compatible.",
        run.output);

    run = testhost::Run(L"qelboot.exe", L"-default Alpha maybe");
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ("\n !!! Invalid second argument value.", run.output);

    run = testhost::Run(L"qelboot.exe", L"-default Alpha");
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_EQ(
        "\n !!! Please follow the syntax:\n [Qualified path]\\qelboot.exe -default [app name] [yes | no] \n",
        run.output);
}

TEST_F(LaunchControl, UninstallStopsTheOtherInstanceAndStartsTheNextProxy) {
    Register(L"Mine", L"Mine", BinPath(L"qelproxy.exe"), BinPath(L"qelapp.exe"));
    Register(L"Next", L"Next", BinPath(L"qelapp.exe"), BinPath(L"qelapp.exe"));
    RunningHost other(L"qelproxy.exe", L"--no-control");
    ASSERT_TRUE(WaitForWindow(L"Quorl Vandrel Boot", 20000));

    const RunResult run = RunRecordingDebugLines(L"qelproxy.exe", L"--no-control --uninstall");
    EXPECT_EQ(0u, run.exitCode);
    ASSERT_TRUE(other.WaitForExit(5000)) << "the other instance is still running";
    EXPECT_NE(std::string::npos, other.Output().find("qelproxy: boot window asked to quit"));
    EXPECT_EQ((std::vector<std::string>{"<QELBoot><Switching application to ...<Next><" +
                                        Narrow(BinPath(L"qelapp.exe")) + "> >"}),
              run.lines);
    // The next proxy gets its quoted path and nothing more.
    for (int waited = 0; waited < 100 && StartedCommandLines().empty(); ++waited)
        ::Sleep(50);
    EXPECT_EQ("\"" + Narrow(BinPath(L"qelapp.exe")) + "\"\n", StartedCommandLines());
}

TEST_F(LaunchControl, UninstallWithoutOtherInstanceChangesNothing) {
    Register(L"Mine", L"Mine", BinPath(L"qelproxy.exe"), BinPath(L"qelapp.exe"));
    SetString(HKEY_LOCAL_MACHINE, kRunKey, L"Quorl Vandrel", L"\"C:\\kept.exe\"");

    const RunResult run = RunRecordingDebugLines(L"qelproxy.exe", L"--no-control --uninstall");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(run.lines.empty());
    EXPECT_EQ(L"\"C:\\kept.exe\"", RunValue());
}

TEST_F(LaunchControl, OwnLaunchGivesTheApplicationTheDeviceOnItsCommandLine) {
    Register(L"Solo", L"Solo", BinPath(L"qelproxy.exe"), BinPath(L"qelapp.exe"));

    const RunResult run = RunRecordingDebugLines(L"qelproxy.exe", L"--launch-own select volume E:");
    EXPECT_EQ(0u, run.exitCode);
    const std::string expected = AppLine("module=vandrel params mode=select devType=volume priDevId=\"E:\"");
    EXPECT_NE(run.lines.end(),
              std::find(run.lines.begin(), run.lines.end(), expected.substr(0, expected.size() - 1)));
    for (int waited = 0; waited < 100 && StartedCommandLines().empty(); ++waited)
        ::Sleep(50);
    EXPECT_EQ(expected, StartedCommandLines());
}

TEST_F(LaunchControl, DefaultLaunchModeDependsOnTheSibling) {
    Register(L"Solo", L"Solo", BinPath(L"qelproxy.exe"), BinPath(L"qelapp.exe"));

    EXPECT_EQ(0u, testhost::Run(L"qelproxy.exe", L"--launch-default volume \"\"").exitCode);
    for (int waited = 0; waited < 100 && StartedCommandLines().empty(); ++waited)
        ::Sleep(50);
    EXPECT_EQ(AppLine("module=vandrel params mode=direct"), StartedCommandLines());

    ::DeleteFileW(BinPath(L"qelapp-started.txt").c_str());
    SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl\\Ostrand\\3.0\\Organizer\\ApplicationPath", nullptr,
              L"C:\\NoSibling");
    EXPECT_EQ(0u, testhost::Run(L"qelproxy.exe", L"--launch-default camera \"\\\"cam 1\\\"\"").exitCode);
    for (int waited = 0; waited < 100 && StartedCommandLines().empty(); ++waited)
        ::Sleep(50);
    EXPECT_EQ(AppLine("module=vandrel params mode=select devType=camera priDevId=\"cam 1\""),
              StartedCommandLines());
}

// Under Wine every process runs in the console session, so the check that XP and Vista make before a launch
// lets it through: this is the real session lookup, end to end.
TEST_F(LaunchControl, LaunchOnXpPassesTheConsoleSessionCheck) {
    Register(L"Solo", L"Solo", BinPath(L"qelproxy.exe"), BinPath(L"qelapp.exe"));
    const std::wstring appDefaults = L"Software\\Wine\\AppDefaults\\qelproxy.exe";
    SetString(HKEY_CURRENT_USER, appDefaults, L"Version", L"winxp");

    const RunResult run = RunRecordingDebugLines(L"qelproxy.exe", L"--launch-own direct scanner \"\"");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, appDefaults.c_str());
    EXPECT_EQ(0u, run.exitCode);
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(AppLine("module=vandrel params mode=direct")
                  .substr(0, AppLine("module=vandrel params mode=direct").size() - 1),
              run.lines.back());
    for (int waited = 0; waited < 100 && StartedCommandLines().empty(); ++waited)
        ::Sleep(50);
    EXPECT_EQ(AppLine("module=vandrel params mode=direct"), StartedCommandLines());
}

TEST_F(LaunchControl, OnlyOneProxyTakesControlUntilItEnds) {
    Register(L"Solo", L"Solo", BinPath(L"qelproxy.exe"), BinPath(L"qelapp.exe"));
    {
        RunningHost first(L"qelproxy.exe", L"");
        ASSERT_TRUE(WaitForWindow(L"Quorl Vandrel Boot", 20000));
        const RunResult second = RunRecordingDebugLines(L"qelproxy.exe", L"--launch-own direct volume E:");
        EXPECT_EQ(3u, second.exitCode);
        ASSERT_FALSE(second.lines.empty());
        EXPECT_EQ("<QELProxy><Any other QELProxy is running.>", second.lines.front());
    }
    const RunResult later = testhost::Run(L"qelproxy.exe", L"--launch-own direct volume E:");
    EXPECT_EQ(0u, later.exitCode);
}

TEST_F(LaunchControl, OemFileCanForbidTheProxyAndReleasesControl) {
    Register(L"Solo", L"Solo", BinPath(L"qelproxy.exe"), BinPath(L"qelapp.exe"));
    ::CreateDirectoryW(BinPath(L"OEM").c_str(), nullptr);
    {
        std::FILE* ini = ::_wfopen(BinPath(L"OEM\\tessel.ini").c_str(), L"wb");
        ASSERT_NE(nullptr, ini);
        std::fputs("[QELProxyStopInstall]\r\n1\r\n", ini);
        std::fclose(ini);
    }
    const RunResult stopped = RunRecordingDebugLines(L"qelproxy.exe", L"--launch-own direct volume E:");
    EXPECT_EQ(3u, stopped.exitCode);
    EXPECT_EQ((std::vector<std::string>{"<QELProxy><Took control of the situation>",
                                        "<QELProxy><Current working directory is set.>",
                                        "<QELProxy:OEM><OEM initialization file found.>",
                                        "<QELProxy:OEM><QELProxyStopInstall option found.>",
                                        "<QELProxy:OEM><Stopping QELProxy install.>"}),
              stopped.lines);

    ::DeleteFileW(BinPath(L"OEM\\tessel.ini").c_str());
    EXPECT_EQ(0u, testhost::Run(L"qelproxy.exe", L"--launch-own direct volume E:").exitCode);
}

TEST_F(LaunchControl, ProxyReadsAndCreatesItsLaunchStatusAndLocale) {
    Register(L"Solo", L"Solo", BinPath(L"qelproxy.exe"), BinPath(L"qelapp.exe"));
    SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl\\Solo", L"locale", L"de_de");
    CreateKey(HKEY_CURRENT_USER, L"SOFTWARE\\Quorl\\Solo");

    RunResult run = testhost::Run(L"qelproxy.exe", L"--launch-own direct volume E:");
    EXPECT_NE(std::string::npos, run.output.find("launch status on; locale de_de\n")) << run.output;
    DWORD status = 7;
    ASSERT_TRUE(ReadDword(HKEY_CURRENT_USER, L"SOFTWARE\\Quorl\\Solo", L"qellaunchstatus", &status));
    EXPECT_EQ(1u, status);

    SetDword(HKEY_CURRENT_USER, L"SOFTWARE\\Quorl\\Solo", L"qellaunchstatus", 0);
    SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl\\Solo", L"locale", L"");
    run = testhost::Run(L"qelproxy.exe", L"--launch-own direct volume E:");
    EXPECT_NE(std::string::npos, run.output.find("launch status off; locale en_us (default)\n"))
        << run.output;
}

} // namespace
} // namespace qel
