// volume_tracker.h - reports storage volumes that newly appear: a card put into a reader, a removable drive
// plugged in, a camera's own drive.
#ifndef QELBOOT_TRACKERS_VOLUME_TRACKER_H
#define QELBOOT_TRACKERS_VOLUME_TRACKER_H

#include <cstdint>

#include "platform/os.h"

namespace qel {

struct VolumeState {
    // The last scan saw a removable drive other than A: and B:, with or without a medium.
    bool removablePresent = false;
    // Bit i: drive 'A' + i, as the last scan that found any drive saw it.
    std::uint32_t knownDrives = 0;
    // The drives of the last detection that were not known before it.
    std::uint32_t newDrives = 0;
};

// The tracker's process-wide state; only its own thread touches it after loading.
VolumeState& TheVolumeState();
bool& ThePollingMode();

inline constexpr wchar_t kVolumeWindowClass[] = L"DeviceDetectWin";
inline constexpr wchar_t kVolumeWindowTitle[] = L"CardReaderLookupWindow";
inline constexpr std::uint32_t kPollPeriodMs = 500;
inline constexpr std::uint32_t kPollSliceMs = 50;

// What loading the library does for the tracker: one scan, so that the volumes present then are known and
// never reported until they leave and come back.
void ScanDrivesAtLoad();

// The present drives into `mask`; a removable drive other than A: and B: counts only while its volume can be
// read. False when no drive is present at all.
bool ScanDrives(VolumeState& state, std::uint32_t& mask);
// One scan compared with the known drives: the new ones.
std::uint32_t DetectNewDrives(VolumeState& state);
// A drive the tracker may report once it is new: its volume reads, it is removable or its file system is
// named "kodak", and it is neither A: nor B:.
bool IsReportableDrive(const wchar_t* root);
// The first new drive, in letter order, that may be reported; `root` holds "_:" on entry and the drive's root
// ("E:") on success.
bool FindReportableDrive(VolumeState& state, wchar_t* root);
// One detection pass, then a pass every 500 ms for as long as a removable drive exists.
void CheckVolumes(VolumeState& state, bool& pollingMode);

std::intptr_t QELBOOT_WINAPI VolumeWindowProc(os::Window window, std::uint32_t message, std::uintptr_t wParam,
                                              std::intptr_t lParam);
std::uint32_t QELBOOT_WINAPI VolumeTrackerThread(void* unused);

} // namespace qel

#endif // QELBOOT_TRACKERS_VOLUME_TRACKER_H
