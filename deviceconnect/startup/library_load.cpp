// The library's load-time initialisation, run by the static initialisers of the module.
#include "deviceconnect/startup/library_load.h"

#include "registry/discovery.h"
#include "trackers/volume_tracker.h"

namespace qel {

void InitialiseLibraryState() {
    try {
        LibraryHandler().apps.clear();
        ResetDeviceConnectService();
        ScanDrivesAtLoad();
    } catch (...) {
    }
}

namespace {

// Before the host can start the service, so that volumes present at load are never reported as new.
const bool initialisedAtLoad = (InitialiseLibraryState(), true);

} // namespace
} // namespace qel
