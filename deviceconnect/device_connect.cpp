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

// The one registered callback, C++ or C. A C callback comes with its context, so the slot is more than a
// pointer: the host writes it and the trackers copy it under a spin flag that is held for no more than the
// copy. The callback lock cannot serve, as it does not exist before the service starts.
struct CallbackSlot {
    DeviceConnectCallback cxx = nullptr;
    QelDeviceConnectCallback c = nullptr;
    void* context = nullptr;
};
CallbackSlot registeredCallback;
std::atomic_flag callbackSlotBusy = ATOMIC_FLAG_INIT;
os::Lock callbackLock = os::kNoLock;
bool serviceStarted = false;

CallbackSlot ExchangeCallbackSlot(const CallbackSlot* replacement) {
    while (callbackSlotBusy.test_and_set(std::memory_order_acquire)) {
    }
    const CallbackSlot current = registeredCallback;
    if (replacement)
        registeredCallback = *replacement;
    callbackSlotBusy.clear(std::memory_order_release);
    return current;
}

} // namespace

void NotifyDeviceConnect(std::wstring& devType, std::wstring& devId) {
    try {
        LockHeld held(callbackLock);
        const CallbackSlot slot = ExchangeCallbackSlot(nullptr);
        if (slot.cxx)
            slot.cxx(devType, devId);
        else if (slot.c)
            slot.c(slot.context, devType.c_str(), devId.c_str());
    } catch (...) {
    }
}

void RegisterCDeviceConnectCallback(QelDeviceConnectCallback callback, void* context) {
    const CallbackSlot slot{nullptr, callback, context};
    ExchangeCallbackSlot(&slot);
}

void ResetDeviceConnectService() {
    const CallbackSlot none;
    ExchangeCallbackSlot(&none);
    callbackLock = os::kNoLock;
    serviceStarted = false;
}

} // namespace qel

void RegisterDeviceConnectCallback(DeviceConnectCallback callback) {
    const qel::CallbackSlot slot{callback, nullptr, nullptr};
    qel::ExchangeCallbackSlot(&slot);
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
