// Keeping the log-on entry on a registered proxy, finding the calling proxy's own application, and handing
// over to another application's proxy on uninstall.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launch/order.h"
#include "qelboot.h"
#include "sim_fixture.h"

namespace qel {
namespace {

using namespace simtest;

const std::wstring kOtherRunEntry = L"\"C:\\Elsewhere\\Other.exe\"";
const std::wstring kSwitchingAlpha =
    L"<QELBoot><Switching application to ...<Alpha><C:\\Apps\\Alpha\\Proxy.exe> >";

class OrderTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        AddRunKey();
        TheMachine().SetString(kHKLM, kRunKeyPath, kRunValueName, kOtherRunEntry);
    }
    CQELBootInformationHandler handler;
};

TEST_F(OrderTest, FromRegisteredProxyEntryHoldsItsQuotedProxyInAnyCase) {
    AddApp(L"A", L"Alpha");
    AddApp(L"B", L"Bravo");
    TheMachine().SetSelf(L"c:\\APPS\\bravo\\proxy.EXE");
    handler.MaintainOrder();
    EXPECT_EQ(Quoted(L"C:\\Apps\\Bravo\\Proxy.exe"), RunEntry());
    EXPECT_EQ((Strings{L"Alpha", L"Bravo"}), Names(handler.apps));
    EXPECT_TRUE(TheMachine().DebugLines().empty());
}

TEST_F(OrderTest, FromUnregisteredProcessEntryHoldsFirstProxy) {
    AddApp(L"A", L"Alpha");
    AddApp(L"B", L"Bravo");
    handler.MaintainOrder();
    EXPECT_EQ(Quoted(ProxyFile(L"Alpha")), RunEntry());
}

TEST_F(OrderTest, UnreadableCallingProcessTakesFirstProxy) {
    AddApp(L"A", L"Alpha");
    AddApp(L"B", L"Bravo");
    TheMachine().SetSelf(ProxyFile(L"Bravo"));
    TheMachine().FindProcess(sim::Machine::kSelfId)->openable = false;
    handler.MaintainOrder();
    EXPECT_EQ(Quoted(ProxyFile(L"Alpha")), RunEntry());
}

TEST_F(OrderTest, UnwritableRunKeyKeepsEntryAndMissingOneIsNotCreated) {
    AddApp(L"A", L"Alpha");
    TheMachine().DenyWrite(kHKLM, kRunKeyPath);
    handler.MaintainOrder();
    EXPECT_EQ(kOtherRunEntry, RunEntry());
    sim::Machine::Reset();
    AddApp(L"A", L"Alpha");
    handler.MaintainOrder();
    EXPECT_FALSE(TheMachine().KeyExists(kHKLM, kRunKeyPath));
}

TEST_F(OrderTest, SetRunKeyQuotesExistingPathOnce) {
    EXPECT_FALSE(SetRunKey(L"C:\\Missing\\Proxy.exe"));
    EXPECT_EQ(kOtherRunEntry, RunEntry());
    TheMachine().AddFile(L"C:\\Apps\\Proxy.exe");
    EXPECT_TRUE(SetRunKey(L"C:\\Apps\\Proxy.exe"));
    EXPECT_EQ(L"\"C:\\Apps\\Proxy.exe\"", RunEntry()); // REG_SZ, as RunEntry reads only that type
    TheMachine().AddFile(L"\"C:\\Apps\\Proxy.exe");
    EXPECT_TRUE(SetRunKey(L"\"C:\\Apps\\Proxy.exe"));
    EXPECT_EQ(L"\"C:\\Apps\\Proxy.exe", RunEntry());
}

TEST_F(OrderTest, DeleteRunKeyRemovesValueAndSucceedsWithoutIt) {
    EXPECT_TRUE(DeleteRunKey());
    EXPECT_FALSE(TheMachine().GetValue(kHKLM, kRunKeyPath, kRunValueName).has_value());
    EXPECT_TRUE(DeleteRunKey());
    EXPECT_TRUE(TheMachine().KeyExists(kHKLM, kRunKeyPath));
    sim::Machine::Reset();
    EXPECT_FALSE(DeleteRunKey());
    EXPECT_FALSE(TheMachine().KeyExists(kHKLM, kRunKeyPath));
}

TEST_F(OrderTest, CurrentProcessInfoGivesIdAndPathCutAt259) {
    const std::wstring longPath = L"C:\\" + std::wstring(300, L'p') + L".exe";
    TheMachine().SetSelf(longPath);
    processInfo_tag info;
    EXPECT_TRUE(GetCurrentProcessInfo(info));
    EXPECT_EQ(sim::Machine::kSelfId, info.processId);
    EXPECT_EQ(longPath.substr(0, 259), info.modulePath);
    EXPECT_EQ(0u, TheMachine().OpenHandleCount());
}

TEST_F(OrderTest, CurrentProcessInfoLeavesRecordWhenProcessOrPathCannotBeRead) {
    processInfo_tag info{7, L"<path>"};
    TheMachine().FindProcess(sim::Machine::kSelfId)->path = L"";
    EXPECT_TRUE(GetCurrentProcessInfo(info));
    EXPECT_EQ(7u, info.processId);
    EXPECT_EQ(L"<path>", info.modulePath);
    TheMachine().FindProcess(sim::Machine::kSelfId)->openable = false;
    EXPECT_FALSE(GetCurrentProcessInfo(info));
    EXPECT_EQ(L"<path>", info.modulePath);
    EXPECT_EQ(0u, TheMachine().OpenHandleCount());
}

TEST_F(OrderTest, OwnApplicationMatchesProxyWithoutRegardToCase) {
    AddApp(L"A", L"Alpha");
    AddApp(L"B", L"Bravo");
    TheMachine().SetSelf(L"C:\\APPS\\BRAVO\\PROXY.EXE");
    appInfo_tag own;
    EXPECT_TRUE(GetOwnApplicationInfo(handler, own));
    EXPECT_EQ(L"Bravo", own.name);
    EXPECT_EQ(RegistrationPath(L"B"), own.keyPath);
    EXPECT_EQ(Quoted(ProxyFile(L"Bravo")), RunEntry());
}

TEST_F(OrderTest, OwnApplicationOfUnregisteredProcessIsFalseAndRecordUntouched) {
    AddApp(L"A", L"Alpha");
    appInfo_tag own = SentinelRecord();
    EXPECT_FALSE(GetOwnApplicationInfo(handler, own));
    EXPECT_TRUE(SameRecord(SentinelRecord(), own));
    EXPECT_EQ(Quoted(ProxyFile(L"Alpha")), RunEntry());
}

using OrderDeathTest = OrderTest;

TEST_F(OrderDeathTest, NoApplicationLeftHandsBackToSiblingDeletesEntryAndEndsWithCodeZero) {
    InstallSibling();
    ExpectEndsProcessForNoApplication([this] { handler.MaintainOrder(); },
                                      "<spawn> \"C:\\\\Ostrand\\\\OstrandDeviceConnect\\.exe\" -i\n"
                                      "<value deleted> Quorl Vandrel\n");
}

// --- Uninstall -----------------------------------------------------------------------------------------

class UninstallTest : public OrderTest {
protected:
    void SetUp() override {
        OrderTest::SetUp();
        AddApp(L"A", L"Alpha");
        AddApp(L"C", L"Charlie");
        InstallSibling();
        TheMachine().SetSelf(ProxyFile(L"Charlie"));
    }
    // A running instance of the calling program showing its boot window.
    std::uint32_t AddInstance(const std::wstring& title = L"Quorl Vandrel Boot") {
        const std::uint32_t id = TheMachine().AddProcess(ProxyFile(L"Charlie"));
        windows.push_back(TheMachine().AddWindow(id, title));
        return id;
    }
    bool Alive(std::uint32_t id) { return TheMachine().FindProcess(id)->alive; }
    std::vector<os::Window> windows;
};

TEST_F(UninstallTest, WithoutOtherInstanceChangesNothing) {
    const std::uint32_t other = TheMachine().AddProcess(ProxyFile(L"Alpha"));
    TheMachine().AddWindow(other, L"Quorl Vandrel Boot");
    const std::uint32_t locked = TheMachine().AddProcess(ProxyFile(L"Charlie"));
    TheMachine().FindProcess(locked)->openable = false;
    TheMachine().AddProcess(L"");
    handler.Uninstall();
    EXPECT_EQ(kOtherRunEntry, RunEntry());
    EXPECT_TRUE(TheMachine().SentMessages().empty());
    EXPECT_TRUE(TheMachine().Terminations().empty());
    EXPECT_TRUE(TheMachine().Spawns().empty());
    EXPECT_TRUE(TheMachine().DebugLines().empty());
    EXPECT_EQ(0u, TheMachine().Now());
    EXPECT_TRUE(handler.apps.empty());
    EXPECT_FALSE(TheMachine().KeyExists(kHKCU, RegistrationPath(L"A") + L"\\Preferences"));
    EXPECT_EQ(0u, TheMachine().OpenHandleCount());
}

TEST_F(UninstallTest, FailedProcessWalkChangesNothing) {
    const std::uint32_t instance = AddInstance();
    TheMachine().FailProcessSnapshot(true);
    handler.Uninstall();
    EXPECT_TRUE(Alive(instance));
    EXPECT_TRUE(TheMachine().SentMessages().empty());
    EXPECT_TRUE(TheMachine().Spawns().empty());
    EXPECT_EQ(kOtherRunEntry, RunEntry());
}

TEST_F(UninstallTest, UnreadableCallingProcessFindsNoInstance) {
    TheMachine().FindProcess(sim::Machine::kSelfId)->openable = false;
    const std::uint32_t instance = AddInstance();
    handler.Uninstall();
    EXPECT_TRUE(Alive(instance));
    EXPECT_TRUE(TheMachine().Spawns().empty());
    EXPECT_EQ(kOtherRunEntry, RunEntry());
}

TEST_F(UninstallTest, OneInstanceIsAskedToQuitEndedAndNextProxyStarted) {
    const std::uint32_t unrelated = TheMachine().AddProcess(L"C:\\Tools\\Editor.exe");
    TheMachine().AddWindow(unrelated, L"Quorl Vandrel Boot - notes");
    const std::uint32_t instance = AddInstance(L"QUORL VANDREL BOOT");
    handler.Uninstall();

    const auto& sent = TheMachine().SentMessages();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(windows[0], sent[0].window);
    EXPECT_EQ(instance, sent[0].processId);
    EXPECT_EQ(0x0012u, sent[0].message);
    EXPECT_EQ(0u, sent[0].at);

    const auto& ended = TheMachine().Terminations();
    ASSERT_EQ(1u, ended.size());
    EXPECT_EQ(instance, ended[0].id);
    EXPECT_EQ(0u, ended[0].exitCode);
    EXPECT_EQ(2000u, ended[0].at);
    EXPECT_TRUE(Alive(unrelated));

    const std::wstring next = L"C:\\Apps\\Alpha\\Proxy.exe";
    ASSERT_EQ((std::vector<Strings>{{next, L"\"C:\\Apps\\Alpha\\Proxy.exe\""}}), SpawnedCommands());
    EXPECT_EQ(os::SpawnMode::NoWait, TheMachine().Spawns()[0].mode);
    EXPECT_EQ(4000u, TheMachine().Spawns()[0].at);
    EXPECT_EQ((Strings{kSwitchingAlpha}), TheMachine().DebugLines());
    EXPECT_EQ(Quoted(ProxyFile(L"Charlie")), RunEntry()); // the order was maintained before switching
    EXPECT_EQ(4000u, TheMachine().Now());
}

TEST_F(UninstallTest, SwitchSkipsCallingProgramInAnyCase) {
    sim::Machine::Reset();
    AddRunKey();
    AddApp(L"A", L"Alpha");
    AddApp(L"C", L"Charlie");
    TheMachine().SetSelf(L"c:\\apps\\alpha\\PROXY.exe");
    TheMachine().AddProcess(L"C:\\Apps\\Alpha\\Proxy.exe");
    handler.Uninstall();
    EXPECT_EQ((std::vector<Strings>{{ProxyFile(L"Charlie"), Quoted(ProxyFile(L"Charlie"))}}),
              SpawnedCommands());
    EXPECT_EQ((Strings{L"<QELBoot><Switching application to ...<Charlie><C:\\Apps\\Charlie\\Proxy.exe> >"}),
              TheMachine().DebugLines());
}

TEST_F(UninstallTest, TwoInstancesAreEndedOneAfterTheOther) {
    const std::uint32_t first = AddInstance();
    const std::uint32_t second = AddInstance(L"quorl vandrel boot");
    handler.Uninstall();

    const auto& sent = TheMachine().SentMessages();
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ(windows[0], sent[0].window);
    EXPECT_EQ(0u, sent[0].at);
    EXPECT_EQ(windows[1], sent[1].window);
    EXPECT_EQ(second, sent[1].processId);
    EXPECT_EQ(0x0012u, sent[1].message);
    EXPECT_EQ(2000u, sent[1].at);

    const auto& ended = TheMachine().Terminations();
    ASSERT_EQ(2u, ended.size());
    EXPECT_EQ(first, ended[0].id);
    EXPECT_EQ(2000u, ended[0].at);
    EXPECT_EQ(second, ended[1].id);
    EXPECT_EQ(0u, ended[1].exitCode);
    EXPECT_EQ(4000u, ended[1].at);

    ASSERT_EQ(1u, TheMachine().Spawns().size());
    EXPECT_EQ(6000u, TheMachine().Spawns()[0].at);
    EXPECT_EQ((Strings{kSwitchingAlpha}), TheMachine().DebugLines());
}

TEST_F(UninstallTest, InstanceWithoutBootWindowIsStillEnded) {
    const std::uint32_t instance = TheMachine().AddProcess(ProxyFile(L"Charlie"));
    handler.Uninstall();
    EXPECT_TRUE(TheMachine().SentMessages().empty());
    ASSERT_EQ(1u, TheMachine().Terminations().size());
    EXPECT_EQ(instance, TheMachine().Terminations()[0].id);
    EXPECT_EQ(2000u, TheMachine().Terminations()[0].at);
    EXPECT_EQ(1u, TheMachine().Spawns().size());
}

TEST_F(UninstallTest, OnlyRegisteredProxyLeftDeletesEntryAndGivesLaunchingBackToSibling) {
    sim::Machine::Reset();
    AddRunKey();
    AddApp(L"C", L"Charlie");
    InstallSibling();
    TheMachine().SetSelf(ProxyFile(L"Charlie"));
    AddInstance();
    handler.Uninstall();
    EXPECT_EQ(1u, TheMachine().Terminations().size());
    const std::wstring program = SiblingDeviceConnect();
    ASSERT_EQ((std::vector<Strings>{{program, Quoted(program), L"-i"}}), SpawnedCommands());
    EXPECT_EQ(os::SpawnMode::Detach, TheMachine().Spawns()[0].mode);
    EXPECT_TRUE(TheMachine().KeyExists(kHKLM, kRunKeyPath));
    EXPECT_FALSE(TheMachine().GetValue(kHKLM, kRunKeyPath, kRunValueName).has_value());
    EXPECT_EQ((Strings{L"<QELBOOT><Deleting run key. Auto run is going to discontinue from now onwards.>"}),
              TheMachine().DebugLines());
    EXPECT_EQ(4000u, TheMachine().Now());
}

} // namespace
} // namespace qel
