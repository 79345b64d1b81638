// device_fixture.h - a machine whose host is a registered proxy with the device-connect service in reach,
// and a callback that records what it is told.
#ifndef QELBOOT_TESTS_NATIVE_DEVICE_FIXTURE_H
#define QELBOOT_TESTS_NATIVE_DEVICE_FIXTURE_H

#include <functional>

#include "deviceconnect/library_load.h"
#include "sim_fixture.h"

namespace qel::simtest {

struct Notification {
    std::wstring devType, devId;
    std::uint32_t thread;
    std::uint64_t enteredAt, leftAt;
};

// What the recording callback saw, and what it does besides (run in the callback, on the tracker's thread).
inline std::vector<Notification>& Notifications() {
    static std::vector<Notification> seen;
    return seen;
}
inline std::function<void(std::wstring&, std::wstring&)>& CallbackAction() {
    static std::function<void(std::wstring&, std::wstring&)> action;
    return action;
}
inline void RecordingCallback(std::wstring& devType, std::wstring& devId) {
    Notification seen{devType, devId, TheMachine().CurrentThread(), TheMachine().Now(), 0};
    const std::size_t index = Notifications().size();
    Notifications().push_back(seen);
    if (CallbackAction())
        CallbackAction()(devType, devId);
    Notifications()[index].leftAt = TheMachine().Now();
}

inline const std::wstring kOwnApp = L"Vandrel";

class DeviceTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        Notifications().clear();
        CallbackAction() = nullptr;
        AddRunKey();
        ownKey = AddApp(kOwnApp, kOwnApp);
        SetFormat(ownKey, L"Image", L"jpg png");
        SetFormat(ownKey, L"Video", L"mp4");
        SetFormat(ownKey, L"Audio", L"mp3");
        TheMachine().SetSelf(ProxyFile(kOwnApp));
    }
    // Loads the library on the machine as it stands, registers the recording callback and starts the service.
    static void LoadAndStart() {
        InitialiseLibraryState();
        RegisterDeviceConnectCallback(&RecordingCallback);
        StartDeviceConnectService();
    }
    // The debugger lines written from `from` on, in order.
    static Strings LinesSince(std::size_t from) {
        const auto& lines = TheMachine().DebugLines();
        return Strings(lines.begin() + static_cast<std::ptrdiff_t>(std::min(from, lines.size())),
                       lines.end());
    }
    static std::size_t CountLine(const std::wstring& line) {
        const auto& lines = TheMachine().DebugLines();
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }
    std::wstring ownKey;
};

inline const std::wstring kDc = L"<***DeviceConnect***>";
inline const std::wstring kVt = kDc + L"<VolumeTracker>";
inline const std::wstring kWillBeDetected = kVt + L"<Volumes will be detected.>";
inline const std::wstring kEntering = kVt + L"<Entering in polling mode.>";
inline const std::wstring kExiting = kVt + L"<Exiting from polling mode.>";
inline const std::wstring kLaunchNotPossible = kVt + L"<Launch not possible>.";
inline const std::wstring kFound = kDc + L"<Supported file format is found on device.>";
inline const std::wstring kTryingAgain = kDc + L"<Supported media content check fails...Trying again.>";
inline const std::wstring kNoContent = kDc + L"<Volume does not contain supported media content.>";
inline const std::wstring kUnsupported = kDc + L"<Unsupported volume found.>";
inline const std::wstring kSuppressing = kDc + L"<Suppressing auto launch...>";
inline std::wstring RemovableDevice(const std::wstring& root) {
    return kVt + L"<REMOVABLE DEVICE><V|" + root + L">";
}
inline std::wstring Entry(int level, const std::wstring& kind, const std::wstring& text) {
    return kDc + L"<" + std::to_wstring(level) + L"><" + kind + L"><" + text + L">\n";
}

} // namespace qel::simtest

#endif // QELBOOT_TESTS_NATIVE_DEVICE_FIXTURE_H
