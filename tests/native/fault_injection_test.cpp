// Every system call of every road fails once, with the failure Windows can give or as memory exhaustion: each
// road still ends as it should, gives back what it took, and reports each device once at most.
#include <algorithm>
#include <cstdio>
#include <functional>

#include "deviceconnect/notification.h"
#include "deviceconnect/startup/library_load.h"
#include "deviceconnect/mox/mox_tracker.h"
#include "sim_fixture.h"

namespace qel::simtest {
namespace {

using Fault = sim::Machine::FaultKind;

Strings reports, listed;
void Record(std::wstring& type, std::wstring& id) { reports.push_back(type + L"|" + id); }

const std::wstring kScanner = L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001";

// What a road leaves behind, read after it ran.
struct Outcome {
    std::size_t k = 0; // the call that failed
    Fault kind = Fault::Error;
    std::optional<std::uint32_t> exitCode; // the process ended
    bool result = false;
    Strings list, lines, reports;
    std::size_t keys = 0, finds = 0, handles = 0, modules = 0, windows = 0, com = 0, spawns = 0;
    int apartments = 0;
    std::uint64_t now = 0;
};

struct Road {
    const char* name;
    std::uint64_t runMs; // how long the device side runs; its threads never end
    std::function<void()> setUp;
    std::function<bool()> run; // on the process's main thread
    std::function<void(const Outcome& clean, const Outcome& faulty)> check;
};

// The device side starts as the library loads; its reports reach Record.
bool StartService() {
    InitialiseLibraryState();
    RegisterDeviceConnectCallback(&Record);
    StartDeviceConnectService();
    return true;
}

bool Subsequence(const Strings& part, const Strings& whole) {
    auto at = whole.begin();
    for (const auto& item : part) {
        at = std::find(at, whole.end(), item);
        if (at++ == whole.end())
            return false;
    }
    return true;
}

bool Has(const Strings& lines, const std::wstring& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

const std::wstring kNoApplication =
    L"<QELBoot><!!! No QEL Compatible application found. This situation should be avoided.>";

// A road that reloads the list ends the process only when a failure hid every application, and says so.
void ExitOnlyForEmptyList(const Outcome&, const Outcome& faulty) {
    if (faulty.exitCode) {
        EXPECT_EQ(0u, *faulty.exitCode);
        EXPECT_TRUE(Has(faulty.lines, kNoApplication));
    }
}

// A device is reported once or not at all, and only one the road reports without failures.
void ReportsAtMostOnce(const Outcome& clean, const Outcome& faulty) {
    ASSERT_EQ(1u, clean.reports.size());
    EXPECT_TRUE(Subsequence(faulty.reports, clean.reports)) << faulty.reports.size();
}

// A card is reported once or not at all; again only when a failed probe made it seem gone after the first.
void CardAtMostOnceUnlessItSeemedGone(const Outcome& clean, const Outcome& faulty) {
    ASSERT_EQ(1u, clean.reports.size());
    EXPECT_LE(faulty.reports.size(), faulty.kind == Fault::Error ? 2u : 1u);
    EXPECT_EQ(Strings(faulty.reports.size(), clean.reports[0]), faulty.reports);
}

std::vector<Road> Roads() {
    auto& m = TheMachine;
    const auto apps = [] {
        AddRunKey();
        SetFormat(AddApp(L"A", L"Alpha"), L"Image", L"jpg");
        SetFormat(AddApp(L"B", L"Bravo"), L"Image", L"jpg png");
        TheMachine().SetSelf(ProxyFile(L"Alpha"));
    };
    return {
        {"loading the list", 0, apps,
         [] {
             CQELBootInformationHandler handler;
             std::vector<appInfo_tag> records;
             const bool result = handler.GetAllApplicationInfo(records);
             listed = Names(records);
             return result;
         },
         [](const Outcome& clean, const Outcome& faulty) {
             EXPECT_EQ((Strings{L"Alpha", L"Bravo"}), clean.list);
             EXPECT_TRUE(Subsequence(faulty.list, clean.list)) << "complete, or cut short by the failure";
             if (faulty.k == 1) {
                 EXPECT_TRUE(faulty.list.empty()) << "the maker's key does not open";
             }
         }},
        {"-default", 0, apps,
         [] {
             CQELBootCommandHandler handler;
             std::wstring name = L"Bravo", status = L"yes";
             return handler.SetApplicationDefaultStatus(name, status);
         },
         [](const Outcome& clean, const Outcome& faulty) {
             ExitOnlyForEmptyList(clean, faulty);
             for (const auto hive : {kHKLM, kHKCU}) {
                 EXPECT_NE(1u, Flag(hive, RegistrationPath(L"A")).value_or(0));
                 EXPECT_EQ(1u, Flag(hive, RegistrationPath(L"B")).value_or(1));
             }
         }},
        {"taking control", 0, apps, [] { return CQELBootCommandHandler().TakeControl(); },
         [](const Outcome& clean, const Outcome& faulty) {
             EXPECT_TRUE(clean.result);
             EXPECT_EQ(faulty.result ? 1u : 0u, faulty.handles)
                 << "the mutex is held only by a proxy in control";
             if (faulty.k == 1 && faulty.kind == Fault::Error) { // the mutex cannot be created
                 EXPECT_EQ(Strings{L"<QELProxy><Any other QELProxy is running.>"}, faulty.lines);
             }
         }},
        {"launching its own application", 0, apps,
         [] {
             std::wstring mode = L"direct", type = L"volume", id = L"E:";
             CQELBootCommandHandler().LaunchOwnQEL(mode, type, id);
             return true;
         },
         [](const Outcome& clean, const Outcome& faulty) {
             ExitOnlyForEmptyList(clean, faulty);
             EXPECT_LE(faulty.spawns, 1u);
         }},
        {"uninstall", 0,
         [apps] {
             apps();
             TheMachine().AddProcess(ProxyFile(L"Alpha"));
         },
         [] {
             CQELBootInformationHandler().Uninstall();
             return true;
         },
         [](const Outcome& clean, const Outcome& faulty) {
             ExitOnlyForEmptyList(clean, faulty);
             EXPECT_LE(faulty.spawns, 1u);
         }},
        {"a card arriving", 6000,
         [apps, m] {
             apps();
             QuietPluginTracker();
             m().AddDrive(L'E', os::kDriveRemovable, L"FAT32", false);
             m().At(1000, [m] {
                 m().AddFile(L"E:\\DCIM\\100CARD\\IMG_0001.JPG");
                 m().InsertMedium(L'E');
             });
         },
         StartService, CardAtMostOnceUnlessItSeemedGone},
        {"a plug-in's event", 3000,
         [m] {
             m().SetVersion(6, 1, 1);
             sim::FakePluginSetup setup;
             auto& gate = sim::AddFakePlugin(L"C:\\moxplugins\\nokiamanager.mox", setup);
             m().At(1000,
                    [&gate] { gate.RaiseOnOwnThread({sim::MakeDeviceEvent(MOXClassMobile, L"phone")}); });
         },
         StartService, ReportsAtMostOnce},
        {"a scanner through STI and TWAIN", 3000,
         [m] {
             QuietPluginTracker();
             m().TwainSources() = {"Scanner DS"};
             m().At(1000, [m] {
                 m().StiDevices().push_back({0x00010001, kScanner});
                 m().SetString(kHKLM,
                               L"SYSTEM\\CurrentControlSet\\Control\\Class\\" + kScanner + L"\\DeviceData",
                               L"TwainDS", L"Scanner DS");
                 m().PostMessage(m().FindWindowByTitle(L"STITrackerWindow"), os::kWmDeviceChange,
                                 os::kDbtDevNodesChanged, 0);
             });
         },
         StartService, ReportsAtMostOnce},
        {"a WIA event", 3000,
         [m] {
             QuietPluginTracker();
             m().WiaDevices().push_back({kScanner, 0x00010001});
             m().At(1000, [m] { m().RaiseWiaConnection(kScanner); });
         },
         StartService, ReportsAtMostOnce},
    };
}

class FaultInjection : public SimTest {
protected:
    // One run of a road on a fresh machine, the k-th seam call failing (0: none).
    static Outcome Run(const Road& road, std::size_t k, Fault kind) {
        sim::Machine::Reset();
        reports.clear();
        road.setUp();
        auto& m = TheMachine();
        m.FailSeamCall(k, kind);
        Outcome out;
        out.k = k, out.kind = kind;
        listed.clear();
        EXPECT_NO_THROW(out.exitCode = sim::Machine::RunAsProcess([&] {
                            out.result = road.run();
                            m.RunFor(road.runMs);
                        }));
        m.FailSeamCall(0, kind);
        out.list = listed;
        out.lines = m.DebugLines();
        out.reports = reports;
        out.keys = m.OpenKeyCount(), out.finds = m.OpenFindCount(), out.handles = m.OpenHandleCount();
        out.modules = m.LoadedModuleCount(), out.windows = m.OwnWindowCount(), out.com = m.ComObjectCount();
        out.apartments = m.ComApartments(), out.spawns = m.Spawns().size(), out.now = m.Now();
        // The source trackers live as long as the process: unless it ended (its threads then stay parked),
        // they are freed as its end would free them.
        if (!out.exitCode) {
            m.EndThreads();
            for (const auto& thread : m.Threads()) {
                if (thread.proc == &MOXSourceTrackerThread)
                    delete static_cast<MOXSourceTracker*>(thread.param);
            }
        }
        return out;
    }
};

TEST_F(FaultInjection, EverySeamCallOfEveryRoadFailsOnce) {
    std::size_t pairs = 0;
    for (const auto& road : Roads()) {
        SCOPED_TRACE(road.name);
        const Outcome clean = Run(road, 0, Fault::Error);
        const std::size_t calls = TheMachine().SeamCallCount();
        for (std::size_t k = 1; k <= calls; ++k) {
            for (const Fault kind : {Fault::Error, Fault::Throw}) {
                SCOPED_TRACE(testing::Message()
                             << "call " << k << (kind == Fault::Throw ? " throws" : " fails"));
                const Outcome faulty = Run(road, k, kind);
                ++pairs;
                EXPECT_LE(faulty.now, road.runMs + 60'000) << "a road ends in bounded virtual time";
                if (faulty.exitCode) {
                    road.check(clean, faulty);
                    continue; // the process ended: it gives back everything
                }
                EXPECT_EQ(0u, faulty.keys + faulty.finds);
                EXPECT_LE(faulty.handles, clean.handles);
                if (road.runMs == 0) { // the device side keeps its trackers' modules and windows
                    EXPECT_EQ(0u, faulty.modules + faulty.windows);
                }
                EXPECT_LE(faulty.com, clean.com);
                EXPECT_LE(faulty.apartments, clean.apartments);
                road.check(clean, faulty);
            }
        }
    }
    std::printf("%zu (road, call) pairs, each failing and throwing\n", pairs / 2);
}

} // namespace
} // namespace qel::simtest
