// The STI tracker: a hidden window that hears of device-node changes, and a fresh device listing at each one.
#include "trackers/sti_tracker.h"

#include <algorithm>
#include <new>

#include "deviceconnect/notification.h"
#include "deviceconnect/message_loop.h"
#include "deviceconnect/os_class.h"
#include "deviceconnect/tracker_window.h"
#include "platform/unique_handles.h"
#include "registry/registry_key.h"
#include "registry/text.h"
#include "trackers/twain_tracker.h"
#include "trackers/wia_tracker.h"

namespace qel {
namespace {

const wchar_t kWillBeDetectedLine[] = L"<***DeviceConnect***><StiTracker><STI Devices will be detected.>";
const wchar_t kWillNotBeDetectedLine[] =
    L"<***DeviceConnect***><StiTracker><STI Devices will not be detected.>";
const wchar_t kTwainDeviceLine[] = L"<***DeviceConnect***><StiTracker><TWAIN DEVICE><%s>";
const wchar_t kWiaDeviceLine[] = L"<***DeviceConnect***><StiTracker><WIA DEVICE><%s>";
const wchar_t kNoTypeLine[] = L"<***DeviceConnect***><StiTracker><Could not get the device type.>";
const wchar_t kDriverKeys[] = L"SYSTEM\\CurrentControlSet\\Control\\Class";
constexpr std::size_t kKeyPathChars = 256;

void ReportThroughTwain(const StiDeviceRecord& record) {
    const std::wstring& entry = record.twainEntry;
    const std::wstring_view prefix = std::wstring_view(entry).substr(0, 2);
    // A device of neither type has no prefix and nothing to be reported as.
    if (prefix != L"C|" && prefix != L"S|")
        return;
    os::DebugOutput(FormatLine(kTwainDeviceLine, {entry}));
    std::wstring devType = prefix == L"C|" ? kCameraDevice : kScannerDevice;
    std::wstring devId = entry.substr(2);
    NotifyDeviceConnect(devType, devId);
}

} // namespace

bool LookUpTwainDataSourceName(const wchar_t* driverKey, wchar_t* name) {
    if (!driverKey || !name)
        return false;
    try {
        const std::wstring path =
            (std::wstring(kDriverKeys) + L"\\" + driverKey + L"\\DeviceData").substr(0, kKeyPathChars - 1);
        CLocalMachineKey key(path.c_str(), os::kKeyRead);
        const wchar_t* value = key.status == os::kSuccess ? key.GetStringValue(L"TwainDS") : nullptr;
        if (!value)
            return false;
        // A longer name cannot be a data source's: the manager's names have 33 characters at most.
        const std::wstring_view text(value);
        const std::size_t length = std::min(text.size(), kStiNameChars - 1);
        std::copy_n(text.begin(), length, name);
        name[length] = L'\0';
        return true;
    } catch (...) {
        return false;
    }
}

bool EnumerateStiDevices(StiTracker& tracker, StiDeviceList& target) {
    try {
        if (tracker.sti == os::kNoComObject)
            return false;
        std::vector<os::StiDevice> devices;
        if (os::StillImageDevices(tracker.sti, &devices) != os::kSOk)
            return false;
        for (const auto& device : devices) {
            auto record = std::unique_ptr<StiDeviceRecord>(new (std::nothrow) StiDeviceRecord);
            if (!record)
                return false;
            wchar_t source[kStiNameChars] = {};
            if (LookUpTwainDataSourceName(device.internalName.c_str(), source) &&
                TwainTracker().HasTwainDataSource(source))
                record->twainEntry = StillImageKindPrefix(StillImageKind(device.deviceType)) +
                                     (L"\"" + std::wstring(source) + L"\"");
            record->internalName = device.internalName.substr(0, kStiNameChars - 1);
            target.push_back(std::move(record));
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool InitializeSti(StiTracker& tracker) {
    try {
        const os::Module library = os::LoadModule(kStiLibrary);
        if (library == os::kNoModule)
            return false;
        void* const createInstance = os::ModuleFunction(library, "StiCreateInstance");
        if (!createInstance)
            return false;
        const os::Module program = os::ProgramModule();
        os::ComObject sti = os::kNoComObject;
        if (os::CreateStillImage(createInstance, program, kStiVersion, &sti) != os::kSOk)
            return false;
        // An object that did not initialise is not kept: a tracker without one detects nothing.
        ComReleaser created(sti);
        if (os::InitializeStillImage(sti, program, kStiVersion) != os::kSOk)
            return false;
        tracker.sti = created.release();
        // Devices present now are known, so never reported.
        EnumerateStiDevices(tracker, tracker.knownDevices);
        return true;
    } catch (...) {
        return false;
    }
}

StiDeviceRecord* FindNewStiDevice(StiTracker& tracker) {
    try {
        tracker.currentDevices.clear();
        EnumerateStiDevices(tracker, tracker.currentDevices);
        StiDeviceRecord* found = nullptr;
        for (const auto& record : tracker.currentDevices) {
            const bool known =
                std::any_of(tracker.knownDevices.begin(), tracker.knownDevices.end(), [&](const auto& old) {
                    return EqualsIgnoringCase(old->internalName, record->internalName);
                });
            if (!known) {
                found = record.get();
                break;
            }
        }
        tracker.knownDevices.clear();
        tracker.knownDevices.swap(tracker.currentDevices);
        return found;
    } catch (...) {
        return nullptr;
    }
}

void ReportStiDeviceThroughWia(const StiDeviceRecord& record) {
    try {
        if (GetOSClass() != OSClassXP)
            return;
        WIADeviceTracker wia;
        if (!wia.ConnectDeviceManager())
            return;
        const int code = wia.GetWiaDeviceType(record.internalName.c_str());
        if (code == kWiaOtherDevice) {
            os::DebugOutput(kNoTypeLine);
            return;
        }
        os::DebugOutput(FormatLine(kWiaDeviceLine, {StillImageKindPrefix(code) + record.internalName}));
        std::wstring devType = code == kWiaCamera ? kCameraDevice : kScannerDevice;
        std::wstring devId = record.internalName;
        NotifyDeviceConnect(devType, devId);
    } catch (...) {
    }
}

std::uint32_t QELBOOT_WINAPI StiTrackerThread(void*) {
    try {
        StiTracker tracker;
        os::DebugOutput(InitializeSti(tracker) ? kWillBeDetectedLine : kWillNotBeDetectedLine);
        const os::Window window = CreateTrackerWindow(L"STITrackerWindow");
        RunMessageLoop(window, os::kWmDeviceChange, os::kWmDeviceChange,
                       [&](const os::WindowMessage& message) {
                           if (message.wParam != os::kDbtDevNodesChanged)
                               return;
                           if (const StiDeviceRecord* record = FindNewStiDevice(tracker)) {
                               ReportThroughTwain(*record);
                               ReportStiDeviceThroughWia(*record);
                           }
                       });
    } catch (...) {
    }
    return 0;
}

} // namespace qel
