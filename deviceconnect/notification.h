// notification.h - the one way a tracker reports a device: to the host's callback, under the callback lock.
#ifndef QELBOOT_DEVICECONNECT_NOTIFICATION_H
#define QELBOOT_DEVICECONNECT_NOTIFICATION_H

#include <string>

#include "qelboot_c.h"

namespace qel {

// Device type names, the only values a tracker passes as devType.
inline constexpr wchar_t kVolumeDevice[] = L"volume";
inline constexpr wchar_t kCameraDevice[] = L"camera";
inline constexpr wchar_t kScannerDevice[] = L"scanner";
inline constexpr wchar_t kMobileDevice[] = L"mobile";
inline constexpr wchar_t kVideoDevice[] = L"video";
inline constexpr wchar_t kAudioDevice[] = L"audio";
inline constexpr wchar_t kArchiveDevice[] = L"archive";
inline constexpr wchar_t kUnknownDevice[] = L"unknown";

// Calls the registered callback, if any, under the process-wide callback lock, so callbacks from different
// trackers never overlap. An exception that escapes the callback is dropped.
void NotifyDeviceConnect(std::wstring& devType, std::wstring& devId);

// Puts a C callback and its context in the one slot, in place of any callback, C++ or C.
void RegisterCDeviceConnectCallback(QelDeviceConnectCallback callback, void* context);

// Made once, as the service starts.
void CreateCallbackLock();

// As loading the library leaves it: no callback, no lock.
void ResetNotification();

} // namespace qel

#endif // QELBOOT_DEVICECONNECT_NOTIFICATION_H
