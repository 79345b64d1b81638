// Handing the trackers' devices to the host's callback, one at a time.
#include "deviceconnect/notification.h"

#include <atomic>

#include "platform/os.h"
#include "platform/unique_handles.h"
#include "qelboot.h"

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

void CreateCallbackLock() { callbackLock = os::NewRecursiveLock(); }

void ResetNotification() {
    const CallbackSlot none;
    ExchangeCallbackSlot(&none);
    callbackLock = os::kNoLock;
}

} // namespace qel

void RegisterDeviceConnectCallback(DeviceConnectCallback callback) {
    const qel::CallbackSlot slot{callback, nullptr, nullptr};
    qel::ExchangeCallbackSlot(&slot);
}
