// device_connect.h - the device-connect service's side towards the trackers: the one way they report a
// device.
#ifndef QELBOOT_DEVICECONNECT_DEVICE_CONNECT_H
#define QELBOOT_DEVICECONNECT_DEVICE_CONNECT_H

#include <string>

namespace qel {

// Device type names, the only values a tracker passes as devType.
inline constexpr wchar_t kVolumeDevice[] = L"volume";

// Calls the registered callback, if any, under the process-wide callback lock, so callbacks from different
// trackers never overlap. An exception that escapes the callback is dropped.
void NotifyDeviceConnect(std::wstring& devType, std::wstring& devId);

// The service's state as loading the library leaves it: not started, no callback, no lock.
void ResetDeviceConnectService();

} // namespace qel

#endif // QELBOOT_DEVICECONNECT_DEVICE_CONNECT_H
