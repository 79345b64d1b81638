// The volume tracker on the simulated machine, in virtual time: from a drive appearing to the host's callback
// and the application it launches.
#include "device_fixture.h"
#include "trackers/volume_tracker.h"

namespace qel::simtest {
namespace {

class VolumeTrackerTest : public DeviceTest {};

// A card reader present at load; a card with a picture goes in at 2 s; the host launches the default
// application from its callback.
TEST_F(VolumeTrackerTest, CardIntoReaderReachesCallbackAndLaunchesApplication) {
    auto& m = TheMachine();
    m.AddDrive(L'E', os::kDriveRemovable, L"FAT32", false);
    CallbackAction() = [](std::wstring& devType, std::wstring& devId) {
        CQELBootCommandHandler host;
        host.LaunchDefaultQEL(devType, devId);
    };
    LoadAndStart();
    m.At(2100, [&m] {
        m.AddFile(L"E:\\DCIM\\100CARD\\IMG_0001.JPG");
        m.InsertMedium(L'E');
    });
    m.RunFor(5000);

    ASSERT_EQ(1u, m.Threads().size());
    EXPECT_EQ(&VolumeTrackerThread, m.Threads()[0].proc);
    ASSERT_EQ(1u, Notifications().size());
    const Notification& seen = Notifications()[0];
    EXPECT_EQ(L"volume", seen.devType);
    EXPECT_EQ(L"E:", seen.devId);
    EXPECT_EQ(m.Threads()[0].id, seen.thread);
    EXPECT_GE(seen.enteredAt, 2100u);
    EXPECT_LE(seen.enteredAt, 2600u) << "a poll every 500 ms";
    const Strings argv{Quoted(ProgramFile(kOwnApp)),
                       L"module=vandrel",
                       L"params",
                       L"mode=direct",
                       L"devType=volume",
                       L"priDevId=\"E:\""};
    ExpectSpawns({{ProgramFile(kOwnApp), argv[0], argv[1], argv[2], argv[3], argv[4], argv[5]}},
                 os::SpawnMode::NoWait);
    EXPECT_EQ((Strings{kWillBeDetected, kEntering, RemovableDevice(L"E:"), Entry(1, L"FOLDER", L"E:\\DCIM"),
                       Entry(2, L"FOLDER", L"E:\\DCIM\\100CARD"), Entry(3, L"FILE", L"IMG_0001.JPG"), kFound,
                       L"\"C:\\Apps\\Vandrel\\Vandrel.exe\" module=vandrel params mode=direct devType=volume "
                       L"priDevId=\"E:\""}),
              m.DebugLines());
    EXPECT_EQ(0u, m.CriticalErrorBoxes()) << "the empty reader was probed without a system box";
    EXPECT_EQ(0u, m.ErrorMode());
    EXPECT_EQ(0u, m.OpenFindCount());
}

// The reader stays polled while attached; once it is gone the tracker makes its window and waits for
// messages. A volume present at load is reported only after it has left and come back.
TEST_F(VolumeTrackerTest, PollingLastsWhileReaderIsAttachedAndLoadTimeVolumesWaitForReinsertion) {
    auto& m = TheMachine();
    m.AddFile(L"E:\\IMG.JPG");
    m.AddDrive(L'E', os::kDriveRemovable);
    LoadAndStart();
    m.At(3000, [&m] { m.RemoveDrive(L'E'); });
    EXPECT_TRUE(m.RunUntilIdle(60000));
    EXPECT_TRUE(Notifications().empty());
    EXPECT_EQ(1u, CountLine(kEntering));
    EXPECT_EQ(1u, CountLine(kExiting));
    const os::Window window = m.FindWindowByTitle(L"CardReaderLookupWindow");
    ASSERT_NE(os::kNoWindow, window);
    EXPECT_EQ(L"DeviceDetectWin", m.WindowClassOf(window));

    // The drive comes back: the system's broadcast starts a pass, which finds it and polls again.
    m.AddDrive(L'E', os::kDriveRemovable);
    m.BroadcastDeviceChange(os::kDbtDeviceArrival);
    m.RunFor(1000);
    ASSERT_EQ(1u, Notifications().size());
    EXPECT_EQ(L"E:", Notifications()[0].devId);
    EXPECT_EQ(1u, CountLine(kVt + L"<DEVICE ARRIVED>"));
    EXPECT_EQ(2u, CountLine(kEntering));
}

struct VolumeCase {
    const char* name;
    std::function<void(sim::Machine&, const std::wstring& ownKey)> arrive; // at 1 s, then a broadcast
    Strings reported;                                                      // devIds, in order
    Strings expectedLines;                                                 // among the lines, in this order
};

// Which new drives are reported, and why the others are not.
TEST_F(VolumeTrackerTest, OnlyAcceptedDrivesWithPicturesOrVideosAreReported) {
    const auto card = [](wchar_t letter, const std::wstring& file, std::uint32_t type = os::kDriveRemovable,
                         const std::wstring& fs = L"FAT32") {
        return [=](sim::Machine& m, const std::wstring&) {
            if (!file.empty())
                m.AddFile(std::wstring(1, letter) + L":\\" + file);
            m.AddDrive(letter, type, fs);
        };
    };
    const VolumeCase cases[] = {
        {"picture", card(L'E', L"a.jpg"), {L"E:"}, {RemovableDevice(L"E:"), kFound}},
        {"video in upper case", card(L'E', L"CLIP.MP4"), {L"E:"}, {kFound}},
        {"audio only",
         card(L'E', L"song.mp3"),
         {},
         {kTryingAgain, kTryingAgain, kTryingAgain, kNoContent, kLaunchNotPossible}},
        {"pdf only though declared",
         [&](sim::Machine& m, const std::wstring& key) {
             SetFormat(key, L"Image", L"pdf jpg");
             card(L'E', L"scan.pdf")(m, key);
         },
         {},
         {kNoContent, kLaunchNotPossible}},
        {"no extension", card(L'E', L"README"), {}, {Entry(1, L"FILE", L"README"), kNoContent}},
        {"empty root", card(L'E', L""), {}, {kTryingAgain, kNoContent, kLaunchNotPossible}},
        {"depth 4 reaches level 4", card(L'E', L"a\\b\\c\\x.png"), {L"E:"}, {Entry(4, L"FILE", L"x.png")}},
        {"depth 4 stops before level 5", card(L'E', L"a\\b\\c\\d\\x.png"), {}, {kNoContent}},
        {"SniffDepth 0",
         [&](sim::Machine& m, const std::wstring& key) {
             m.SetDword(kHKCU, key, L"SniffDepth", 0);
             card(L'E', L"a.jpg")(m, key);
         },
         {},
         {kSuppressing, kTryingAgain, kSuppressing, kTryingAgain, kSuppressing, kTryingAgain, kNoContent}},
        {"SniffDepth 1 logs folders of the root without listing them",
         [&](sim::Machine& m, const std::wstring& key) {
             m.SetDword(kHKCU, key, L"SniffDepth", 1);
             card(L'E', L"DCIM\\a.jpg")(m, key);
         },
         {},
         {Entry(1, L"FOLDER", L"E:\\DCIM"), kTryingAgain}},
        {"two in one pass: first letter only",
         [&](sim::Machine& m, const std::wstring& key) {
             card(L'F', L"b.jpg")(m, key);
             card(L'E', L"a.jpg")(m, key);
         },
         {L"E:"},
         {RemovableDevice(L"E:")}},
        {"floppies A: and B: never",
         [&](sim::Machine& m, const std::wstring& key) {
             card(L'A', L"a.jpg")(m, key);
             card(L'B', L"b.jpg")(m, key);
         },
         {},
         {}},
        {"fixed NTFS never looked at", card(L'G', L"a.jpg", os::kDriveFixed, L"NTFS"), {}, {}},
        {"camera drive: fixed, kodak in any case",
         card(L'G', L"a.jpg", os::kDriveFixed, L"KoDaK FS"),
         {L"G:"},
         {RemovableDevice(L"G:"), kFound}},
        {"network drive named kodak",
         card(L'N', L"a.jpg", os::kDriveRemote, L"kodak"),
         {},
         {RemovableDevice(L"N:"), kUnsupported, kLaunchNotPossible}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        DeviceTest::SetUp();
        auto& m = TheMachine();
        LoadAndStart();
        m.At(1000, [&] {
            c.arrive(m, ownKey);
            m.BroadcastDeviceChange(os::kDbtDeviceArrival);
        });
        m.RunFor(10000);
        Strings reported;
        for (const auto& seen : Notifications())
            reported.push_back(seen.devId);
        EXPECT_EQ(c.reported, reported);
        // The expected lines appear in this order, possibly with others between them.
        const Strings lines = m.DebugLines();
        auto at = lines.begin();
        for (const auto& line : c.expectedLines) {
            at = std::find(at, lines.end(), line);
            EXPECT_NE(lines.end(), at) << Narrow(line);
        }
        if (c.reported.empty() && c.expectedLines.empty()) {
            EXPECT_EQ((Strings{kWillBeDetected, kVt + L"<DEVICE ARRIVED>"}), lines);
        }
    }
}

TEST_F(VolumeTrackerTest, DetectionKeepsKnownDrivesWhenNoDriveIsSeenAndNeedsTheRootTemplate) {
    auto& m = TheMachine();
    InitialiseLibraryState();
    VolumeState& state = TheVolumeState();
    EXPECT_EQ(0b100u, state.knownDrives) << "C:";
    m.AddDrive(L'E', os::kDriveRemovable);
    EXPECT_EQ(0b10000u, DetectNewDrives(state));
    wchar_t notTemplate[] = L"E:";
    EXPECT_FALSE(FindReportableDrive(state, notTemplate));
    EXPECT_FALSE(FindReportableDrive(state, nullptr));
    wchar_t root[] = L"_:";
    EXPECT_TRUE(FindReportableDrive(state, root));
    EXPECT_EQ(std::wstring(L"E:"), root);
    m.FailLogicalDrives(true);
    EXPECT_EQ(0u, DetectNewDrives(state));
    EXPECT_EQ(0b10100u, state.knownDrives);
}

// Without its own window class the tracker listens through a system "STATIC" window, where only a posted
// node-change message starts a pass.
TEST_F(VolumeTrackerTest, StaticWindowFallbackChecksOnPostedNodeChange) {
    auto& m = TheMachine();
    m.FailClassRegistration(true);
    LoadAndStart();
    m.FailGetMessage(1);
    ASSERT_TRUE(m.RunUntilIdle());
    const os::Window window = m.FindWindowByTitle(L"CardReaderLookupWindow");
    ASSERT_NE(os::kNoWindow, window);
    EXPECT_EQ(L"Static", m.WindowClassOf(window));
    m.AddFile(L"G:\\a.jpg");
    m.AddDrive(L'G', os::kDriveFixed, L"kodak");
    os::PostWindowMessage(window, os::kWmDeviceChange, os::kDbtDeviceArrival, 0);
    ASSERT_TRUE(m.RunUntilIdle());
    EXPECT_TRUE(Notifications().empty());
    os::PostWindowMessage(window, os::kWmDeviceChange, os::kDbtDevNodesChanged, 0);
    ASSERT_TRUE(m.RunUntilIdle());
    ASSERT_EQ(1u, Notifications().size());
    EXPECT_EQ(L"G:", Notifications()[0].devId);
}

} // namespace
} // namespace qel::simtest
