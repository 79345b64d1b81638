// sti_tracker.h - still-image devices that the Still Image service lists, looked at again each time Windows
// says the set of device nodes changed: a new device is reported through its TWAIN data source and, on XP,
// through WIA.
#ifndef QELBOOT_TRACKERS_STI_TRACKER_H
#define QELBOOT_TRACKERS_STI_TRACKER_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/os.h"

namespace qel {

inline constexpr wchar_t kStiLibrary[] = L"sti.dll";
// STI_VERSION_REAL with STI_VERSION_FLAG_UNICODE.
inline constexpr std::uint32_t kStiVersion = 0x01000002;
inline constexpr std::size_t kStiNameChars = 260;

struct StiDeviceRecord {
    std::wstring internalName;
    std::wstring twainEntry; // empty, or "C|" / "S|" and the data source's name in double quotes
};
using StiDeviceList = std::vector<std::unique_ptr<StiDeviceRecord>>;

struct StiTracker {
    os::ComObject sti = os::kNoComObject; // kept for the thread's life, as is sti.dll
    StiDeviceList knownDevices;
    StiDeviceList currentDevices;
};

bool InitializeSti(StiTracker& tracker);
bool EnumerateStiDevices(StiTracker& tracker, StiDeviceList& target);
// The first device of a new listing that the previous one lacked; null when none. Valid until the next call.
StiDeviceRecord* FindNewStiDevice(StiTracker& tracker);
void ReportStiDeviceThroughWia(const StiDeviceRecord& record);
// The "TwainDS" value of the device's driver key, into `name` of kStiNameChars characters.
bool LookUpTwainDataSourceName(const wchar_t* driverKey, wchar_t* name);

std::uint32_t QELBOOT_WINAPI StiTrackerThread(void*);

} // namespace qel

#endif // QELBOOT_TRACKERS_STI_TRACKER_H
