// Starting the trackers by Windows version, and handing their devices to the host's callback.
#include "deviceconnect/device_connect.h"

#include <atomic>

#include "deviceconnect/mox/mox_tracker.h"
#include "deviceconnect/os_class.h"
#include "platform/os.h"
#include "platform/unique_handles.h"
#include "qelboot.h"
#include "trackers/sti_tracker.h"
#include "trackers/volume_tracker.h"
#include "trackers/wia_tracker.h"

namespace qel {
namespace {

// Written by the host without the lock (a single pointer-sized store), read by the trackers under it.
std::atomic<DeviceConnectCallback> registeredCallback{nullptr};
os::Lock callbackLock = os::kNoLock;
bool serviceStarted = false;

} // namespace

void NotifyDeviceConnect(std::wstring& devType, std::wstring& devId) {
    try {
        LockHeld held(callbackLock);
        if (const DeviceConnectCallback callback = registeredCallback.load(std::memory_order_relaxed))
            callback(devType, devId);
    } catch (...) {
    }
}

void ResetDeviceConnectService() {
    registeredCallback.store(nullptr, std::memory_order_relaxed);
    callbackLock = os::kNoLock;
    serviceStarted = false;
}

} // namespace qel

void RegisterDeviceConnectCallback(DeviceConnectCallback callback) {
    qel::registeredCallback.store(callback, std::memory_order_relaxed);
}

void StartDeviceConnectService() {
    using namespace qel;
    try {
        // Trackers run until the process ends and share one lock: a second set would report every device
        // twice.
        if (serviceStarted)
            return;
        serviceStarted = true;
        callbackLock = os::NewRecursiveLock();
        // The trackers run the library's code until the process ends, even after a host that loaded the
        // library itself has freed it again.
        os::PinModuleOf(&VolumeTrackerThread);
        // A thread that cannot be created is left out; the others still start.
        const OSClass osClass = GetOSClass();
        if (osClass != OSClassOther)
            os::StartThread(&VolumeTrackerThread, nullptr);
        // WIA announces connections on XP and Vista only; Windows 2000 has STI alone.
        if (osClass == OSClassXP || osClass == OSClassVista)
            os::StartThread(&WiaTrackerThread, nullptr);
        if (osClass != OSClassOther)
            os::StartThread(&StiTrackerThread, nullptr);
        // Plug-ins find their devices without the system's help, so they are watched on every version.
        os::StartThread(&MOXTrackerThread, nullptr);
    } catch (...) {
    }
}
