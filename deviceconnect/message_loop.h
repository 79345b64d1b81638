// message_loop.h - the message loop every tracker thread runs until it is told to quit.
#ifndef QELBOOT_DEVICECONNECT_MESSAGE_LOOP_H
#define QELBOOT_DEVICECONNECT_MESSAGE_LOOP_H

#include <cstdint>

#include "platform/os.h"

namespace qel {

// GetMessageW fails only for a window handle or a message record that is not valid, which fetching again at
// once does not cure: without a pause the thread would take a whole core for as long as it fails. Messages
// that come meanwhile wait in the queue, so a pause delays them no more than the volume tracker's poll period
// already delays a card.
inline constexpr std::uint32_t kFailedFetchPauseMs = 500;

// Fetches the messages of `window` (kNoWindow: of the thread) in [first, last] until WM_QUIT, pausing after a
// failed fetch. Each message goes to `look` first, then is translated and dispatched.
template <typename Look>
void RunMessageLoop(os::Window window, std::uint32_t first, std::uint32_t last, Look&& look) {
    os::WindowMessage message;
    for (;;) {
        const int got = os::GetWindowMessage(&message, window, first, last);
        if (got == 0)
            return;
        if (got == -1) {
            os::SleepFor(kFailedFetchPauseMs);
            continue;
        }
        look(message);
        os::TranslateWindowMessage(message);
        os::DispatchWindowMessage(message);
    }
}

inline void RunMessageLoop(os::Window window, std::uint32_t first, std::uint32_t last) {
    RunMessageLoop(window, first, last, [](const os::WindowMessage&) {});
}

} // namespace qel

#endif // QELBOOT_DEVICECONNECT_MESSAGE_LOOP_H
