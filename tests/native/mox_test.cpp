// The .mox plug-in host and the plug-in tracker on the simulated machine, with scripted plug-ins.
#include <map>

#include "deviceconnect/mox/mox_tracker.h"
#include "deviceconnect/notification.h"
#include "sim_fixture.h"

namespace qel::simtest {
namespace {

using sim::AddFakePlugin;
using sim::FakePluginId;
using sim::FakePluginSetup;
using sim::MakeDeviceEvent;
using sim::PluginSlot;

const std::wstring kDir = L"C:\\moxplugins";
const std::wstring kGate = kDir + L"\\nokiamanager.mox";
const std::wstring kGateLine = L"<***DeviceConnect***><NOKIA Devices will not be detected.>";
std::wstring Detected(const std::wstring& name) {
    return L"<***DeviceConnect***><" + name + L"><Devices will be detected.>";
}

FakePluginSetup Plugin(std::uint32_t id, const std::wstring& name = L"Fake Phone Manager") {
    return {name, id};
}
MOXPluginRecord At(const std::wstring& path) { return {0, {}, L"", path}; }

class Mox : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        TheMachine().SetVersion(6, 1, 1); // only the plug-in tracker starts
    }
    MOXPluginManager manager;
};

TEST_F(Mox, LoadPluginRefusesWhatIsNoUsablePluginAndFreesIt) {
    const struct {
        void (*script)(FakePluginSetup&);
        FxStatus expected;
        const wchar_t* raised; // the code and the call, logged with the module's file as it was given
    } cases[] = {
        {[](FakePluginSetup& s) { s.exportsMain = false; }, FxFailed, nullptr},
        {[](FakePluginSetup& s) { s.nullRoot = true; }, FxFailed, nullptr},
        {[](FakePluginSetup& s) { s.pluginInterface = false; }, FxFailed, nullptr},
        {[](FakePluginSetup& s) { s.throws = PluginSlot::GetName; }, FxException, L"0x20474343 in GetName"},
        {[](FakePluginSetup& s) { s.throws = PluginSlot::Main; }, FxException, L"0x20474343 in FxPluginMain"},
        {[](FakePluginSetup& s) { s.throws = PluginSlot::OnLoad; }, FxException, L"0x20474343 in OnLoad"},
        {[](FakePluginSetup& s) { s.throws = PluginSlot::GetKind, s.raises = 0xC0000005; }, FxException,
         L"0xC0000005 in GetKind"},
    };
    ForEachCase(cases, [&](const auto& c) {
        FakePluginSetup setup;
        c.script(setup);
        auto& plugin = AddFakePlugin(kDir + L"\\a.mox", setup);
        EXPECT_EQ(c.expected, manager.LoadPlugin(At(L".\\moxplugins\\a.mox")));
        EXPECT_TRUE(manager.Plugins().empty());
        EXPECT_EQ(0u, TheMachine().LoadedModuleCount()) << "refused, so the next attempt starts afresh";
        EXPECT_TRUE(c.expected != FxFailed || plugin.references() + plugin.onLoadCalls == 0);
        const std::wstring line =
            L"<***DeviceConnect***><!!! Exception " + std::wstring(c.raised ? c.raised : L"");
        EXPECT_EQ(c.raised ? Strings{line + L" of plug-in .\\moxplugins\\a.mox.>"} : Strings{},
                  TheMachine().DebugLines());
    });
    Fresh();
    TheMachine().SetFileText(kDir + L"\\text.mox", L"not a library");
    EXPECT_EQ(FxFailed, manager.LoadPlugin(At(kDir + L"\\text.mox")));
    EXPECT_EQ(0u, TheMachine().ErrorMode());
}

TEST_F(Mox, PluginsRegisterOncePerIdAndPathAndUnloadByExactPath) {
    auto& a = AddFakePlugin(kDir + L"\\a.mox", Plugin(1, L"Alpha"));
    AddFakePlugin(kDir + L"\\same-id.mox", Plugin(1, L"Alpha again"));
    ASSERT_EQ(FxOk, manager.LoadPlugin(At(kDir + L"\\a.mox")));
    EXPECT_EQ(FxOk, manager.LoadPlugin(At(L"C:\\MOXPLUGINS\\A.MOX"))) << "already loaded: nothing registered";
    EXPECT_EQ(FxFailed, manager.LoadPlugin(At(kDir + L"\\same-id.mox")));
    ASSERT_EQ(1u, manager.Plugins().size());
    const MOXPluginRecord& record = manager.Plugins().front();
    EXPECT_EQ((std::tuple{std::wstring(L"Alpha"), kDir + L"\\a.mox", 0x4D4F58u}),
              (std::tuple{record.name, record.path, record.kind}));
    EXPECT_TRUE(SameId(FakePluginId(1), record.id));
    EXPECT_EQ(std::make_tuple(1, 0u, 1u),
              std::make_tuple(a.onLoadCalls, a.references(), TheMachine().LoadedModuleCount()))
        << "loaded once, holding nothing; the duplicate was freed";
    MOXPluginRecord found;
    EXPECT_EQ(FxNotFound, manager.FindPlugin(FakePluginId(2), &found));
    EXPECT_EQ(FxOk, manager.UnloadPlugin(At(L"C:\\MOXPLUGINS\\A.MOX")));
    EXPECT_EQ(1u, manager.Plugins().size()) << "the record goes only with the path it was loaded under";
    EXPECT_EQ(1, a.onUnloadCalls);
    EXPECT_FALSE(TheMachine().IsLoaded(kDir + L"\\a.mox"));
    EXPECT_EQ(FxOk, manager.UnloadPlugin(At(kDir + L"\\a.mox"))) << "not loaded: nothing to do";
}

TEST_F(Mox, EnumeratorChecksEntriesAndAnswersOnlyItsOwnNumbers) {
    AddFakePlugin(kDir + L"\\a.mox", Plugin(1, L"Alpha"));
    ASSERT_EQ(FxOk, manager.LoadPlugin(At(kDir + L"\\a.mox")));
    IEnumSourceManager* sources = nullptr;
    ASSERT_EQ(FxOk, manager.CreateSourceEnumerator(&sources));
    EXPECT_EQ(FxInvalid, manager.CreateSourceEnumerator(&sources));
    void* out = &out;
    EXPECT_EQ(std::make_pair(0, static_cast<void*>(nullptr)),
              std::make_pair(sources->QueryInterface(2, &out), out));
    EXPECT_EQ(std::make_pair(1, static_cast<void*>(sources)),
              std::make_pair(sources->QueryInterface(9, &out), out));
    EXPECT_EQ(1u, sources->Release());
    MOXSourceInfo entry{};
    entry.version = 1;
    entry.size = 547;
    EXPECT_EQ(FxInvalid, sources->Next(&entry));
    entry.size = 548;
    ASSERT_EQ(FxOk, sources->Next(&entry)) << "the refused call left the cursor alone";
    EXPECT_EQ(std::u16string(u"Alpha"), entry.name);
    EXPECT_EQ(0x4D4F58u, entry.kind);
    entry.kind = 99;
    EXPECT_EQ(FxEnd, sources->Next(&entry));
    EXPECT_EQ(99u, entry.kind);
    EXPECT_EQ(FxOk, sources->Reset());
    EXPECT_EQ(FxOk, sources->Next(&entry));
    EXPECT_EQ(0u, sources->Release());
}

// No gate plug-in for a minute, then one whose source does not open: a line a minute, no tracking; then it
// opens and is tracked. A source whose Advise fails gets no tracker and no line.
TEST_F(Mox, GateIsRetriedEveryMinuteUntilItLoadsAndOpens) {
    auto& m = TheMachine();
    FakePluginSetup closed = Plugin(1, L"Closed"), refusing = Plugin(3, L"Refusing");
    closed.openResult = FxFailed;
    refusing.adviseResult = FxFailed;
    AddFakePlugin(kDir + L"\\closed.mox", closed);
    AddFakePlugin(kDir + L"\\refusing.mox", refusing);
    StartService();
    sim::FakePlugin* gate = nullptr;
    m.At(30000, [&] {
        gate = &AddFakePlugin(kGate, Plugin(2, L"Phone Manager"));
        gate->setup().openResult = FxFailed;
    });
    std::uint32_t heldBetweenAttempts = 1;
    m.At(100000, [&] { heldBetweenAttempts = gate->references(); });
    m.At(150000, [&] { gate->setup().openResult = FxOk; });
    m.RunFor(200000);
    EXPECT_EQ((Strings{kGateLine, kGateLine, kGateLine, Detected(L"Phone Manager")}), m.DebugLines());
    EXPECT_EQ(180000u, m.DebugRecords().back().at);
    EXPECT_EQ(0u, heldBetweenAttempts) << "nothing of an unloaded gate module is held";
}

// Sources that report arrivals are tracked, each on its own thread; one with capability 0 is not. Each
// event's class names the device type; a phone is reported only when it connects; records of another size or
// version are dropped. A host callback that throws frees both locks.
TEST_F(Mox, EachSourceThatReportsArrivalsGetsATrackerAndReachesTheCallback) {
    auto& m = TheMachine();
    FakePluginSetup viewer = Plugin(3, L"Viewer");
    viewer.capability = 0;
    auto& gate = AddFakePlugin(kGate, Plugin(1, L"Phone Manager"));
    auto& other = AddFakePlugin(kDir + L"\\other.mox", Plugin(2, L"Camera Link"));
    AddFakePlugin(kDir + L"\\viewer.mox", viewer);
    StartService();
    ASSERT_TRUE(m.RunUntilIdle());
    EXPECT_EQ((Strings{Detected(L"Phone Manager"), Detected(L"Camera Link")}), m.DebugLines());
    EXPECT_FALSE(m.IsLoaded(kDir + L"\\viewer.mox"));
    ASSERT_TRUE(gate.advised() && other.advised());
    std::vector<MOXDeviceEvent> events;
    for (std::uint32_t c = 0; c < 10; ++c)
        events.push_back(MakeDeviceEvent(c, L"id" + std::to_wstring(c), c == MOXClassMobile ? 1 : 0));
    events.push_back(MakeDeviceEvent(MOXClassMobile, L"gone", 0));
    events.push_back(MakeDeviceEvent(12, L"id12"));
    events.push_back(MakeDeviceEvent(1, L"short"));
    events.back().size = 3643;
    events.push_back(MakeDeviceEvent(1, L"v1"));
    events.back().version = 1;
    gate.RaiseOnOwnThread(events);
    ASSERT_TRUE(m.RunUntilIdle());
    EXPECT_EQ(
        (Strings{L"unknown|id0", L"camera|id1", L"mobile|id2", L"scanner|id3", L"video|id4", L"audio|id5",
                 L"volume|id6", L"archive|id7", L"unknown|id8", L"unknown|id9", L"unknown|id12"}),
        HeardDevices());
    heard.clear();
    hostAction = [](std::wstring&, std::wstring& id) {
        if (id == L"first")
            throw std::runtime_error("host failure");
    };
    gate.RaiseOnOwnThread({MakeDeviceEvent(MOXClassMobile, L"first")});
    other.RaiseOnOwnThread({MakeDeviceEvent(MOXClassCamera, L"second")});
    ASSERT_TRUE(m.RunUntilIdle());
    EXPECT_EQ(2u, heard.size());
}

// While another tracker's callback runs, a source's events wait, each on its own plug-in thread, and are
// delivered one at a time in the order they came; events raised at once from two threads of each of two
// sources all arrive once, each thread's in its order; quitting a source tracker hands everything back.
TEST_F(Mox, EventsWaitForTheCallbackLockInOrderAndQuitReleasesTheSource) {
    auto& m = TheMachine();
    auto& gate = AddFakePlugin(kGate, Plugin(1, L"Phone Manager"));
    auto& other = AddFakePlugin(kDir + L"\\other.mox", Plugin(2, L"Camera Link"));
    StartService();
    ASSERT_TRUE(m.RunUntilIdle());
    hostAction = [](std::wstring&, std::wstring& id) { os::SleepFor(id == L"slow" ? 500 : 1); };
    gate.RaiseOnOwnThread({MakeDeviceEvent(1, L"slow")});
    m.At(m.Now() + 100, [&] { gate.RaiseOnOwnThread({MakeDeviceEvent(1, L"a")}); });
    m.At(m.Now() + 200, [&] { gate.RaiseOnOwnThread({MakeDeviceEvent(1, L"b")}); });
    ASSERT_TRUE(m.RunUntilIdle());
    EXPECT_EQ((Strings{L"camera|slow", L"camera|a", L"camera|b"}), HeardDevices());
    heard.clear();
    std::map<std::wstring, Strings> raised, arrived; // by thread: two of each source
    for (auto* source : {&gate, &other, &gate, &other}) {
        const std::wstring thread = std::to_wstring(raised.size()) + L"-";
        std::vector<MOXDeviceEvent> events;
        for (int n = 0; n < 100; ++n) {
            events.push_back(MakeDeviceEvent(1, thread + std::to_wstring(n)));
            raised[thread].push_back(L"camera|" + thread + std::to_wstring(n));
        }
        source->RaiseOnOwnThread(events);
    }
    ASSERT_TRUE(m.RunUntilIdle());
    for (const auto& device : HeardDevices())
        arrived[device.substr(7, device.find(L'-') - 6)].push_back(device);
    EXPECT_EQ(raised, arrived);
    ASSERT_EQ(1u, gate.references()) << "the tracker's source table";
    EXPECT_EQ(2u, gate.advised()->AddRef()) << "the tracker holds its callback";
    gate.advised()->Release();
    os::PostWindowMessage(m.FindWindowByTitle(L"MOXTrackerWindow"), os::kWmQuit, 0, 0);
    ASSERT_TRUE(m.RunUntilIdle());
    EXPECT_EQ(1, gate.unadviseCalls);
    EXPECT_EQ(0u, gate.references());
    EXPECT_TRUE(m.IsLoaded(kGate)) << "the module stays";
}

} // namespace
} // namespace qel::simtest
