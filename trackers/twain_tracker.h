// twain_tracker.h - whether a TWAIN data source of a given name is installed, asked of the data-source
// manager: opened, listed and closed again for each question.
#ifndef QELBOOT_TRACKERS_TWAIN_TRACKER_H
#define QELBOOT_TRACKERS_TWAIN_TRACKER_H

#include <cstdint>
#include <memory>
#include <string>

#include "platform/os.h"
#include "platform/twain.h"
#include "platform/unique_handles.h"

namespace qel {

inline constexpr wchar_t kTwainLibrary[] = L"twain_32.dll";

class TwainTracker {
public:
    bool OpenDsm();
    // The manager's 16-bit return code; TWRC_FAILURE without a call when it is not open.
    std::uint16_t CallDsm(twain::TW_IDENTITY* destination, std::uint32_t dataGroup, std::uint16_t dataType,
                          std::uint16_t message, void* data);
    bool CloseDsm();
    // Leaves the manager closed whatever the answer. Sources named "WIA-..." never count.
    bool HasTwainDataSource(const std::wstring& name);

    os::Window window = os::kNoWindow; // the manager's parent window, made at the first open
    ModuleFreer dsmLibrary;
    twain::DsmEntryFunction dsmEntry = nullptr; // set while open
    std::unique_ptr<twain::TW_IDENTITY> appIdentity;
};

} // namespace qel

#endif // QELBOOT_TRACKERS_TWAIN_TRACKER_H
