// Starting a compatible application with its launch arguments, choosing the application and the mode,
// the console-session rule, and starting the sibling's proxy.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "launch/command_handler.h"
#include "qelboot.h"
#include "sim_fixture.h"

namespace qel {
namespace {

using namespace simtest;

const std::wstring kUnableToLaunch = L"<QELBoot><!!! Unable to launch QEL.>";
const std::wstring kViewer = L"C:\\Apps\\Viewer\\Viewer.exe";

enum : std::uint8_t { kWorkstation = 1, kServer = 3 };

class LaunchTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        AddRunKey();
        TheMachine().AddFile(kViewer);
    }
    void Launch(std::wstring appPath, std::wstring mode, std::wstring devType, std::wstring devId) {
        handler.LaunchQEL(appPath, mode, devType, devId);
    }
    void LaunchDefault(std::wstring devType = L"volume", std::wstring devId = L"E:") {
        handler.LaunchDefaultQEL(devType, devId);
    }
    void LeaveConsoleSession() { TheMachine().FindProcess(sim::Machine::kSelfId)->session = 2; }
    // The program and the mode argument of every start.
    std::vector<Strings> ProgramsAndModes() {
        std::vector<Strings> started;
        for (const auto& command : SpawnedCommands())
            started.push_back({command[0], command.size() > 4 ? command[4] : L"<none>"});
        return started;
    }
    CQELBootCommandHandler handler;
};

TEST_F(LaunchTest, DeviceLaunchPassesSixArgumentsAndWritesThem) {
    Launch(kViewer, L"select", L"volume", L"E:");
    ASSERT_EQ((std::vector<Strings>{{kViewer, L"\"C:\\Apps\\Viewer\\Viewer.exe\"", L"module=vandrel",
                                     L"params", L"mode=select", L"devType=volume", L"priDevId=\"E:\""}}),
              SpawnedCommands());
    EXPECT_EQ(os::SpawnMode::NoWait, TheMachine().Spawns()[0].mode);
    EXPECT_EQ((Strings{L"\"C:\\Apps\\Viewer\\Viewer.exe\" module=vandrel params mode=select devType=volume "
                       L"priDevId=\"E:\""}),
              TheMachine().DebugLines());
}

TEST_F(LaunchTest, IdentifierStartingWithQuoteIsPassedUnchanged) {
    Launch(kViewer, L"direct", L"camera", L"\"\\\\?\\usb#vid_04a9");
    ASSERT_EQ(1u, SpawnedCommands().size());
    EXPECT_EQ(L"priDevId=\"\\\\?\\usb#vid_04a9", SpawnedCommands()[0].back());
}

TEST_F(LaunchTest, PathStartingWithQuoteIsArgumentZeroUnchanged) {
    const std::wstring quoted = L"\"C:\\Apps\\Viewer\\Viewer.exe\"";
    Launch(quoted, L"direct", L"", L"");
    EXPECT_EQ((std::vector<Strings>{{quoted, quoted, L"module=vandrel", L"params", L"mode=direct"}}),
              SpawnedCommands());
}

TEST_F(LaunchTest, EmptyIdentifierDropsDeviceTypeAndIdentifier) {
    Launch(kViewer, L"direct", L"volume", L"");
    EXPECT_EQ(
        (std::vector<Strings>{{kViewer, Quoted(kViewer), L"module=vandrel", L"params", L"mode=direct"}}),
        SpawnedCommands());
    EXPECT_EQ((Strings{L"\"C:\\Apps\\Viewer\\Viewer.exe\" module=vandrel params mode=direct"}),
              TheMachine().DebugLines());
}

TEST_F(LaunchTest, ModeIsPassedWithoutLookingAtIt) {
    Launch(kViewer, L"Slideshow now", L"", L"F:");
    EXPECT_EQ((std::vector<Strings>{{kViewer, Quoted(kViewer), L"module=vandrel", L"params",
                                     L"mode=Slideshow now", L"devType=", L"priDevId=\"F:\""}}),
              SpawnedCommands());
}

TEST_F(LaunchTest, EmptyModeIsRefusedBeforeSessionCheck) {
    LeaveConsoleSession();
    Launch(kViewer, L"", L"volume", L"E:");
    Launch(kViewer, L"", L"volume", L"");
    EXPECT_TRUE(TheMachine().Spawns().empty());
    const std::wstring modeNotSet = L"<QELBoot><!!! Mode not set. Unable to launch QEL.>";
    EXPECT_EQ((Strings{modeNotSet, modeNotSet}), TheMachine().DebugLines());
}

TEST_F(LaunchTest, FailedStartStillWritesCommandLine) {
    Launch(L"", L"direct", L"volume", L"");
    ASSERT_EQ(1u, TheMachine().Spawns().size());
    EXPECT_EQ(-1, TheMachine().Spawns()[0].result);
    EXPECT_EQ(L"\"\"", TheMachine().Spawns()[0].argv[0]);
    EXPECT_EQ((Strings{L"\"\" module=vandrel params mode=direct"}), TheMachine().DebugLines());
}

TEST_F(LaunchTest, XpRequiresConsoleSessionWithAndWithoutDevice) {
    TheMachine().SetVersion(5, 1, kWorkstation);
    LeaveConsoleSession();
    Launch(kViewer, L"direct", L"volume", L"E:");
    Launch(kViewer, L"direct", L"volume", L"");
    EXPECT_TRUE(TheMachine().Spawns().empty());
    EXPECT_EQ((Strings{kUnableToLaunch, kUnableToLaunch}), TheMachine().DebugLines());
}

TEST_F(LaunchTest, VistaRequiresConsoleSessionOnlyWithDevice) {
    TheMachine().SetVersion(6, 0, kWorkstation);
    LeaveConsoleSession();
    Launch(kViewer, L"direct", L"volume", L"E:");
    EXPECT_TRUE(TheMachine().Spawns().empty());
    EXPECT_EQ((Strings{kUnableToLaunch}), TheMachine().DebugLines());
    Launch(kViewer, L"direct", L"volume", L"");
    ASSERT_EQ(1u, TheMachine().Spawns().size());
    EXPECT_EQ(5u, SpawnedCommands()[0].size());
}

TEST_F(LaunchTest, Windows2000AndOtherClassesSkipSessionCheck) {
    LeaveConsoleSession();
    TheMachine().RemoveModule(L"kernel32.dll");
    TheMachine().SetVersion(5, 0, kWorkstation);
    Launch(kViewer, L"direct", L"volume", L"E:");
    Launch(kViewer, L"direct", L"volume", L"");
    TheMachine().SetVersion(6, 0, kServer);
    Launch(kViewer, L"direct", L"volume", L"E:");
    TheMachine().SetVersion(6, 1, kWorkstation);
    Launch(kViewer, L"direct", L"volume", L"");
    EXPECT_EQ(4u, TheMachine().Spawns().size());
    for (const auto& line : TheMachine().DebugLines())
        EXPECT_NE(kUnableToLaunch, line);
}

TEST_F(LaunchTest, XpAndVistaLaunchInsideConsoleSession) {
    TheMachine().SetConsoleSession(3);
    TheMachine().FindProcess(sim::Machine::kSelfId)->session = 3;
    TheMachine().SetVersion(5, 1, kWorkstation);
    Launch(kViewer, L"direct", L"volume", L"E:");
    Launch(kViewer, L"direct", L"volume", L"");
    TheMachine().SetVersion(6, 0, kWorkstation);
    Launch(kViewer, L"direct", L"volume", L"E:");
    EXPECT_EQ(3u, TheMachine().Spawns().size());
    EXPECT_EQ(0u, TheMachine().LoadedModuleCount());
}

TEST_F(LaunchTest, ConsoleSessionNeedsTheLookupAndEqualSessions) {
    EXPECT_TRUE(IsProcessInConsoleSession(sim::Machine::kSelfId));
    const std::uint32_t other = TheMachine().AddProcess(L"C:\\other.exe");
    TheMachine().FindProcess(other)->session = 0;
    EXPECT_FALSE(IsProcessInConsoleSession(other));
    EXPECT_FALSE(IsProcessInConsoleSession(4242));
    TheMachine().RemoveModuleFunction("WTSGetActiveConsoleSessionId");
    EXPECT_FALSE(IsProcessInConsoleSession(sim::Machine::kSelfId));
    EXPECT_EQ(0u, TheMachine().LoadedModuleCount());
    TheMachine().RemoveModule(L"KERNEL32.DLL");
    EXPECT_FALSE(IsProcessInConsoleSession(sim::Machine::kSelfId));
}

// --- Choosing the application and the mode ---------------------------------------------------------------

class DefaultLaunchTest : public LaunchTest {
protected:
    void AddThree() {
        alpha = AddApp(L"A", L"Alpha");
        bravo = AddApp(L"B", L"Bravo");
        charlie = AddApp(L"C", L"Charlie");
    }
    std::wstring alpha, bravo, charlie;
};

TEST_F(DefaultLaunchTest, SingleDefaultOfThreeStartsDirect) {
    AddThree();
    SetPref(kHKCU, bravo, L"DefaultFlag", 1);
    InstallSibling();
    LaunchDefault();
    ASSERT_EQ((std::vector<Strings>{{ProgramFile(L"Bravo"), L"mode=direct"}}), ProgramsAndModes());
    EXPECT_EQ((Strings{Quoted(ProgramFile(L"Bravo")), L"module=vandrel", L"params", L"mode=direct",
                       L"devType=volume", L"priDevId=\"E:\""}),
              TheMachine().Spawns()[0].argv);
    EXPECT_EQ(Quoted(ProxyFile(L"Alpha")), RunEntry());
}

TEST_F(DefaultLaunchTest, TwoDefaultsStartFirstOfWholeListWithSelect) {
    AddThree();
    SetPref(kHKCU, bravo, L"DefaultFlag", 1);
    SetPref(kHKCU, charlie, L"DefaultFlag", 1);
    LaunchDefault();
    EXPECT_EQ((std::vector<Strings>{{ProgramFile(L"Alpha"), L"mode=select"}}), ProgramsAndModes());
}

TEST_F(DefaultLaunchTest, NoDefaultSingleApplicationWithoutSiblingStartsDirect) {
    AddApp(L"A", L"Alpha");
    LaunchDefault(L"camera", L"");
    ASSERT_EQ((std::vector<Strings>{{ProgramFile(L"Alpha"), L"mode=direct"}}), ProgramsAndModes());
    EXPECT_EQ(5u, SpawnedCommands()[0].size());
}

TEST_F(DefaultLaunchTest, NoDefaultSingleApplicationWithSiblingStartsSelect) {
    AddApp(L"A", L"Alpha");
    InstallSibling();
    LaunchDefault();
    EXPECT_EQ((std::vector<Strings>{{ProgramFile(L"Alpha"), L"mode=select"}}), ProgramsAndModes());
}

TEST_F(DefaultLaunchTest, NoDefaultTwoApplicationsStartFirstWithSelect) {
    AddApp(L"A", L"Alpha");
    AddApp(L"B", L"Bravo");
    LaunchDefault();
    EXPECT_EQ((std::vector<Strings>{{ProgramFile(L"Alpha"), L"mode=select"}}), ProgramsAndModes());
}

TEST_F(DefaultLaunchTest, OwnLaunchMatchesProxyInAnyCaseAndPassesMode) {
    AddThree();
    TheMachine().SetSelf(L"c:\\apps\\CHARLIE\\proxy.exe");
    std::wstring mode = L"select", devType = L"scanner", devId = L"WIA-7";
    handler.LaunchOwnQEL(mode, devType, devId);
    EXPECT_EQ(
        (std::vector<Strings>{{ProgramFile(L"Charlie"), Quoted(ProgramFile(L"Charlie")), L"module=vandrel",
                               L"params", L"mode=select", L"devType=scanner", L"priDevId=\"WIA-7\""}}),
        SpawnedCommands());
    EXPECT_EQ(Quoted(ProxyFile(L"Charlie")), RunEntry());
}

TEST_F(DefaultLaunchTest, OwnLaunchFromUnregisteredProcessStartsNothing) {
    AddThree();
    std::wstring mode = L"direct", devType = L"volume", devId = L"E:";
    handler.LaunchOwnQEL(mode, devType, devId);
    EXPECT_TRUE(TheMachine().Spawns().empty());
    EXPECT_EQ((Strings{L"<QELBoot><!!! No QEL application found for this QEL proxy. This situation should be "
                       L"avoided.>"}),
              TheMachine().DebugLines());
}

using LaunchDeathTest = LaunchTest;

TEST_F(LaunchDeathTest, DefaultLaunchWithoutApplicationEndsProcess) {
    ExpectEndsProcessForNoApplication([this] { LaunchDefault(); });
}

// --- The sibling's proxy ---------------------------------------------------------------------------------

class SiblingProxyLaunchTest : public LaunchTest {
protected:
    void SetUp() override {
        LaunchTest::SetUp();
        InstallSibling();
    }
    // The device argument given for a device type and identifier.
    std::wstring DeviceArgument(std::wstring devType, std::wstring devId = L"X") {
        std::wstring proxy = kProxy;
        handler.LaunchOST3Proxy(proxy, devType, devId);
        const auto& spawns = TheMachine().Spawns();
        return spawns.empty() || spawns.back().argv.size() != 3 ? L"<not started>" : spawns.back().argv[2];
    }
    const std::wstring kProxy = L"C:\\Ostrand\\OstProxy.exe";
};

TEST_F(SiblingProxyLaunchTest, VolumeStartsProxyWithDAndPrefixedIdentifier) {
    std::wstring proxy = kProxy, devType = L"volume", devId = L"E:";
    handler.LaunchOST3Proxy(proxy, devType, devId);
    ASSERT_EQ((std::vector<Strings>{{kProxy, L"\"C:\\Ostrand\\OstProxy.exe\"", L"-d", L"\"V|E:\""}}),
              SpawnedCommands());
    EXPECT_EQ(os::SpawnMode::NoWait, TheMachine().Spawns()[0].mode);
    EXPECT_EQ((Strings{L"\"C:\\Ostrand\\OstProxy.exe\" -d \"V|E:\""}), TheMachine().DebugLines());
}

TEST_F(SiblingProxyLaunchTest, PrefixFollowsDeviceTypeInAnyCase) {
    EXPECT_EQ(L"\"C|X\"", DeviceArgument(L"Camera"));
    EXPECT_EQ(L"\"S|X\"", DeviceArgument(L"SCANNER"));
    EXPECT_EQ(L"\"S|X\"", DeviceArgument(L"scanner"));
    EXPECT_EQ(L"\"V|X\"", DeviceArgument(L"Volume"));
    EXPECT_EQ(L"\"C|X\"", DeviceArgument(L"mobile"));
    EXPECT_EQ(L"\"C|X\"", DeviceArgument(L""));
    EXPECT_EQ(L"\"C|X\"", DeviceArgument(L"video"));
}

TEST_F(SiblingProxyLaunchTest, IdentifierIsPassedUnchangedWithoutSessionCheck) {
    LeaveConsoleSession();
    EXPECT_EQ(L"\"V|\"", DeviceArgument(L"volume", L""));
    EXPECT_EQ(L"\"C|\"usb#1\"", DeviceArgument(L"camera", L"\"usb#1"));
    EXPECT_EQ(2u, TheMachine().Spawns().size());
}

TEST_F(SiblingProxyLaunchTest, FailedStartWritesOnlyTheFailureLine) {
    std::wstring proxy = L"C:\\Removed\\OstProxy.exe", devType = L"camera", devId = L"usb";
    handler.LaunchOST3Proxy(proxy, devType, devId);
    ASSERT_EQ(1u, TheMachine().Spawns().size());
    EXPECT_EQ(-1, TheMachine().Spawns()[0].result);
    EXPECT_EQ((Strings{L"<QELBoot><!!! Unable to start the process.>"}), TheMachine().DebugLines());
}

} // namespace
} // namespace qel
