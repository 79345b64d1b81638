// Drive roots, volumes and folder listings through the seam, on the simulated machine and under Wine alike.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/os.h"
#include "test_env.h"

namespace qel {
namespace {

using Listing = std::pair<std::vector<std::wstring>, long>;
const os::FindHandle kUnwrittenFind = static_cast<os::FindHandle>(0x5EA1);
const os::FindData kUnwritten{L"unwritten", true};

std::wstring Shown(const os::FindData& entry) { return entry.name + (entry.directory ? L"\\" : L""); }

// The entries of a listing, folders with a backslash after them, and the error that ended it.
Listing List(const std::wstring& pattern) {
    std::vector<std::wstring> names;
    os::FindHandle find = kUnwrittenFind;
    os::FindData entry = kUnwritten;
    long result = os::FindFirstEntry(pattern, &find, &entry);
    for (; result == os::kSuccess; entry = kUnwritten, result = os::FindNextEntry(find, &entry))
        names.push_back(Shown(entry));
    EXPECT_EQ(L"unwritten\\", Shown(entry)) << pattern << ": failing calls must write no entry";
    EXPECT_TRUE(names.empty() ? find == kUnwrittenFind : os::CloseFind(find)) << pattern;
    return {names, result};
}

TEST(DriveConformance, RootWithOrWithoutBackslashHasItsTypeAndAVolumeOnlyWhileAMediumIsIn) {
    testenv::FreshScratchKey();
    const std::wstring drive = testenv::FreshDrive(os::kDriveRemovable);
    for (const bool medium : {true, false}) {
        for (const std::wstring& root : {drive, drive + L"\\"}) {
            wchar_t volume[8] = L"#######", fileSystem[8] = L"#######";
            EXPECT_EQ(os::kDriveRemovable, os::DriveType(root.c_str())) << root;
            EXPECT_EQ(medium, os::VolumeInformation(root.c_str(), volume, 8, fileSystem, 8)) << root;
            EXPECT_EQ(medium ? L"|NTFS" : L"#######|#######", volume + (L"|" + std::wstring(fileSystem)));
        }
        testenv::RemoveDriveMedium(drive);
    }
}

TEST(ListingConformance, ListingGivesItsEntriesThenItsErrorWithDotEntriesOnlyOutsideTheRoot) {
    testenv::FreshScratchKey();
    const std::wstring drive = testenv::FreshDrive(os::kDriveRemovable);
    EXPECT_EQ((Listing{{}, os::kFileNotFound}), List(drive + L"\\*"));
    testenv::CreateFolder(drive + L"\\DCIM");
    testenv::CreateEmptyFile(drive + L"\\DCIM\\a.jpg");
    EXPECT_EQ((Listing{{L"DCIM\\"}, os::kNoMoreFiles}), List(drive + L"\\*"));
    EXPECT_EQ((Listing{{L".\\", L"..\\", L"a.jpg"}, os::kNoMoreFiles}), List(drive + L"\\DCIM\\*"));
    EXPECT_EQ((Listing{{}, os::kPathNotFound}), List(drive + L"\\Missing\\*"));
}

} // namespace
} // namespace qel
