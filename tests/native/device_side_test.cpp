// The device side on the simulated machine, in virtual time: the service and its callback, the volume
// tracker from a drive appearing to the callback, and the media content check.
#include "deviceconnect/media_check.h"
#include "deviceconnect/message_loop.h"
#include "deviceconnect/notification.h"
#include "deviceconnect/tracker_window.h"
#include "registry/discovery.h"
#include "sim_fixture.h"
#include "trackers/volume_tracker.h"

namespace qel::simtest {
namespace {

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
        AddRunKey();
        ownKey = AddApp(L"Vandrel", L"Vandrel");
        SetFormat(ownKey, L"Image", L"jpg png pdf");
        SetFormat(ownKey, L"Video", L"mp4");
        SetFormat(ownKey, L"Audio", L"mp3");
        TheMachine().SetSelf(ProxyFile(L"Vandrel"));
        QuietPluginTracker();
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
    // A thread that reports one device, as a tracker does.
    static std::uint32_t QELBOOT_WINAPI Reporter(void* id) {
        std::wstring type = kVolumeDevice, devId = static_cast<const wchar_t*>(id);
        NotifyDeviceConnect(type, devId);
        return 0;
    }
    static void Report(const wchar_t* id) { os::StartThread(&Reporter, const_cast<wchar_t*>(id)); }
    std::wstring ownKey;
};

// A card in the reader at load is known. Taken out and put back at 2.1 s, it is reported within one poll, to
// the callback on the volume tracker's thread. Once the reader is gone the tracker stops polling and waits in
// a window of its own class.
TEST_F(DeviceSide, ReaderIsPolledWhileAttachedAndACardPutBackIsReported) {
    auto& m = TheMachine();
    m.AddFile(L"E:\\DCIM\\100CARD\\IMG_0001.JPG");
    m.AddDrive(L'E', os::kDriveRemovable);
    StartService();
    m.At(1000, [&m] { m.RemoveMedium(L'E'); });
    m.At(2100, [&m] { m.InsertMedium(L'E'); });
    m.At(4000, [&m] { m.RemoveDrive(L'E'); });
    ASSERT_TRUE(m.RunUntilIdle(60000));
    ASSERT_EQ(Strings{L"volume|E:"}, HeardDevices());
    EXPECT_EQ(&VolumeTrackerThread, m.Threads()[0].proc);
    EXPECT_EQ(m.Threads()[0].id, heard[0].thread);
    EXPECT_TRUE(heard[0].in >= 2100 && heard[0].in <= 2600) << heard[0].in << ": a poll every 500 ms";
    EXPECT_EQ((Strings{Vt(L"Volumes will be detected."), Vt(L"Entering in polling mode."),
                       Vt(L"REMOVABLE DEVICE><V|E:"), Entry(1, L"FOLDER", L"E:\\DCIM"),
                       Entry(2, L"FOLDER", L"E:\\DCIM\\100CARD"), Entry(3, L"FILE", L"IMG_0001.JPG"), kFound,
                       Vt(L"Exiting from polling mode.")}),
              VolumeLines());
    EXPECT_EQ(L"DeviceDetectWin", m.WindowClassOf(m.FindWindowByTitle(L"CardReaderLookupWindow")));
}

// Which new drives are reported, and why the others are not. The files arrive at 1 s on drives of `type`
// named by their letters, with a broadcast; `lines` appear in this order, others between them.
TEST_F(DeviceSide, OnlyAcceptedDrivesWithPicturesOrVideosAreReported) {
    const std::wstring off = kDc + L"<Suppressing auto launch...>", e = Vt(L"REMOVABLE DEVICE><V|E:");
    const std::wstring refused = kDc + L"<Unsupported volume found.>";
    const std::uint32_t kRem = os::kDriveRemovable, kFixed = os::kDriveFixed;
    const struct {
        Strings files;
        std::uint32_t type;
        const wchar_t* fileSystem;
        std::int64_t sniffDepth; // -1: none stored; a negative DWORD is the default depth, 4
        const wchar_t* reported;
        Strings lines;
    } cases[] = {
        {{L"E:\\CLIP.MP4"}, kRem, L"FAT32", -1, L"E:", {e, kFound}},
        {{L"E:\\song.mp3"}, kRem, L"FAT32", -1, nullptr, {kRetry, kRetry, kRetry, kNoContent, kNotPossible}},
        {{L"E:\\scan.pdf"}, kRem, L"FAT32", -1, nullptr, {kNoContent}},
        {{L"E:\\README"}, kRem, L"FAT32", -1, nullptr, {Entry(1, L"FILE", L"README"), kNoContent}},
        {{L"E:\\a\\b\\c\\x.png"}, kRem, L"FAT32", 0xFFFFFFFF, L"E:", {Entry(4, L"FILE", L"x.png")}},
        {{L"E:\\a\\b\\c\\d\\x.png"}, kRem, L"FAT32", -1, nullptr, {kNoContent}},
        {{L"E:\\a\\b\\c\\d\\x.png"}, kRem, L"FAT32", 0x80000000, nullptr, {kNoContent}},
        {{L"E:\\a.jpg"}, kRem, L"FAT32", 0, nullptr, {off, kRetry, off, kNoContent}},
        {{L"E:\\DCIM\\a.jpg"}, kRem, L"FAT32", 1, nullptr, {Entry(1, L"FOLDER", L"E:\\DCIM"), kRetry}},
        {{L"F:\\b.jpg", L"E:\\a.jpg"}, kRem, L"FAT32", -1, L"E:", {e}},
        {{L"A:\\a.jpg", L"B:\\b.jpg"}, kRem, L"FAT32", -1, nullptr, {}},
        {{L"G:\\a.jpg"}, kFixed, L"NTFS", -1, nullptr, {}},
        {{L"G:\\a.jpg"}, kFixed, L"KoDaK FS", -1, L"G:", {kFound}},
        {{L"N:\\a.jpg"}, os::kDriveRemote, L"kodak", -1, nullptr, {Vt(L"REMOVABLE DEVICE><V|N:"), refused}},
        {{L"E:\\"}, kRem, L"FAT32", -1, nullptr, {kRetry, kNoContent, kNotPossible}},
    };
    ForEachCase(cases, [&](const auto& c) {
        auto& m = TheMachine();
        if (c.sniffDepth >= 0)
            m.SetDword(kHKCU, ownKey, L"SniffDepth", static_cast<std::uint32_t>(c.sniffDepth));
        StartService();
        m.At(1000, [&] {
            for (const auto& file : c.files) {
                if (file.back() != L'\\')
                    m.AddFile(file);
                m.AddDrive(file[0], c.type, c.fileSystem);
            }
            m.BroadcastDeviceChange(os::kDbtDeviceArrival);
        });
        m.RunFor(10000);
        EXPECT_EQ(c.reported ? Strings{L"volume|" + std::wstring(c.reported)} : Strings{}, HeardDevices());
        const Strings lines = VolumeLines();
        auto at = lines.begin();
        for (const auto& line : c.lines)
            EXPECT_NE(lines.end(), at = std::find(at, lines.end(), line)) << line;
        EXPECT_TRUE(!c.lines.empty() || lines.size() == 2)
            << "only: volumes will be detected, device arrived";
    });
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

// Any program may close a top-level window. The volume tracker's window stays through another process's
// WM_CLOSE, its thread does not spin on failed fetches, and a card that comes afterwards is still reported.
// Without its own window class the tracker listens through a system "Static" window, where only a posted node
// change, not an arrival, starts a pass. The other trackers make their windows alike: the roads under Wine
// close each of them.
TEST_F(DeviceSide, TrackerWindowOutlivesWmCloseFromAnotherProcess) {
    const struct {
        bool ownClass;
        std::uintptr_t change;
        const wchar_t* reported;
    } cases[] = {{true, os::kDbtDevNodesChanged, L"volume|E:"},
                 {false, os::kDbtDevNodesChanged, L"volume|E:"},
                 {false, os::kDbtDeviceArrival, nullptr}};
    ForEachCase(cases, [&](const auto& c) {
        auto& m = TheMachine();
        m.FailClassRegistration(!c.ownClass);
        StartService();
        ASSERT_TRUE(m.RunUntilIdle());
        const os::Window window = m.FindWindowByTitle(L"CardReaderLookupWindow");
        const std::wstring windowClass = m.WindowClassOf(window);
        m.SendFromElsewhere(window, os::kWmClose);
        m.RunFor(10000);
        EXPECT_EQ(window, m.FindWindowByTitle(L"CardReaderLookupWindow"));
        EXPECT_EQ(windowClass, m.WindowClassOf(window));
        m.AddFile(L"E:\\a.jpg");
        m.AddDrive(L'E', os::kDriveRemovable);
        os::PostWindowMessage(window, os::kWmDeviceChange, c.change, 0);
        m.RunFor(10000);
        EXPECT_EQ(c.reported ? Strings{c.reported} : Strings{}, HeardDevices());
        EXPECT_EQ(0u, m.FailedFetches().size());
    });
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
    const std::uint8_t cases[][4] = {{5, 1, 1, 4}, {5, 0, 1, 3}, {6, 0, 1, 4},
                                     {6, 0, 3, 1}, {5, 2, 1, 1}, {6, 1, 1, 1}};
    ForEachCase(cases, [&](const auto& c) {
        TheMachine().SetVersion(c[0], c[1], c[2]);
        StartService();
        StartDeviceConnectService();
        TheMachine().RunFor(100);
        EXPECT_EQ(c[3], TheMachine().Threads().size());
        EXPECT_EQ(c[3] > 1 ? 1u : 0u, Said(Vt(L"Volumes will be detected.")));
        // A host that loaded the library itself may free it; the trackers' code must stay.
        EXPECT_EQ((std::vector<os::ThreadProc>{&VolumeTrackerThread}), TheMachine().PinnedCode());
    });
}

// One callback at a time, in the order reported; a callback that throws frees the lock; one that reports
// on its own thread does not deadlock.
TEST_F(DeviceSide, CallbacksNeverOverlapAndSurviveThrowsAndReentry) {
    StartService();
    hostAction = [](std::wstring& type, std::wstring& id) {
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
    ASSERT_EQ((Strings{L"volume|E:", L"volume|F:", L"volume|G:", L"volume|H:"}), HeardDevices());
    EXPECT_EQ(heard[1].thread, heard[2].thread);
    EXPECT_GE(heard[3].in, heard[1].out);
    EXPECT_EQ(100u, heard[1].out);
    InitialiseLibraryState(); // a fresh load forgets the callback
    StartDeviceConnectService();
    Report(L"J:");
    ASSERT_TRUE(TheMachine().RunUntilIdle());
    EXPECT_EQ(4u, heard.size());
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
    EXPECT_EQ(std::make_tuple(L"jpg", L"wmv"),
              std::make_tuple(withSibling[6].first, withSibling.back().first));
    SetPref(kHKCU, ownKey, L"DefaultFlag", 1);
    LibraryHandler().LoadInformation();
    EXPECT_EQ((Formats{{L"<kept>", L"Image"}, mine[0], mine[1], mine[2], mine[3]}), Supported());
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

// What one search finds on F:, with the n-th system call from its start failing (0: none): a folder that
// cannot be listed ends the search, also while other folders are still queued.
TEST_F(MediaCheck, SearchEndsAtTheFirstSupportedFileOrAtAFolderThatCannotBeListed) {
    const struct {
        Strings files;
        std::size_t failing;
        std::wstring match, unlisted;
    } cases[] = {
        {{L"F:\\A\\x.raw", L"F:\\B\\x.jpg"}, 0, L"F:\\B\\x.jpg", L""},
        {{L"F:\\A\\x.raw", L"F:\\B\\x.jpg"}, 4, L"", L"F:\\A"}, // the root's listing: first, next, its end
        {{L"F:\\A\\x.raw", L"F:\\B\\x.jpg"}, 5, L"F:\\B\\x.jpg", L""},
        {{}, 0, L"", L"F:"}, // an empty root has no entry to list, not even "." and ".."
    };
    ForEachCase(cases, [&](const auto& c) {
        TheMachine().AddDrive(L'F', os::kDriveRemovable);
        for (const auto& file : c.files)
            TheMachine().AddFile(file);
        TheMachine().FailSeamCall(c.failing, sim::Machine::FaultKind::Error);
        const SearchOutcome found = SearchVolume(L"F:", kDefaultSniffDepth, {{L"jpg", L"Image"}});
        EXPECT_EQ(c.match, found.match);
        EXPECT_EQ(c.unlisted, found.unlistedFolder);
        EXPECT_EQ(0u, TheMachine().OpenFindCount());
    });
}

} // namespace
} // namespace qel::simtest
