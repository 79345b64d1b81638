// Keeping the log-on entry on a registered proxy, finding the calling proxy's own application, and handing
// over to another application's proxy on uninstall.

#include <functional>
#include <tuple>

#include "launch/order.h"
#include "sim_fixture.h"

namespace qel::simtest {
namespace {

const std::wstring kOtherRunEntry = L"\"C:\\Elsewhere\\Other.exe\"";

class OrderTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        AddRunKey();
        SetRunEntry(kOtherRunEntry);
    }
    CQELBootInformationHandler handler;
};

// The entry, and the calling proxy's own application after the order was maintained, are the caller's proxy
// matched in any case; the entry is the first proxy for any other caller, written into the run key only where
// it exists and may be written.
TEST_F(OrderTest, EntryAndOwnApplicationAreCallersProxyMatchedInAnyCaseElseEntryIsFirstProxy) {
    AddApp(L"A", L"Alpha");
    AddApp(L"B", L"Bravo");
    appInfo_tag own = SentinelRecord();
    EXPECT_FALSE(GetOwnApplicationInfo(handler, own)); // from a process that is no registered proxy
    EXPECT_EQ(Fields(SentinelRecord()), Fields(own));
    EXPECT_EQ(Quoted(ProxyFile(L"Alpha")), RunEntry());
    TheMachine().SetSelf(L"c:\\APPS\\bravo\\proxy.EXE");
    handler.MaintainOrder();
    EXPECT_EQ(Quoted(ProxyFile(L"Bravo")), RunEntry());
    EXPECT_EQ((Strings{L"Alpha", L"Bravo"}), Names(handler.apps));
    SetRunEntry(kOtherRunEntry);
    EXPECT_TRUE(GetOwnApplicationInfo(handler, own));
    EXPECT_EQ(Fields(RecordOf(L"Bravo", RegistrationPath(L"B"), 0, {})), Fields(own));
    EXPECT_EQ(Quoted(ProxyFile(L"Bravo")), RunEntry());
    Self().openable = false;
    handler.MaintainOrder();
    EXPECT_EQ(Quoted(ProxyFile(L"Alpha")), RunEntry());
    EXPECT_TRUE(TheMachine().DebugLines().empty());
    TheMachine().DenyWrite(kHKLM, kRunKeyPath);
    TheMachine().SetSelf(ProxyFile(L"Bravo"));
    handler.MaintainOrder();
    EXPECT_EQ(Quoted(ProxyFile(L"Alpha")), RunEntry()) << "the entry may not be written";
    sim::Machine::Reset();
    AddApp(L"A", L"Alpha");
    handler.MaintainOrder();
    EXPECT_FALSE(TheMachine().KeyExists(kHKLM, kRunKeyPath)) << "the run key is never made";
}

TEST_F(OrderTest, CurrentProcessInfoGivesIdAndPathCutAt259OrLeavesRecord) {
    const auto read = [] {
        processInfo_tag info{7, L"<path>"};
        const bool opened = GetCurrentProcessInfo(info);
        return std::make_tuple(opened, info.processId, info.modulePath);
    };
    const std::wstring longPath = L"C:\\" + std::wstring(300, L'p') + L".exe";
    TheMachine().SetSelf(longPath);
    EXPECT_EQ(std::make_tuple(true, sim::Machine::kSelfId, longPath.substr(0, 259)), read());
    Self().path = L""; // the path cannot be read
    EXPECT_EQ(std::make_tuple(true, 7u, std::wstring(L"<path>")), read());
    Self().openable = false;
    EXPECT_EQ(std::make_tuple(false, 7u, std::wstring(L"<path>")), read());
    EXPECT_EQ(0u, TheMachine().OpenHandleCount());
}

using OrderDeathTest = OrderTest;

// Every call that maintains the order first: with no compatible application left it hands launching back to
// the sibling, deletes the entry and ends the process with code 0 right after the two lines that say so.
TEST_F(OrderDeathTest, NoApplicationLeftHandsBackToSiblingDeletesEntryAndEndsWithCodeZero) {
    InstallSibling();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    CQELBootCommandHandler commands;
    std::wstring name = L"Alpha", status = L"bogus", devType = L"volume", devId = L"E:";
    const std::function<void()> calls[] = {
        [&] { commands.MaintainOrder(); }, [&] { commands.LaunchDefaultQEL(devType, devId); },
        [&] { commands.GetQELLaunchStatus(); }, [&] { commands.SetApplicationDefaultStatus(name, status); }};
    for (const auto& call : calls) {
        EXPECT_EXIT(
            (TheMachine().EchoDebugLinesToStderr(true), call()), ::testing::ExitedWithCode(0),
            "^<QELBoot><!!! No QEL Compatible application found\\. This situation should be avoided\\.>\n"
            "<spawn> \"C:\\\\Ostrand\\\\OstrandDeviceConnect\\.exe\" -i\n"
            "<value deleted> Quorl Vandrel\n"
            "<QELBoot><Deleting run key\\. Auto run is going to discontinue from now onwards\\.>\n$")
            << &call - calls;
    }
}

class UninstallTest : public OrderTest {
protected:
    void SetUp() override {
        OrderTest::SetUp();
        AddApp(L"A", L"Alpha");
        AddApp(L"C", L"Charlie");
        InstallSibling();
        TheMachine().SetSelf(ProxyFile(L"Charlie"));
    }
    // A running instance of the calling program showing its boot window: the process and the window.
    static std::pair<std::uint32_t, std::uintptr_t>
    AddInstance(const std::wstring& title = L"Quorl Vandrel Boot") {
        const std::uint32_t id = TheMachine().AddProcess(ProxyFile(L"Charlie"));
        return {id, static_cast<std::uintptr_t>(TheMachine().AddWindow(id, title))};
    }
    using Sent = std::vector<std::tuple<std::uintptr_t, std::uint32_t, std::uint32_t, std::uint64_t>>;
    using Ended = std::vector<std::tuple<std::uint32_t, std::uint32_t, std::uint64_t>>;
    // Every message sent as (window, its process, message, time), every ending as (id, exit code, time).
    static std::pair<Sent, Ended> Handled() {
        std::pair<Sent, Ended> handled;
        for (const auto& m : TheMachine().SentMessages())
            handled.first.emplace_back(static_cast<std::uintptr_t>(m.window), m.processId, m.message, m.at);
        for (const auto& t : TheMachine().Terminations())
            handled.second.emplace_back(t.id, t.exitCode, t.at);
        return handled;
    }
    static constexpr std::uint32_t kQuit = 0x0012;
};

TEST_F(UninstallTest, WithoutAnotherInstanceThatCanBeFoundChangesNothing) {
    const auto uninstallChangesNothing = [this](const char* situation) {
        SCOPED_TRACE(situation);
        handler.Uninstall();
        auto& m = TheMachine(); // the list is not even loaded, so no user key is made
        EXPECT_EQ(std::make_tuple(std::optional(kOtherRunEntry), true, true, true, true, 0u, true, false, 0u),
                  std::make_tuple(RunEntry(), m.SentMessages().empty(), m.Terminations().empty(),
                                  m.Spawns().empty(), m.DebugLines().empty(), m.Now(), handler.apps.empty(),
                                  m.KeyExists(kHKCU, RegistrationPath(L"A") + L"\\Preferences"),
                                  m.OpenHandleCount()));
    };
    TheMachine().AddWindow(TheMachine().AddProcess(ProxyFile(L"Alpha")), L"Quorl Vandrel Boot");
    TheMachine().FindProcess(TheMachine().AddProcess(ProxyFile(L"Charlie")))->openable = false;
    TheMachine().AddProcess(L""); // its path cannot be read
    uninstallChangesNothing("other programs and instances that cannot be read");
    AddInstance();
    TheMachine().FailProcessSnapshot(true);
    uninstallChangesNothing("failed process walk");
    TheMachine().FailProcessSnapshot(false);
    Self().openable = false;
    uninstallChangesNothing("unreadable calling process");
}

// Each instance is asked to quit through its boot window (titles compare in any case), ended 2 s later, and
// 2 s after the last the next registered proxy starts; other programs' windows are left alone.
TEST_F(UninstallTest, EveryInstanceIsAskedToQuitEndedInTurnAndNextProxyStarted) {
    const std::vector<std::vector<const wchar_t*>> cases = {{L"QUORL VANDREL BOOT"},
                                                            {L"Quorl Vandrel Boot", L"quorl vandrel boot"},
                                                            {nullptr}}; // null: no window
    for (const auto& titles : cases) {
        SCOPED_TRACE(titles.size());
        Fresh();
        const std::uint32_t unrelated = TheMachine().AddProcess(L"C:\\Tools\\Editor.exe");
        TheMachine().AddWindow(unrelated, L"Quorl Vandrel Boot - notes");
        Sent sent;
        Ended ended;
        for (const wchar_t* title : titles) {
            const std::uint64_t at = 2000 * ended.size();
            const auto [id, window] =
                title ? AddInstance(title)
                      : std::pair(TheMachine().AddProcess(ProxyFile(L"Charlie")), std::uintptr_t{0});
            if (title)
                sent.emplace_back(window, id, kQuit, at);
            ended.emplace_back(id, 0, at + 2000);
        }
        handler.Uninstall();
        EXPECT_EQ(std::pair(sent, ended), Handled());
        EXPECT_TRUE(TheMachine().FindProcess(unrelated)->alive);
        ExpectSpawns({{ProxyFile(L"Alpha"), Quoted(ProxyFile(L"Alpha"))}}, os::SpawnMode::NoWait);
        const std::uint64_t spawnedAt = 2000 * ended.size() + 2000;
        EXPECT_EQ(spawnedAt, TheMachine().Spawns().at(0).at);
        EXPECT_EQ(spawnedAt, TheMachine().Now());
        EXPECT_EQ((Strings{L"<QELBoot><Switching application to ...<Alpha><C:\\Apps\\Alpha\\Proxy.exe> >"}),
                  TheMachine().DebugLines());
        EXPECT_EQ(Quoted(ProxyFile(L"Charlie")), RunEntry()); // the order was maintained before switching
    }
}

TEST_F(UninstallTest, SwitchSkipsCallingProgramInAnyCase) {
    TheMachine().SetSelf(L"c:\\apps\\alpha\\PROXY.exe");
    TheMachine().AddProcess(L"C:\\Apps\\Alpha\\Proxy.exe");
    handler.Uninstall();
    ExpectSpawns({{ProxyFile(L"Charlie"), Quoted(ProxyFile(L"Charlie"))}}, os::SpawnMode::NoWait);
    EXPECT_EQ((Strings{L"<QELBoot><Switching application to ...<Charlie><C:\\Apps\\Charlie\\Proxy.exe> >"}),
              TheMachine().DebugLines());
}

TEST_F(UninstallTest, OnlyRegisteredProxyLeftDeletesEntryAndGivesLaunchingBackToSibling) {
    TheMachine().RemoveFile(ProxyFile(L"Alpha")); // no longer listed
    AddInstance();
    handler.Uninstall();
    EXPECT_EQ(1u, TheMachine().Terminations().size());
    ExpectSpawns({SiblingCommand(L"-i")}, os::SpawnMode::Detach);
    EXPECT_TRUE(TheMachine().KeyExists(kHKLM, kRunKeyPath) &&
                !TheMachine().GetValue(kHKLM, kRunKeyPath, kRunValueName));
    EXPECT_EQ((Strings{L"<QELBOOT><Deleting run key. Auto run is going to discontinue from now onwards.>"}),
              TheMachine().DebugLines());
    EXPECT_EQ(4000u, TheMachine().Now());
}

} // namespace
} // namespace qel::simtest
