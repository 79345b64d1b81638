// The calling application's per-user launch switch and its locale.
#include <optional>

#include "qelboot.h"
#include "registry/own_application.h"
#include "registry/registry_key.h"

namespace qel {
namespace {

const wchar_t kLaunchStatusValue[] = L"qellaunchstatus";
const wchar_t kLocaleValue[] = L"locale";
const wchar_t kDefaultLocale[] = L"en_us";

// The registration key's parent, where the calling application keeps its own settings.
std::optional<std::wstring> OwnApplicationKey(CQELBootInformationHandler& handler) {
    appInfo_tag own;
    GetOwnApplicationInfo(handler, own);
    const auto cut = own.keyPath.find(L"\\Quorl Vandrel");
    if (cut == std::wstring::npos)
        return std::nullopt;
    return own.keyPath.substr(0, cut);
}

} // namespace
} // namespace qel

bool CQELBootInformationHandler::GetQELLaunchStatus() {
    using namespace qel;
    try {
        const auto applicationKey = OwnApplicationKey(*this);
        if (!applicationKey)
            return true;
        {
            CCurrentUserKey key(*applicationKey, os::kKeyRead);
            if (key.status != os::kSuccess)
                return true;
            const std::int32_t status = key.GetDWORDValue(kLaunchStatusValue);
            if (status != -1)
                return status != 0;
        }
        // First asked: the switch starts on.
        CCurrentUserKey key(*applicationKey, os::kKeyWrite);
        key.SetDWORDValue(kLaunchStatusValue, 1);
        return true;
    } catch (...) {
        return true;
    }
}

bool CQELBootInformationHandler::SetQELLaunchStatus(long status) {
    using namespace qel;
    try {
        const auto applicationKey = OwnApplicationKey(*this);
        if (!applicationKey)
            return false;
        CCurrentUserKey key(*applicationKey, os::kKeyWrite);
        if (key.status != os::kSuccess)
            return false;
        key.SetDWORDValue(kLaunchStatusValue, static_cast<std::uint32_t>(status));
        return key.status == os::kSuccess;
    } catch (...) {
        return true;
    }
}

bool CQELBootInformationHandler::GetQELLocaleString(std::wstring& locale) {
    using namespace qel;
    try {
        locale = kDefaultLocale;
        const auto applicationKey = OwnApplicationKey(*this);
        if (!applicationKey)
            return false;
        CLocalMachineKey key(*applicationKey, os::kKeyRead);
        if (key.status != os::kSuccess)
            return false;
        const wchar_t* text = key.GetStringValue(kLocaleValue);
        if (!text || !*text)
            return false;
        locale = text;
        return true;
    } catch (...) {
        try {
            locale = kDefaultLocale;
        } catch (...) {
        }
        return false;
    }
}
