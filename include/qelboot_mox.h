// qelboot_mox.h - the contract between the qelboot host and a .mox plug-in, and nothing else.
//
// A plug-in is a library with the extension .mox in the host's ".\moxplugins" folder (or in a sub-folder of
// it whose own name ends in .mox). It exports one function, FxPluginMain, which hands out a root object; the
// host asks that root for the interfaces below by number and calls their slots in the order declared here.
//
// Calling convention: on 32-bit x86 every interface method and FxPluginMain use __stdcall, as COM does
// (MOXAPI below; it is empty elsewhere). Export the entry point undecorated, as "FxPluginMain" (with a .def
// file, or -Wl,--kill-at with mingw), not as "FxPluginMain@4". Interfaces are declared as C++ classes with
// pure virtual functions and no virtual destructor, so that every Windows compiler lays their tables out the
// same way, one slot per function in declaration order.
//
// Text is UTF-16 (char16_t, the same size as Windows' wchar_t) in fixed buffers with a terminating null.
#ifndef QELBOOT_MOX_H
#define QELBOOT_MOX_H

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define MOXAPI __stdcall
#else
#define MOXAPI
#endif

// Status codes of the framework.
using FxStatus = std::uint32_t;
inline constexpr FxStatus FxOk = 0;
inline constexpr FxStatus FxFailed =
    0xC0000002; // not loadable, no entry point or interface, duplicate, refused
inline constexpr FxStatus FxException = 0xC0000005; // an exception was caught inside the operation
inline constexpr FxStatus FxNoMemory = 0xC0000006;
inline constexpr FxStatus FxInvalid = 0xC000000A;  // invalid argument, or nothing with that id
inline constexpr FxStatus FxNoSource = 0xC000000B; // no source is ready
inline constexpr FxStatus FxNotReady = 0xC000000C; // the source has no interface or is not ready
inline constexpr FxStatus FxEnd = 0xD0000001;      // end of an enumeration
inline constexpr FxStatus FxNotFound = 0x40000001; // no plug-in with that id

// Interface numbers, asked of QueryInterface.
inline constexpr std::int32_t MOXPluginInterfaceNumber = 1;
inline constexpr std::int32_t MOXSourceInterfaceNumber = 2;
inline constexpr std::int32_t MOXCapabilityInterfaceNumber = 13;

// GetCapability's flag for a source that reports device arrivals and wants to be tracked.
inline constexpr std::uint32_t MOXTrackArrivals = 1;

// A plug-in's identifier (a GUID); it names the plug-in and its source.
struct MOXGuid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};
static_assert(sizeof(MOXGuid) == 16, "a MOXGuid is a GUID");

inline constexpr std::size_t MOXNameChars = 260;

// One entry of the host's source enumeration. The caller of Next sets version and size.
struct MOXSourceInfo {
    std::uint32_t version; // 1
    std::uint32_t size;    // 548
    char16_t name[MOXNameChars];
    std::uint32_t kind;
    MOXGuid id;
};
static_assert(sizeof(MOXSourceInfo) == 548, "MOXSourceInfo is 548 bytes");
static_assert(offsetof(MOXSourceInfo, name) == 8 && offsetof(MOXSourceInfo, kind) == 528 &&
                  offsetof(MOXSourceInfo, id) == 532,
              "MOXSourceInfo fields sit at fixed offsets");
inline constexpr std::uint32_t MOXSourceInfoVersion = 1;

// Device classes of MOXDeviceEvent::deviceClass.
enum MOXDeviceClass : std::uint32_t {
    MOXClassUnknown = 0,
    MOXClassCamera = 1,
    MOXClassMobile = 2, // reported only with state MOXStateConnected
    MOXClassScanner = 3,
    MOXClassVideo = 4,
    MOXClassAudio = 5,
    MOXClassVolume = 6,
    MOXClassArchive = 7,
};
inline constexpr std::uint32_t MOXStateConnected = 1;

// What a source passes to ICallbackInterface::OnEvent. The host reads version, size, deviceId, deviceClass
// and state; the other fields are the plug-in's own.
struct MOXDeviceEvent {
    std::uint32_t version; // 0
    std::uint32_t size;    // 3644
    char16_t deviceId[MOXNameChars];
    char16_t data1[MOXNameChars];
    char16_t data2[1024];
    char16_t data3[MOXNameChars];
    std::uint32_t deviceClass;
    std::uint32_t data4;
    MOXGuid data5;
    std::uint32_t state;
};
static_assert(sizeof(MOXDeviceEvent) == 3644, "MOXDeviceEvent is 3644 bytes");
static_assert(offsetof(MOXDeviceEvent, deviceId) == 8 && offsetof(MOXDeviceEvent, data1) == 528 &&
                  offsetof(MOXDeviceEvent, data2) == 1048 && offsetof(MOXDeviceEvent, data3) == 3096 &&
                  offsetof(MOXDeviceEvent, deviceClass) == 3616 && offsetof(MOXDeviceEvent, data4) == 3620 &&
                  offsetof(MOXDeviceEvent, data5) == 3624 && offsetof(MOXDeviceEvent, state) == 3640,
              "MOXDeviceEvent fields sit at fixed offsets");
inline constexpr std::uint32_t MOXDeviceEventVersion = 0;

// The base of every object. QueryInterface stores the interface with a reference added, or null, and
// answers non-zero when it stored one; AddRef and Release return the new count.
class IFxBase {
public:
    virtual std::int32_t MOXAPI QueryInterface(std::int32_t number, void** out) = 0;
    virtual std::uint32_t MOXAPI AddRef() = 0;
    virtual std::uint32_t MOXAPI Release() = 0;
};

class IEnum : public IFxBase {
public:
    virtual FxStatus MOXAPI GetCount(std::uint32_t* count) = 0;
    // FxEnd at the end; FxInvalid when entry's version or size is wrong.
    virtual FxStatus MOXAPI Next(MOXSourceInfo* entry) = 0;
    virtual FxStatus MOXAPI Reset() = 0;
};

class IEnumSourceManager : public IEnum {};

// Handed to a source by Advise; the source calls OnEvent on any thread, any number of times, until Unadvise.
class ICallbackInterface : public IFxBase {
public:
    virtual void MOXAPI OnEvent(std::uint32_t reserved, MOXDeviceEvent* event) = 0;
};

// Interface number 1.
class IMOXPlugin : public IFxBase {
public:
    // Writes at most `maxChars` characters and a null into a buffer of maxChars + 1.
    virtual FxStatus MOXAPI GetName(char16_t* buffer, std::int32_t maxChars) = 0;
    virtual std::uint32_t MOXAPI GetKind() = 0; // the host passes it on without reading it
    virtual FxStatus MOXAPI GetId(MOXGuid* id) = 0;
    virtual FxStatus MOXAPI OnLoad() = 0;   // once, after registration
    virtual FxStatus MOXAPI OnUnload() = 0; // before the module is freed
};

// Interface number 2.
class IMOXSource : public IFxBase {
public:
    virtual FxStatus MOXAPI Open() = 0;      // FxOk: ready
    virtual FxStatus MOXAPI Reserved1() = 0; // never called by the host
    virtual FxStatus MOXAPI Reserved2() = 0; // never called by the host
    // The host passes 0 as `reserved`. FxOk: accepted.
    virtual FxStatus MOXAPI Advise(ICallbackInterface* callback, std::uint32_t reserved) = 0;
    virtual FxStatus MOXAPI Unadvise(ICallbackInterface* callback) = 0;
};

// Interface number 13.
class IMOXCapability : public IFxBase {
public:
    virtual FxStatus MOXAPI Reserved() = 0; // never called by the host
    virtual FxStatus MOXAPI GetCapability(std::uint32_t* flag) = 0;
};

// The entry point, exported as "FxPluginMain": stores a root object with a reference for the caller, or
// null. Its result is not read.
using FxPluginMainFunction = FxStatus(MOXAPI*)(IFxBase** root);

#endif // QELBOOT_MOX_H
