// drives.cpp - drive letters, volumes, the process's error mode and folder listings.
#include <algorithm>
#include <vector>

#include "platform/win32/windows_api.h"

namespace qel::os {
namespace {

HANDLE ToFindHandle(FindHandle find) { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(find)); }

FindData ToFindData(const WIN32_FIND_DATAW& data) {
    FindData entry;
    entry.name = data.cFileName;
    entry.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return entry;
}

} // namespace

std::uint32_t SetProcessErrorMode(std::uint32_t mode) { return ::SetErrorMode(mode); }

std::uint32_t LogicalDrives() { return ::GetLogicalDrives(); }

std::uint32_t DriveType(const wchar_t* root) { return ::GetDriveTypeW(root); }

bool VolumeInformation(const wchar_t* root, wchar_t* volumeName, std::uint32_t volumeNameSize,
                       wchar_t* fileSystemName, std::uint32_t fileSystemNameSize) {
    // The call may fill one buffer and still fail on the other; the caller's stay as they were until it
    // has succeeded.
    std::vector<wchar_t> volume(volumeNameSize);
    std::vector<wchar_t> fileSystem(fileSystemNameSize);
    if (!::GetVolumeInformationW(root, volumeName != nullptr ? volume.data() : nullptr, volumeNameSize,
                                 nullptr, nullptr, nullptr,
                                 fileSystemName != nullptr ? fileSystem.data() : nullptr, fileSystemNameSize))
        return false;
    if (volumeName != nullptr)
        std::copy(volume.begin(), volume.end(), volumeName);
    if (fileSystemName != nullptr)
        std::copy(fileSystem.begin(), fileSystem.end(), fileSystemName);
    return true;
}

long FindFirstEntry(const std::wstring& pattern, FindHandle* find, FindData* entry) {
    WIN32_FIND_DATAW data;
    const HANDLE found = ::FindFirstFileW(pattern.c_str(), &data);
    if (found == INVALID_HANDLE_VALUE)
        return static_cast<long>(::GetLastError());
    try {
        *entry = ToFindData(data);
    } catch (...) {
        ::FindClose(found);
        throw;
    }
    *find = static_cast<FindHandle>(reinterpret_cast<std::uintptr_t>(found));
    return kSuccess;
}

long FindNextEntry(FindHandle find, FindData* entry) {
    WIN32_FIND_DATAW data;
    if (!::FindNextFileW(ToFindHandle(find), &data))
        return static_cast<long>(::GetLastError());
    *entry = ToFindData(data);
    return kSuccess;
}

bool CloseFind(FindHandle find) { return ::FindClose(ToFindHandle(find)) != FALSE; }

} // namespace qel::os
