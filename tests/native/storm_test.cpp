// A storm of events: eight plug-in sources raising from two threads each, while a card goes in and out of a
// reader every 100 ms and the still-image service announces node changes.
#include <map>

#include "deviceconnect/startup/library_load.h"
#include "platform/sim/fake_plugin.h"
#include "sim_fixture.h"

namespace qel::simtest {
namespace {

std::vector<std::pair<std::wstring, std::wstring>> heard;
void Hear(std::wstring& type, std::wstring& id) { heard.emplace_back(type, id); }

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
        setup.name = L"Source " + std::to_wstring(source);
        const std::wstring file = source == 1 ? L"nokiamanager" : L"s" + std::to_wstring(source);
        sources.push_back(&sim::AddFakePlugin(L"C:\\moxplugins\\" + file + L".mox", setup));
    }
    heard.clear();
    InitialiseLibraryState();
    RegisterDeviceConnectCallback(&Hear);
    StartDeviceConnectService();
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
            for (int n = 0; n < kEventsPerThread; ++n) {
                const std::wstring id =
                    std::to_wstring(source) + L"/" + std::to_wstring(thread) + L"/" + std::to_wstring(n);
                events.push_back(sim::MakeDeviceEvent(MOXClassCamera, id));
            }
            sources[source]->RaiseOnOwnThread(events);
        }
    }
    m.RunFor(kStormMs + 5000);

    std::map<std::wstring, int> next; // per source thread, the number of the event expected next
    int cameras = 0, volumes = 0;
    for (const auto& [type, id] : heard) {
        if (type == L"volume") {
            EXPECT_EQ(L"E:", id);
            ++volumes;
            continue;
        }
        ASSERT_EQ(L"camera", type);
        const std::wstring thread = id.substr(0, id.rfind(L'/'));
        EXPECT_EQ(next[thread]++, std::stoi(id.substr(id.rfind(L'/') + 1))) << Narrow(id);
        ++cameras;
    }
    EXPECT_EQ(kSources * kThreadsPerSource * kEventsPerThread, cameras);
    EXPECT_EQ(std::size_t(kSources * kThreadsPerSource), next.size());
    EXPECT_LE(volumes, insertions) << "a card is reported at most once for each time it goes in";
    EXPECT_GE(volumes, 1);
}

} // namespace
} // namespace qel::simtest
