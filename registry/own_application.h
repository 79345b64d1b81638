// own_application.h - which program the calling process runs and which registered application it is the proxy
// of: what launch status, locale, the media check and launching all ask before they act.
#ifndef QELBOOT_REGISTRY_OWN_APPLICATION_H
#define QELBOOT_REGISTRY_OWN_APPLICATION_H

#include <cstdint>
#include <string>

#include "platform/os.h"
#include "qelboot.h"

namespace qel {

struct processInfo_tag {
    std::uint32_t processId = 0;
    std::wstring modulePath; // at most 259 characters; empty when it could not be read
};

inline constexpr std::uint32_t kModulePathLimit = 259;

// All access to a process, in the mask the running system knows.
std::uint32_t ProcessAllAccess();

// The program path of an open process, or false.
bool ReadProgramPath(os::Handle process, std::wstring& path);

// False when the calling process cannot be opened; `info` is filled only when its program path was read.
bool GetCurrentProcessInfo(processInfo_tag& info);

// Reloads `handler`'s list (which may end the process) and finds the application whose proxy the calling
// process runs.
bool GetOwnApplicationInfo(CQELBootInformationHandler& handler, appInfo_tag& out);

} // namespace qel

#endif // QELBOOT_REGISTRY_OWN_APPLICATION_H
