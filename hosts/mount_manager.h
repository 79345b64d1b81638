// mount_manager.h - drive letters added and removed under Wine while programs run, as card readers and USB
// sticks come and go, through Wine's mount manager. Used by the tests and by qelmount.
#ifndef QELBOOT_HOSTS_MOUNT_MANAGER_H
#define QELBOOT_HOSTS_MOUNT_MANAGER_H

#include <string>

#include "platform/win32/windows_api.h"

namespace qel::winedrive {

// Makes `letter` a drive of `type` whose root is `folder` (a Windows path of an existing folder). Every
// running process sees the letter at once. ERROR_SUCCESS or the Win32 error code of the step that failed.
DWORD AddDrive(wchar_t letter, const std::wstring& folder, UINT type = DRIVE_REMOVABLE);

// Makes `letter` a drive of `type` with no medium, as a card reader with no card in it: GetLogicalDrives and
// GetDriveTypeW show it; GetVolumeInformationW fails (with ERROR_PATH_NOT_FOUND under Wine, not
// ERROR_NOT_READY as on Windows) and so do listings of it. AddDrive on the letter puts a medium back.
DWORD AddDriveWithoutMedium(wchar_t letter, UINT type = DRIVE_REMOVABLE);

// Takes the letter away again; the folder stays.
DWORD RemoveDrive(wchar_t letter);

} // namespace qel::winedrive

#endif // QELBOOT_HOSTS_MOUNT_MANAGER_H
