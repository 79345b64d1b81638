// tracker_window.h - the hidden window of the system's "Static" class through which a tracker thread hears of
// device changes.
#ifndef QELBOOT_DEVICECONNECT_TRACKER_WINDOW_H
#define QELBOOT_DEVICECONNECT_TRACKER_WINDOW_H

#include "platform/os.h"

namespace qel {

// A hidden top-level "Static" window with this title, owned by the calling thread, that stays when another
// program closes it with WM_CLOSE. kNoWindow when it cannot be made.
os::Window CreateTrackerWindow(const wchar_t* title);

} // namespace qel

#endif // QELBOOT_DEVICECONNECT_TRACKER_WINDOW_H
