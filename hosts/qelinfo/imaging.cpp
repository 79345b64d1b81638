// What STI, TWAIN and WIA report on this machine: what to check when a scanner "does nothing".
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "hosts/qelinfo/print.h"
#include "hosts/qelinfo/topics.h"
#include "platform/unique_handles.h"
#include "trackers/sti_tracker.h"
#include "trackers/twain_tracker.h"
#include "trackers/wia_tracker.h"

namespace qel::info {
namespace {

const char* MajorType(std::uint32_t deviceType) {
    const int kind = StillImageKind(deviceType);
    return kind == kWiaScanner ? "scanner" : kind == kWiaCamera ? "camera" : "neither scanner nor camera";
}

void ListTwainSources() {
    Line("TWAIN data sources (twain_32.dll):");
    TwainTracker twain;
    if (!twain.OpenDsm()) {
        Verdict("no data-source manager could be opened: no TWAIN report is possible");
        return;
    }
    twain::TW_IDENTITY source{};
    for (auto result =
             twain.CallDsm(nullptr, twain::DG_CONTROL, twain::DAT_IDENTITY, twain::MSG_GETFIRST, &source);
         result == twain::TWRC_SUCCESS;
         source.Id = 0, result = twain.CallDsm(nullptr, twain::DG_CONTROL, twain::DAT_IDENTITY,
                                               twain::MSG_GETNEXT, &source)) {
        char product[sizeof source.ProductName + 1] = {};
        std::memcpy(product, source.ProductName, sizeof source.ProductName);
        Line("  - ", Quoted(product));
    }
    twain.CloseDsm();
}

void ListStillImageDevices(WIADeviceTracker& wia) {
    Line("Still-image devices (sti.dll):");
    StiTracker sti;
    std::vector<os::StiDevice> devices;
    if (!InitializeSti(sti)) {
        Verdict("the Still Image service cannot be started: STI devices will not be detected");
    } else if (const long listed = os::StillImageDevices(sti.sti, &devices); listed != os::kSOk) {
        Verdict("the device list cannot be read (0x", Hex(static_cast<std::uint32_t>(listed), 8),
                "): no new device will be found");
    } else if (devices.empty()) {
        Line("  (none)");
    }
    for (const auto& device : devices) {
        Line("  - ", device.internalName, " (", MajorType(device.deviceType), ")");
        wchar_t source[kStiNameChars] = {};
        if (!LookUpTwainDataSourceName(device.internalName.c_str(), source))
            Line("      TwainDS: none, so no TWAIN report");
        else
            Line("      TwainDS: ", Quoted(source), ": ",
                 TwainTracker().HasTwainDataSource(source)
                     ? "installed"
                     : "not installed, or a WIA- source: no TWAIN report");
        const int type = wia.GetWiaDeviceType(device.internalName.c_str());
        Line("      WIA: ", type == kWiaCamera    ? "a camera (reported through WIA on XP)"
                            : type == kWiaScanner ? "a scanner (reported through WIA on XP)"
                                                  : "not listed as a scanner or camera");
    }
}

void ListWiaDevices(WIADeviceTracker& wia, bool reached) {
    Line("WIA devices:");
    os::ComObject list = os::kNoComObject;
    if (!reached || os::EnumWiaDevices(wia.deviceManager, &list) != os::kSOk || list == os::kNoComObject) {
        Verdict("the WIA device manager cannot be reached or lists nothing");
        return;
    }
    ComReleaser devicesList(list);
    int listed = 0;
    for (os::ComObject next = os::kNoComObject; os::NextWiaDevice(list, &next) == os::kSOk;
         next = os::kNoComObject, ++listed) {
        ComReleaser storage(next);
        os::WiaDeviceProperties properties;
        if (os::ReadWiaDeviceProperties(next, &properties) == os::kSOk)
            Line("  - ", properties.hasId ? Piece(properties.id) : "(no ID)", " (",
                 MajorType(properties.type), ")");
        else
            Line("  - (properties cannot be read)");
    }
    if (listed == 0)
        Line("  (none)");
}

} // namespace

int ListImaging() {
    ListTwainSources();
    WIADeviceTracker wia;
    const bool wiaReached = wia.ConnectDeviceManager();
    ListStillImageDevices(wia);
    ListWiaDevices(wia, wiaReached);
    Verdict("WIA connection events ", wia.RegisterConnectEvent()
                                          ? "can be received: WIA devices will be detected"
                                          : "cannot be registered for: WIA devices will not be detected");
    return 0;
}

} // namespace qel::info
