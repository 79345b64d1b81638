// A storm of events: eight plug-in sources raising from two threads each, while a card goes in and out of a
// reader every 100 ms and the still-image service announces node changes. Every event arrives once, in its
// thread's order; a card is reported at most once for each time it goes in.
#include <map>

#include "sim_fixture.h"

namespace qel::simtest {
namespace {

constexpr int kSources = 8, kThreadsPerSource = 2, kEventsPerThread = 500, kStormMs = 3000;

class EventStorm : public SimTest {};

TEST_F(EventStorm, EveryEventArrivesOnceInItsThreadsOrderWhileCardsAndNodesChange) {
    auto& m = TheMachine();
    m.SetVersion(5, 1, 1); // every tracker runs
    AddRunKey();
    SetFormat(AddApp(L"Vandrel", L"Vandrel"), L"Image", L"jpg");
    m.SetSelf(ProxyFile(L"Vandrel"));
    m.AddDrive(L'E', os::kDriveRemovable, L"FAT32", false);
    m.AddFile(L"E:\\DCIM\\IMG_0001.JPG");
    std::vector<sim::FakePlugin*> sources;
    for (std::uint32_t source = 1; source <= kSources; ++source) {
        sim::FakePluginSetup setup;
        setup.idNumber = source;
        const std::wstring file = source == 1 ? L"nokiamanager" : L"s" + std::to_wstring(source);
        sources.push_back(&sim::AddFakePlugin(L"C:\\moxplugins\\" + file + L".mox", setup));
    }
    StartService();
    m.RunFor(2000); // the reader is polled, so the machine never falls idle
    int insertions = 0;
    for (std::uint64_t at = 100; at < kStormMs; at += 100) {
        const bool in = at % 200 == 100;
        insertions += in;
        m.At(m.Now() + at, [&m, in] { in ? m.InsertMedium(L'E') : m.RemoveMedium(L'E'); });
        m.At(m.Now() + at + 50, [&m] {
            os::PostWindowMessage(m.FindWindowByTitle(L"STITrackerWindow"), os::kWmDeviceChange,
                                  os::kDbtDevNodesChanged, 0);
        });
    }
    for (int source = 0; source < kSources; ++source) {
        for (int thread = 0; thread < kThreadsPerSource; ++thread) {
            std::vector<MOXDeviceEvent> events;
            for (int n = 0; n < kEventsPerThread; ++n)
                events.push_back(sim::MakeDeviceEvent(MOXClassCamera, std::to_wstring(source * 10 + thread) +
                                                                          L"/" + std::to_wstring(n)));
            sources[source]->RaiseOnOwnThread(events);
        }
    }
    m.RunFor(kStormMs + 5000);
    std::map<std::wstring, int> next; // per source thread, the number of the event expected next
    int volumes = 0;
    for (const auto& [device, thread, in, out] : heard) {
        if (device == L"volume|E:") {
            ++volumes;
            continue;
        }
        const auto slash = device.rfind(L'/');
        ASSERT_EQ(L"camera|", device.substr(0, 7));
        EXPECT_EQ(next[device.substr(0, slash)]++, std::stoi(device.substr(slash + 1))) << Narrow(device);
    }
    EXPECT_EQ(kSources * kThreadsPerSource * kEventsPerThread + volumes, static_cast<int>(heard.size()));
    EXPECT_EQ(std::size_t(kSources * kThreadsPerSource), next.size());
    EXPECT_TRUE(volumes >= 1 && volumes <= insertions) << volumes;
}

} // namespace
} // namespace qel::simtest
