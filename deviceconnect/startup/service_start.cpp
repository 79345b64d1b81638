// Starting the trackers by Windows version.
#include "deviceconnect/mox/mox_tracker.h"
#include "deviceconnect/notification.h"
#include "deviceconnect/os_class.h"
#include "deviceconnect/startup/library_load.h"
#include "platform/os.h"
#include "qelboot.h"
#include "trackers/sti_tracker.h"
#include "trackers/volume_tracker.h"
#include "trackers/wia_tracker.h"

namespace qel {
namespace {

bool serviceStarted = false;

} // namespace

void ResetDeviceConnectService() {
    ResetNotification();
    serviceStarted = false;
}

} // namespace qel

void StartDeviceConnectService() {
    using namespace qel;
    try {
        // Trackers run until the process ends and share one lock: a second set would report every device
        // twice.
        if (serviceStarted)
            return;
        serviceStarted = true;
        CreateCallbackLock();
        // The trackers run the library's code until the process ends, even after a host that loaded the
        // library itself has freed it again.
        os::PinModuleOf(&VolumeTrackerThread);
        // A thread that cannot be created is left out; the others still start.
        const OSClass osClass = GetOSClass();
        if (osClass != OSClassOther)
            os::StartThread(&VolumeTrackerThread, nullptr);
        // WIA announces connections on XP and Vista only; Windows 2000 has STI alone.
        if (osClass == OSClassXP || osClass == OSClassVista)
            os::StartThread(&WiaTrackerThread, nullptr);
        if (osClass != OSClassOther)
            os::StartThread(&StiTrackerThread, nullptr);
        // Plug-ins find their devices without the system's help, so they are watched on every version.
        os::StartThread(&MOXTrackerThread, nullptr);
    } catch (...) {
    }
}
