// fake_plugin.h - scripted .mox plug-ins behind library files, behaving well or failing as plug-ins can.
#ifndef QELBOOT_PLATFORM_SIM_FAKE_PLUGIN_H
#define QELBOOT_PLATFORM_SIM_FAKE_PLUGIN_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/machine.h"
#include "qelboot_mox.h"

namespace qel::sim {

// The plug-in operations that can be made to throw or raise.
enum class PluginSlot {
    None,
    Main,
    QueryInterface,
    Release,
    GetName,
    GetKind,
    GetId,
    OnLoad,
    OnUnload,
    Open,
    Advise,
    Unadvise,
    GetCapability,
};

struct FakePluginSetup {
    std::wstring name = L"Fake Phone Manager";
    std::uint32_t idNumber = 1; // the identifier's first four bytes; the rest are fixed
    std::uint32_t kind = 0x4D4F58;
    bool exportsMain = true;
    bool nullRoot = false;
    bool pluginInterface = true; // interface numbers answered
    bool sourceInterface = true;
    bool capabilityInterface = true;
    FxStatus openResult = FxOk;
    FxStatus adviseResult = FxOk;
    std::uint32_t capability = MOXTrackArrivals;
    PluginSlot throws = PluginSlot::None;
    std::uint32_t raises = 0; // non-zero: `throws` raises this structured exception instead of throwing
};

MOXGuid FakePluginId(std::uint32_t idNumber);

// An event as a phone manager would report it.
MOXDeviceEvent MakeDeviceEvent(std::uint32_t deviceClass, const std::wstring& deviceId,
                               std::uint32_t state = MOXStateConnected);

class FakePlugin : public IMOXPlugin, public IMOXSource, public IMOXCapability, public Machine::Library {
public:
    FakePlugin(FakePluginSetup setup, std::size_t entrySlot);

    std::int32_t MOXAPI QueryInterface(std::int32_t number, void** out) override;
    std::uint32_t MOXAPI AddRef() override;
    std::uint32_t MOXAPI Release() override;
    FxStatus MOXAPI GetName(char16_t* buffer, std::int32_t maxChars) override;
    std::uint32_t MOXAPI GetKind() override;
    FxStatus MOXAPI GetId(MOXGuid* id) override;
    FxStatus MOXAPI OnLoad() override;
    FxStatus MOXAPI OnUnload() override;
    FxStatus MOXAPI Open() override;
    FxStatus MOXAPI Reserved1() override { return FxOk; }
    FxStatus MOXAPI Reserved2() override { return FxOk; }
    FxStatus MOXAPI Advise(ICallbackInterface* callback, std::uint32_t reserved) override;
    FxStatus MOXAPI Unadvise(ICallbackInterface* callback) override;
    FxStatus MOXAPI Reserved() override { return FxOk; }
    FxStatus MOXAPI GetCapability(std::uint32_t* flag) override;

    void* Function(const std::string& name) override;
    FxStatus Main(IFxBase** root);

    // Calls the advised callback's OnEvent from a thread of the plug-in's own, once for each event in order.
    void RaiseOnOwnThread(std::vector<MOXDeviceEvent> events);

    FakePluginSetup& setup() { return setup_; } // may change while loaded
    std::uint32_t references() const { return references_; }
    ICallbackInterface* advised() const { return advised_; }
    int onLoadCalls = 0;
    int onUnloadCalls = 0;
    int unadviseCalls = 0;
    int callsWhileUnloaded = 0; // slots called while the module was not loaded: code that would not be there

private:
    void MaybeThrow(PluginSlot slot);
    friend FakePlugin& AddFakePlugin(const std::wstring& path, FakePluginSetup setup);
    static std::uint32_t QELBOOT_WINAPI EventThread(void* batch);

    FakePluginSetup setup_;
    std::wstring path_;
    std::size_t entrySlot_;
    std::atomic<std::uint32_t> references_{0};
    ICallbackInterface* advised_ = nullptr;
    // Each raising thread's events, kept for as long as the plug-in, as a thread may outlive its source.
    struct EventBatch {
        FakePlugin* plugin;
        std::vector<MOXDeviceEvent> events;
    };
    std::vector<std::unique_ptr<EventBatch>> batches_;
};

// A fake plug-in as a library file at `path` of the current machine, which owns it.
FakePlugin& AddFakePlugin(const std::wstring& path, FakePluginSetup setup = {});

} // namespace qel::sim

#endif // QELBOOT_PLATFORM_SIM_FAKE_PLUGIN_H
