// command_handler.h - internal operations of the command handler.
#ifndef QELBOOT_LAUNCH_COMMAND_HANDLER_H
#define QELBOOT_LAUNCH_COMMAND_HANDLER_H

#include <cstdint>
#include <string>

namespace qel {

// Writes "DefaultFlag" = `value` under `prefsPath` in the user's and the machine's hive, wherever that key
// exists and may be written; the key is never created.
void SetDefaultFlag(const std::wstring& prefsPath, std::uint32_t value);

// True when process `processId` runs in the active console session.
bool IsProcessInConsoleSession(std::uint32_t processId);

} // namespace qel

#endif // QELBOOT_LAUNCH_COMMAND_HANDLER_H
