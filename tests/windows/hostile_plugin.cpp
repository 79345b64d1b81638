// hostile_plugin.cpp - a .mox plug-in that misbehaves in one call, as plug-ins from elsewhere may:
// HOSTILE_SLOT 1 writes through a null pointer in GetName, 2 raises what an MSVC throw raises in Open, 3
// throws a C++ exception from OnUnload. HOSTILE_ID is its identifier's last byte. Otherwise it is a plug-in
// with one source that reports arrivals and never reports a device.
#include <windows.h>

#include <stdexcept>
#include <string>

#include "qelboot_mox.h"

namespace {

class HostilePlugin final : public IMOXPlugin, public IMOXSource, public IMOXCapability {
public:
    std::int32_t MOXAPI QueryInterface(std::int32_t number, void** out) override {
        *out = nullptr;
        if (number == MOXPluginInterfaceNumber)
            *out = static_cast<IMOXPlugin*>(this);
        else if (number == MOXSourceInterfaceNumber)
            *out = static_cast<IMOXSource*>(this);
        else if (number == MOXCapabilityInterfaceNumber)
            *out = static_cast<IMOXCapability*>(this);
        return *out ? 1 : 0;
    }
    std::uint32_t MOXAPI AddRef() override { return 1; }
    std::uint32_t MOXAPI Release() override { return 1; }
    FxStatus MOXAPI GetName(char16_t* buffer, std::int32_t) override {
        if (HOSTILE_SLOT == 1) {
            volatile int* volatile nowhere = nullptr;
            *nowhere = 1;
        }
        std::char_traits<char16_t>::copy(buffer, u"Hostile", 8);
        return FxOk;
    }
    std::uint32_t MOXAPI GetKind() override { return 0; }
    FxStatus MOXAPI GetId(MOXGuid* id) override {
        *id = MOXGuid{0x0BAD0BAD, 0x7C21, 0x4B6A, {0x9E, 0x10, 0x2F, 0x6D, 0x51, 0xC3, 0x88, HOSTILE_ID}};
        return FxOk;
    }
    FxStatus MOXAPI OnLoad() override { return FxOk; }
    FxStatus MOXAPI OnUnload() override {
        if (HOSTILE_SLOT == 3)
            throw std::runtime_error("cannot unload");
        return FxOk;
    }
    FxStatus MOXAPI Open() override {
        if (HOSTILE_SLOT == 2) {
            const ULONG_PTR thrown[3] = {0x19930520, 0, 0};
            ::RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 3, thrown);
        }
        return FxOk;
    }
    FxStatus MOXAPI Reserved1() override { return FxFailed; }
    FxStatus MOXAPI Reserved2() override { return FxFailed; }
    FxStatus MOXAPI Advise(ICallbackInterface*, std::uint32_t) override { return FxOk; }
    FxStatus MOXAPI Unadvise(ICallbackInterface*) override { return FxOk; }
    FxStatus MOXAPI Reserved() override { return FxFailed; }
    FxStatus MOXAPI GetCapability(std::uint32_t* flag) override {
        *flag = MOXTrackArrivals;
        return FxOk;
    }
};

HostilePlugin plugin;

} // namespace

extern "C" FxStatus MOXAPI FxPluginMain(IFxBase** root) {
    *root = static_cast<IMOXPlugin*>(&plugin);
    return FxOk;
}
