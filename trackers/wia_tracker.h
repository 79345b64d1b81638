// wia_tracker.h - cameras and scanners as Windows Image Acquisition announces their connection, and the
// look-up of a device's type in WIA's device list (also used by the STI tracker).
#ifndef QELBOOT_TRACKERS_WIA_TRACKER_H
#define QELBOOT_TRACKERS_WIA_TRACKER_H

#include <atomic>
#include <cstdint>

#include "platform/os.h"

namespace qel {

// GetWiaDeviceType's answers.
inline constexpr int kWiaOtherDevice = 0;
inline constexpr int kWiaScanner = 1;
inline constexpr int kWiaCamera = 2;

// Which of those a WIA or STI device type stands for: its still-image major type is the high 16 bits.
int StillImageKind(std::uint32_t deviceType);
// "C|", "S|" or nothing: what the trackers' lines put before a camera's or a scanner's name.
const wchar_t* StillImageKindPrefix(int kind);

// Lives in the frame of the function that uses it, so Release never destroys it. Destruction releases the
// device manager, ends the event registration and uninitialises COM, in that order.
class WIADeviceTracker final : public os::WiaEventSink {
public:
    WIADeviceTracker() = default;
    ~WIADeviceTracker();
    WIADeviceTracker(const WIADeviceTracker&) = delete;
    WIADeviceTracker& operator=(const WIADeviceTracker&) = delete;

    long QueryInterface(const os::Guid& iid, void** out) override;
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;
    // Reports a connected camera or scanner; S_OK in every case.
    long ImageEventCallback(const os::Guid& event, const wchar_t* deviceId) override;

    bool ConnectDeviceManager();
    bool RegisterConnectEvent();
    bool UnregisterConnectEvent();
    // kWiaCamera, kWiaScanner or kWiaOtherDevice for the first local device whose ID equals `deviceId`
    // exactly.
    int GetWiaDeviceType(const wchar_t* deviceId);

    std::atomic<std::int32_t> refCount{0};
    os::ComObject eventObject = os::kNoComObject;
    os::ComObject deviceManager = os::kNoComObject;
};

std::uint32_t QELBOOT_WINAPI WiaTrackerThread(void*);

} // namespace qel

#endif // QELBOOT_TRACKERS_WIA_TRACKER_H
