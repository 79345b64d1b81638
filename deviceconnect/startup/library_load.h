// library_load.h - what loading the library sets up before any host call.
#ifndef QELBOOT_DEVICECONNECT_STARTUP_LIBRARY_LOAD_H
#define QELBOOT_DEVICECONNECT_STARTUP_LIBRARY_LOAD_H

namespace qel {

// The library's own application list emptied, the device-connect service not started and without a callback,
// and the drives present now known to the volume tracker. Runs once as the library loads; a test that builds
// a machine first runs it again, as a fresh load would.
void InitialiseLibraryState();

// The device-connect service as loading the library leaves it: not started, no callback, no lock.
void ResetDeviceConnectService();

} // namespace qel

#endif // QELBOOT_DEVICECONNECT_STARTUP_LIBRARY_LOAD_H
