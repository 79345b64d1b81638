// order.h - the log-on entry that starts one proxy, and handing over to another instance on uninstall.
#ifndef QELBOOT_LAUNCH_ORDER_H
#define QELBOOT_LAUNCH_ORDER_H

#include <cstdint>
#include <string>

#include "platform/os.h"
#include "qelboot.h"
#include "registry/own_application.h"

namespace qel {

inline constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValue[] = L"Quorl Vandrel";
inline constexpr wchar_t kBootWindowTitle[] = L"Quorl Vandrel Boot";
inline constexpr std::uint32_t kUninstallPauseMs = 2000;

// Points the log-on entry at `proxyPath` when that file exists.
bool SetRunKey(const std::wstring& proxyPath);
bool DeleteRunKey();

// Asks the first boot window it is shown to quit, and then stops the enumeration.
bool FindBootWindowProc(os::Window window, std::intptr_t unused);

} // namespace qel

#endif // QELBOOT_LAUNCH_ORDER_H
