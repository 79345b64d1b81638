// The imaging trackers on the simulated machine: STI device listings on node changes, TWAIN data sources,
// and WIA's connection events and device list.
#include <cstring>
#include <functional>
#include <optional>
#include <tuple>

#include "deviceconnect/notification.h"
#include "deviceconnect/startup/library_load.h"
#include "sim_fixture.h"
#include "trackers/twain_tracker.h"

namespace qel::simtest {
namespace {

const std::wstring kScanner = L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001";
const std::wstring kCamera = L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0002";
constexpr std::uint32_t kScannerType = 0x00010001, kCameraType = 0x00020000, kVideoType = 0x00030000;
const std::wstring kSti = L"<***DeviceConnect***><StiTracker>";
const std::wstring kWia = L"<***DeviceConnect***><WiaTracker>";

using Seen = std::vector<std::pair<std::wstring, std::wstring>>;
Seen seen;
void Record(std::wstring& type, std::wstring& id) { seen.emplace_back(type, id); }

class Imaging : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        seen.clear();
    }
    static void AddSti(const std::wstring& name, std::uint32_t type, const char* twainSource = nullptr) {
        TheMachine().StiDevices().push_back(os::StiDevice{type, name});
        if (twainSource) {
            TheMachine().SetString(os::Hive::LocalMachine,
                                   L"SYSTEM\\CurrentControlSet\\Control\\Class\\" + name + L"\\DeviceData",
                                   L"TwainDS",
                                   std::wstring(twainSource, twainSource + std::strlen(twainSource)));
        }
    }
    static void Start(std::uint32_t major, std::uint32_t minor) {
        QuietPluginTracker();
        TheMachine().SetVersion(major, minor, 1);
        InitialiseLibraryState();
        RegisterDeviceConnectCallback(&Record);
        StartDeviceConnectService();
        ASSERT_TRUE(TheMachine().RunUntilIdle());
    }
    static void NodesChanged(std::uintptr_t change = os::kDbtDevNodesChanged) {
        os::PostWindowMessage(TheMachine().FindWindowByTitle(L"STITrackerWindow"), os::kWmDeviceChange,
                              change, 0);
        ASSERT_TRUE(TheMachine().RunUntilIdle());
    }
    static Strings Lines(const std::wstring& tag) {
        Strings lines;
        for (const auto& line : TheMachine().DebugLines()) {
            if (line.find(tag) != std::wstring::npos || line == L"Could not get the device type.")
                lines.push_back(line);
        }
        return lines;
    }
};

// A scanner with a TWAIN source and a WIA driver: the TWAIN report, then on XP only the WIA one.
TEST_F(Imaging, NewScannerIsReportedThroughTwainAndOnXpThroughWia) {
    for (const auto& [major, minor, wiaReport] :
         {std::tuple{5u, 1u, true}, std::tuple{5u, 0u, false}, std::tuple{6u, 0u, false}}) {
        SCOPED_TRACE(testing::Message() << major << "." << minor);
        Fresh();
        seen.clear();
        auto& m = TheMachine();
        m.TwainSources() = {"Other DS", "sample scanner ds"};
        m.WiaDevices().push_back({kScanner, kScannerType});
        Start(major, minor);
        AddSti(kScanner, kScannerType, "Sample Scanner DS");
        NodesChanged();
        Seen expected{{L"scanner", L"\"Sample Scanner DS\""}};
        if (wiaReport)
            expected.emplace_back(L"scanner", kScanner);
        EXPECT_EQ(expected, seen);
        EXPECT_EQ(kSti + L"<TWAIN DEVICE><S|\"Sample Scanner DS\">", Lines(kSti).at(1));
        if (wiaReport) {
            EXPECT_EQ(kSti + L"<WIA DEVICE><S|" + kScanner + L">", Lines(kSti).at(2));
        }
        // One question: the manager opened with a window of its own, listed, closed, the window gone.
        const auto& calls = m.TwainCalls();
        ASSERT_EQ(4u, calls.size());
        EXPECT_TRUE(calls[0].message == twain::MSG_OPENDSM && calls[0].parentIsWindow);
        EXPECT_EQ(twain::MSG_CLOSEDSM, calls[3].message);
        const twain::TW_IDENTITY& app = calls[0].origin;
        EXPECT_EQ((std::vector<unsigned>{0, 1, 703, 13, 1, 1, 7, 3}),
                  (std::vector<unsigned>{app.Id, app.Version.MajorNum, app.Version.MinorNum,
                                         app.Version.Language, app.Version.Country, app.ProtocolMajor,
                                         app.ProtocolMinor, app.SupportedGroups}));
        EXPECT_EQ(os::kNoWindow, m.FindWindowByTitle(L"TWAINTrackerWindow"));
        const bool wiaThread = !(major == 5 && minor == 0);
        EXPECT_EQ(wiaThread ? 1 : 0, m.ComApartments()) << "the WIA thread's apartment only";
        EXPECT_EQ(wiaThread ? 3u : 1u, m.ComObjectCount())
            << "the STI object, WIA's manager and registration";
    }
}

// Devices listed at start are known; of two new ones only the first listed is reported, and only on a
// node change; a failed listing forgets every device, so the next listing reports its first again. WIA
// lists none of them.
TEST_F(Imaging, OneNewDeviceIsReportedPerNodeChange) {
    auto& m = TheMachine();
    m.TwainSources() = {"Scanner DS", "Camera DS", "WIA-Camera DS"};
    AddSti(kScanner, kScannerType, "Scanner DS");
    Start(5, 1);
    NodesChanged();
    EXPECT_TRUE(seen.empty());
    AddSti(kCamera, kCameraType, "Camera DS");
    AddSti(L"third", kCameraType, "wia-camera ds");
    NodesChanged(os::kDbtDeviceArrival);
    EXPECT_TRUE(seen.empty());
    NodesChanged();
    NodesChanged();
    m.FailStiDeviceLists(1);
    NodesChanged();
    NodesChanged();
    EXPECT_EQ((Seen{{L"camera", L"\"Camera DS\""}, {L"scanner", L"\"Scanner DS\""}}), seen);
    const std::wstring noType = kSti + L"<Could not get the device type.>";
    EXPECT_EQ((Strings{kSti + L"<STI Devices will be detected.>", kSti + L"<TWAIN DEVICE><C|\"Camera DS\">",
                       noType, kSti + L"<TWAIN DEVICE><S|\"Scanner DS\">", noType}),
              Lines(kSti));
}

TEST_F(Imaging, StiThatCannotStartDetectsNothing) {
    const std::function<void(sim::Machine&)> failures[] = {
        [](sim::Machine& m) { m.RemoveModule(L"sti.dll"); },
        [](sim::Machine& m) { m.RemoveModuleFunction("StiCreateInstance"); },
        [](sim::Machine& m) { m.FailStiCreation(true); },
        [](sim::Machine& m) { m.FailStiInitialization(true); },
    };
    for (const auto& fail : failures) {
        Fresh();
        seen.clear();
        fail(TheMachine());
        TheMachine().TwainSources() = {"Scanner DS"};
        Start(5, 0);
        AddSti(kScanner, kScannerType, "Scanner DS");
        NodesChanged();
        EXPECT_TRUE(seen.empty());
        EXPECT_EQ((Strings{kSti + L"<STI Devices will not be detected.>"}), Lines(kSti));
    }
}

TEST_F(Imaging, TwainSourceIsFoundByNameInAnyCaseExceptWiaSources) {
    struct Case {
        const char* what;
        std::function<void(sim::Machine&)> script;
        const wchar_t* asked;
        bool found;
    };
    const Case cases[] = {
        {"case differs", nullptr, L"SCANNER ds", true},
        {"asked for a WIA- source", nullptr, L"WIA-Scanner DS", false},
        {"no manager", [](sim::Machine& m) { m.RemoveModule(L"twain_32.dll"); }, L"Scanner DS", false},
        {"no ordinal 1", [](sim::Machine& m) { m.RemoveTwainEntry(true); }, L"Scanner DS", false},
        {"open refused", [](sim::Machine& m) { m.RefuseTwainOpen(true); }, L"Scanner DS", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Fresh();
        TheMachine().TwainSources() = {"wia-Scanner DS", "Scanner DS"};
        if (c.script)
            c.script(TheMachine());
        TwainTracker twain;
        EXPECT_EQ(c.found, twain.HasTwainDataSource(c.asked));
        EXPECT_EQ(c.found, twain.HasTwainDataSource(c.asked)) << "a second question opens afresh";
        EXPECT_EQ(nullptr, twain.dsmEntry);
        EXPECT_EQ(os::kNoWindow, TheMachine().FindWindowByTitle(L"TWAINTrackerWindow"));
    }
}

// WIA's events: the device is looked up in the local list by its exact ID; unreadable devices and null IDs
// are passed over; only scanners and cameras are reported.
TEST_F(Imaging, WiaConnectionsAreReportedByTheTypeOfTheListedDevice) {
    auto& m = TheMachine();
    m.WiaDevices() = {{L"Cam", kCameraType, false},
                      {std::nullopt, kCameraType},
                      {L"Cam", kCameraType},
                      {L"Scan", kScannerType},
                      {L"Video", kVideoType}};
    Start(6, 0);
    for (const auto& id : {std::optional<std::wstring>(L"Cam"), std::optional<std::wstring>(L"cam"),
                           std::optional<std::wstring>(L"Scan"), std::optional<std::wstring>(L"Video"),
                           std::optional<std::wstring>()})
        m.RaiseWiaConnection(id);
    ASSERT_TRUE(m.RunUntilIdle());
    EXPECT_EQ((Seen{{L"camera", L"Cam"}, {L"scanner", L"Scan"}}), seen);
    const std::wstring noType = L"Could not get the device type.";
    EXPECT_EQ((Strings{kWia + L"<WIA devices will be detected>.", kWia + L"<WIA DEVICE><C|Cam>.", noType,
                       kWia + L"<WIA DEVICE><S|Scan>.", noType, noType}),
              Lines(kWia));
    EXPECT_EQ(3u, m.ComObjectCount()) << "WIA's device manager and registration, STI's object; no list left";
}

TEST_F(Imaging, WiaThatCannotRegisterSaysSoOnceAndReportsNothing) {
    for (const bool missing : {true, false}) {
        Fresh();
        seen.clear();
        TheMachine().SetWiaMissing(missing);
        TheMachine().RefuseWiaRegistration(!missing);
        TheMachine().WiaDevices() = {{L"Cam", kCameraType}};
        Start(5, 1);
        TheMachine().RaiseWiaConnection(std::wstring(L"Cam"));
        ASSERT_TRUE(TheMachine().RunUntilIdle());
        EXPECT_TRUE(seen.empty());
        EXPECT_EQ((Strings{kWia + L"<WIA devices will not be detected>."}), Lines(kWia));
    }
}

} // namespace
} // namespace qel::simtest
