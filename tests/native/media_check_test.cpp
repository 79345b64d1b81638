// The media content check: which formats count, how deep and in which order the volume is searched, the
// retries, and the lines written on the way.
#include "device_fixture.h"
#include "deviceconnect/media_check.h"
#include "registry/discovery.h"

namespace qel::simtest {
namespace {

class MediaCheckTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        TheMachine().AddDrive(L'E', os::kDriveRemovable);
        InitialiseLibraryState();
    }
    static Formats Supported() {
        Formats formats{{L"<kept>", L"Image"}};
        GetSupportedFileFormats(LibraryHandler(), formats);
        return formats;
    }
};

TEST_F(MediaCheckTest, FormatsComeFromDefaultsOrElseEveryApplicationAndTheSiblingWithoutAudio) {
    const std::wstring other = AddApp(L"Other", L"Other");
    SetFormat(other, L"Video", L"avi");
    LibraryHandler().LoadInformation();
    const Formats own{{L"jpg", L"Image"}, {L"png", L"Image"}, {L"mp4", L"Video"}};
    EXPECT_EQ((Formats{{L"<kept>", L"Image"}, {L"avi", L"Video"}, own[0], own[1], own[2]}), Supported());

    InstallSibling();
    LibraryHandler().LoadInformation();
    Formats withSibling = Supported();
    ASSERT_EQ(5u + 35u + 9u, withSibling.size()) << "the sibling's 35 image and 9 video formats, no audio";
    EXPECT_EQ((std::pair<std::wstring, std::wstring>{L"jpg", L"Image"}), withSibling[5]);
    EXPECT_EQ((std::pair<std::wstring, std::wstring>{L"wmv", L"Video"}), withSibling.back());

    SetPref(kHKCU, ownKey, L"DefaultFlag", 1);
    LibraryHandler().LoadInformation();
    EXPECT_EQ((Formats{{L"<kept>", L"Image"}, own[0], own[1], own[2]}), Supported());
}

TEST_F(MediaCheckTest, SniffDepthIsTheUsersValueUnlessMissingOrNegative) {
    const std::vector<std::pair<std::optional<std::uint32_t>, std::uint32_t>> cases{
        {std::nullopt, 4}, {0u, 0}, {1u, 1}, {9u, 9}, {0xFFFFFFFFu, 4}, {0x80000000u, 4}};
    for (const auto& [stored, expected] : cases) {
        if (stored)
            TheMachine().SetDword(kHKCU, ownKey, L"SniffDepth", *stored);
        EXPECT_EQ(expected, GetSniffDepth());
    }
    TheMachine().SetValue(kHKCU, ownKey, L"SniffDepth", os::kRegBinary, std::vector<std::uint8_t>(8, 1));
    EXPECT_EQ(4u, GetSniffDepth()) << "a value longer than four bytes";
    TheMachine().SetSelf(L"C:\\Unregistered\\proxy.exe");
    TheMachine().SetDword(kHKCU, L"", L"SniffDepth", 2);
    EXPECT_EQ(2u, GetSniffDepth()) << "without an own registration the hive's root is read";
}

// Three attempts, each followed by a pause of one second, the last one included.
TEST_F(MediaCheckTest, VolumeWithoutPicturesIsSearchedThreeTimesOneSecondApart) {
    auto& m = TheMachine();
    m.AddFile(L"E:\\notes.txt");
    EXPECT_FALSE(CheckMediaContent(L"E:"));
    EXPECT_EQ(3000u, m.Now());
    std::vector<std::uint64_t> retries;
    for (const auto& record : m.DebugRecords()) {
        if (record.line == kTryingAgain)
            retries.push_back(record.at);
    }
    EXPECT_EQ((std::vector<std::uint64_t>{0, 1000, 2000}), retries);
    EXPECT_EQ(kNoContent, m.DebugLines().back());

    const std::uint64_t start = m.Now();
    m.At(start + 1500, [&m] { m.AddFile(L"E:\\late.jpg"); });
    EXPECT_TRUE(CheckMediaContent(L"E:")) << "a picture written during the pauses is found";
    EXPECT_EQ(start + 2000, m.Now());
}

// Breadth first, level by level, in the order the card lists its entries.
TEST_F(MediaCheckTest, SearchIsBreadthFirstAndStopsAtFirstSupportedFile) {
    auto& m = TheMachine();
    for (const auto* file : {L"E:\\DCIM\\100\\deep.jpg", L"E:\\readme", L"E:\\MISC\\archive.tar.gz",
                             L"E:\\MISC\\b.tar.JPG", L"E:\\z.jpg"})
        m.AddFile(file);
    const std::size_t before = m.DebugLines().size();
    EXPECT_TRUE(SniffMediaContent(L"E:"));
    EXPECT_EQ((Strings{Entry(1, L"FOLDER", L"E:\\DCIM"), Entry(1, L"FILE", L"readme"),
                       Entry(1, L"FOLDER", L"E:\\MISC"), Entry(1, L"FILE", L"z.jpg"), kFound}),
              LinesSince(before));
    m.RemoveFile(L"E:\\z.jpg");
    EXPECT_TRUE(SniffMediaContent(L"E:"));
    EXPECT_EQ(Entry(2, L"FILE", L"b.tar.JPG"), m.DebugLines().end()[-2]);
    EXPECT_EQ(Entry(2, L"FILE", L"archive.tar.gz"), m.DebugLines().end()[-3]);
    EXPECT_EQ(0u, m.OpenFindCount());
    EXPECT_EQ(0u, m.ErrorMode()) << "the error mode is given back";
}

TEST_F(MediaCheckTest, CardPulledDuringSearchEndsTheAttempt) {
    auto& m = TheMachine();
    m.AddFile(L"E:\\A\\x.txt");
    m.AddFile(L"E:\\B\\y.jpg");
    m.RemoveMediumAfterListingCalls(L'E', 3);
    EXPECT_FALSE(SniffMediaContent(L"E:"));
    EXPECT_EQ(0u, m.OpenFindCount());
    EXPECT_EQ(0u, m.CriticalErrorBoxes());
}

// A path longer than the line's buffer is cut, never written past it.
TEST_F(MediaCheckTest, LongPathsAreCutInTheirLines) {
    auto& m = TheMachine();
    const std::wstring longName(250, L'n');
    std::wstring folder = L"E:";
    for (int i = 0; i < 5; ++i)
        folder += L"\\" + longName;
    m.AddFile(folder + L"\\a.jpg");
    m.SetDword(kHKCU, ownKey, L"SniffDepth", 9);
    EXPECT_TRUE(SniffMediaContent(L"E:"));
    const std::wstring expected = Entry(5, L"FOLDER", folder).substr(0, 1023);
    EXPECT_EQ(expected, m.DebugLines().end()[-3]);
}

TEST_F(MediaCheckTest, WideTreeIsSearchedInLinearTime) {
    auto& m = TheMachine();
    const std::wstring longPart(120, L'x');
    for (int folder = 0; folder < 100; ++folder) {
        for (int file = 0; file < 1000; ++file)
            m.AddFile(L"E:\\" + longPart + std::to_wstring(folder) + L"\\" + longPart +
                      std::to_wstring(file) + L".raw");
    }
    m.AddFile(L"E:\\" + longPart + L"99\\last.jpg");
    const std::size_t before = m.DebugLines().size();
    EXPECT_TRUE(SniffMediaContent(L"E:"));
    EXPECT_EQ(100u + 100u * 1000u + 1u + 1u, m.DebugLines().size() - before);
    EXPECT_EQ(kFound, m.DebugLines().back());
}

} // namespace
} // namespace qel::simtest
