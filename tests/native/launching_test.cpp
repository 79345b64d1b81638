// Starting a compatible application with its launch arguments, choosing the application and the mode,
// the console-session rule, and starting the sibling's proxy.

#include "launch/command_handler.h"
#include "sim_fixture.h"

namespace qel::simtest {
namespace {

const std::wstring kUnableToLaunch = L"<QELBoot><!!! Unable to launch QEL.>";
const std::wstring kViewer = L"C:\\Apps\\Viewer\\Viewer.exe";
const std::wstring kProxy = L"C:\\Ostrand\\OstProxy.exe";

enum : std::uint8_t { kWorkstation = 1, kServer = 3 };

// The debugger line of a start: its arguments separated by single spaces.
std::wstring Joined(const Strings& argv) {
    std::wstring line;
    for (const auto& argument : argv)
        line += (line.empty() ? L"" : L" ") + argument;
    return line;
}

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
    void LaunchSiblingProxy(std::wstring proxy, std::wstring devType, std::wstring devId) {
        handler.LaunchOST3Proxy(proxy, devType, devId);
    }
    CQELBootCommandHandler handler;
};

TEST_F(LaunchTest, StartsProgramWithLaunchArgumentsAndWritesThem) {
    const std::wstring q = Quoted(kViewer), module = L"module=vandrel", params = L"params";
    Launch(kViewer, L"select", L"volume", L"E:");
    Launch(kViewer, L"direct", L"camera", L"\"\\\\?\\usb#vid_04a9"); // a leading quote: passed unchanged
    Launch(q, L"direct", L"", L"");                                  // so is such a path
    Launch(kViewer, L"direct", L"volume", L"");                      // no identifier: no device type either
    Launch(kViewer, L"Slideshow now", L"", L"F:");                   // the mode is not looked at
    Launch(L"", L"direct", L"volume", L"");                          // a start that fails is written too
    const std::vector<Strings> commands{
        {kViewer, q, module, params, L"mode=select", L"devType=volume", L"priDevId=\"E:\""},
        {kViewer, q, module, params, L"mode=direct", L"devType=camera", L"priDevId=\"\\\\?\\usb#vid_04a9"},
        {q, q, module, params, L"mode=direct"},
        {kViewer, q, module, params, L"mode=direct"},
        {kViewer, q, module, params, L"mode=Slideshow now", L"devType=", L"priDevId=\"F:\""},
        {L"", L"\"\"", module, params, L"mode=direct"},
    };
    ExpectSpawns(commands, os::SpawnMode::NoWait);
    Strings lines;
    for (const auto& command : commands)
        lines.push_back(Joined(Strings(command.begin() + 1, command.end())));
    EXPECT_EQ(lines, TheMachine().DebugLines());
    EXPECT_EQ(
        L"\"C:\\Apps\\Viewer\\Viewer.exe\" module=vandrel params mode=select devType=volume priDevId=\"E:\"",
        lines.at(0));
    for (const auto& spawn : TheMachine().Spawns())
        EXPECT_EQ(spawn.program == kViewer, spawn.result != -1);
}

// An empty mode is refused before anything else. XP starts an application only for the user at the console;
// Vista only when there is a device; other classes never ask. Without kernel32 or its console-session lookup
// nobody is at the console. kernel32 is given back.
TEST_F(LaunchTest, EmptyModeIsRefusedFirstAndConsoleSessionRuleFollowsOSClassAndDevice) {
    const struct {
        std::uint32_t major, minor;
        std::uint8_t productType;
        bool inConsole, device, starts;
        int lookup; // 1: without the console-session lookup, 2: without kernel32
    } cases[] = {
        {5, 1, kWorkstation, false, true, false, 0}, {5, 1, kWorkstation, false, false, false, 0},
        {5, 1, kWorkstation, true, true, true, 0},   {5, 1, kWorkstation, true, false, true, 0},
        {6, 0, kWorkstation, false, true, false, 0}, {6, 0, kWorkstation, false, false, true, 0},
        {6, 0, kWorkstation, true, true, true, 0},   {5, 0, kWorkstation, false, true, true, 0},
        {5, 0, kWorkstation, false, false, true, 0}, {6, 0, kServer, false, true, true, 0},
        {6, 1, kWorkstation, false, false, true, 0}, {5, 1, kWorkstation, true, true, false, 1},
        {6, 0, kWorkstation, true, true, false, 2},
    };
    const std::wstring modeNotSet = L"<QELBoot><!!! Mode not set. Unable to launch QEL.>";
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        Fresh();
        TheMachine().SetVersion(c.major, c.minor, c.productType);
        TheMachine().SetConsoleSession(3);
        Self().session = c.inConsole ? 3 : 4;
        if (c.lookup == 1)
            TheMachine().RemoveModuleFunction("WTSGetActiveConsoleSessionId");
        if (c.lookup == 2)
            TheMachine().RemoveModule(L"KERNEL32.DLL");
        Launch(kViewer, L"", L"volume", c.device ? L"E:" : L"");
        Launch(kViewer, L"direct", L"volume", c.device ? L"E:" : L"");
        EXPECT_EQ(c.starts ? 1u : 0u, TheMachine().Spawns().size());
        EXPECT_EQ(modeNotSet, TheMachine().DebugLines().at(0));
        if (!c.starts) {
            EXPECT_EQ((Strings{modeNotSet, kUnableToLaunch}), TheMachine().DebugLines());
        }
        EXPECT_EQ(0u, TheMachine().LoadedModuleCount());
    }
}

using DefaultLaunchTest = LaunchTest;

TEST_F(DefaultLaunchTest, SingleDefaultOrLoneApplicationStartsDirectElseFirstStartsWithSelect) {
    const struct {
        const char* defaults; // one character per application, in list order: '1' for a default
        bool sibling;
        const wchar_t* started;
        const wchar_t* mode;
    } cases[] = {
        {"010", true, L"Bravo", L"direct"},
        {"011", false, L"Alpha", L"select"}, // the first of the whole list, not of the defaults
        {"0", false, L"Alpha", L"direct"},
        {"0", true, L"Alpha", L"select"}, // the sibling is a second choice
        {"00", false, L"Alpha", L"select"},
    };
    const wchar_t* keys[] = {L"A", L"B", L"C"};
    const wchar_t* names[] = {L"Alpha", L"Bravo", L"Charlie"};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.defaults) + (c.sibling ? " with the sibling" : ""));
        Fresh();
        for (std::size_t i = 0; c.defaults[i] != '\0'; ++i)
            SetPref(kHKCU, AddApp(keys[i], names[i]), L"DefaultFlag", c.defaults[i] == '1' ? 1 : 0);
        if (c.sibling)
            InstallSibling();
        std::wstring devType = L"volume", devId = L"E:";
        handler.LaunchDefaultQEL(devType, devId);
        const std::wstring program = ProgramFile(c.started);
        ExpectSpawns({{program, Quoted(program), L"module=vandrel", L"params",
                       L"mode=" + std::wstring(c.mode), L"devType=volume", L"priDevId=\"E:\""}},
                     os::SpawnMode::NoWait);
        EXPECT_EQ(Quoted(ProxyFile(L"Alpha")), RunEntry());
    }
}

TEST_F(DefaultLaunchTest, OwnLaunchMatchesProxyInAnyCaseAndPassesMode) {
    AddApp(L"A", L"Alpha");
    AddApp(L"C", L"Charlie");
    std::wstring mode = L"select", devType = L"scanner", devId = L"WIA-7";
    handler.LaunchOwnQEL(mode, devType, devId);
    EXPECT_TRUE(TheMachine().Spawns().empty());
    EXPECT_EQ((Strings{L"<QELBoot><!!! No QEL application found for this QEL proxy. This situation should be "
                       L"avoided.>"}),
              TheMachine().DebugLines());

    TheMachine().SetSelf(L"c:\\apps\\CHARLIE\\proxy.exe");
    handler.LaunchOwnQEL(mode, devType, devId);
    const std::wstring program = ProgramFile(L"Charlie");
    ExpectSpawns({{program, Quoted(program), L"module=vandrel", L"params", L"mode=select", L"devType=scanner",
                   L"priDevId=\"WIA-7\""}},
                 os::SpawnMode::NoWait);
    EXPECT_EQ(Quoted(ProxyFile(L"Charlie")), RunEntry());
}

using SiblingProxyLaunchTest = LaunchTest;

// "V|" for a volume, "S|" for a scanner, "C|" for anything else; no session check. A start that fails writes
// only the failure line.
TEST_F(SiblingProxyLaunchTest, DeviceArgumentIsIdentifierAfterPrefixOfDeviceTypeInAnyCase) {
    const std::wstring kGone = L"C:\\Removed\\OstProxy.exe";
    const struct {
        const wchar_t* devType;
        const wchar_t* devId;
        const wchar_t* argument;
        std::wstring proxy;
    } cases[] = {
        {L"volume", L"E:", L"\"V|E:\"", kProxy},  {L"Volume", L"X", L"\"V|X\"", kProxy},
        {L"SCANNER", L"X", L"\"S|X\"", kProxy},   {L"scanner", L"X", L"\"S|X\"", kProxy},
        {L"Camera", L"X", L"\"C|X\"", kProxy},    {L"", L"X", L"\"C|X\"", kProxy},
        {L"volume", L"", L"\"V|\"", kProxy},      {L"camera", L"\"usb#1", L"\"C|\"usb#1\"", kProxy},
        {L"camera", L"usb", L"\"C|usb\"", kGone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.argument));
        Fresh();
        InstallSibling();
        Self().session = 2;
        LaunchSiblingProxy(c.proxy, c.devType, c.devId);
        ExpectSpawns({{c.proxy, Quoted(c.proxy), L"-d", c.argument}}, os::SpawnMode::NoWait);
        EXPECT_EQ(c.proxy == kGone ? Strings{L"<QELBoot><!!! Unable to start the process.>"}
                                   : Strings{Quoted(c.proxy) + L" -d " + c.argument},
                  TheMachine().DebugLines());
    }
}

} // namespace
} // namespace qel::simtest
