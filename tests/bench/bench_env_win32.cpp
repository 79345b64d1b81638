// The benchmark's machine: the real registry and a temporary folder, emptied first.
#include <string>

#include "platform/win32/windows_api.h"

std::wstring PrepareBenchMachine() {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl\\Bench");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Quorl\\Bench");
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"QelbootBench";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void CreateBenchFile(const std::wstring& path) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
}

void CreateBenchFolder(const std::wstring& path) { ::CreateDirectoryW(path.c_str(), nullptr); }
