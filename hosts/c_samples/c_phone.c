/* c_phone.c - a .mox plug-in written in C from qelboot_mox.h: one source that, each time a host advises it,
 * announces one connected phone, "c-phone-0001", a second and a half later from a thread of its own.
 *
 * Like c_host.c it needs no C runtime and no Windows header. Export FxPluginMain undecorated (c_phone.def
 * for mingw-w64; /export:FxPluginMain=_FxPluginMain@4 with lld-link or link.exe on 32-bit x86).
 */
#include "qelboot_mox.h"
#include "win32_values.h"

typedef unsigned long(WINAPI_C* ThreadProc)(void* parameter);
KERNEL32 void* WINAPI_C CreateThread(void* security, size_t stack, ThreadProc start, void* parameter,
                                     unsigned long flags, unsigned long* id);
KERNEL32 int WINAPI_C CloseHandle(void* handle);
KERNEL32 void WINAPI_C Sleep(unsigned long milliseconds);
#if defined(_MSC_VER) && !defined(__clang__)
long _InterlockedExchangeAdd(volatile long* value, long add);
#define AddAtomically(value, add) (_InterlockedExchangeAdd((value), (add)) + (add))
#else
#define AddAtomically(value, add) __atomic_add_fetch((value), (add), __ATOMIC_SEQ_CST)
#endif

/* The one plug-in object of the module and its three interfaces; every reference counts on the object. */
static IMOXPlugin plugin;
static IMOXSource source;
static IMOXCapability capability;
static volatile long references;

static int32_t Query(int32_t number, void** out) {
    *out = number == MOXPluginInterfaceNumber       ? (void*)&plugin
           : number == MOXSourceInterfaceNumber     ? (void*)&source
           : number == MOXCapabilityInterfaceNumber ? (void*)&capability
                                                    : 0;
    if (!*out)
        return 0;
    AddAtomically(&references, 1);
    return 1;
}

/* The three slots every interface begins with, for one interface. */
#define BASE_FUNCTIONS(Self)                                                                                 \
    static int32_t MOXAPI Self##QueryInterface(Self* self, int32_t number, void** out) {                     \
        (void)self;                                                                                          \
        return Query(number, out);                                                                           \
    }                                                                                                        \
    static uint32_t MOXAPI Self##AddRef(Self* self) {                                                        \
        (void)self;                                                                                          \
        return (uint32_t)AddAtomically(&references, 1);                                                      \
    }                                                                                                        \
    static uint32_t MOXAPI Self##Release(Self* self) {                                                       \
        (void)self;                                                                                          \
        return (uint32_t)AddAtomically(&references, -1);                                                     \
    }
BASE_FUNCTIONS(IMOXPlugin)
BASE_FUNCTIONS(IMOXSource)
BASE_FUNCTIONS(IMOXCapability)
#define BASE_SLOTS(Self) &Self##QueryInterface, &Self##AddRef, &Self##Release

static FxStatus MOXAPI GetName(IMOXPlugin* self, MOXChar* buffer, int32_t maxChars) {
    static const wchar_t name[] = L"C Phone";
    int32_t at = 0;
    (void)self;
    for (; at < maxChars && name[at]; ++at)
        buffer[at] = (MOXChar)name[at];
    buffer[at] = 0;
    return FxOk;
}
static uint32_t MOXAPI GetKind(IMOXPlugin* self) {
    (void)self;
    return 4;
}
static FxStatus MOXAPI GetId(IMOXPlugin* self, MOXGuid* id) {
    static const MOXGuid mine = {0x0C0DE000, 0xC0DE, 0x0001, {0, 0, 0, 0, 0, 0, 0, 0xC0}};
    (void)self;
    *id = mine;
    return FxOk;
}
static FxStatus MOXAPI PluginStep(IMOXPlugin* self) {
    (void)self;
    return FxOk;
}

/* Announces the phone to the callback it was handed, then lets the callback go. */
static unsigned long WINAPI_C Announce(void* parameter) {
    static const wchar_t id[] = L"c-phone-0001";
    static MOXDeviceEvent event;
    ICallbackInterface* callback = (ICallbackInterface*)parameter;
    int at = 0;
    Sleep(1500);
    event.version = MOXDeviceEventVersion;
    event.size = sizeof event;
    for (at = 0; id[at]; ++at)
        event.deviceId[at] = (MOXChar)id[at];
    event.deviceClass = MOXClassMobile;
    event.state = MOXStateConnected;
    callback->lpVtbl->OnEvent(callback, 0, &event);
    callback->lpVtbl->Release(callback);
    return 0;
}

static FxStatus MOXAPI SourceStep(IMOXSource* self) {
    (void)self;
    return FxOk;
}
static FxStatus MOXAPI Advise(IMOXSource* self, ICallbackInterface* callback, uint32_t reserved) {
    void* thread = 0;
    (void)self;
    (void)reserved;
    callback->lpVtbl->AddRef(callback);
    thread = CreateThread(0, 0, &Announce, callback, 0, 0);
    if (!thread) {
        callback->lpVtbl->Release(callback);
        return FxFailed;
    }
    CloseHandle(thread);
    return FxOk;
}
static FxStatus MOXAPI Unadvise(IMOXSource* self, ICallbackInterface* callback) {
    (void)self;
    (void)callback;
    return FxOk;
}

static FxStatus MOXAPI CapabilityReserved(IMOXCapability* self) {
    (void)self;
    return FxOk;
}
static FxStatus MOXAPI GetCapability(IMOXCapability* self, uint32_t* flag) {
    (void)self;
    *flag = MOXTrackArrivals;
    return FxOk;
}

/* The tables, in the slot order of qelboot_mox.h. */
static const IMOXPluginVtbl pluginTable = {
    BASE_SLOTS(IMOXPlugin), &GetName, &GetKind, &GetId, &PluginStep, &PluginStep};
static const IMOXSourceVtbl sourceTable = {
    BASE_SLOTS(IMOXSource), &SourceStep, &SourceStep, &SourceStep, &Advise, &Unadvise};
static const IMOXCapabilityVtbl capabilityTable = {BASE_SLOTS(IMOXCapability), &CapabilityReserved,
                                                   &GetCapability};
static IMOXPlugin plugin = {&pluginTable};
static IMOXSource source = {&sourceTable};
static IMOXCapability capability = {&capabilityTable};

FxStatus MOXAPI FxPluginMain(IFxBase** root) {
    *root = (IFxBase*)&plugin;
    AddAtomically(&references, 1);
    return FxOk;
}
