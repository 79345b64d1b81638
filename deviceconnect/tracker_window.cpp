#include "deviceconnect/tracker_window.h"

#include <atomic>

namespace qel {
namespace {

// The class's own procedure, the same for every window of the class in this process.
std::atomic<os::WindowProc> staticProcedure{nullptr};

std::intptr_t QELBOOT_WINAPI TrackerWindowProc(os::Window window, std::uint32_t message,
                                               std::uintptr_t wParam, std::intptr_t lParam) {
    // Any program may send WM_CLOSE to a top-level window, and the class's procedure would destroy it: the
    // tracker's thread would have nothing left to listen through.
    if (message == os::kWmClose)
        return 0;
    return os::CallWindowProcedure(staticProcedure.load(std::memory_order_relaxed), window, message, wParam,
                                   lParam);
}

} // namespace

os::Window CreateTrackerWindow(const wchar_t* title) {
    const os::Window window =
        os::CreateTopLevelWindow(L"STATIC", title, os::kWsPopup, 20, 20, 200, 200, os::kNoModule);
    if (window == os::kNoWindow)
        return window;
    // Stored before this thread next waits for messages, so before any reaches the new procedure.
    if (const os::WindowProc previous = os::ReplaceWindowProc(window, &TrackerWindowProc))
        staticProcedure.store(previous, std::memory_order_relaxed);
    return window;
}

} // namespace qel
