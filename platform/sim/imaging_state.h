// imaging_state.h - the simulated imaging services' state: COM objects, WIA, STI and TWAIN devices and calls.
#ifndef QELBOOT_PLATFORM_SIM_IMAGING_STATE_H
#define QELBOOT_PLATFORM_SIM_IMAGING_STATE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/twain.h"

namespace qel::sim {

// A device of WIA's local device list.
struct WiaDevice {
    std::optional<std::wstring> id; // nullopt: a null ID string
    std::uint32_t type = 0;         // the still-image major type in the high 16 bits
    bool readable = true;
};

struct TwainCall {
    std::uint16_t dataType;
    std::uint16_t message;
    twain::TW_IDENTITY origin;
    bool parentIsWindow; // DAT_PARENT's data names a window that exists
};

// The address sti.dll's StiCreateInstance has on the simulated machine.
void* StiCreateInstanceAddress();

struct ImagingState {
    struct ComRecord {
        enum Kind { Manager, Registration, DeviceList, DeviceStorage, StillImage } kind;
        std::size_t position = 0; // a device list's cursor, a storage's device
        os::WiaEventSink* sink = nullptr;
        std::uint32_t thread = 0;
    };

    os::ComObject Add(ComRecord record) {
        const auto raw = nextComObject;
        nextComObject += 8;
        comObjects.emplace(raw, record);
        return static_cast<os::ComObject>(raw);
    }

    std::map<std::uintptr_t, ComRecord> comObjects;
    std::uintptr_t nextComObject = 0x5000;
    int comApartments = 0;
    std::vector<WiaDevice> wiaDevices;
    bool wiaMissing = false;
    bool refuseWiaRegistration = false;
    bool failWiaEnumeration = false;
    std::vector<os::StiDevice> stiDevices;
    bool failStiCreation = false;
    bool failStiInitialization = false;
    std::size_t failStiDeviceLists = 0;
    std::vector<std::string> twainSources;
    std::size_t twainCursor = 0;
    bool removeTwainEntry = false;
    bool refuseTwainOpen = false;
    std::vector<TwainCall> twainCalls;
};

} // namespace qel::sim

#endif // QELBOOT_PLATFORM_SIM_IMAGING_STATE_H
