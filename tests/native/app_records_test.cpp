// Reading one registration key into an appInfo_tag: strings, file formats, the default flag and the
// auto-launch filter.

#include <algorithm>

#include "registry/app_records.h"
#include "sim_fixture.h"

namespace qel::simtest {
namespace {

const std::wstring kKeyPath = RegistrationPath(L"Viewer");
const std::wstring kPrefs = kKeyPath + L"\\Preferences";
const std::wstring kFormatsPath = kKeyPath + L"\\File Formats";
constexpr std::uint32_t kUntouched = 0x5EED;

using ReadApplicationRecordTest = SimTest;

TEST_F(ReadApplicationRecordTest, FillsFieldOfEveryValueThereReplacingEarlierFormatsAndLeavesOtherStrings) {
    appInfo_tag expected = SentinelRecord(); // without a key, formats and flags are reset all the same
    expected.fileFormats.clear();
    expected.defaultFlag = expected.reserved = 0;
    appInfo_tag record = SentinelRecord();
    ReadApplicationRecord(kKeyPath, record);
    EXPECT_EQ(Fields(expected), Fields(record));

    TheMachine().SetString(kHKLM, kKeyPath, L"Desc", L"Only a description");
    expected.desc = L"Only a description";
    expected.keyPath = kKeyPath;
    record = SentinelRecord();
    ReadApplicationRecord(kKeyPath, record);
    EXPECT_EQ(Fields(expected), Fields(record));

    AddApp(L"Viewer", L"Quorl Viewer");
    SetFormat(kKeyPath, L"Image", L"jpg tif");
    SetPref(kHKLM, kKeyPath, L"DefaultFlag", 1);
    record = SentinelRecord();
    ReadApplicationRecord(kKeyPath, record);
    EXPECT_EQ(Fields(RecordOf(L"Quorl Viewer", kKeyPath, 1, {{L"jpg", L"Image"}, {L"tif", L"Image"}})),
              Fields(record));
}

TEST_F(ReadApplicationRecordTest, MemoryExhaustionKeepsFieldsReadSoFarInOrder) {
    AddApp(L"Viewer", L"Viewer");
    SetFormat(kKeyPath, L"Image", L"jpg");
    SetFormat(kKeyPath, L"Video", L"avi");
    SetPref(kHKLM, kKeyPath, L"DefaultFlag", 1);
    appInfo_tag full;
    ReadApplicationRecord(kKeyPath, full);
    const std::size_t calls = TheMachine().RegistryCallCount();
    const appInfo_tag sentinel = SentinelRecord();
    const std::wstring appInfo_tag::*fields[] = {&appInfo_tag::name, &appInfo_tag::proxyPath,
                                                 &appInfo_tag::desc, &appInfo_tag::cmdLine,
                                                 &appInfo_tag::icon};

    for (std::size_t n = 1; n <= calls + 1; ++n) {
        SCOPED_TRACE(n);
        TheMachine().ThrowOnRegistryCall(n);
        appInfo_tag record = SentinelRecord();
        EXPECT_NO_THROW(ReadApplicationRecord(kKeyPath, record));
        TheMachine().ThrowOnRegistryCall(0);
        ExpectNoOpenKey();

        // The strings are read in a fixed order: once one is left as it was, so are all that follow.
        bool stopped = false;
        for (auto field : fields) {
            const bool read = record.*field == full.*field;
            EXPECT_TRUE(read || record.*field == sentinel.*field);
            EXPECT_FALSE(stopped && read);
            stopped = stopped || !read;
        }
        if (record.fileFormats == sentinel.fileFormats) {
            EXPECT_EQ(kUntouched, record.defaultFlag);
            continue;
        }
        EXPECT_FALSE(stopped);
        EXPECT_TRUE(
            record.fileFormats.size() <= full.fileFormats.size() &&
            std::equal(record.fileFormats.begin(), record.fileFormats.end(), full.fileFormats.begin()));
        EXPECT_TRUE(record.defaultFlag == 0 || record.defaultFlag == 1);
        EXPECT_EQ(0u, record.reserved);
    }
}

using FileFormatsTest = SimTest;

TEST_F(FileFormatsTest, ImageAudioVideoComeInThatOrderAfterEarlierPairsAndOtherCategoriesOrKeysNot) {
    SetFormat(kKeyPath, L"Video", L"mp4  wmv");
    SetFormat(kKeyPath, L"Other", L"txt");
    SetFormat(kKeyPath, L"Audio", L"wav mp3");
    SetFormat(kKeyPath, L"Image", L"png jpg");
    Formats list{{L"first", L"Earlier"}};
    ReadFileFormats(kFormatsPath, list);
    const Formats expected{{L"first", L"Earlier"}, {L"png", L"Image"}, {L"jpg", L"Image"}, {L"wav", L"Audio"},
                           {L"mp3", L"Audio"},     {L"mp4", L"Video"}, {L"wmv", L"Video"}};
    EXPECT_EQ(expected, list);

    ReadFileFormats(RegistrationPath(L"Missing") + L"\\File Formats", list); // a missing or unreadable key
    TheMachine().DenyRead(kHKLM, kFormatsPath);
    ReadFileFormats(kFormatsPath, list);
    EXPECT_EQ(expected, list);
}

TEST(SplitExtensionListTest, OnlySpacesSeparateAndEveryOtherTokenIsAppendedAsWritten) {
    const struct {
        const wchar_t* text;
        Formats added;
    } cases[] = {
        {L"  jpg   png ", {{L"jpg", L"Image"}, {L"png", L"Image"}}},
        {L"jpg\tpng \tgif tif\n", {{L"jpg\tpng", L"Image"}, {L"\tgif", L"Image"}, {L"tif\n", L"Image"}}},
        {L"JPG jpg JPG", {{L"JPG", L"Image"}, {L"jpg", L"Image"}, {L"JPG", L"Image"}}},
        {L"", {}},
        {L"     ", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        Formats list{{L"kept", L"Audio"}};
        SplitExtensionList(c.text, L"Image", list);
        Formats expected{{L"kept", L"Audio"}};
        expected.insert(expected.end(), c.added.begin(), c.added.end());
        EXPECT_EQ(expected, list);
    }
}

// Writes one Preferences value in each hive (nothing, a value, or kKeyOnly for the key without the value),
// then denies the user's reading and writing of the keys named, where they are not empty.
constexpr std::uint32_t kKeyOnly = 0xDEAD;
void SetPreferences(const wchar_t* name, std::optional<std::uint32_t> user,
                    std::optional<std::uint32_t> machine, const std::wstring& denyRead,
                    const std::wstring& denyWrite = L"") {
    for (const auto& [hive, value] : {std::pair{kHKCU, user}, std::pair{kHKLM, machine}}) {
        if (value == kKeyOnly)
            TheMachine().CreateKey(hive, kPrefs);
        else if (value)
            SetPref(hive, kKeyPath, name, *value);
    }
    if (!denyRead.empty())
        TheMachine().DenyRead(kHKCU, denyRead);
    if (!denyWrite.empty())
        TheMachine().DenyWrite(kHKCU, denyWrite);
}

const std::nullopt_t none = std::nullopt;

using DefaultFlagTest = SimTest;

// The user's own value decides; on first sight of an application (the user has the maker key) the user's
// key is created with 0. The machine's value counts only when that key can be neither read nor created.
TEST_F(DefaultFlagTest, UserHiveDecidesAndIsCreatedWithZeroOnFirstSight) {
    const struct {
        std::optional<std::uint32_t> user, machine;
        bool makerKey;
        std::wstring denyRead, denyWrite;
        std::uint32_t read;
        std::optional<std::uint32_t> userAfter;
    } cases[] = {
        {1, 0, false, L"", L"", 1, 1},
        {kKeyOnly, 1, false, L"", L"", kUntouched, kKeyOnly},
        {0xFFFFFFFFu, 1, false, L"", L"", kUntouched, 0xFFFFFFFFu},
        {none, 1, true, L"", L"", 0, 0},
        {none, none, true, L"", L"", 0, 0},
        {none, 1, true, kMaker, L"", 0, 0},
        {1, 1, false, kPrefs, L"", 0, 0},
        {none, 3, false, L"", L"", 3, none},
        {none, 5, true, L"", kMaker, 5, none},
        {none, 2, true, L"", kMaker + L"\\Viewer", 2, none},
        {none, none, false, L"", L"", kUntouched, none},
        {none, 0xFFFFFFFFu, false, L"", L"", kUntouched, none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        Fresh();
        if (c.makerKey)
            TheMachine().CreateKey(kHKCU, kMaker);
        SetPreferences(L"DefaultFlag", c.user, c.machine, c.denyRead, c.denyWrite);
        std::uint32_t flag = kUntouched;
        ReadDefaultFlag(kPrefs, flag);
        EXPECT_EQ(c.read, flag);
        EXPECT_EQ(c.userAfter.has_value(), TheMachine().KeyExists(kHKCU, kPrefs));
        if (c.userAfter != kKeyOnly) {
            EXPECT_EQ(c.userAfter, DwordValue(kHKCU, kPrefs, L"DefaultFlag"));
        }
    }
    TheMachine().ThrowOnRegistryCall(1); // memory exhaustion leaves the flag
    std::uint32_t flag = kUntouched;
    ReadDefaultFlag(kPrefs, flag);
    EXPECT_EQ(kUntouched, flag);
}

// AutoLaunchOnDeviceConnect = 1 turns launching off; the user's value counts before the machine's.
TEST_F(DefaultFlagTest, AutoLaunchIsOffOnlyForValueOneAndUserValueCountsFirst) {
    const struct {
        std::optional<std::uint32_t> user, machine;
        std::wstring denyRead;
        bool candidate;
    } cases[] = {
        {none, none, L"", true},   {kKeyOnly, kKeyOnly, L"", true},
        {0, 1, L"", true},         {1, 0, L"", false},
        {2, 1, L"", true},         {none, 1, L"", false},
        {kKeyOnly, 1, L"", false}, {0xFFFFFFFFu, 1, L"", false},
        {none, 2, L"", true},      {0, 1, kPrefs, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        Fresh();
        SetPreferences(L"AutoLaunchOnDeviceConnect", c.user, c.machine, c.denyRead);
        EXPECT_EQ(c.candidate, IsAutoLaunchCandidate(kKeyPath));
    }
    // Memory exhaustion at once, or when reading the user's value, answers false.
    TheMachine().ThrowOnRegistryCall(1);
    EXPECT_FALSE(IsAutoLaunchCandidate(kKeyPath));
    Fresh();
    SetPref(kHKCU, kKeyPath, L"AutoLaunchOnDeviceConnect", 0);
    TheMachine().ThrowOnRegistryCall(2);
    EXPECT_FALSE(IsAutoLaunchCandidate(kKeyPath));
}

} // namespace
} // namespace qel::simtest
