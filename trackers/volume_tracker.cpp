// The volume tracker: a hidden window for the system's device-change broadcasts, and polling while a card
// reader is attached (an empty reader's drive letter exists before any card does).
#include "trackers/volume_tracker.h"

#include <cwctype>
#include <string>

#include "deviceconnect/notification.h"
#include "deviceconnect/media_check.h"
#include "deviceconnect/message_loop.h"
#include "deviceconnect/tracker_window.h"
#include "registry/text.h"

namespace qel {
namespace {

const wchar_t kWillBeDetectedLine[] = L"<***DeviceConnect***><VolumeTracker><Volumes will be detected.>";
const wchar_t kArrivedLine[] = L"<***DeviceConnect***><VolumeTracker><DEVICE ARRIVED>";
const wchar_t kRemovedLine[] = L"<***DeviceConnect***><VolumeTracker><DEVICE REMOVED>";
const wchar_t kRemovableDeviceLine[] = L"<***DeviceConnect***><VolumeTracker><REMOVABLE DEVICE><%s>";
const wchar_t kLaunchNotPossibleLine[] = L"<***DeviceConnect***><VolumeTracker><Launch not possible>.";
const wchar_t kEnteringPollingLine[] = L"<***DeviceConnect***><VolumeTracker><Entering in polling mode.>";
const wchar_t kExitingPollingLine[] = L"<***DeviceConnect***><VolumeTracker><Exiting from polling mode.>";

constexpr int kDriveLetters = 26;
// Probed without a buffer for the file-system name: only whether the volume reads matters.
constexpr std::uint32_t kScanVolumeNameCapacity = 255;

VolumeState volumeState;
bool pollingMode = false;

// Floppy drives are removable but never hold a card, and probing them is slow.
bool IsFloppyLetter(int index) { return index < 2; }

bool HasBit(std::uint32_t mask, int index) { return (mask & (std::uint32_t{1} << index)) != 0; }

// Ten short sleeps rather than one long one.
void WaitPollPeriod() {
    for (std::uint32_t waited = 0; waited < kPollPeriodMs; waited += kPollSliceMs)
        os::SleepFor(kPollSliceMs);
}

// At most one drive is reported per pass; the other new drives of the pass are known from now on.
void DetectionPass(VolumeState& state) {
    if (DetectNewDrives(state) == 0)
        return;
    wchar_t root[] = L"_:";
    if (!FindReportableDrive(state, root))
        return;
    os::DebugOutput(FormatLine(kRemovableDeviceLine, {std::wstring(L"V|") + root}));
    std::wstring devType = kVolumeDevice;
    std::wstring devId = root;
    if (CheckMediaContent(devId))
        NotifyDeviceConnect(devType, devId);
    else
        os::DebugOutput(kLaunchNotPossibleLine);
}

void RunVolumeMessageLoop(os::Window window, bool checkOnNodeChange) {
    RunMessageLoop(window, os::kWmDeviceChange, os::kWmDeviceChange, [&](const os::WindowMessage& message) {
        // A window of the system's class has no procedure of ours to run the pass.
        if (checkOnNodeChange && message.wParam == os::kDbtDevNodesChanged)
            CheckVolumes(volumeState, pollingMode);
    });
}

} // namespace

VolumeState& TheVolumeState() { return volumeState; }
bool& ThePollingMode() { return pollingMode; }

void ScanDrivesAtLoad() {
    volumeState = VolumeState{};
    pollingMode = false;
    std::uint32_t mask = 0;
    ScanDrives(volumeState, mask);
    volumeState.knownDrives = mask;
}

bool ScanDrives(VolumeState& state, std::uint32_t& mask) {
    CriticalErrorsFailed quiet;
    mask = os::LogicalDrives();
    state.removablePresent = false;
    for (int i = 0; i < kDriveLetters; ++i) {
        if (!HasBit(mask, i))
            continue;
        wchar_t root[] = L"_:";
        root[0] = static_cast<wchar_t>(L'A' + i);
        if (os::DriveType(root) != os::kDriveRemovable || IsFloppyLetter(i))
            continue;
        state.removablePresent = true;
        // A reader without a card keeps its letter; it counts as present only with a readable volume.
        wchar_t volumeName[kScanVolumeNameCapacity] = {};
        if (!os::VolumeInformation(root, volumeName, kScanVolumeNameCapacity, nullptr, 0))
            mask &= ~(std::uint32_t{1} << i);
    }
    return mask != 0;
}

std::uint32_t DetectNewDrives(VolumeState& state) {
    std::uint32_t mask = 0;
    if (!ScanDrives(state, mask))
        return 0;
    state.newDrives = (state.knownDrives ^ mask) & mask;
    state.knownDrives = mask;
    return state.newDrives;
}

bool IsReportableDrive(const wchar_t* root) {
    std::uint32_t type = os::kDriveUnknown;
    wchar_t volumeName[kPathCapacity] = {};
    wchar_t fileSystem[kPathCapacity] = {};
    bool read = false;
    {
        CriticalErrorsFailed quiet;
        type = os::DriveType(root);
        read = os::VolumeInformation(root, volumeName, kPathCapacity, fileSystem, kPathCapacity);
    }
    const int index = std::towupper(static_cast<std::wint_t>(root[0])) - L'A';
    return read && (type == os::kDriveRemovable || NamesKodak(fileSystem)) && !IsFloppyLetter(index);
}

bool FindReportableDrive(VolumeState& state, wchar_t* root) {
    if (!root || root[0] != L'_' || root[1] != L':' || root[2] != L'\0')
        return false;
    for (int i = 0; i < kDriveLetters; ++i) {
        if (!HasBit(state.newDrives, i))
            continue;
        root[0] = static_cast<wchar_t>(L'A' + i);
        if (IsReportableDrive(root))
            return true;
    }
    return false;
}

void CheckVolumes(VolumeState& state, bool& polling) {
    if (polling)
        WaitPollPeriod();
    for (;;) {
        DetectionPass(state);
        const bool was = polling;
        polling = state.removablePresent;
        if (!polling) {
            if (was)
                os::DebugOutput(kExitingPollingLine);
            return;
        }
        if (!was)
            os::DebugOutput(kEnteringPollingLine);
        WaitPollPeriod();
    }
}

std::intptr_t QELBOOT_WINAPI VolumeWindowProc(os::Window window, std::uint32_t message, std::uintptr_t wParam,
                                              std::intptr_t lParam) {
    try {
        if (message == os::kWmDeviceChange && wParam == os::kDbtDeviceArrival)
            os::DebugOutput(kArrivedLine);
        else if (message == os::kWmDeviceChange && wParam == os::kDbtDeviceRemoveComplete)
            os::DebugOutput(kRemovedLine);
        // Any message at all, the window's creation included, is a reason to look at the drives.
        CheckVolumes(volumeState, pollingMode);
    } catch (...) {
    }
    // Another program's WM_CLOSE would have the default procedure destroy the window this thread listens
    // through.
    if (message == os::kWmClose)
        return 0;
    return os::DefaultWindowProc(window, message, wParam, lParam);
}

std::uint32_t QELBOOT_WINAPI VolumeTrackerThread(void*) {
    try {
        os::DebugOutput(kWillBeDetectedLine);
        const os::Module program = os::ProgramModule();
        // With a card reader attached this first pass polls until the reader is gone.
        CheckVolumes(volumeState, pollingMode);
        if (os::RegisterWindowClass(kVolumeWindowClass, &VolumeWindowProc, program)) {
            RunVolumeMessageLoop(os::CreateTopLevelWindow(kVolumeWindowClass, kVolumeWindowTitle,
                                                          os::kWsPopup, 20, 20, 200, 200, program),
                                 false);
        } else {
            RunVolumeMessageLoop(CreateTrackerWindow(kVolumeWindowTitle), true);
        }
    } catch (...) {
    }
    return 0;
}

} // namespace qel
