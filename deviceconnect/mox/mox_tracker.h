// mox_tracker.h - phones and other devices that .mox plug-ins report: one thread picks the plug-ins whose
// sources report arrivals, and one thread per such source hands its events to the host's callback.
#ifndef QELBOOT_DEVICECONNECT_MOX_MOX_TRACKER_H
#define QELBOOT_DEVICECONNECT_MOX_MOX_TRACKER_H

#include <atomic>
#include <cstdint>
#include <string>

#include "deviceconnect/mox/plugin_manager.h"
#include "platform/os.h"
#include "qelboot_mox.h"

namespace qel {

inline constexpr wchar_t kMoxPluginDirectory[] = L".\\moxplugins";
// The plug-in that must load and open before any other is looked at.
inline constexpr wchar_t kMoxGatePlugin[] = L"\\nokiamanager.mox";
inline constexpr std::uint32_t kMoxGateRetryMs = 60000;

// Whether the gate plug-in loads into `manager` and its source opens; it is unloaded again either way.
bool GatePasses(MOXPluginManager& manager);

// The device type name the host receives for a plug-in's device class.
const wchar_t* DeviceTypeOfClass(std::uint32_t deviceClass);

// The callback a source tracker hands its source. Its storage belongs to the tracker, so a count of zero
// frees nothing.
class CMOXCallbackInterface final : public ICallbackInterface {
public:
    CMOXCallbackInterface();
    std::int32_t MOXAPI QueryInterface(std::int32_t number, void** out) override;
    std::uint32_t MOXAPI AddRef() override;
    std::uint32_t MOXAPI Release() override;
    // Reports a recognised event under this object's lock; plug-ins call it on threads of their own.
    void MOXAPI OnEvent(std::uint32_t reserved, MOXDeviceEvent* event) override;

    std::uint32_t references() const { return references_; }

private:
    std::atomic<std::uint32_t> references_{0};
    os::Lock lock_;
};

// One tracked source. Made by MOXTrackerThread and never freed: its thread runs until the process ends.
struct MOXSourceTracker {
    MOXGuid id{};
    std::wstring pluginPath;
    std::wstring sourceName;
    MOXPluginManager manager;
    CMOXCallbackInterface callback;
};

std::uint32_t QELBOOT_WINAPI MOXTrackerThread(void*);
std::uint32_t QELBOOT_WINAPI MOXSourceTrackerThread(void* tracker);

} // namespace qel

#endif // QELBOOT_DEVICECONNECT_MOX_MOX_TRACKER_H
