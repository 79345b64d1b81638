// Reading one registration key into an appInfo_tag: strings, file formats, the default flag and the
// auto-launch filter.

#include "registry/app_records.h"
#include "sim_fixture.h"

namespace qel::simtest {
namespace {

const std::wstring kKeyPath = RegistrationPath(L"Viewer");
const std::wstring kPrefs = kKeyPath + L"\\Preferences";
const std::wstring kFormatsPath = kKeyPath + L"\\File Formats";
constexpr std::uint32_t kUntouched = 0x5EED;

using ReadApplicationRecordTest = SimTest;

// Without a key, formats and flags are reset all the same; strings are taken only from values that are there.
TEST_F(ReadApplicationRecordTest, FillsFieldOfEveryValueThereReplacingEarlierFormatsAndLeavesOtherStrings) {
    appInfo_tag expected = SentinelRecord();
    expected.fileFormats.clear();
    expected.defaultFlag = expected.reserved = 0;
    for (const wchar_t* desc : {L"", L"Only a description"}) {
        if (*desc) {
            TheMachine().SetString(kHKLM, kKeyPath, L"Desc", desc);
            expected.desc = desc;
            expected.keyPath = kKeyPath;
        }
        appInfo_tag record = SentinelRecord();
        ReadApplicationRecord(kKeyPath, record);
        EXPECT_EQ(Fields(expected), Fields(record));
    }
    AddApp(L"Viewer", L"Quorl Viewer");
    SetFormat(kKeyPath, L"Image", L"jpg tif");
    SetPref(kHKLM, kKeyPath, L"DefaultFlag", 1);
    appInfo_tag record = SentinelRecord();
    ReadApplicationRecord(kKeyPath, record);
    EXPECT_EQ(Fields(RecordOf(L"Quorl Viewer", kKeyPath, 1, {{L"jpg", L"Image"}, {L"tif", L"Image"}})),
              Fields(record));
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
        EXPECT_EQ(L"kept", list.at(0).first);
        EXPECT_EQ(c.added, Formats(list.begin() + 1, list.end()));
    }
}

// One Preferences value in each hive (nothing, a value, or kKeyOnly for the key without the value), on a
// fresh machine whose user's keys named are denied to reading or writing, where they are not empty.
constexpr std::uint32_t kKeyOnly = 0xDEAD;
const std::nullopt_t none = std::nullopt;
struct Preferences {
    std::optional<std::uint32_t> user, machine;
    std::wstring denyRead = {}, denyWrite = {};
};
void SetPreferences(const wchar_t* name, const Preferences& p) {
    for (const auto& [hive, value] : {std::pair{kHKCU, p.user}, std::pair{kHKLM, p.machine}}) {
        if (value == kKeyOnly)
            TheMachine().CreateKey(hive, kPrefs);
        else if (value)
            SetPref(hive, kKeyPath, name, *value);
    }
    if (!p.denyRead.empty())
        TheMachine().DenyRead(kHKCU, p.denyRead);
    if (!p.denyWrite.empty())
        TheMachine().DenyWrite(kHKCU, p.denyWrite);
}

using DefaultFlagTest = SimTest;

// The user's own value decides; on first sight of an application (the user has the maker key) the user's
// key is created with 0. The machine's value counts only when that key can be neither read nor created.
TEST_F(DefaultFlagTest, UserHiveDecidesAndIsCreatedWithZeroOnFirstSight) {
    const struct {
        Preferences prefs;
        bool makerKey;
        std::uint32_t read;
        std::optional<std::uint32_t> userAfter;
    } cases[] = {
        {{1, 0}, false, 1, 1},
        {{kKeyOnly, 1}, false, kUntouched, kKeyOnly},
        {{0xFFFFFFFFu, 1}, false, kUntouched, 0xFFFFFFFFu},
        {{none, 1}, true, 0, 0},
        {{none, none}, true, 0, 0},
        {{none, 1, kMaker}, true, 0, 0},
        {{1, 1, kPrefs}, false, 0, 0},
        {{none, 3}, false, 3, none},
        {{none, 5, L"", kMaker}, true, 5, none},
        {{none, 2, L"", kMaker + L"\\Viewer"}, true, 2, none},
        {{none, none}, false, kUntouched, none},
        {{none, 0xFFFFFFFFu}, false, kUntouched, none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        Fresh();
        if (c.makerKey)
            TheMachine().CreateKey(kHKCU, kMaker);
        SetPreferences(L"DefaultFlag", c.prefs);
        std::uint32_t flag = kUntouched;
        ReadDefaultFlag(kPrefs, flag);
        EXPECT_EQ(c.read, flag);
        EXPECT_EQ(c.userAfter.has_value(), TheMachine().KeyExists(kHKCU, kPrefs));
        if (c.userAfter != kKeyOnly) {
            EXPECT_EQ(c.userAfter, DwordValue(kHKCU, kPrefs, L"DefaultFlag"));
        }
    }
}

// AutoLaunchOnDeviceConnect = 1 turns launching off; the user's value counts before the machine's. Memory
// exhaustion (the row's user value stands for the registry call that throws) answers false.
TEST_F(DefaultFlagTest, AutoLaunchIsOffOnlyForValueOneAndUserValueCountsFirst) {
    const struct {
        Preferences prefs;
        bool candidate;
        std::size_t throwAt = 0;
    } cases[] = {
        {{none, none}, true},     {{kKeyOnly, kKeyOnly}, true},
        {{0, 1}, true},           {{1, 0}, false},
        {{2, 1}, true},           {{none, 1}, false},
        {{kKeyOnly, 1}, false},   {{0xFFFFFFFFu, 1}, false},
        {{none, 2}, true},        {{0, 1, kPrefs}, false},
        {{none, none}, false, 1}, {{0, none}, false, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        Fresh();
        SetPreferences(L"AutoLaunchOnDeviceConnect", c.prefs);
        TheMachine().ThrowOnRegistryCall(c.throwAt);
        EXPECT_EQ(c.candidate, IsAutoLaunchCandidate(kKeyPath));
    }
}

} // namespace
} // namespace qel::simtest
