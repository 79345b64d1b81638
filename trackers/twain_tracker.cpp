// The TWAIN data-source question the STI tracker asks about each new device.
#include "trackers/twain_tracker.h"

#include <cstring>
#include <new>

#include "registry/text.h"

namespace qel {
namespace {

const wchar_t kWindowTitle[] = L"TWAINTrackerWindow";
constexpr std::size_t kNameChars = 260;

bool IsWiaSource(const std::wstring& name) {
    return name.size() >= 4 && EqualsIgnoringCase(std::wstring_view(name).substr(0, 4), L"WIA-");
}

} // namespace

std::uint16_t TwainTracker::CallDsm(twain::TW_IDENTITY* destination, std::uint32_t dataGroup,
                                    std::uint16_t dataType, std::uint16_t message, void* data) {
    if (!dsmEntry)
        return twain::TWRC_FAILURE;
    try {
        return static_cast<std::uint16_t>(
            dsmEntry(appIdentity.get(), destination, dataGroup, dataType, message, data) & 0xFFFF);
    } catch (...) {
        return twain::TWRC_FAILURE;
    }
}

bool TwainTracker::OpenDsm() {
    if (dsmEntry)
        return true;
    try {
        if (!appIdentity) {
            appIdentity.reset(new (std::nothrow) twain::TW_IDENTITY{});
            if (!appIdentity)
                return false;
        }
        twain::TW_IDENTITY& identity = *appIdentity;
        identity.Id = 0; // the manager assigns it
        identity.Version.MajorNum = 1;
        identity.Version.MinorNum = 703;
        identity.Version.Language = twain::TWLG_USA;
        identity.Version.Country = twain::TWCY_USA;
        identity.ProtocolMajor = 1;
        identity.ProtocolMinor = 7;
        identity.SupportedGroups = twain::DG_CONTROL | twain::DG_IMAGE;
        dsmLibrary.reset(os::LoadModule(kTwainLibrary));
        if (!dsmLibrary)
            return false;
        dsmEntry =
            reinterpret_cast<twain::DsmEntryFunction>(os::ModuleFunctionByOrdinal(dsmLibrary.get(), 1));
        if (!dsmEntry)
            return false;
        if (window == os::kNoWindow)
            window = os::CreateTopLevelWindow(L"STATIC", kWindowTitle, os::kWsPopup, 20, 20, 200, 200,
                                              os::kNoModule);
        if (CallDsm(nullptr, twain::DG_CONTROL, twain::DAT_PARENT, twain::MSG_OPENDSM, &window) ==
            twain::TWRC_FAILURE) {
            CloseDsm();
            return false;
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool TwainTracker::CloseDsm() {
    if (!dsmEntry)
        return true;
    try {
        CallDsm(nullptr, twain::DG_CONTROL, twain::DAT_PARENT, twain::MSG_CLOSEDSM, &window);
        if (window != os::kNoWindow)
            os::DestroyTopLevelWindow(window);
        window = os::kNoWindow;
        dsmEntry = nullptr;
        appIdentity.reset();
        dsmLibrary.reset();
        return true;
    } catch (...) {
        return false;
    }
}

bool TwainTracker::HasTwainDataSource(const std::wstring& name) {
    try {
        if (!OpenDsm())
            return false;
        twain::TW_IDENTITY source{};
        std::uint16_t result =
            CallDsm(nullptr, twain::DG_CONTROL, twain::DAT_IDENTITY, twain::MSG_GETFIRST, &source);
        while (result == twain::TWRC_SUCCESS) {
            // A manager need not terminate a name that fills its field.
            char product[sizeof source.ProductName + 1] = {};
            std::memcpy(product, source.ProductName, sizeof source.ProductName);
            const std::wstring found = os::WidenAnsi(product, kNameChars);
            if (!IsWiaSource(found) && EqualsIgnoringCase(found, name)) {
                CloseDsm();
                return true;
            }
            source.Id = 0;
            result = CallDsm(nullptr, twain::DG_CONTROL, twain::DAT_IDENTITY, twain::MSG_GETNEXT, &source);
        }
        CloseDsm();
        return false;
    } catch (...) {
        return false;
    }
}

} // namespace qel
