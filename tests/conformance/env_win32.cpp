// env_win32.cpp - the conformance tests' machine: the real registry and file system, under keys and
// folders named after the running test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "hosts/mount_manager.h"
#include "platform/win32/windows_api.h"
#include "test_env.h"

namespace qel::testenv {
namespace {

std::wstring TestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(info->test_suite_name()) + "." + info->name();
    return std::wstring(name.begin(), name.end());
}

std::wstring testDrives; // the letters of the running test's drives, handed out from R on

struct DriveRemover : ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& /*test*/) override {
        for (const wchar_t letter : testDrives)
            EXPECT_EQ(DWORD{ERROR_SUCCESS}, winedrive::RemoveDrive(letter)) << "drive " << char(letter);
        testDrives.clear();
    }
};
const bool kRemoverAdded = (::testing::UnitTest::GetInstance()->listeners().Append(new DriveRemover), true);

} // namespace

std::wstring FreshScratchKey() {
    const std::wstring path = L"Software\\QelbootConformance\\" + TestName();
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        ::RegDeleteTreeW(hive, path.c_str());
        HKEY key = nullptr;
        if (::RegCreateKeyExW(hive, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
            ERROR_SUCCESS)
            ::RegCloseKey(key);
    }
    return path;
}

std::wstring FreshScratchFolder() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"QelbootConformance\\" + TestName();
    std::filesystem::create_directories(folder);
    return folder;
}

void CreateFolder(const std::wstring& path) { ::CreateDirectoryW(path.c_str(), nullptr); }

void CreateTextFile(const std::wstring& path, const std::wstring& content) {
    std::ofstream(std::filesystem::path(path), std::ios::binary)
        << std::string(content.begin(), content.end());
}

void CreateLibraryFile(const std::wstring& path) {
    // The thread runtime beside the tests imports only Windows' own DLLs.
    const std::wstring program = OwnProgramPath();
    ::CopyFileW((program.substr(0, program.rfind(L'\\') + 1) + L"libwinpthread-1.dll").c_str(), path.c_str(),
                FALSE);
}

std::wstring FreshDrive(std::uint32_t type) {
    const auto letter = static_cast<wchar_t>(L'R' + testDrives.size());
    const std::wstring folder = FreshScratchFolder() + L"\\drive_" + letter;
    std::filesystem::remove_all(folder); // a run that crashed may have left files there
    std::filesystem::create_directory(folder);
    testDrives += letter;
    EXPECT_EQ(DWORD{ERROR_SUCCESS}, winedrive::AddDrive(letter, folder, type));
    return std::wstring(1, letter) + L":";
}

void RemoveDriveMedium(const std::wstring& root) {
    EXPECT_EQ(DWORD{ERROR_SUCCESS}, winedrive::AddDriveWithoutMedium(root[0]));
}

std::wstring OwnProgramPath() {
    wchar_t path[32768];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, 32768);
    return std::wstring(path, length);
}

void RaiseStructured(std::uint32_t code) {
    const ULONG_PTR parameters[3] = {0x19930520, 0, 0};
    ::RaiseException(code, EXCEPTION_NONCONTINUABLE, 3, parameters);
    std::abort();
}

void WriteThroughNull() {
    // Through volatile pointers, so that the compiler cannot drop the store.
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

} // namespace qel::testenv
