// The .mox tracker: a gate plug-in, then one source tracker thread per plug-in source that reports arrivals,
// each with a hidden window and a message loop that keeps the thread, and the plug-in's callbacks, alive.
#include "deviceconnect/mox/mox_tracker.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "deviceconnect/media_check.h"
#include "deviceconnect/message_loop.h"
#include "deviceconnect/notification.h"
#include "deviceconnect/tracker_window.h"
#include "platform/unique_handles.h"

namespace qel {
namespace {

const wchar_t kGateFailedLine[] = L"<***DeviceConnect***><NOKIA Devices will not be detected.>";
const wchar_t kWindowTitle[] = L"MOXTrackerWindow";

struct TrackedSource {
    MOXSourceInfo source;
    MOXPluginRecord plugin;
};

// The sources, among those of every plug-in found, whose capability says they report arrivals.
std::vector<TrackedSource> SelectTrackedSources(MOXPluginManager& manager) {
    std::vector<TrackedSource> tracked;
    if (manager.SetPluginDirectory(kMoxPluginDirectory) != FxOk || manager.LoadAllPlugins() == 0 ||
        manager.BuildSourceTable() != FxOk)
        return tracked;
    IEnumSourceManager* sources = nullptr;
    if (manager.CreateSourceEnumerator(&sources) != FxOk)
        return tracked;
    sources->Reset();
    MOXSourceInfo entry{};
    entry.version = MOXSourceInfoVersion;
    entry.size = sizeof(MOXSourceInfo);
    while (sources->Next(&entry) == FxOk) {
        std::uint32_t flag = 0;
        if (manager.QuerySourceCapability(entry.id, &flag) == FxOk && flag == MOXTrackArrivals)
            tracked.push_back(TrackedSource{entry, {}});
    }
    sources->Release();
    manager.ReleaseSources();
    for (auto& element : tracked)
        manager.FindPlugin(element.source.id, &element.plugin);
    // Each source tracker loads its plug-in again into a manager of its own, which it could not while
    // this one holds the module.
    manager.UnloadAllPlugins();
    return tracked;
}

} // namespace

bool GatePasses(MOXPluginManager& manager) {
    MOXPluginRecord gate;
    gate.path = std::wstring(kMoxPluginDirectory) + kMoxGatePlugin;
    CriticalErrorsFailed quiet;
    bool passed = false;
    if (manager.LoadPlugin(gate) == FxOk) {
        passed = manager.BuildSourceTable() == FxOk;
        // Whether or not it passed: a source left in the table would be released a minute later, by the
        // next attempt, after its module was freed.
        manager.ReleaseSources();
        manager.UnloadPlugin(gate);
    }
    return passed;
}

const wchar_t* DeviceTypeOfClass(std::uint32_t deviceClass) {
    static const wchar_t* const kTypes[] = {kUnknownDevice, kCameraDevice, kMobileDevice, kScannerDevice,
                                            kVideoDevice,   kAudioDevice,  kVolumeDevice, kArchiveDevice};
    return deviceClass < std::size(kTypes) ? kTypes[deviceClass] : kUnknownDevice;
}

CMOXCallbackInterface::CMOXCallbackInterface() : lock_(os::NewRecursiveLock()) {}

std::int32_t CMOXCallbackInterface::QueryInterface(std::int32_t, void**) { return 0; }

std::uint32_t CMOXCallbackInterface::AddRef() { return ++references_; }

std::uint32_t CMOXCallbackInterface::Release() { return --references_; }

void CMOXCallbackInterface::OnEvent(std::uint32_t, MOXDeviceEvent* event) {
    try {
        LockHeld held(lock_);
        if (!event || event->size != sizeof(MOXDeviceEvent) || event->version != MOXDeviceEventVersion)
            return;
        const MOXDeviceEvent copy = *event;
        std::wstring devType = DeviceTypeOfClass(copy.deviceClass);
        std::wstring devId(copy.deviceId, std::find(copy.deviceId, copy.deviceId + MOXNameChars, u'\0'));
        // A phone's event tells its state; only a connection is reported.
        if (copy.deviceClass != MOXClassMobile || copy.state == MOXStateConnected)
            NotifyDeviceConnect(devType, devId);
    } catch (...) {
    }
}

std::uint32_t QELBOOT_WINAPI MOXTrackerThread(void*) {
    try {
        MOXPluginManager manager;
        while (!GatePasses(manager)) {
            os::DebugOutput(kGateFailedLine);
            os::SleepFor(kMoxGateRetryMs);
        }
        for (const auto& element : SelectTrackedSources(manager)) {
            // Owned here until its thread has started: a start that throws must not leak it.
            std::unique_ptr<MOXSourceTracker> tracker(new (std::nothrow) MOXSourceTracker);
            if (!tracker)
                continue;
            tracker->id = element.source.id;
            tracker->pluginPath = element.plugin.path;
            tracker->sourceName.assign(
                element.source.name,
                std::find(element.source.name, element.source.name + MOXNameChars, u'\0'));
            if (os::StartThread(&MOXSourceTrackerThread, tracker.get()))
                tracker.release();
        }
    } catch (...) {
    }
    return 0;
}

std::uint32_t QELBOOT_WINAPI MOXSourceTrackerThread(void* param) {
    try {
        MOXSourceTracker& tracker = *static_cast<MOXSourceTracker*>(param);
        MOXPluginRecord plugin;
        plugin.path = tracker.pluginPath;
        if (tracker.manager.LoadPlugin(plugin) != FxOk || tracker.manager.BuildSourceTable() != FxOk)
            return 0;
        tracker.callback.AddRef();
        if (tracker.manager.AdviseSource(tracker.id, &tracker.callback, 0) != FxOk)
            return 0;
        const os::Window window = CreateTrackerWindow(kWindowTitle);
        if (window == os::kNoWindow)
            return 0;
        os::DebugOutput(L"<***DeviceConnect***><" + tracker.sourceName + L"><Devices will be detected.>");
        RunMessageLoop(window, os::kWmDeviceChange, os::kWmDeviceChange);
        tracker.manager.UnadviseSource(tracker.id, &tracker.callback);
        tracker.callback.Release();
        tracker.manager.ReleaseSources();
    } catch (...) {
    }
    return 0;
}

} // namespace qel
