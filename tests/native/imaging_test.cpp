// The imaging trackers on the simulated machine: STI device listings on node changes, TWAIN data sources,
// and WIA's connection events and device list.
#include "sim_fixture.h"
#include "trackers/twain_tracker.h"

namespace qel::simtest {
namespace {

const std::wstring kCamera = L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0002";
constexpr std::uint32_t kVideoType = 0x00030000;
const std::wstring kSti = L"<***DeviceConnect***><StiTracker>";
const std::wstring kWia = L"<***DeviceConnect***><WiaTracker>";
const std::wstring kNoType = L"Could not get the device type.";

class Imaging : public SimTest {
protected:
    static void Start(std::uint32_t major, std::uint32_t minor) {
        QuietPluginTracker();
        TheMachine().SetVersion(major, minor, 1);
        StartService();
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
            if (line.find(tag) != std::wstring::npos || line == kNoType)
                lines.push_back(line);
        }
        return lines;
    }
};

// A scanner with a TWAIN source and a WIA driver: the TWAIN report, then on XP only the WIA one. The TWAIN
// manager is asked once: opened with a window of its own, listed, closed, the window gone.
TEST_F(Imaging, NewScannerIsReportedThroughTwainAndOnXpThroughWia) {
    const std::uint32_t minors[] = {1, 0, 6}; // 5.1, 5.0 and 6.0
    ForEachCase(minors, [&](std::uint32_t minor) {
        auto& m = TheMachine();
        const bool xp = minor == 1, wiaThread = minor != 0;
        m.TwainSources() = {"Other DS", "sample scanner ds"};
        m.WiaDevices().push_back({kScanner, kScannerType});
        Start(minor == 6 ? 6 : 5, minor == 6 ? 0 : minor);
        AddSti(kScanner, kScannerType, L"Sample Scanner DS");
        NodesChanged();
        Strings reported{L"scanner|\"Sample Scanner DS\""},
            lines{kSti + L"<STI Devices will be detected.>",
                  kSti + L"<TWAIN DEVICE><S|\"Sample Scanner DS\">"};
        if (xp) {
            reported.push_back(L"scanner|" + kScanner);
            lines.push_back(kSti + L"<WIA DEVICE><S|" + kScanner + L">");
        }
        EXPECT_EQ(reported, HeardDevices());
        EXPECT_EQ(lines, Lines(kSti));
        const auto& calls = m.TwainCalls();
        ASSERT_EQ(4u, calls.size());
        EXPECT_TRUE(calls[0].message == twain::MSG_OPENDSM && calls[0].parentIsWindow);
        EXPECT_EQ(twain::MSG_CLOSEDSM, calls[3].message);
        EXPECT_EQ(os::kNoWindow, m.FindWindowByTitle(L"TWAINTrackerWindow"));
        EXPECT_EQ(wiaThread ? 1 : 0, m.ComApartments()) << "the WIA thread's apartment only";
        EXPECT_EQ(wiaThread ? 3u : 1u, m.ComObjectCount())
            << "the STI object, WIA's manager and registration";
    });
}

// Devices listed at start are known, in whatever letter case they are listed later; of two new ones only the
// first listed is reported, and only on a node change; a failed listing forgets every device, so the next
// listing reports its first again. WIA lists none of them.
TEST_F(Imaging, OneNewDeviceIsReportedPerNodeChange) {
    auto& m = TheMachine();
    m.TwainSources() = {"Scanner DS", "Camera DS", "WIA-Camera DS"};
    AddSti(kScanner, kScannerType, L"Scanner DS");
    Start(5, 1);
    const auto renamed = [&m](const std::wstring& name) { m.StiDevices().front().internalName = name; };
    const struct {
        std::function<void()> change;
        std::uintptr_t message;
        const wchar_t* reported;
    } steps[] = {
        {nullptr, os::kDbtDevNodesChanged, nullptr},
        {[&] { renamed(L"{6bdd1fc6-810f-11d0-bec7-08002be2092f}\\0001"); }, os::kDbtDevNodesChanged, nullptr},
        {[&] {
             renamed(kScanner);
             AddSti(kCamera, kCameraType, L"Camera DS");
             AddSti(L"third", kCameraType, L"wia-camera ds");
         },
         os::kDbtDeviceArrival, nullptr},
        {nullptr, os::kDbtDevNodesChanged, L"camera|\"Camera DS\""},
        {nullptr, os::kDbtDevNodesChanged, nullptr},
        {[&] { m.FailStiDeviceLists(1); }, os::kDbtDevNodesChanged, nullptr},
        {nullptr, os::kDbtDevNodesChanged, L"scanner|\"Scanner DS\""},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(&step - steps);
        heard.clear();
        if (step.change)
            step.change();
        NodesChanged(step.message);
        EXPECT_EQ(step.reported ? Strings{step.reported} : Strings{}, HeardDevices());
    }
    const std::wstring noType = kSti + L"<Could not get the device type.>";
    EXPECT_EQ((Strings{kSti + L"<STI Devices will be detected.>", kSti + L"<TWAIN DEVICE><C|\"Camera DS\">",
                       noType, kSti + L"<TWAIN DEVICE><S|\"Scanner DS\">", noType}),
              Lines(kSti));
}

TEST_F(Imaging, TwainSourceIsFoundByNameInAnyCaseExceptWiaSources) {
    const struct {
        void (*script)(sim::Machine&);
        const wchar_t* asked;
        bool found;
    } cases[] = {
        {[](sim::Machine&) {}, L"SCANNER ds", true},
        {[](sim::Machine&) {}, L"WIA-Scanner DS", false},
        {[](sim::Machine&) {}, L"wia-", false},
        {[](sim::Machine& m) { m.RemoveModule(L"twain_32.dll"); }, L"Scanner DS", false},
        {[](sim::Machine& m) { m.RemoveTwainEntry(true); }, L"Scanner DS", false},
        {[](sim::Machine& m) { m.RefuseTwainOpen(true); }, L"Scanner DS", false},
    };
    ForEachCase(cases, [&](const auto& c) {
        TheMachine().TwainSources() = {"wia-Scanner DS", "WIA-", "Scanner DS"};
        c.script(TheMachine());
        TwainTracker twain;
        EXPECT_EQ(c.found, twain.HasTwainDataSource(c.asked));
        EXPECT_EQ(c.found, twain.HasTwainDataSource(c.asked)) << "a second question opens afresh";
        EXPECT_EQ(nullptr, twain.dsmEntry);
        EXPECT_EQ(os::kNoWindow, TheMachine().FindWindowByTitle(L"TWAINTrackerWindow"));
    });
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
    for (const auto* id : {L"Cam", L"cam", L"Scan", L"Video"})
        m.RaiseWiaConnection(std::wstring(id));
    m.RaiseWiaConnection(std::nullopt);
    ASSERT_TRUE(m.RunUntilIdle());
    EXPECT_EQ((Strings{L"camera|Cam", L"scanner|Scan"}), HeardDevices());
    EXPECT_EQ((Strings{kWia + L"<WIA devices will be detected>.", kWia + L"<WIA DEVICE><C|Cam>.", kNoType,
                       kWia + L"<WIA DEVICE><S|Scan>.", kNoType, kNoType}),
              Lines(kWia));
    EXPECT_EQ(3u, m.ComObjectCount()) << "WIA's device manager and registration, STI's object; no list left";
}

// A tracker that cannot start says so once and detects nothing, while the other one detects on.
TEST_F(Imaging, StiOrWiaThatCannotStartSaysSoOnceWhileTheOtherDetects) {
    const std::wstring stiOff = kSti + L"<STI Devices will not be detected.>";
    const std::wstring wiaOff = kWia + L"<WIA devices will not be detected>.";
    const struct {
        void (*fail)(sim::Machine&);
        const std::wstring& line;
        const wchar_t* reported;
    } cases[] = {
        {[](sim::Machine& m) { m.RemoveModule(L"sti.dll"); }, stiOff, L"camera|Cam"},
        {[](sim::Machine& m) { m.RemoveModuleFunction("StiCreateInstance"); }, stiOff, L"camera|Cam"},
        {[](sim::Machine& m) { m.FailStiCreation(true); }, stiOff, L"camera|Cam"},
        {[](sim::Machine& m) { m.FailStiInitialization(true); }, stiOff, L"camera|Cam"},
        {[](sim::Machine& m) { m.SetWiaMissing(true); }, wiaOff, L"scanner|\"Scanner DS\""},
        {[](sim::Machine& m) { m.RefuseWiaRegistration(true); }, wiaOff, L"scanner|\"Scanner DS\""},
    };
    ForEachCase(cases, [&](const auto& c) {
        auto& m = TheMachine();
        c.fail(m);
        m.TwainSources() = {"Scanner DS"};
        m.WiaDevices() = {{L"Cam", kCameraType}};
        Start(5, 1);
        AddSti(kScanner, kScannerType, L"Scanner DS");
        NodesChanged();
        m.RaiseWiaConnection(std::wstring(L"Cam"));
        ASSERT_TRUE(m.RunUntilIdle());
        EXPECT_EQ(Strings{c.reported}, HeardDevices());
        EXPECT_EQ(Strings{c.line}, Lines(c.line.substr(0, kSti.size())));
    });
}

} // namespace
} // namespace qel::simtest
