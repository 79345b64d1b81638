// Reading one registration key into an appInfo_tag: strings, file formats, the default flag and the
// auto-launch filter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "registry/app_records.h"
#include "sim_fixture.h"

namespace qel {
namespace {

using namespace simtest;

const std::wstring kKeyPath = RegistrationPath(L"Viewer");
const std::wstring kPrefs = kKeyPath + L"\\Preferences";
constexpr std::uint32_t kUntouched = 0x5EED;

using Formats = FileFormatList;

class ReadApplicationRecordTest : public SimTest {};

TEST_F(ReadApplicationRecordTest, FillsEveryFieldFromRegistration) {
    AddApp(L"Viewer", L"Quorl Viewer");
    SetFormat(kKeyPath, L"Image", L"jpg tif");
    SetPref(kHKLM, kKeyPath, L"DefaultFlag", 1);
    appInfo_tag record;
    ReadApplicationRecord(kKeyPath, record);
    EXPECT_EQ(L"Quorl Viewer", record.name);
    EXPECT_EQ(ProxyFile(L"Quorl Viewer"), record.proxyPath);
    EXPECT_EQ(L"Quorl Viewer description", record.desc);
    EXPECT_EQ(ProgramFile(L"Quorl Viewer"), record.cmdLine);
    EXPECT_EQ(ProgramFile(L"Quorl Viewer") + L", 1", record.icon);
    EXPECT_EQ(kKeyPath, record.keyPath);
    EXPECT_EQ(1u, record.defaultFlag);
    EXPECT_EQ(0u, record.reserved);
    EXPECT_EQ((Formats{{L"jpg", L"Image"}, {L"tif", L"Image"}}), record.fileFormats);
}

TEST_F(ReadApplicationRecordTest, MissingValuesLeaveTheirFieldsAsTheyWere) {
    TheMachine().SetString(kHKLM, kKeyPath, L"Desc", L"Only a description");
    appInfo_tag record = SentinelRecord();
    ReadApplicationRecord(kKeyPath, record);
    EXPECT_EQ(L"<name>", record.name);
    EXPECT_EQ(L"<proxy>", record.proxyPath);
    EXPECT_EQ(L"Only a description", record.desc);
    EXPECT_EQ(L"<cmdline>", record.cmdLine);
    EXPECT_EQ(L"<icon>", record.icon);
    EXPECT_EQ(kKeyPath, record.keyPath);
}

TEST_F(ReadApplicationRecordTest, MissingKeyKeepsStringsAndKeyPathButResetsFormatsAndFlags) {
    appInfo_tag record = SentinelRecord();
    ReadApplicationRecord(kKeyPath, record);
    EXPECT_EQ(L"<name>", record.name);
    EXPECT_EQ(L"<icon>", record.icon);
    EXPECT_EQ(L"<keypath>", record.keyPath);
    EXPECT_TRUE(record.fileFormats.empty());
    EXPECT_EQ(0u, record.defaultFlag);
    EXPECT_EQ(0u, record.reserved);
}

TEST_F(ReadApplicationRecordTest, FormatsReplaceEarlierOnes) {
    AddApp(L"Viewer", L"Viewer");
    SetFormat(kKeyPath, L"Audio", L"mp3");
    appInfo_tag record = SentinelRecord();
    ReadApplicationRecord(kKeyPath, record);
    EXPECT_EQ((Formats{{L"mp3", L"Audio"}}), record.fileFormats);
}

TEST_F(ReadApplicationRecordTest, MemoryExhaustionKeepsFieldsReadSoFarInOrder) {
    AddApp(L"Viewer", L"Viewer");
    SetFormat(kKeyPath, L"Image", L"jpg");
    SetFormat(kKeyPath, L"Video", L"avi");
    SetPref(kHKLM, kKeyPath, L"DefaultFlag", 1);
    appInfo_tag full;
    ReadApplicationRecord(kKeyPath, full);
    const std::size_t calls = TheMachine().RegistryCallCount();

    for (std::size_t n = 1; n <= calls + 1; ++n) {
        SCOPED_TRACE(n);
        TheMachine().ThrowOnRegistryCall(n);
        appInfo_tag record = SentinelRecord();
        EXPECT_NO_THROW(ReadApplicationRecord(kKeyPath, record));
        TheMachine().ThrowOnRegistryCall(0);
        EXPECT_EQ(0u, TheMachine().OpenKeyCount());

        // The strings are read in a fixed order: once one is left as it was, so are all that follow.
        const std::wstring appInfo_tag::*fields[] = {&appInfo_tag::name, &appInfo_tag::proxyPath,
                                                     &appInfo_tag::desc, &appInfo_tag::cmdLine,
                                                     &appInfo_tag::icon};
        bool stopped = false;
        for (auto field : fields) {
            const bool read = record.*field == full.*field;
            EXPECT_TRUE(read || record.*field == SentinelRecord().*field);
            EXPECT_FALSE(stopped && read);
            stopped = stopped || !read;
        }
        if (record.fileFormats == SentinelRecord().fileFormats) {
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
    appInfo_tag last = SentinelRecord();
    ReadApplicationRecord(kKeyPath, last);
    EXPECT_TRUE(SameRecord(full, last));
}

class FileFormatsTest : public SimTest {};

TEST_F(FileFormatsTest, CategoriesComeInImageAudioVideoOrder) {
    const std::wstring formats = kKeyPath + L"\\File Formats";
    TheMachine().SetString(kHKLM, formats, L"Video", L"mp4");
    TheMachine().SetString(kHKLM, formats, L"Audio", L"wav mp3");
    TheMachine().SetString(kHKLM, formats, L"Image", L"png jpg");
    Formats list{{L"first", L"Earlier"}};
    ReadFileFormats(formats, list);
    EXPECT_EQ((Formats{{L"first", L"Earlier"},
                       {L"png", L"Image"},
                       {L"jpg", L"Image"},
                       {L"wav", L"Audio"},
                       {L"mp3", L"Audio"},
                       {L"mp4", L"Video"}}),
              list);
}

TEST_F(FileFormatsTest, OnlyVideoWithTwoSpacesGivesTwoPairs) {
    SetFormat(kKeyPath, L"Video", L"mp4  wmv");
    SetFormat(kKeyPath, L"Other", L"txt");
    Formats list;
    ReadFileFormats(kKeyPath + L"\\File Formats", list);
    EXPECT_EQ((Formats{{L"mp4", L"Video"}, {L"wmv", L"Video"}}), list);
}

TEST_F(FileFormatsTest, MissingOrUnreadableKeyAddsNothing) {
    Formats list;
    ReadFileFormats(kKeyPath + L"\\File Formats", list);
    EXPECT_TRUE(list.empty());
    SetFormat(kKeyPath, L"Image", L"jpg");
    TheMachine().DenyRead(kHKLM, kKeyPath + L"\\File Formats");
    ReadFileFormats(kKeyPath + L"\\File Formats", list);
    EXPECT_TRUE(list.empty());
}

TEST_F(FileFormatsTest, EmptyOrBlankImageValueAddsNothing) {
    SetFormat(kKeyPath, L"Image", L"");
    SetFormat(kKeyPath, L"Audio", L"    ");
    Formats list;
    ReadFileFormats(kKeyPath + L"\\File Formats", list);
    EXPECT_TRUE(list.empty());
}

TEST(SplitExtensionListTest, RunsOfSpacesGiveNoEmptyTokens) {
    Formats list;
    SplitExtensionList(L"  jpg   png ", L"Image", list);
    EXPECT_EQ((Formats{{L"jpg", L"Image"}, {L"png", L"Image"}}), list);
}

TEST(SplitExtensionListTest, OnlySpaceSeparatesNotTab) {
    Formats list;
    SplitExtensionList(L"jpg\tpng \tgif tif\n", L"Image", list);
    EXPECT_EQ((Formats{{L"jpg\tpng", L"Image"}, {L"\tgif", L"Image"}, {L"tif\n", L"Image"}}), list);
}

TEST(SplitExtensionListTest, EmptyOrBlankTextAddsNothing) {
    Formats list{{L"kept", L"Audio"}};
    SplitExtensionList(L"", L"Image", list);
    SplitExtensionList(L" ", L"Image", list);
    SplitExtensionList(L"     ", L"Image", list);
    EXPECT_EQ((Formats{{L"kept", L"Audio"}}), list);
}

TEST(SplitExtensionListTest, KeepsCaseDuplicatesAndEarlierPairs) {
    Formats list{{L"wav", L"Audio"}};
    SplitExtensionList(L"JPG jpg JPG", L"Image", list);
    EXPECT_EQ((Formats{{L"wav", L"Audio"}, {L"JPG", L"Image"}, {L"jpg", L"Image"}, {L"JPG", L"Image"}}),
              list);
}

class DefaultFlagTest : public SimTest {
protected:
    std::uint32_t Read() {
        std::uint32_t flag = kUntouched;
        ReadDefaultFlag(kPrefs, flag);
        return flag;
    }
};

TEST_F(DefaultFlagTest, UserValueWinsOverMachineValue) {
    SetPref(kHKCU, kKeyPath, L"DefaultFlag", 1);
    SetPref(kHKLM, kKeyPath, L"DefaultFlag", 0);
    EXPECT_EQ(1u, Read());
}

TEST_F(DefaultFlagTest, UserKeyWithoutValueLeavesFlagAndIgnoresMachine) {
    TheMachine().CreateKey(kHKCU, kPrefs);
    SetPref(kHKLM, kKeyPath, L"DefaultFlag", 1);
    EXPECT_EQ(kUntouched, Read());
    EXPECT_FALSE(TheMachine().GetValue(kHKCU, kPrefs, L"DefaultFlag").has_value());
}

TEST_F(DefaultFlagTest, UserAllOnesReadsLikeMissingValue) {
    SetPref(kHKCU, kKeyPath, L"DefaultFlag", 0xFFFFFFFFu);
    SetPref(kHKLM, kKeyPath, L"DefaultFlag", 1);
    EXPECT_EQ(kUntouched, Read());
}

TEST_F(DefaultFlagTest, FirstSightCreatesUserKeyWithZeroWhateverMachineSays) {
    TheMachine().CreateKey(kHKCU, kMaker);
    SetPref(kHKLM, kKeyPath, L"DefaultFlag", 1);
    EXPECT_EQ(0u, Read());
    const auto created = TheMachine().GetValue(kHKCU, kPrefs, L"DefaultFlag");
    ASSERT_TRUE(created.has_value());
    EXPECT_EQ(os::kRegDword, created->type);
    EXPECT_EQ(std::optional<std::uint32_t>(0), TheMachine().GetDword(kHKCU, kPrefs, L"DefaultFlag"));
}

TEST_F(DefaultFlagTest, UserWithoutMakerKeyGetsMachineValueAndNothingIsCreated) {
    SetPref(kHKLM, kKeyPath, L"DefaultFlag", 3);
    EXPECT_EQ(3u, Read());
    EXPECT_FALSE(TheMachine().KeyExists(kHKCU, L"SOFTWARE"));
}

TEST_F(DefaultFlagTest, WriteDeniedMakerKeyFallsBackToMachineValue) {
    TheMachine().DenyWrite(kHKCU, kMaker);
    SetPref(kHKLM, kKeyPath, L"DefaultFlag", 5);
    EXPECT_EQ(5u, Read());
    EXPECT_FALSE(TheMachine().KeyExists(kHKCU, kMaker + L"\\Viewer"));
}

TEST_F(DefaultFlagTest, MakerKeyNeedsOnlyWriteAccessToCreateUserKey) {
    TheMachine().DenyRead(kHKCU, kMaker);
    SetPref(kHKLM, kKeyPath, L"DefaultFlag", 1);
    EXPECT_EQ(0u, Read());
    EXPECT_EQ(std::optional<std::uint32_t>(0), TheMachine().GetDword(kHKCU, kPrefs, L"DefaultFlag"));
}

TEST_F(DefaultFlagTest, WriteDeniedApplicationKeyFallsBackToMachineValue) {
    TheMachine().DenyWrite(kHKCU, kMaker + L"\\Viewer");
    SetPref(kHKLM, kKeyPath, L"DefaultFlag", 2);
    EXPECT_EQ(2u, Read());
    EXPECT_FALSE(TheMachine().KeyExists(kHKCU, kKeyPath));
}

TEST_F(DefaultFlagTest, MachineAllOnesOrNothingLeavesFlag) {
    EXPECT_EQ(kUntouched, Read());
    SetPref(kHKLM, kKeyPath, L"DefaultFlag", 0xFFFFFFFFu);
    EXPECT_EQ(kUntouched, Read());
}

TEST_F(DefaultFlagTest, UnreadableUserKeyIsRecreatedWithZero) {
    SetPref(kHKCU, kKeyPath, L"DefaultFlag", 1);
    TheMachine().DenyRead(kHKCU, kPrefs);
    SetPref(kHKLM, kKeyPath, L"DefaultFlag", 1);
    EXPECT_EQ(0u, Read());
    EXPECT_EQ(std::optional<std::uint32_t>(0), TheMachine().GetDword(kHKCU, kPrefs, L"DefaultFlag"));
}

TEST_F(DefaultFlagTest, MemoryExhaustionLeavesFlag) {
    SetPref(kHKLM, kKeyPath, L"DefaultFlag", 1);
    TheMachine().ThrowOnRegistryCall(1);
    EXPECT_EQ(kUntouched, Read());
}

class AutoLaunchTest : public SimTest {
protected:
    static bool Candidate() { return IsAutoLaunchCandidate(kKeyPath); }
};

TEST_F(AutoLaunchTest, WithoutAnyValueIsCandidate) {
    EXPECT_TRUE(Candidate());
    TheMachine().CreateKey(kHKCU, kPrefs);
    TheMachine().CreateKey(kHKLM, kPrefs);
    EXPECT_TRUE(Candidate());
}

TEST_F(AutoLaunchTest, UserZeroOverridesMachineOne) {
    SetPref(kHKCU, kKeyPath, L"AutoLaunchOnDeviceConnect", 0);
    SetPref(kHKLM, kKeyPath, L"AutoLaunchOnDeviceConnect", 1);
    EXPECT_TRUE(Candidate());
}

TEST_F(AutoLaunchTest, UserOneOverridesMachineZero) {
    SetPref(kHKCU, kKeyPath, L"AutoLaunchOnDeviceConnect", 1);
    SetPref(kHKLM, kKeyPath, L"AutoLaunchOnDeviceConnect", 0);
    EXPECT_FALSE(Candidate());
}

TEST_F(AutoLaunchTest, MachineOneCountsWithoutUserValue) {
    SetPref(kHKLM, kKeyPath, L"AutoLaunchOnDeviceConnect", 1);
    EXPECT_FALSE(Candidate());
    TheMachine().CreateKey(kHKCU, kPrefs);
    EXPECT_FALSE(Candidate());
    SetPref(kHKCU, kKeyPath, L"AutoLaunchOnDeviceConnect", 0xFFFFFFFFu);
    EXPECT_FALSE(Candidate());
}

TEST_F(AutoLaunchTest, UnreadableUserKeyFallsBackToMachine) {
    SetPref(kHKCU, kKeyPath, L"AutoLaunchOnDeviceConnect", 0);
    TheMachine().DenyRead(kHKCU, kPrefs);
    SetPref(kHKLM, kKeyPath, L"AutoLaunchOnDeviceConnect", 1);
    EXPECT_FALSE(Candidate());
}

TEST_F(AutoLaunchTest, ValueTwoCountsLikeZero) {
    SetPref(kHKLM, kKeyPath, L"AutoLaunchOnDeviceConnect", 2);
    EXPECT_TRUE(Candidate());
    SetPref(kHKCU, kKeyPath, L"AutoLaunchOnDeviceConnect", 2);
    EXPECT_TRUE(Candidate());
}

TEST_F(AutoLaunchTest, MemoryExhaustionAnswersFalse) {
    TheMachine().ThrowOnRegistryCall(1);
    EXPECT_FALSE(Candidate());
    SetPref(kHKCU, kKeyPath, L"AutoLaunchOnDeviceConnect", 0);
    TheMachine().ThrowOnRegistryCall(2); // the read of the user's value
    EXPECT_FALSE(Candidate());
}

} // namespace
} // namespace qel
