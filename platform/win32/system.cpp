// system.cpp - the process's surroundings: time, Windows version, console, command line, current directory
// and profile files.
#include <cstdio>
#include <cwchar>
#include <vector>

#include "platform/win32/windows_api.h"

namespace qel::os {

void SleepFor(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

bool QueryVersion(bool extendedRecord, VersionInfo* version) {
    // Both records start with the basic one; the size field tells the call which of them it was given.
    OSVERSIONINFOEXW record{};
    record.dwOSVersionInfoSize = extendedRecord ? sizeof(OSVERSIONINFOEXW) : sizeof(OSVERSIONINFOW);
#pragma GCC diagnostic push
    // The seam stands for this very call: the core decides by what it reports, compatibility shims included.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const BOOL ok = ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&record));
#pragma GCC diagnostic pop
    if (!ok)
        return false;
    version->major = record.dwMajorVersion;
    version->minor = record.dwMinorVersion;
    version->platformId = record.dwPlatformId;
    version->productType = extendedRecord ? record.wProductType : std::uint8_t{0};
    return true;
}

void ConsoleWrite(const std::wstring& text) {
    std::wprintf(L"%ls", text.c_str());
    // Lines must reach a pipe before the process goes on, or exits through ExitProcess.
    std::fflush(stdout);
}

bool CommandLineArguments(std::vector<std::wstring>* arguments) {
    int count = 0;
    LPWSTR* split = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (split == nullptr)
        return false;
    std::vector<std::wstring> found(split, split + count);
    ::LocalFree(split);
    *arguments = std::move(found);
    return true;
}

std::wstring CurrentDirectory() {
    // The directory may change between asking its length and reading it; retry until it fits.
    DWORD capacity = ::GetCurrentDirectoryW(0, nullptr);
    while (capacity != 0) {
        std::vector<wchar_t> buffer(capacity);
        const DWORD length = ::GetCurrentDirectoryW(capacity, buffer.data());
        if (length < capacity)
            return std::wstring(buffer.data(), length);
        capacity = length;
    }
    return {};
}

bool ChangeCurrentDirectory(const std::wstring& path) {
    return ::SetCurrentDirectoryW(path.c_str()) != FALSE;
}

std::uint32_t ProfileSection(const std::wstring& file, const std::wstring& section, wchar_t* buffer,
                             std::uint32_t capacity) {
    return ::GetPrivateProfileSectionW(section.c_str(), buffer, capacity, file.c_str());
}

} // namespace qel::os
