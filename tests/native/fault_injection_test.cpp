// Every system call of every road fails once, with the failure Windows can give or as memory exhaustion: each
// road still ends as it should, gives back what it took, and lists, reports, launches or stores nothing it
// would not have without the failure.
#include <array>
#include <cstdio>

#include "deviceconnect/mox/mox_tracker.h"
#include "deviceconnect/notification.h"
#include "deviceconnect/startup/library_load.h"
#include "sim_fixture.h"

namespace qel::simtest {
namespace {

using Fault = sim::Machine::FaultKind;
using Held = std::array<long, 5>; // handles, own windows, COM objects, COM apartments, modules

Strings out; // what the road lists, reports or launches
void Record(std::wstring& type, std::wstring& id) { out.push_back(type + L"|" + id); }

const std::wstring kDc = L"<***DeviceConnect***>";
const std::wstring kNoApplication =
    L"<QELBoot><!!! No QEL Compatible application found. This situation should be avoided.>";

struct Road {
    const char* name;
    std::uint64_t runMs; // how long the device side runs; its threads never end
    Strings expected;    // what the road gives without a failure
    bool mayRepeat;      // a failed probe can make the card seem gone, and new again
    std::function<void(sim::Machine&)> setUp;
    std::function<bool()> run; // on the process's main thread
};

// What a road gives and holds, to which every run with a failure is compared.
struct Outcome {
    Strings out, flags; // flags: the default flags, which a road may change
    Held held{};
};

// The device side starts as the library loads; its reports reach Record.
bool StartService() {
    InitialiseLibraryState();
    RegisterDeviceConnectCallback(&Record);
    StartDeviceConnectService();
    return true;
}

void Applications(sim::Machine& m) {
    AddRunKey();
    SetFormat(AddApp(L"A", L"Alpha"), L"Image", L"jpg");
    SetFormat(AddApp(L"B", L"Bravo"), L"Image", L"jpg png");
    m.SetSelf(ProxyFile(L"Alpha"));
}

bool Spawning(const std::function<void()>& launch) {
    launch();
    for (const auto& spawn : TheMachine().Spawns())
        out.push_back(spawn.program + L" " + spawn.argv.back());
    return true;
}

std::vector<Road> Roads() {
    return {
        {"loading the list", 0, Strings{ProxyFile(L"Alpha"), ProxyFile(L"Bravo")}, false, Applications,
         [] {
             CQELBootInformationHandler handler;
             std::vector<appInfo_tag> records;
             handler.LoadInformation();
             const bool result = handler.GetAllApplicationInfo(records);
             out = Names(records, &appInfo_tag::proxyPath); // a name that cannot be read is left empty
             return result;
         }},
        {"-default", 0, Strings{}, false, Applications,
         [] {
             std::wstring name = L"Bravo", status = L"yes";
             return CQELBootCommandHandler().SetApplicationDefaultStatus(name, status);
         }},
        {"taking control", 0, Strings(), false, Applications,
         [] { return CQELBootCommandHandler().TakeControl(); }},
        {"launching its own application", 0, Strings{L"C:\\Apps\\Alpha\\Alpha.exe priDevId=\"E:\""}, false,
         Applications,
         [] {
             return Spawning([] {
                 std::wstring mode = L"direct", type = L"volume", id = L"E:";
                 CQELBootCommandHandler().LaunchOwnQEL(mode, type, id);
             });
         }},
        {"uninstall", 0, Strings{L"C:\\Apps\\Bravo\\Proxy.exe \"C:\\Apps\\Bravo\\Proxy.exe\""}, false,
         [](sim::Machine& m) {
             Applications(m);
             m.AddProcess(ProxyFile(L"Alpha"));
         },
         [] { return Spawning([] { CQELBootInformationHandler().Uninstall(); }); }},
        {"a card arriving", 6000, Strings{L"volume|E:"}, true,
         [](sim::Machine& m) {
             Applications(m);
             QuietPluginTracker();
             m.At(1000, [&m] {
                 m.AddFile(L"E:\\DCIM\\100CARD\\IMG_0001.JPG");
                 m.AddDrive(L'E', os::kDriveRemovable);
                 m.BroadcastDeviceChange(os::kDbtDeviceArrival);
             });
         },
         StartService},
        {"a plug-in's event", 3000, Strings{L"mobile|phone"}, false,
         [](sim::Machine& m) {
             m.SetVersion(6, 1, 1);
             auto& gate = sim::AddFakePlugin(L"C:\\moxplugins\\nokiamanager.mox", {});
             m.At(1000, [&gate] { gate.RaiseOnOwnThread({sim::MakeDeviceEvent(MOXClassMobile, L"phone")}); });
         },
         StartService},
        // The camera's data source is not installed: the manager is asked about it at every listing.
        {"a scanner through STI and TWAIN", 3000, Strings{L"scanner|\"Scanner DS\""}, false,
         [](sim::Machine& m) {
             QuietPluginTracker();
             m.TwainSources() = {"Scanner DS"};
             AddSti(L"camera", kCameraType, L"Gone DS");
             m.At(1000, [&m] {
                 AddSti(kScanner, kScannerType, L"Scanner DS");
                 m.PostMessage(m.FindWindowByTitle(L"STITrackerWindow"), os::kWmDeviceChange,
                               os::kDbtDevNodesChanged, 0);
             });
         },
         StartService},
        {"a WIA event", 3000, Strings{L"scanner|" + kScanner}, false,
         [](sim::Machine& m) {
             QuietPluginTracker();
             m.WiaDevices().push_back({kScanner, kScannerType});
             m.At(1000, [&m] { m.RaiseWiaConnection(kScanner); });
         },
         StartService},
    };
}

Strings DefaultFlags() {
    Strings flags;
    for (const auto hive : {kHKLM, kHKCU}) {
        for (const wchar_t* app : {L"A", L"B"})
            flags.push_back(std::to_wstring(Flag(hive, RegistrationPath(app)).value_or(9)));
    }
    return flags;
}

bool Subsequence(const Strings& part, const Strings& whole) {
    auto at = whole.begin();
    return std::all_of(part.begin(), part.end(), [&](const auto& item) {
        return (at = std::find(at, whole.end(), item)) != whole.end() && ++at >= whole.begin();
    });
}

// One run of a road on a fresh machine, the k-th seam call failing, and what every road keeps to whichever
// call fails. Without a failure (k = 0) it gives what the road is expected to give.
Outcome RunRoad(const Road& road, std::size_t k, Fault kind, const Outcome& clean) {
    sim::Machine::Reset();
    auto& m = TheMachine();
    out.clear();
    road.setUp(m);
    const Strings before = DefaultFlags();
    bool result = false;
    std::optional<std::uint32_t> exitCode;
    m.FailSeamCall(k, kind);
    EXPECT_NO_THROW(exitCode = sim::Machine::RunAsProcess([&] {
                        result = road.run();
                        m.RunFor(road.runMs);
                    }));
    m.FailSeamCall(0, kind);
    EXPECT_LE(m.Now(), road.runMs + 60'000) << "a road ends in bounded virtual time";
    const Outcome o{out,
                    DefaultFlags(),
                    {long(m.OpenHandleCount()), long(m.OwnWindowCount()), long(m.ComObjectCount()),
                     m.ComApartments(), long(m.LoadedModuleCount())}};
    if (exitCode) { // only when a failure hid every application, and it says so
        EXPECT_TRUE(*exitCode == 0 && Said(kNoApplication) == 1);
        return o; // its threads stay parked, as the process they stood for is gone
    }
    EXPECT_EQ(0u, m.OpenKeyCount() + m.OpenFindCount()) << "registry keys and listings";
    EXPECT_EQ(0u, m.CriticalErrorBoxes() + m.ErrorMode()) << "the error mode is restored; no \"no disk\" box";
    EXPECT_LE(Said(kDc + L"<VolumeTracker><Launch not possible>."),
              Said(kDc + L"<Volume does not contain supported media content.>") +
                  Said(kDc + L"<Unsupported volume found.>"))
        << "a card that is refused says why";
    int twainOpen = m.FindWindowByTitle(L"TWAINTrackerWindow") != os::kNoWindow;
    for (const auto& call : m.TwainCalls())
        twainOpen += (call.message == twain::MSG_OPENDSM) - (call.message == twain::MSG_CLOSEDSM);
    EXPECT_EQ(0, twainOpen) << "the TWAIN manager is closed after each question, its window gone";
    // A plug-in that a failure kept from being unloaded stays loaded.
    for (std::size_t i = 0; k != 0 && i < o.held.size(); ++i)
        EXPECT_LE(o.held[i], clean.held[i] + (i == 4 && road.runMs)) << "held resource " << i;
    EXPECT_TRUE(result || o.held[0] == 0) << "the mutex is held only by a proxy in control";
    const bool again = road.mayRepeat && kind == Fault::Error && o.out.size() == 2 && o.out[0] == o.out[1];
    EXPECT_TRUE(k == 0 ? o.out == road.expected : Subsequence(o.out, clean.out) || again)
        << "complete, or cut short by the failure: " << testing::PrintToString(o.out);
    for (std::size_t i = 0; k != 0 && i < o.flags.size(); ++i)
        EXPECT_TRUE(o.flags[i] == before[i] || o.flags[i] == clean.flags[i])
            << "as it was or as the road sets it";
    // The source trackers live as long as the process: they are freed as its end would free them.
    m.EndThreads();
    for (const auto& thread : m.Threads()) {
        if (thread.proc == &MOXSourceTrackerThread)
            delete static_cast<MOXSourceTracker*>(thread.param);
    }
    return o;
}

TEST(FaultInjection, EverySeamCallOfEveryRoadFailsOnce) {
    std::size_t pairs = 0;
    for (const auto& road : Roads()) {
        SCOPED_TRACE(road.name);
        const Outcome clean = RunRoad(road, 0, Fault::Error, {});
        const std::size_t calls = TheMachine().SeamCallCount();
        for (std::size_t k = 1; k <= calls; ++k, ++pairs) {
            for (const Fault kind : {Fault::Error, Fault::Throw}) {
                SCOPED_TRACE(testing::Message()
                             << "call " << k << (kind == Fault::Throw ? " throws" : " fails"));
                RunRoad(road, k, kind, clean);
            }
        }
    }
    std::printf("%zu (road, call) pairs, each failing and throwing\n", pairs);
}

} // namespace
} // namespace qel::simtest
