// The WIA tracker: a connection-event registration on a single-threaded apartment whose message loop
// brings WIA's calls in, and the device-type look-up in WIA's local device list.
#include "trackers/wia_tracker.h"

#include <string>

#include "deviceconnect/notification.h"
#include "deviceconnect/message_loop.h"
#include "platform/unique_handles.h"
#include "registry/text.h"

namespace qel {
namespace {

const wchar_t kWillBeDetectedLine[] = L"<***DeviceConnect***><WiaTracker><WIA devices will be detected>.";
const wchar_t kWillNotBeDetectedLine[] =
    L"<***DeviceConnect***><WiaTracker><WIA devices will not be detected>.";
const wchar_t kDeviceLine[] = L"<***DeviceConnect***><WiaTracker><WIA DEVICE><%s>.";
const wchar_t kNoTypeLine[] = L"Could not get the device type.";

} // namespace

int StillImageKind(std::uint32_t deviceType) {
    switch (deviceType >> 16) {
    case os::kStiDeviceTypeDigitalCamera:
        return kWiaCamera;
    case os::kStiDeviceTypeScanner:
        return kWiaScanner;
    default:
        return kWiaOtherDevice;
    }
}

const wchar_t* StillImageKindPrefix(int kind) {
    return kind == kWiaCamera ? L"C|" : kind == kWiaScanner ? L"S|" : L"";
}

WIADeviceTracker::~WIADeviceTracker() {
    if (deviceManager != os::kNoComObject)
        os::ReleaseComObject(deviceManager);
    UnregisterConnectEvent();
    os::ComUninitialize();
}

long WIADeviceTracker::QueryInterface(const os::Guid& iid, void** out) {
    if (iid == os::kIidUnknown || iid == os::kIidWiaEventCallback) {
        AddRef();
        *out = static_cast<os::WiaEventSink*>(this);
        return os::kSOk;
    }
    *out = nullptr;
    return os::kENoInterface;
}

std::uint32_t WIADeviceTracker::AddRef() { return static_cast<std::uint32_t>(++refCount); }

std::uint32_t WIADeviceTracker::Release() { return static_cast<std::uint32_t>(--refCount); }

bool WIADeviceTracker::ConnectDeviceManager() {
    os::ComInitialize();
    os::ComObject manager = os::kNoComObject;
    if (os::CreateWiaDeviceManager(&manager) != os::kSOk)
        return false;
    deviceManager = manager;
    return true;
}

bool WIADeviceTracker::RegisterConnectEvent() {
    if (deviceManager == os::kNoComObject)
        return false;
    try {
        return os::RegisterWiaEvent(deviceManager, os::kWiaEventDeviceConnected, this, &eventObject) ==
               os::kSOk;
    } catch (...) {
        return false;
    }
}

bool WIADeviceTracker::UnregisterConnectEvent() {
    if (eventObject == os::kNoComObject)
        return false;
    try {
        const os::ComObject registration = eventObject;
        eventObject = os::kNoComObject;
        os::ReleaseComObject(registration);
        return true;
    } catch (...) {
        return false;
    }
}

int WIADeviceTracker::GetWiaDeviceType(const wchar_t* deviceId) {
    try {
        if (!deviceId || deviceManager == os::kNoComObject)
            return kWiaOtherDevice;
        os::ComObject found = os::kNoComObject;
        const long listed = os::EnumWiaDevices(deviceManager, &found);
        ComReleaser devices(found);
        if (listed != os::kSOk || !devices)
            return kWiaOtherDevice;
        os::ResetWiaDevices(devices.get());
        for (;;) {
            os::ComObject next = os::kNoComObject;
            if (os::NextWiaDevice(devices.get(), &next) != os::kSOk)
                return kWiaOtherDevice; // the end of the list, or a failure
            ComReleaser storage(next);
            os::WiaDeviceProperties properties;
            if (os::ReadWiaDeviceProperties(storage.get(), &properties) != os::kSOk || !properties.hasId)
                continue;
            if (properties.id == deviceId)
                return StillImageKind(properties.type);
        }
    } catch (...) {
        return kWiaOtherDevice;
    }
}

long WIADeviceTracker::ImageEventCallback(const os::Guid&, const wchar_t* deviceId) {
    try {
        const bool hasId = deviceId != nullptr;
        std::wstring id = hasId ? deviceId : L"";
        const int code = GetWiaDeviceType(hasId ? id.c_str() : nullptr);
        if (code == kWiaOtherDevice) {
            os::DebugOutput(kNoTypeLine);
            return os::kSOk;
        }
        std::wstring devType = code == kWiaCamera ? kCameraDevice : kScannerDevice;
        os::DebugOutput(FormatLine(kDeviceLine, {StillImageKindPrefix(code) + id}));
        NotifyDeviceConnect(devType, id);
    } catch (...) {
    }
    return os::kSOk;
}

std::uint32_t QELBOOT_WINAPI WiaTrackerThread(void*) {
    try {
        WIADeviceTracker tracker;
        const bool registered = tracker.ConnectDeviceManager() && tracker.RegisterConnectEvent();
        os::DebugOutput(registered ? kWillBeDetectedLine : kWillNotBeDetectedLine);
        // WIA's calls reach the tracker through this loop, on this apartment's thread.
        RunMessageLoop(os::kNoWindow, 0, 0);
    } catch (...) {
    }
    return 0;
}

} // namespace qel
