// The device side on the simulated machine, in virtual time: the service and its callback, the volume
// tracker from a drive appearing to the launched application, and the media content check.
#include <array>
#include <functional>

#include "deviceconnect/notification.h"
#include "deviceconnect/startup/library_load.h"
#include "deviceconnect/media_check.h"
#include "deviceconnect/message_loop.h"
#include "deviceconnect/tracker_window.h"
#include "registry/discovery.h"
#include "sim_fixture.h"
#include "trackers/volume_tracker.h"

namespace qel::simtest {
namespace {

struct Seen {
    std::wstring type, id;
    std::uint32_t thread;
    std::uint64_t in, out;
};
std::vector<Seen> seen;
std::function<void(std::wstring&, std::wstring&)> action; // what the host does inside its callback
void Record(std::wstring& type, std::wstring& id) {
    seen.push_back({type, id, TheMachine().CurrentThread(), TheMachine().Now(), 0});
    const std::size_t at = seen.size() - 1;
    if (action)
        action(type, id);
    seen[at].out = TheMachine().Now();
}
Strings Ids() {
    Strings ids;
    for (const auto& s : seen)
        ids.push_back(s.id);
    return ids;
}

const std::wstring kDc = L"<***DeviceConnect***>", kVt = kDc + L"<VolumeTracker>";
const std::wstring kFound = kDc + L"<Supported file format is found on device.>";
const std::wstring kRetry = kDc + L"<Supported media content check fails...Trying again.>";
const std::wstring kNoContent = kDc + L"<Volume does not contain supported media content.>";
const std::wstring kNotPossible = kVt + L"<Launch not possible>.";
std::wstring Vt(const std::wstring& what) { return kVt + L"<" + what + L">"; }
std::wstring Entry(int level, const wchar_t* kind, const std::wstring& text) {
    return kDc + L"<" + std::to_wstring(level) + L"><" + kind + L"><" + text + L">\n";
}

class DeviceSide : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        seen.clear();
        action = nullptr;
        AddRunKey();
        ownKey = AddApp(L"Vandrel", L"Vandrel");
        SetFormat(ownKey, L"Image", L"jpg png pdf");
        SetFormat(ownKey, L"Video", L"mp4");
        SetFormat(ownKey, L"Audio", L"mp3");
        TheMachine().SetSelf(ProxyFile(L"Vandrel"));
        QuietPluginTracker();
    }
    static void LoadAndStart() {
        InitialiseLibraryState();
        RegisterDeviceConnectCallback(&Record);
        StartDeviceConnectService();
    }
    // The lines of the volume side: the imaging trackers start with it and say so.
    static Strings VolumeLines() {
        Strings lines;
        for (const auto& line : TheMachine().DebugLines()) {
            if (line.find(L"<WiaTracker>") == std::wstring::npos &&
                line.find(L"<StiTracker>") == std::wstring::npos)
                lines.push_back(line);
        }
        return lines;
    }
    static std::size_t Count(const std::wstring& line) {
        const auto& lines = TheMachine().DebugLines();
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }
    // A thread that reports one device, as a tracker does.
    static std::uint32_t QELBOOT_WINAPI Reporter(void* id) {
        std::wstring type = kVolumeDevice, devId = static_cast<const wchar_t*>(id);
        NotifyDeviceConnect(type, devId);
        return 0;
    }
    static void Report(const wchar_t* id) { os::StartThread(&Reporter, const_cast<wchar_t*>(id)); }
    std::wstring ownKey;
};

// A card reader present at load; a card with a picture goes in at 2.1 s; the host launches from its callback.
TEST_F(DeviceSide, CardIntoReaderReachesCallbackAndLaunchesApplication) {
    auto& m = TheMachine();
    m.AddDrive(L'E', os::kDriveRemovable, L"FAT32", false);
    action = [](std::wstring& type, std::wstring& id) {
        CQELBootCommandHandler().LaunchDefaultQEL(type, id);
    };
    LoadAndStart();
    m.At(2100, [&m] {
        m.AddFile(L"E:\\DCIM\\100CARD\\IMG_0001.JPG");
        m.InsertMedium(L'E');
    });
    m.RunFor(5000);
    ASSERT_EQ(4u, m.Threads().size()) << "volumes, WIA, STI and plug-ins";
    EXPECT_EQ(&VolumeTrackerThread, m.Threads()[0].proc);
    ASSERT_EQ((Strings{L"E:"}), Ids());
    EXPECT_EQ(L"volume", seen[0].type);
    EXPECT_EQ(m.Threads()[0].id, seen[0].thread);
    EXPECT_TRUE(seen[0].in >= 2100 && seen[0].in <= 2600) << seen[0].in << ": a poll every 500 ms";
    const std::wstring launch = L"\"C:\\Apps\\Vandrel\\Vandrel.exe\" module=vandrel params mode=direct "
                                L"devType=volume priDevId=\"E:\"";
    EXPECT_EQ((Strings{Vt(L"Volumes will be detected."), Vt(L"Entering in polling mode."),
                       Vt(L"REMOVABLE DEVICE><V|E:"), Entry(1, L"FOLDER", L"E:\\DCIM"),
                       Entry(2, L"FOLDER", L"E:\\DCIM\\100CARD"), Entry(3, L"FILE", L"IMG_0001.JPG"), kFound,
                       launch}),
              VolumeLines());
    ASSERT_EQ(1u, m.Spawns().size());
    EXPECT_EQ(L"priDevId=\"E:\"", m.Spawns()[0].argv.back());
    EXPECT_EQ(0u, m.CriticalErrorBoxes() + m.ErrorMode() + m.OpenFindCount());
}

// The reader is polled while attached; once it is gone the tracker makes its window and waits. A volume
// present at load is reported only after it has left and come back.
TEST_F(DeviceSide, PollingLastsWhileReaderIsAttachedAndLoadTimeVolumesWaitForReinsertion) {
    auto& m = TheMachine();
    m.AddFile(L"E:\\IMG.JPG");
    m.AddDrive(L'E', os::kDriveRemovable);
    LoadAndStart();
    m.At(3000, [&m] { m.RemoveDrive(L'E'); });
    EXPECT_TRUE(m.RunUntilIdle(60000));
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(1u, Count(Vt(L"Entering in polling mode.")) * Count(Vt(L"Exiting from polling mode.")));
    const os::Window window = m.FindWindowByTitle(L"CardReaderLookupWindow");
    EXPECT_EQ(L"DeviceDetectWin", m.WindowClassOf(window));
    m.AddDrive(L'E', os::kDriveRemovable);
    m.BroadcastDeviceChange(os::kDbtDeviceArrival);
    m.RunFor(1000);
    EXPECT_EQ((Strings{L"E:"}), Ids());
    EXPECT_EQ(1u, Count(Vt(L"DEVICE ARRIVED")));
    EXPECT_EQ(2u, Count(Vt(L"Entering in polling mode.")));
}

// Which new drives are reported, and why the others are not. The files arrive at 1 s on drives of `type`
// named by their letters, with a broadcast; `lines` appear in this order, others between them.
TEST_F(DeviceSide, OnlyAcceptedDrivesWithPicturesOrVideosAreReported) {
    const std::wstring off = kDc + L"<Suppressing auto launch...>", e = Vt(L"REMOVABLE DEVICE><V|E:");
    const std::wstring refused = kDc + L"<Unsupported volume found.>";
    const std::uint32_t kRem = os::kDriveRemovable;
    const wchar_t* const kFat = L"FAT32";
    const struct {
        Strings files;
        std::uint32_t type;
        const wchar_t* fileSystem;
        int sniffDepth; // -1: none stored
        Strings reported, lines;
    } cases[] = {
        {{L"E:\\CLIP.MP4"}, kRem, kFat, -1, {L"E:"}, {e, kFound}},
        {{L"E:\\song.mp3"}, kRem, kFat, -1, {}, {kRetry, kRetry, kRetry, kNoContent, kNotPossible}},
        {{L"E:\\scan.pdf"}, kRem, kFat, -1, {}, {kNoContent}},
        {{L"E:\\README"}, kRem, kFat, -1, {}, {Entry(1, L"FILE", L"README"), kNoContent}},
        {{L"E:\\a\\b\\c\\x.png"}, kRem, kFat, -1, {L"E:"}, {Entry(4, L"FILE", L"x.png")}},
        {{L"E:\\a\\b\\c\\d\\x.png"}, kRem, kFat, -1, {}, {kNoContent}},
        {{L"E:\\a.jpg"}, kRem, kFat, 0, {}, {off, kRetry, off, kNoContent}},
        {{L"E:\\DCIM\\a.jpg"}, kRem, kFat, 1, {}, {Entry(1, L"FOLDER", L"E:\\DCIM"), kRetry}},
        {{L"F:\\b.jpg", L"E:\\a.jpg"}, kRem, kFat, -1, {L"E:"}, {e}},
        {{L"A:\\a.jpg", L"B:\\b.jpg"}, kRem, kFat, -1, {}, {}},
        {{L"G:\\a.jpg"}, os::kDriveFixed, L"NTFS", -1, {}, {}},
        {{L"G:\\a.jpg"}, os::kDriveFixed, L"KoDaK FS", -1, {L"G:"}, {kFound}},
        {{L"N:\\a.jpg"},
         os::kDriveRemote,
         L"kodak",
         -1,
         {},
         {Vt(L"REMOVABLE DEVICE><V|N:"), refused, kNotPossible}},
        {{L"E:\\"}, kRem, kFat, -1, {}, {kRetry, kNoContent, kNotPossible}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.files.front()));
        Fresh();
        DeviceSide::SetUp();
        auto& m = TheMachine();
        if (c.sniffDepth >= 0)
            m.SetDword(kHKCU, ownKey, L"SniffDepth", static_cast<std::uint32_t>(c.sniffDepth));
        LoadAndStart();
        m.At(1000, [&] {
            for (const auto& file : c.files) {
                if (file.back() != L'\\')
                    m.AddFile(file);
                m.AddDrive(file[0], c.type, c.fileSystem);
            }
            m.BroadcastDeviceChange(os::kDbtDeviceArrival);
        });
        m.RunFor(10000);
        EXPECT_EQ(c.reported, Ids());
        const Strings lines = VolumeLines();
        auto at = lines.begin();
        for (const auto& line : c.lines)
            EXPECT_NE(lines.end(), at = std::find(at, lines.end(), line)) << Narrow(line);
        EXPECT_TRUE(!c.lines.empty() || lines.size() == 2)
            << "only: volumes will be detected, device arrived";
    }
}

TEST_F(DeviceSide, DetectionKeepsKnownDrivesWhenNoneIsSeenAndNeedsTheRootTemplate) {
    InitialiseLibraryState();
    VolumeState& state = TheVolumeState();
    EXPECT_EQ(0b100u, state.knownDrives) << "C:";
    TheMachine().AddDrive(L'E', os::kDriveRemovable);
    EXPECT_EQ(0b10000u, DetectNewDrives(state));
    wchar_t notTemplate[] = L"E:", root[] = L"_:";
    EXPECT_FALSE(FindReportableDrive(state, notTemplate) || FindReportableDrive(state, nullptr));
    EXPECT_TRUE(FindReportableDrive(state, root));
    EXPECT_EQ(std::wstring(L"E:"), root);
    TheMachine().FailSeamCall(1, sim::Machine::FaultKind::Error); // listing the drives
    EXPECT_EQ(0u, DetectNewDrives(state));
    EXPECT_EQ(0b10100u, state.knownDrives);
}

// Without its own window class the tracker listens through a system "Static" window, where only a posted
// node-change message starts a pass.
TEST_F(DeviceSide, StaticWindowFallbackChecksOnPostedNodeChange) {
    auto& m = TheMachine();
    m.FailClassRegistration(true);
    LoadAndStart();
    m.FailGetMessage(1);
    ASSERT_TRUE(m.RunUntilIdle());
    const os::Window window = m.FindWindowByTitle(L"CardReaderLookupWindow");
    EXPECT_EQ(L"Static", m.WindowClassOf(window));
    m.AddFile(L"G:\\a.jpg");
    m.AddDrive(L'G', os::kDriveFixed, L"kodak");
    for (const auto wParam : {os::kDbtDeviceArrival, os::kDbtDevNodesChanged}) {
        os::PostWindowMessage(window, os::kWmDeviceChange, wParam, 0);
        ASSERT_TRUE(m.RunUntilIdle());
        EXPECT_EQ(wParam == os::kDbtDevNodesChanged, !seen.empty());
    }
}

// Any program may close a top-level window. Every tracker's window stays through another process's WM_CLOSE,
// its thread does not spin on failed fetches, and a device that comes afterwards is still reported.
TEST_F(DeviceSide, TrackerWindowsOutliveWmCloseFromAnotherProcess) {
    sim::FakePlugin* phoneManager = nullptr;
    const auto nodesChanged = [](os::Window window) {
        EXPECT_TRUE(os::PostWindowMessage(window, os::kWmDeviceChange, os::kDbtDevNodesChanged, 0));
    };
    const auto cardInReader = [&](os::Window window) {
        TheMachine().AddFile(L"E:\\a.jpg");
        TheMachine().AddDrive(L'E', os::kDriveRemovable);
        nodesChanged(window);
    };
    const std::wstring scanner = L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001";
    const struct {
        const wchar_t* title;
        std::function<void(sim::Machine&)> before; // the service starts
        std::function<void(os::Window)> plugIn;
        std::wstring reported;
    } cases[] = {
        {L"CardReaderLookupWindow", nullptr, cardInReader, L"E:"},
        {L"CardReaderLookupWindow", [](sim::Machine& m) { m.FailClassRegistration(true); }, cardInReader,
         L"E:"},
        {L"STITrackerWindow", [](sim::Machine& m) { m.TwainSources() = {"Scanner DS"}; },
         [&](os::Window window) {
             TheMachine().StiDevices().push_back(os::StiDevice{0x00010001, scanner});
             TheMachine().SetString(
                 kHKLM, L"SYSTEM\\CurrentControlSet\\Control\\Class\\" + scanner + L"\\DeviceData",
                 L"TwainDS", L"Scanner DS");
             nodesChanged(window);
         },
         L"\"Scanner DS\""},
        {L"MOXTrackerWindow",
         [&](sim::Machine&) { phoneManager = &sim::AddFakePlugin(L"C:\\moxplugins\\nokiamanager.mox", {}); },
         [&](os::Window) {
             phoneManager->RaiseOnOwnThread({sim::MakeDeviceEvent(MOXClassMobile, L"phone")});
         },
         L"phone"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.title));
        Fresh();
        DeviceSide::SetUp();
        auto& m = TheMachine();
        if (c.before)
            c.before(m);
        LoadAndStart();
        ASSERT_TRUE(m.RunUntilIdle());
        const os::Window window = m.FindWindowByTitle(c.title);
        const std::wstring windowClass = m.WindowClassOf(window);
        m.SendFromElsewhere(window, os::kWmClose);
        m.RunFor(10000);
        EXPECT_EQ(window, m.FindWindowByTitle(c.title));
        EXPECT_EQ(windowClass, m.WindowClassOf(window));
        c.plugIn(window);
        m.RunFor(10000);
        EXPECT_EQ((Strings{c.reported}), Ids());
        EXPECT_EQ(0u, m.FailedFetches().size());
    }
}

// A fetch that fails is tried again after a pause, so that a failure that lasts costs no core.
TEST_F(DeviceSide, MessageLoopPausesAfterEachFailedFetch) {
    auto& m = TheMachine();
    const os::Window window = CreateTrackerWindow(L"probe");
    m.FailGetMessage(3);
    m.At(5000, [window] { os::PostWindowMessage(window, os::kWmQuit, 0, 0); });
    RunMessageLoop(window, 0, 0);
    std::vector<std::uint64_t> failedAt;
    for (const auto& failed : m.FailedFetches())
        failedAt.push_back(failed.at);
    EXPECT_EQ((std::vector<std::uint64_t>{0, 500, 1000}), failedAt) << "half a second apart";
    EXPECT_EQ(5000u, m.Now());
}

TEST_F(DeviceSide, TrackersStartByWindowsVersionOncePerProcess) {
    // major, minor, product type, tracker threads: volumes, WIA, STI, plug-ins
    for (const auto& c : {std::array<std::uint8_t, 4>{5, 1, 1, 4},
                          {5, 0, 1, 3},
                          {6, 0, 1, 4},
                          {6, 0, 3, 1},
                          {5, 2, 1, 1},
                          {6, 1, 1, 1}}) {
        SCOPED_TRACE(testing::Message() << int{c[0]} << "." << int{c[1]} << " product " << int{c[2]});
        Fresh();
        QuietPluginTracker();
        TheMachine().SetVersion(c[0], c[1], c[2]);
        LoadAndStart();
        StartDeviceConnectService();
        TheMachine().RunFor(100);
        EXPECT_EQ(c[3], TheMachine().Threads().size());
        EXPECT_EQ(c[3] > 1 ? 1u : 0u, Count(Vt(L"Volumes will be detected.")));
        // A host that loaded the library itself may free it; the trackers' code must stay.
        EXPECT_EQ((std::vector<os::ThreadProc>{&VolumeTrackerThread}), TheMachine().PinnedCode());
    }
    Fresh();
    TheMachine().FailThreadStarts(true);
    LoadAndStart();
    EXPECT_TRUE(TheMachine().RunUntilIdle());
}

// One callback at a time, in the order reported; a callback that throws frees the lock; one that reports
// on its own thread does not deadlock.
TEST_F(DeviceSide, CallbacksNeverOverlapAndSurviveThrowsAndReentry) {
    LoadAndStart();
    action = [](std::wstring& type, std::wstring& id) {
        if (id == L"E:")
            throw std::runtime_error("host failure");
        if (id == L"F:") {
            os::SleepFor(100);
            std::wstring again = L"G:";
            NotifyDeviceConnect(type, again);
        }
    };
    for (const auto* id : {L"E:", L"F:", L"H:"})
        Report(id);
    ASSERT_TRUE(TheMachine().RunUntilIdle());
    ASSERT_EQ((Strings{L"E:", L"F:", L"G:", L"H:"}), Ids());
    EXPECT_EQ(seen[1].thread, seen[2].thread);
    EXPECT_GE(seen[3].in, seen[1].out);
    EXPECT_EQ(100u, seen[1].out);
    InitialiseLibraryState(); // a fresh load forgets the callback
    StartDeviceConnectService();
    Report(L"J:");
    ASSERT_TRUE(TheMachine().RunUntilIdle());
    EXPECT_EQ(4u, seen.size());
}

class MediaCheck : public DeviceSide {
protected:
    void SetUp() override {
        DeviceSide::SetUp();
        TheMachine().AddDrive(L'E', os::kDriveRemovable);
        InitialiseLibraryState();
    }
    static Formats Supported() {
        Formats formats{{L"<kept>", L"Image"}};
        GetSupportedFileFormats(LibraryHandler(), formats);
        return formats;
    }
};

TEST_F(MediaCheck, FormatsComeFromDefaultsOrElseEveryApplicationAndTheSiblingWithoutAudio) {
    SetFormat(AddApp(L"Other", L"Other"), L"Video", L"avi");
    LibraryHandler().LoadInformation();
    const Formats mine{{L"jpg", L"Image"}, {L"png", L"Image"}, {L"pdf", L"Image"}, {L"mp4", L"Video"}};
    EXPECT_EQ((Formats{{L"<kept>", L"Image"}, {L"avi", L"Video"}, mine[0], mine[1], mine[2], mine[3]}),
              Supported());
    InstallSibling();
    LibraryHandler().LoadInformation();
    const Formats withSibling = Supported();
    ASSERT_EQ(6u + 35u + 9u, withSibling.size()) << "the sibling's 35 image and 9 video formats, no audio";
    EXPECT_EQ(L"jpg", withSibling[6].first);
    EXPECT_EQ(L"wmv", withSibling.back().first);
    SetPref(kHKCU, ownKey, L"DefaultFlag", 1);
    LibraryHandler().LoadInformation();
    EXPECT_EQ((Formats{{L"<kept>", L"Image"}, mine[0], mine[1], mine[2], mine[3]}), Supported());
}

TEST_F(MediaCheck, SniffDepthIsTheUsersValueUnlessMissingOrNegative) {
    EXPECT_EQ(4u, GetSniffDepth());
    for (const auto& [stored, expected] : std::vector<std::pair<std::uint32_t, std::uint32_t>>{
             {0, 0}, {9, 9}, {0xFFFFFFFF, 4}, {0x80000000, 4}}) {
        TheMachine().SetDword(kHKCU, ownKey, L"SniffDepth", stored);
        EXPECT_EQ(expected, GetSniffDepth());
    }
    TheMachine().SetSelf(L"C:\\Unregistered\\proxy.exe");
    TheMachine().SetDword(kHKCU, L"", L"SniffDepth", 2);
    EXPECT_EQ(2u, GetSniffDepth()) << "without an own registration the hive's root is read";
}

// Three attempts, each followed by a pause of one second; a picture written meanwhile is found.
TEST_F(MediaCheck, VolumeWithoutPicturesIsSearchedThreeTimesOneSecondApart) {
    auto& m = TheMachine();
    EXPECT_FALSE(CheckMediaContent(L"E:"));
    std::vector<std::uint64_t> retries;
    for (const auto& record : m.DebugRecords())
        retries.push_back(record.line == kRetry ? record.at : 9);
    EXPECT_EQ((std::vector<std::uint64_t>{0, 1000, 2000, 9}), retries);
    EXPECT_EQ(3000u, m.Now());
    m.At(4500, [&m] { m.AddFile(L"E:\\late.jpg"); });
    EXPECT_TRUE(CheckMediaContent(L"E:"));
    EXPECT_EQ(5000u, m.Now());
}

// Breadth first in the card's own order; the extension is what follows the last dot; lines are cut to the
// search's buffer; a card pulled mid-search ends the attempt with nothing left open.
TEST_F(MediaCheck, SearchIsBreadthFirstAndStopsAtFirstSupportedFile) {
    auto& m = TheMachine();
    const std::wstring deep = L"E:\\" + std::wstring(1100, L'd');
    for (const auto& file : {deep + L"\\x.raw", std::wstring(L"E:\\readme"), std::wstring(L"E:\\M\\a.tar.gz"),
                             std::wstring(L"E:\\M\\b.tar.JPG"), std::wstring(L"E:\\z.jpg")})
        m.AddFile(file);
    EXPECT_TRUE(SniffMediaContent(L"E:"));
    EXPECT_EQ((Strings{Entry(1, L"FOLDER", deep).substr(0, 1023), Entry(1, L"FILE", L"readme"),
                       Entry(1, L"FOLDER", L"E:\\M"), Entry(1, L"FILE", L"z.jpg"), kFound}),
              m.DebugLines());
    m.RemoveFile(L"E:\\z.jpg");
    EXPECT_TRUE(SniffMediaContent(L"E:"));
    EXPECT_EQ(Entry(2, L"FILE", L"b.tar.JPG"), m.DebugLines().end()[-2]) << "after a.tar.gz";
    m.RemoveMediumAfterListingCalls(L'E', 3);
    EXPECT_FALSE(SniffMediaContent(L"E:"));
    EXPECT_EQ(0u, m.OpenFindCount() + m.ErrorMode() + m.CriticalErrorBoxes());
}

TEST_F(MediaCheck, TreeOf100000EntriesIsSearchedToTheEnd) {
    auto& m = TheMachine();
    const std::wstring longPart(120, L'x');
    for (int folder = 0; folder < 100; ++folder) {
        for (int file = 0; file < 1000; ++file)
            m.AddFile(L"E:\\" + longPart + std::to_wstring(folder) + L"\\" + longPart +
                      std::to_wstring(file) + L".raw");
    }
    m.AddFile(L"E:\\" + longPart + L"99\\last.jpg");
    EXPECT_TRUE(SniffMediaContent(L"E:"));
    EXPECT_EQ(100u + 100u * 1000u + 1u + 1u, m.DebugLines().size());
}

} // namespace
} // namespace qel::simtest
