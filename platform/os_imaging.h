// os_imaging.h - the imaging services' part of the operating-system seam: COM, WIA, STI, TWAIN. Part of
// os.h, which includes it; the same rules hold (Win32 codes and HRESULTs, out-parameters untouched on
// failure).
#ifndef QELBOOT_PLATFORM_OS_IMAGING_H
#define QELBOOT_PLATFORM_OS_IMAGING_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/os.h"

namespace qel::os {

// HRESULTs the library looks at.
inline constexpr long kSOk = 0;
inline constexpr long kSFalse = 1;
inline constexpr long kENoInterface = static_cast<long>(0x80004002);
inline constexpr long kEFail = static_cast<long>(0x80004005);

struct Guid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};
inline bool operator==(const Guid& a, const Guid& b) { return std::memcmp(&a, &b, sizeof(Guid)) == 0; }
inline constexpr Guid kIidUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr Guid kIidWiaEventCallback{
    0xAE6287B0, 0x0084, 0x11D2, {0x97, 0x3B, 0x00, 0xA0, 0xC9, 0x06, 0x8F, 0x2E}};
inline constexpr Guid kWiaEventDeviceConnected{
    0xA28BBADE, 0x64B6, 0x11D2, {0xA2, 0x31, 0x00, 0xC0, 0x4F, 0xA3, 0x18, 0x09}};

// An interface pointer the library holds one reference to. The zero value is none.
enum class ComObject : std::uintptr_t {};
inline constexpr ComObject kNoComObject{};

// CoInitialize(nullptr): a single-threaded apartment for the calling thread.
long ComInitialize();
// CoUninitialize()
void ComUninitialize();
// IUnknown::Release
void ReleaseComObject(ComObject object);

// The library's receiver of WIA events. platform/win32 hands WIA an IWiaEventCallback that forwards its four
// slots here; only the device ID of ImageEventCallback is passed on (null when WIA gives none).
class WiaEventSink {
public:
    virtual long QueryInterface(const Guid& iid, void** out) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;
    virtual long ImageEventCallback(const Guid& event, const wchar_t* deviceId) = 0;

protected:
    ~WiaEventSink() = default;
};

// CoCreateInstance(CLSID_WiaDevMgr, no outer object, CLSCTX_LOCAL_SERVER, IID_IWiaDevMgr)
long CreateWiaDeviceManager(ComObject* manager);
// IWiaDevMgr::RegisterEventCallbackInterface(0, no device ID, event, sink, registration); releasing the
// registration ends it.
long RegisterWiaEvent(ComObject manager, const Guid& event, WiaEventSink* sink, ComObject* registration);
// IWiaDevMgr::EnumDeviceInfo(WIA_DEVINFO_ENUM_LOCAL)
long EnumWiaDevices(ComObject manager, ComObject* enumerator);
// IEnumWIA_DEV_INFO::Reset
long ResetWiaDevices(ComObject enumerator);
// IEnumWIA_DEV_INFO::Next(1): one device's property storage; S_FALSE at the end.
long NextWiaDevice(ComObject enumerator, ComObject* storage);
// IWiaPropertyStorage::ReadMultiple of WIA_DIP_DEV_ID and WIA_DIP_DEV_TYPE, by ID, and FreePropVariantArray.
// `hasId` is false when the ID is a null string.
struct WiaDeviceProperties {
    bool hasId = false;
    std::wstring id;
    std::uint32_t type = 0;
};
long ReadWiaDeviceProperties(ComObject storage, WiaDeviceProperties* properties);

// StiCreateInstanceW, as `createInstance` (found in sti.dll) is, called with (instance, version, out, no
// outer object).
long CreateStillImage(void* createInstance, Module instance, std::uint32_t version, ComObject* sti);
// IStillImageW::Initialize(instance, version)
long InitializeStillImage(ComObject sti, Module instance, std::uint32_t version);
// IStillImageW::GetDeviceList(0, 0, count, buffer): the devices, then LocalFree(buffer).
// The still-image major types, in the high 16 bits of an STI or WIA device type.
inline constexpr std::uint32_t kStiDeviceTypeScanner = 1;
inline constexpr std::uint32_t kStiDeviceTypeDigitalCamera = 2;
struct StiDevice {
    std::uint32_t deviceType = 0; // the major type in the high 16 bits
    std::wstring internalName;
};
long StillImageDevices(ComObject sti, std::vector<StiDevice>* devices);

// GetProcAddress(module, MAKEINTRESOURCEA(ordinal))
void* ModuleFunctionByOrdinal(Module module, std::uint16_t ordinal);
// MultiByteToWideChar(CP_ACP, 0, text, -1, ...), at most `maxChars` characters kept.
std::wstring WidenAnsi(const char* text, std::size_t maxChars);

} // namespace qel::os

#endif // QELBOOT_PLATFORM_OS_IMAGING_H
