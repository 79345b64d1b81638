// order.h - which program the calling process runs, which registered application it is the proxy of, and
// the log-on entry that starts one proxy.
#ifndef QELBOOT_LAUNCH_ORDER_H
#define QELBOOT_LAUNCH_ORDER_H

#include <cstdint>
#include <string>

#include "platform/os.h"
#include "qelboot.h"

namespace qel {

struct processInfo_tag {
    std::uint32_t processId = 0;
    std::wstring modulePath; // at most 259 characters; empty when it could not be read
};

inline constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValue[] = L"Quorl Vandrel";
inline constexpr wchar_t kBootWindowTitle[] = L"Quorl Vandrel Boot";
inline constexpr std::uint32_t kModulePathLimit = 259;
inline constexpr std::uint32_t kUninstallPauseMs = 2000;

// False when the calling process cannot be opened; `info` is filled only when its program path was read.
bool GetCurrentProcessInfo(processInfo_tag& info);

// Reloads `handler`'s list (which may end the process) and finds the application whose proxy the calling
// process runs.
bool GetOwnApplicationInfo(CQELBootInformationHandler& handler, appInfo_tag& out);

// Points the log-on entry at `proxyPath` when that file exists.
bool SetRunKey(const std::wstring& proxyPath);
bool DeleteRunKey();

// Asks the first boot window it is shown to quit, and then stops the enumeration.
bool FindBootWindowProc(os::Window window, std::intptr_t unused);

} // namespace qel

#endif // QELBOOT_LAUNCH_ORDER_H
