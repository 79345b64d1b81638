// The calling process's program and the registration whose proxy it is.
#include "registry/own_application.h"

#include "platform/unique_handles.h"
#include "registry/text.h"

namespace qel {

std::uint32_t ProcessAllAccess() {
    os::VersionInfo version;
    const bool known = os::QueryVersion(true, &version) || os::QueryVersion(false, &version);
    return known && version.major >= 6 ? os::kProcessAllAccess : os::kProcessAllAccessBeforeVista;
}

bool ReadProgramPath(os::Handle process, std::wstring& path) {
    return os::FirstModulePath(process, kModulePathLimit, &path);
}

bool GetCurrentProcessInfo(processInfo_tag& info) {
    try {
        const std::uint32_t id = os::CurrentProcessId();
        HandleCloser process(os::OpenProcess(id, ProcessAllAccess()));
        if (!process)
            return false;
        std::wstring path;
        if (ReadProgramPath(process.get(), path)) {
            info.processId = id;
            info.modulePath = std::move(path);
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool GetOwnApplicationInfo(CQELBootInformationHandler& handler, appInfo_tag& out) {
    try {
        handler.MaintainOrder();
        processInfo_tag self;
        GetCurrentProcessInfo(self);
        for (const auto& record : handler.apps) {
            if (EqualsIgnoringCase(record.proxyPath, self.modulePath)) {
                out = record;
                return true;
            }
        }
        return false;
    } catch (...) {
        return false;
    }
}

} // namespace qel
