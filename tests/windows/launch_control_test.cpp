// The boot executable, the sample proxy and the sample application as real processes under Wine: the
// log-on entry, the -default command, uninstall across processes, launching, taking control, and the
// launch status and locale the proxy prints.
#include <gtest/gtest.h>

#include <string>

#include "host_runner.h"

namespace qel {
namespace {

using namespace testhost;

class LaunchControl : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
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
};

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

// Each run maintains the order: the log-on entry is the boot executable, as it is a registered proxy itself.
TEST_F(LaunchControl, DefaultCommandExplainsMistakesOrMakesOneApplicationTheDefaultInBothHives) {
    const std::wstring alphaPrefs = L"SOFTWARE\\Quorl\\Alpha\\Quorl Vandrel\\Preferences";
    const std::wstring betaPrefs = L"SOFTWARE\\Quorl\\Beta Studio\\Quorl Vandrel\\Preferences";
    Register(L"Alpha", L"Alpha", BinPath(L"qelapp.exe"), BinPath(L"qelapp.exe"));
    Register(L"Beta Studio", L"Beta Studio", BinPath(L"qelboot.exe"), BinPath(L"qelapp.exe"));
    CreateKey(HKEY_CURRENT_USER, L"SOFTWARE\\Quorl");
    SetDword(HKEY_LOCAL_MACHINE, alphaPrefs, L"DefaultFlag", 1);
    CreateKey(HKEY_LOCAL_MACHINE, betaPrefs);

    const struct {
        const wchar_t* arguments;
        DWORD exitCode;
        const char* output;
    } cases[] = {
        {L"-default alpha yes", 1,
         "\n !!! Invalid first argument value.\n !!! This application is not registered as QEL compatible."},
        {L"-default Alpha maybe", 1, "\n !!! Invalid second argument value."},
        {L"-default Alpha", 2,
         "\n !!! Please follow the syntax:\n [Qualified path]\\qelboot.exe -default [app name] [yes | no] "
         "\n"},
        {L"-default \"Beta Studio\" YES", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.arguments));
        const RunResult run = testhost::Run(L"qelboot.exe", c.arguments);
        EXPECT_EQ(c.exitCode, run.exitCode);
        EXPECT_EQ(c.output, run.output);
    }
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        DWORD alpha = 7, beta = 7;
        EXPECT_TRUE(ReadDword(hive, alphaPrefs, L"DefaultFlag", &alpha) &&
                    ReadDword(hive, betaPrefs, L"DefaultFlag", &beta));
        EXPECT_EQ(std::make_pair(0ul, 1ul), std::make_pair(alpha, beta));
    }
    EXPECT_EQ(L"\"" + BinPath(L"qelboot.exe") + L"\"", RunValue());
}

TEST_F(LaunchControl, UninstallStopsTheOtherInstanceAndStartsTheNextProxyOrElseChangesNothing) {
    Register(L"Mine", L"Mine", BinPath(L"qelproxy.exe"), BinPath(L"qelapp.exe"));
    Register(L"Next", L"Next", BinPath(L"qelapp.exe"), BinPath(L"qelapp.exe"));
    SetString(HKEY_LOCAL_MACHINE, kRunKey, L"Quorl Vandrel", L"\"C:\\kept.exe\"");
    RunResult run = RunRecordingDebugLines(L"qelproxy.exe", L"--no-control --uninstall");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(run.lines.empty());
    EXPECT_EQ(L"\"C:\\kept.exe\"", RunValue()) << "without another instance";

    RunningHost other(L"qelproxy.exe", L"--no-control");
    ASSERT_TRUE(WaitForWindow(L"Quorl Vandrel Boot", 20000));
    run = RunRecordingDebugLines(L"qelproxy.exe", L"--no-control --uninstall");
    EXPECT_EQ(0u, run.exitCode);
    ASSERT_TRUE(other.WaitForExit(5000)) << "the other instance is still running";
    EXPECT_NE(std::string::npos, other.Output().find("qelproxy: boot window asked to quit"));
    EXPECT_EQ((std::vector<std::string>{"<QELBoot><Switching application to ...<Next><" +
                                        Utf8(BinPath(L"qelapp.exe")) + "> >"}),
              run.lines);
    EXPECT_EQ(AppLine("") + "\n", StartedApp()) << "the next proxy gets its quoted path alone";
}

// Under Wine every process runs in the console session, so the check that XP makes before a launch lets it
// through: this is the real session lookup, end to end. The default application is launched for selection
// when the sibling is installed too.
TEST_F(LaunchControl, LaunchesGiveTheApplicationTheModeAndTheDeviceOnItsCommandLine) {
    Register(L"Solo", L"Solo", BinPath(L"qelproxy.exe"), BinPath(L"qelapp.exe"));
    const struct {
        const wchar_t* arguments;
        bool xp, sibling; // the sibling stays installed for the rows after its own
        std::string appArguments;
    } cases[] = {
        {L"--launch-own select volume E:", false, false,
         "module=vandrel params mode=select devType=volume priDevId=\"E:\""},
        {L"--launch-own direct scanner \"\"", true, false, "module=vandrel params mode=direct"},
        {L"--launch-default volume \"\"", false, false, "module=vandrel params mode=direct"},
        {L"--launch-default camera \"\\\"cam 1\\\"\"", false, true,
         "module=vandrel params mode=select devType=camera priDevId=\"cam 1\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.arguments));
        ::DeleteFileW(BinPath(L"qelapp-started.txt").c_str());
        SetWindowsVersion(L"qelproxy.exe", c.xp ? L"winxp" : L"win7");
        if (c.sibling)
            SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl\\Ostrand\\3.0\\Organizer\\ApplicationPath",
                      nullptr, L"C:\\NoSibling");
        EXPECT_EQ(0u, testhost::Run(L"qelproxy.exe", c.arguments).exitCode);
        EXPECT_EQ(AppLine(c.appArguments) + "\n", StartedApp());
    }
}

// Each proxy that is stopped lets go of control: the next one takes it.
TEST_F(LaunchControl, OnlyOneProxyTakesControlAndTheOemFileCanForbidIt) {
    Register(L"Solo", L"Solo", BinPath(L"qelproxy.exe"), BinPath(L"qelapp.exe"));
    {
        RunningHost first(L"qelproxy.exe", L"");
        ASSERT_TRUE(WaitForWindow(L"Quorl Vandrel Boot", 20000));
        const RunResult second = RunRecordingDebugLines(L"qelproxy.exe", L"--launch-own direct volume E:");
        EXPECT_EQ(3u, second.exitCode);
        ASSERT_FALSE(second.lines.empty());
        EXPECT_EQ("<QELProxy><Any other QELProxy is running.>", second.lines.front());
    }
    ::CreateDirectoryW(BinPath(L"OEM").c_str(), nullptr);
    WriteTextFile(BinPath(L"OEM\\tessel.ini"), "[QELProxyStopInstall]\r\n1\r\n");
    const RunResult stopped = RunRecordingDebugLines(L"qelproxy.exe", L"--launch-own direct volume E:");
    EXPECT_EQ(3u, stopped.exitCode);
    EXPECT_EQ((std::vector<std::string>{"<QELProxy><Took control of the situation>",
                                        "<QELProxy><Current working directory is set.>",
                                        "<QELProxy:OEM><OEM initialization file found.>",
                                        "<QELProxy:OEM><QELProxyStopInstall option found.>",
                                        "<QELProxy:OEM><Stopping QELProxy install.>"}),
              stopped.lines);

    ::DeleteFileW(BinPath(L"OEM\\tessel.ini").c_str());
    const RunResult runs = testhost::Run(L"qelproxy.exe", L"--launch-own direct volume E:");
    EXPECT_EQ(0u, runs.exitCode);
    EXPECT_EQ(1u, Count(runs.output, "launch status on; locale en_us (default)\n")) << runs.output;
}

} // namespace
} // namespace qel
