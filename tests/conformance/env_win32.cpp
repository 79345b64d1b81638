// env_win32.cpp - the conformance tests' machine: the real registry and file system, under keys and
// folders named after the running test.
#include <gtest/gtest.h>

#include <map>

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

// The letters the conformance tests own, handed out in order within a test. Whatever a letter showed before
// (a run that crashed, say) is replaced when it is handed out.
constexpr wchar_t kFirstDriveLetter = L'R';
constexpr wchar_t kLastDriveLetter = L'Y';

// Drives of the running test, with their types.
std::map<wchar_t, UINT>& TestDrives() {
    static std::map<wchar_t, UINT> drives;
    return drives;
}

class DriveRemover : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& /*test*/) override {
        for (const auto& [letter, type] : TestDrives())
            EXPECT_EQ(DWORD{ERROR_SUCCESS}, winedrive::RemoveDrive(letter)) << "drive " << char(letter);
        TestDrives().clear();
    }
};

const bool kDriveRemoverInstalled = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new DriveRemover);
    return true;
}();

void DeleteFolderContents(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    const HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + L"\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            DeleteFolderContents(path);
            ::RemoveDirectoryW(path.c_str());
        } else {
            ::DeleteFileW(path.c_str());
        }
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
}

} // namespace

std::wstring FreshScratchKey() {
    const std::wstring path = L"Software\\QelbootConformance\\" + TestName();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
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
    std::wstring folder = std::wstring(temp) + L"QelbootConformance";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\" + TestName();
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void CreateEmptyFile(const std::wstring& path) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
}

void CreateFolder(const std::wstring& path) { ::CreateDirectoryW(path.c_str(), nullptr); }

void CreateTextFile(const std::wstring& path, const std::wstring& content) {
    const std::string bytes(content.begin(), content.end());
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

wchar_t FreshDrive(std::uint32_t type) {
    const auto letter = static_cast<wchar_t>(kFirstDriveLetter + TestDrives().size());
    if (letter > kLastDriveLetter) {
        ADD_FAILURE() << "no drive letter left for this test";
        return L'?';
    }
    const std::wstring root = FreshScratchFolder() + L"\\drive_" + letter;
    ::CreateDirectoryW(root.c_str(), nullptr);
    DeleteFolderContents(root);
    TestDrives()[letter] = type;
    EXPECT_EQ(DWORD{ERROR_SUCCESS}, winedrive::AddDrive(letter, root, type));
    return letter;
}

void RemoveDriveMedium(wchar_t letter) {
    EXPECT_EQ(DWORD{ERROR_SUCCESS}, winedrive::AddDriveWithoutMedium(letter, TestDrives()[letter]));
}

std::wstring OwnProgramPath() {
    wchar_t path[32768];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, 32768);
    return std::wstring(path, length);
}

} // namespace qel::testenv
