// Drive letters, volumes and folder listings through the seam, on the simulated machine and under Wine alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/os.h"
#include "test_env.h"

namespace qel {
namespace {

constexpr wchar_t kUnwritten = L'#';
const os::FindHandle kUnwrittenFind = static_cast<os::FindHandle>(0x5EA1);

std::wstring Root(wchar_t letter, const wchar_t* suffix) { return std::wstring(1, letter) + suffix; }

bool HasLetter(std::uint32_t drives, wchar_t letter) { return (drives >> (letter - L'A') & 1u) != 0; }

wchar_t AbsentLetter() {
    const std::uint32_t drives = os::LogicalDrives();
    wchar_t letter = L'Z';
    while (HasLetter(drives, letter))
        --letter;
    return letter;
}

// Names with their directory flags.
using Entries = std::vector<std::pair<std::wstring, bool>>;

// Every entry of a listing that starts well, in the order given, closing the listing.
Entries ListAll(const std::wstring& pattern) {
    Entries entries;
    os::FindHandle find = os::kNoFind;
    os::FindData entry;
    EXPECT_EQ(os::kSuccess, os::FindFirstEntry(pattern, &find, &entry)) << pattern;
    if (find == os::kNoFind)
        return entries;
    long result = os::kSuccess;
    for (; result == os::kSuccess; result = os::FindNextEntry(find, &entry))
        entries.emplace_back(entry.name, entry.directory);
    EXPECT_EQ(os::kNoMoreFiles, result);
    EXPECT_TRUE(os::CloseFind(find));
    return entries;
}

// Each test starts on a fresh machine; on the simulated one only a fresh scratch key brings that.
class DriveConformance : public ::testing::Test {
protected:
    void SetUp() override { testenv::FreshScratchKey(); }
};
using ListingConformance = DriveConformance;

TEST_F(DriveConformance, FreshDriveIsAmongLogicalDrives) {
    const wchar_t letter = testenv::FreshDrive(os::kDriveRemovable);
    EXPECT_TRUE(HasLetter(os::LogicalDrives(), letter));
}

TEST_F(DriveConformance, DriveTypeAndVolumeAnswerForARootWithAndWithoutBackslash) {
    for (const std::uint32_t type : {os::kDriveRemovable, os::kDriveFixed}) {
        const wchar_t letter = testenv::FreshDrive(type);
        for (const wchar_t* suffix : {L":", L":\\"}) {
            const std::wstring root = Root(letter, suffix);
            SCOPED_TRACE(::testing::Message() << "type " << type << ", root " << root);
            EXPECT_EQ(type, os::DriveType(root.c_str()));
            wchar_t volume[16];
            wchar_t fileSystem[16];
            std::fill(std::begin(volume), std::end(volume), kUnwritten);
            std::fill(std::begin(fileSystem), std::end(fileSystem), kUnwritten);
            ASSERT_TRUE(os::VolumeInformation(root.c_str(), volume, 16, fileSystem, 16));
            EXPECT_EQ(std::wstring(L""), volume);
            EXPECT_EQ(std::wstring(L"NTFS"), fileSystem);
            EXPECT_TRUE(os::VolumeInformation(root.c_str(), volume, 16, nullptr, 0));
        }
    }
}

TEST_F(DriveConformance, AbsentDriveHasNoRootDirAndNoVolume) {
    const wchar_t letter = AbsentLetter();
    for (const wchar_t* suffix : {L":", L":\\"}) {
        const std::wstring root = Root(letter, suffix);
        EXPECT_EQ(os::kDriveNoRootDir, os::DriveType(root.c_str()));
        wchar_t volume[4] = {kUnwritten, kUnwritten, kUnwritten, kUnwritten};
        wchar_t fileSystem[4] = {kUnwritten, kUnwritten, kUnwritten, kUnwritten};
        EXPECT_FALSE(os::VolumeInformation(root.c_str(), volume, 4, fileSystem, 4));
        EXPECT_EQ(std::wstring(4, kUnwritten), std::wstring(volume, 4));
        EXPECT_EQ(std::wstring(4, kUnwritten), std::wstring(fileSystem, 4));
    }
}

TEST_F(DriveConformance, RemovableDriveWithoutMediumKeepsLetterAndTypeButHasNoVolume) {
    // Windows would ask the user to insert a disk rather than fail.
    const std::uint32_t previousMode = os::SetProcessErrorMode(os::kSemFailCriticalErrors);
    const wchar_t letter = testenv::FreshDrive(os::kDriveRemovable);
    testenv::RemoveDriveMedium(letter);
    EXPECT_TRUE(HasLetter(os::LogicalDrives(), letter));
    for (const wchar_t* suffix : {L":", L":\\"}) {
        const std::wstring root = Root(letter, suffix);
        EXPECT_EQ(os::kDriveRemovable, os::DriveType(root.c_str()));
        wchar_t volume[4] = {kUnwritten, kUnwritten, kUnwritten, kUnwritten};
        wchar_t fileSystem[4] = {kUnwritten, kUnwritten, kUnwritten, kUnwritten};
        EXPECT_FALSE(os::VolumeInformation(root.c_str(), volume, 4, fileSystem, 4));
        EXPECT_EQ(std::wstring(4, kUnwritten), std::wstring(volume, 4));
        EXPECT_EQ(std::wstring(4, kUnwritten), std::wstring(fileSystem, 4));
    }
    os::SetProcessErrorMode(previousMode);
}

TEST_F(DriveConformance, SettingTheErrorModeGivesThePreviousOne) {
    const std::uint32_t previousMode = os::SetProcessErrorMode(os::kSemFailCriticalErrors);
    EXPECT_EQ(os::kSemFailCriticalErrors, os::SetProcessErrorMode(previousMode));
}

TEST_F(ListingConformance, FailedListingsGiveTheirErrorAndLeaveFindAndEntry) {
    const wchar_t letter = testenv::FreshDrive(os::kDriveRemovable);
    const struct {
        std::wstring pattern;
        long error;
    } cases[] = {
        {Root(letter, L":\\*"), os::kFileNotFound},          // an empty root lists nothing at all
        {Root(letter, L":\\Missing\\*"), os::kPathNotFound}, // a folder that is not there
    };
    for (const auto& failing : cases) {
        os::FindHandle find = kUnwrittenFind;
        os::FindData entry{L"unwritten", true};
        EXPECT_EQ(failing.error, os::FindFirstEntry(failing.pattern, &find, &entry)) << failing.pattern;
        EXPECT_EQ(kUnwrittenFind, find);
        EXPECT_EQ(L"unwritten", entry.name);
        EXPECT_TRUE(entry.directory);
    }
}

TEST_F(ListingConformance, RootListsItsEntriesWithoutDotEntries) {
    const wchar_t letter = testenv::FreshDrive(os::kDriveRemovable);
    testenv::CreateFolder(Root(letter, L":\\DCIM"));
    testenv::CreateEmptyFile(Root(letter, L":\\a.jpg"));
    auto entries = ListAll(Root(letter, L":\\*"));
    std::sort(entries.begin(), entries.end()); // the order is the file system's
    const Entries expected = {{L"DCIM", true}, {L"a.jpg", false}};
    EXPECT_EQ(expected, entries);
}

TEST_F(ListingConformance, SubFolderListsDotEntriesFirstThenItsEntries) {
    const wchar_t letter = testenv::FreshDrive(os::kDriveRemovable);
    testenv::CreateFolder(Root(letter, L":\\DCIM"));
    testenv::CreateFolder(Root(letter, L":\\DCIM\\100"));
    testenv::CreateEmptyFile(Root(letter, L":\\DCIM\\b.jpg"));
    auto entries = ListAll(Root(letter, L":\\DCIM\\*"));
    ASSERT_EQ(4u, entries.size());
    const Entries dots = {{L".", true}, {L"..", true}};
    EXPECT_EQ(dots, Entries(entries.begin(), entries.begin() + 2));
    std::sort(entries.begin() + 2, entries.end()); // the order is the file system's
    const Entries rest = {{L"100", true}, {L"b.jpg", false}};
    EXPECT_EQ(rest, Entries(entries.begin() + 2, entries.end()));
}

TEST_F(ListingConformance, NextEntryAtTheEndGivesNoMoreFilesAndLeavesEntry) {
    const wchar_t letter = testenv::FreshDrive(os::kDriveRemovable);
    testenv::CreateEmptyFile(Root(letter, L":\\only.jpg"));
    os::FindHandle find = os::kNoFind;
    os::FindData entry;
    ASSERT_EQ(os::kSuccess, os::FindFirstEntry(Root(letter, L":\\*"), &find, &entry));
    EXPECT_EQ(L"only.jpg", entry.name);
    EXPECT_FALSE(entry.directory);
    entry = os::FindData{L"unwritten", true};
    EXPECT_EQ(os::kNoMoreFiles, os::FindNextEntry(find, &entry));
    EXPECT_EQ(os::kNoMoreFiles, os::FindNextEntry(find, &entry));
    EXPECT_EQ(L"unwritten", entry.name);
    EXPECT_TRUE(entry.directory);
    EXPECT_TRUE(os::CloseFind(find));
}

} // namespace
} // namespace qel
