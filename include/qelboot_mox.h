// qelboot_mox.h - the contract between the qelboot host and a .mox plug-in, and nothing else.
//
// A plug-in is a library with the extension .mox in the host's ".\moxplugins" folder (or in a sub-folder of
// it whose own name ends in .mox). It exports one function, FxPluginMain, which hands out a root object; the
// host asks that root for the interfaces below by number and calls their slots in the order declared here.
//
// Calling convention: on 32-bit x86 every interface method and FxPluginMain use __stdcall, as COM does
// (MOXAPI below; it is empty elsewhere). Export the entry point undecorated, as "FxPluginMain" (with a .def
// file, or -Wl,--kill-at with mingw), not as "FxPluginMain@4". In C++ the interfaces are classes with pure
// virtual functions and no virtual destructor, so that every Windows compiler lays their tables out the same
// way, one slot per function in declaration order. In C each is a struct whose first member points at a
// table of functions in that same order, each taking the object first, as COM's C bindings do.
//
// Text is UTF-16 in fixed buffers with a terminating null: MOXChar is char16_t in C++ and wchar_t in C on
// Windows (both 16 bits there).
#ifndef QELBOOT_MOX_H
#define QELBOOT_MOX_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define MOXAPI __stdcall
#else
#define MOXAPI
#endif

#ifdef __cplusplus
#define MOX_STATIC_ASSERT(condition, message) static_assert(condition, message)
typedef char16_t MOXChar;
#else
#define MOX_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#if defined(_WIN32)
typedef wchar_t MOXChar;
#else
typedef uint16_t MOXChar;
#endif
#endif
MOX_STATIC_ASSERT(sizeof(MOXChar) == 2, "plug-in text is UTF-16");

// Status codes of the framework.
typedef uint32_t FxStatus;
#define FxOk ((FxStatus)0)
#define FxFailed ((FxStatus)0xC0000002)    // not loadable, no entry point or interface, duplicate, refused
#define FxException ((FxStatus)0xC0000005) // an exception was caught inside the operation
#define FxNoMemory ((FxStatus)0xC0000006)
#define FxInvalid ((FxStatus)0xC000000A)  // invalid argument, or nothing with that id
#define FxNoSource ((FxStatus)0xC000000B) // no source is ready
#define FxNotReady ((FxStatus)0xC000000C) // the source has no interface or is not ready
#define FxEnd ((FxStatus)0xD0000001)      // end of an enumeration
#define FxNotFound ((FxStatus)0x40000001) // no plug-in with that id

// Interface numbers, asked of QueryInterface.
#define MOXPluginInterfaceNumber ((int32_t)1)
#define MOXSourceInterfaceNumber ((int32_t)2)
#define MOXCapabilityInterfaceNumber ((int32_t)13)

// GetCapability's flag for a source that reports device arrivals and wants to be tracked.
#define MOXTrackArrivals ((uint32_t)1)

// A plug-in's identifier (a GUID); it names the plug-in and its source.
typedef struct MOXGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
} MOXGuid;
MOX_STATIC_ASSERT(sizeof(MOXGuid) == 16, "a MOXGuid is a GUID");

#define MOXNameChars 260

// One entry of the host's source enumeration. The caller of Next sets version and size.
typedef struct MOXSourceInfo {
    uint32_t version; // 1
    uint32_t size;    // 548
    MOXChar name[MOXNameChars];
    uint32_t kind;
    MOXGuid id;
} MOXSourceInfo;
MOX_STATIC_ASSERT(sizeof(MOXSourceInfo) == 548, "MOXSourceInfo is 548 bytes");
MOX_STATIC_ASSERT(offsetof(MOXSourceInfo, name) == 8 && offsetof(MOXSourceInfo, kind) == 528 &&
                      offsetof(MOXSourceInfo, id) == 532,
                  "MOXSourceInfo fields sit at fixed offsets");
#define MOXSourceInfoVersion ((uint32_t)1)

// Device classes of MOXDeviceEvent::deviceClass.
enum MOXDeviceClass {
    MOXClassUnknown = 0,
    MOXClassCamera = 1,
    MOXClassMobile = 2, // reported only with state MOXStateConnected
    MOXClassScanner = 3,
    MOXClassVideo = 4,
    MOXClassAudio = 5,
    MOXClassVolume = 6,
    MOXClassArchive = 7
};
#define MOXStateConnected ((uint32_t)1)

// What a source passes to ICallbackInterface::OnEvent. The host reads version, size, deviceId, deviceClass
// and state; the other fields are the plug-in's own.
typedef struct MOXDeviceEvent {
    uint32_t version; // 0
    uint32_t size;    // 3644
    MOXChar deviceId[MOXNameChars];
    MOXChar data1[MOXNameChars];
    MOXChar data2[1024];
    MOXChar data3[MOXNameChars];
    uint32_t deviceClass;
    uint32_t data4;
    MOXGuid data5;
    uint32_t state;
} MOXDeviceEvent;
MOX_STATIC_ASSERT(sizeof(MOXDeviceEvent) == 3644, "MOXDeviceEvent is 3644 bytes");
MOX_STATIC_ASSERT(offsetof(MOXDeviceEvent, deviceId) == 8 && offsetof(MOXDeviceEvent, data1) == 528 &&
                      offsetof(MOXDeviceEvent, data2) == 1048 && offsetof(MOXDeviceEvent, data3) == 3096 &&
                      offsetof(MOXDeviceEvent, deviceClass) == 3616 &&
                      offsetof(MOXDeviceEvent, data4) == 3620 && offsetof(MOXDeviceEvent, data5) == 3624 &&
                      offsetof(MOXDeviceEvent, state) == 3640,
                  "MOXDeviceEvent fields sit at fixed offsets");
#define MOXDeviceEventVersion ((uint32_t)0)

#ifdef __cplusplus

// The base of every object. QueryInterface stores the interface with a reference added, or null, and
// answers non-zero when it stored one; AddRef and Release return the new count.
class IFxBase {
public:
    virtual int32_t MOXAPI QueryInterface(int32_t number, void** out) = 0;
    virtual uint32_t MOXAPI AddRef() = 0;
    virtual uint32_t MOXAPI Release() = 0;
};

class IEnum : public IFxBase {
public:
    virtual FxStatus MOXAPI GetCount(uint32_t* count) = 0;
    // FxEnd at the end; FxInvalid when entry's version or size is wrong.
    virtual FxStatus MOXAPI Next(MOXSourceInfo* entry) = 0;
    virtual FxStatus MOXAPI Reset() = 0;
};

class IEnumSourceManager : public IEnum {};

// Handed to a source by Advise; the source calls OnEvent on any thread, any number of times, until Unadvise.
class ICallbackInterface : public IFxBase {
public:
    virtual void MOXAPI OnEvent(uint32_t reserved, MOXDeviceEvent* event) = 0;
};

// Interface number 1.
class IMOXPlugin : public IFxBase {
public:
    // Writes at most `maxChars` characters and a null into a buffer of maxChars + 1.
    virtual FxStatus MOXAPI GetName(MOXChar* buffer, int32_t maxChars) = 0;
    virtual uint32_t MOXAPI GetKind() = 0; // the host passes it on without reading it
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
    virtual FxStatus MOXAPI Advise(ICallbackInterface* callback, uint32_t reserved) = 0;
    virtual FxStatus MOXAPI Unadvise(ICallbackInterface* callback) = 0;
};

// Interface number 13.
class IMOXCapability : public IFxBase {
public:
    virtual FxStatus MOXAPI Reserved() = 0; // never called by the host
    virtual FxStatus MOXAPI GetCapability(uint32_t* flag) = 0;
};

#else // C: the same tables, slot for slot, each function taking its object first.
// clang-format off

#define MOX_BASE_SLOTS(Self)                                                                                 \
    int32_t(MOXAPI* QueryInterface)(Self * self, int32_t number, void** out);                                \
    uint32_t(MOXAPI* AddRef)(Self * self);                                                                   \
    uint32_t(MOXAPI* Release)(Self * self)
#define MOX_ENUM_SLOTS(Self)                                                                                 \
    MOX_BASE_SLOTS(Self);                                                                                    \
    FxStatus(MOXAPI* GetCount)(Self * self, uint32_t * count);                                               \
    FxStatus(MOXAPI* Next)(Self * self, MOXSourceInfo * entry);                                              \
    FxStatus(MOXAPI* Reset)(Self * self)
#define MOX_INTERFACE(Name, slots)                                                                           \
    typedef struct Name Name;                                                                                \
    typedef struct Name##Vtbl {                                                                              \
        slots;                                                                                               \
    } Name##Vtbl;                                                                                            \
    struct Name {                                                                                            \
        const Name##Vtbl* lpVtbl;                                                                            \
    }

MOX_INTERFACE(IFxBase, MOX_BASE_SLOTS(IFxBase));
MOX_INTERFACE(IEnum, MOX_ENUM_SLOTS(IEnum));
MOX_INTERFACE(IEnumSourceManager, MOX_ENUM_SLOTS(IEnumSourceManager));
MOX_INTERFACE(ICallbackInterface,
              MOX_BASE_SLOTS(ICallbackInterface);
              void(MOXAPI* OnEvent)(ICallbackInterface* self, uint32_t reserved, MOXDeviceEvent* event));
MOX_INTERFACE(IMOXPlugin,
              MOX_BASE_SLOTS(IMOXPlugin);
              FxStatus(MOXAPI* GetName)(IMOXPlugin* self, MOXChar* buffer, int32_t maxChars);
              uint32_t(MOXAPI* GetKind)(IMOXPlugin* self);
              FxStatus(MOXAPI* GetId)(IMOXPlugin* self, MOXGuid* id);
              FxStatus(MOXAPI* OnLoad)(IMOXPlugin* self);
              FxStatus(MOXAPI* OnUnload)(IMOXPlugin* self));
MOX_INTERFACE(IMOXSource,
              MOX_BASE_SLOTS(IMOXSource);
              FxStatus(MOXAPI* Open)(IMOXSource* self);
              FxStatus(MOXAPI* Reserved1)(IMOXSource* self);
              FxStatus(MOXAPI* Reserved2)(IMOXSource* self);
              FxStatus(MOXAPI* Advise)(IMOXSource* self, ICallbackInterface* callback, uint32_t reserved);
              FxStatus(MOXAPI* Unadvise)(IMOXSource* self, ICallbackInterface* callback));
MOX_INTERFACE(IMOXCapability,
              MOX_BASE_SLOTS(IMOXCapability);
              FxStatus(MOXAPI* Reserved)(IMOXCapability* self);
              FxStatus(MOXAPI* GetCapability)(IMOXCapability* self, uint32_t* flag));
// clang-format on

#endif

// The entry point, exported as "FxPluginMain": stores a root object with a reference for the caller, or
// null. Its result is not read.
typedef FxStatus(MOXAPI* FxPluginMainFunction)(IFxBase** root);

#endif // QELBOOT_MOX_H
