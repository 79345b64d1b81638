// File existence through the seam, on the simulated machine and under Wine alike.
#include <gtest/gtest.h>

#include "platform/os.h"
#include "test_env.h"

namespace qel {
namespace {

std::wstring Upper(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    return text;
}

TEST(FilesConformance, ExistingFileIsFoundWithoutRegardToCase) {
    testenv::FreshScratchKey();
    const std::wstring folder = testenv::FreshScratchFolder();
    const std::wstring file = folder + L"\\Proxy.exe";
    testenv::CreateEmptyFile(file);
    EXPECT_TRUE(os::FileExists(file));
    EXPECT_TRUE(os::FileExists(Upper(file)));
}

TEST(FilesConformance, MissingFileAndEmptyPathAreNotFound) {
    testenv::FreshScratchKey();
    const std::wstring folder = testenv::FreshScratchFolder();
    EXPECT_FALSE(os::FileExists(folder + L"\\Missing.exe"));
    EXPECT_FALSE(os::FileExists(L""));
}

TEST(FilesConformance, FolderOfAFileExistsToo) {
    testenv::FreshScratchKey();
    const std::wstring folder = testenv::FreshScratchFolder();
    testenv::CreateEmptyFile(folder + L"\\inside.txt");
    EXPECT_TRUE(os::FileExists(folder));
}

} // namespace
} // namespace qel
