// mount_manager.cpp - Wine's mount manager defines a drive from a Unix folder on request.
#include "hosts/mount_manager.h"

// Needs windows.h first.
#include <winioctl.h>

#include <cstddef>
#include <cstring>
#include <vector>

namespace qel::winedrive {
namespace {

// Wine's own request to its mount manager: define (or, with DRIVE_NO_ROOT_DIR, remove) a drive letter. The
// strings it names follow the record, as offsets from its start.
constexpr DWORD kDefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

struct UnixDriveRecord {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};
// The mount manager reads the record with the layout of its own width; both widths of Windows give the
// 8-byte field 8-byte alignment.
static_assert(offsetof(UnixDriveRecord, unixDevice) == 16 && offsetof(UnixDriveRecord, letter) == 24 &&
              sizeof(UnixDriveRecord) == 32);

// kernel32's translation of a Windows path into the Unix one behind it; Wine's own export.
using UnixFileNameFunction = char*(CDECL*)(LPCWSTR path);

DWORD UnixPath(const std::wstring& path, std::string* unixPath) {
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    const auto toUnix = reinterpret_cast<UnixFileNameFunction>(
        reinterpret_cast<void (*)()>(::GetProcAddress(kernel32, "wine_get_unix_file_name")));
    if (toUnix == nullptr)
        return ::GetLastError();
    char* const converted = toUnix(path.c_str());
    if (converted == nullptr)
        return ERROR_PATH_NOT_FOUND;
    *unixPath = converted;
    ::HeapFree(::GetProcessHeap(), 0, converted);
    return ERROR_SUCCESS;
}

DWORD DefineUnixDrive(wchar_t letter, UINT type, const std::string& mountPoint, const std::string& device) {
    std::vector<char> request(sizeof(UnixDriveRecord));
    UnixDriveRecord record{};
    record.type = type;
    record.letter = letter;
    if (!mountPoint.empty()) {
        record.mountPointOffset = static_cast<USHORT>(request.size());
        request.insert(request.end(), mountPoint.begin(), mountPoint.end());
        request.push_back('\0');
    }
    if (!device.empty()) {
        record.deviceOffset = static_cast<USHORT>(request.size());
        request.insert(request.end(), device.begin(), device.end());
        request.push_back('\0');
    }
    record.size = static_cast<ULONG>(request.size());
    std::memcpy(request.data(), &record, sizeof record);

    const HANDLE manager =
        ::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE)
        return ::GetLastError();
    DWORD returned = 0;
    const BOOL ok = ::DeviceIoControl(manager, kDefineUnixDrive, request.data(),
                                      static_cast<DWORD>(request.size()), nullptr, 0, &returned, nullptr);
    const DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
    ::CloseHandle(manager);
    return error;
}

} // namespace

DWORD AddDrive(wchar_t letter, const std::wstring& folder, UINT type) {
    std::string unixPath;
    if (const DWORD error = UnixPath(folder, &unixPath); error != ERROR_SUCCESS)
        return error;
    return DefineUnixDrive(letter, type, unixPath, {});
}

DWORD AddDriveWithoutMedium(wchar_t letter, UINT type) {
    // With no folder, Wine answers volume queries from a device of the drive. A folder in the device's place
    // cannot be opened as one, and with no folder to fall back on the volume cannot be read, as with an empty
    // card reader. A drive with neither answers as an empty volume.
    return DefineUnixDrive(letter, type, {}, "/");
}

DWORD RemoveDrive(wchar_t letter) {
    // Removal alone leaves the letter's device in the prefix; redefining the letter without one first takes
    // it away, so that the prefix ends as it was.
    if (const DWORD error = DefineUnixDrive(letter, DRIVE_REMOVABLE, {}, {}); error != ERROR_SUCCESS)
        return error;
    return DefineUnixDrive(letter, DRIVE_NO_ROOT_DIR, {}, {});
}

} // namespace qel::winedrive
