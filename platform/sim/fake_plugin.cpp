// fake_plugin.cpp - the simulated machine's scripted .mox plug-ins.
#include "platform/sim/fake_plugin.h"

#include <algorithm>
#include <array>
#include <memory>
#include <stdexcept>
#include <utility>

namespace qel::sim {
namespace {

// FxPluginMain takes no context, so each fake plug-in of a machine gets an entry point of its own: one
// instance of EntryPoint per slot, each forwarding to the plug-in placed in that slot.
constexpr std::size_t kEntrySlots = 64;
std::array<FakePlugin*, kEntrySlots> entrySlots{};

template <std::size_t Slot> FxStatus MOXAPI EntryPoint(IFxBase** root) {
    return entrySlots[Slot]->Main(root);
}

template <std::size_t... Slots> constexpr auto MakeEntryPoints(std::index_sequence<Slots...>) {
    return std::array<FxPluginMainFunction, sizeof...(Slots)>{&EntryPoint<Slots>...};
}
constexpr auto entryPoints = MakeEntryPoints(std::make_index_sequence<kEntrySlots>());

} // namespace

MOXGuid FakePluginId(std::uint32_t idNumber) {
    return MOXGuid{idNumber, 0x5A17, 0x4E3B, {0x9C, 0x21, 0x6F, 0x0D, 0x84, 0x3E, 0xB2, 0x77}};
}

MOXDeviceEvent MakeDeviceEvent(std::uint32_t deviceClass, const std::wstring& deviceId, std::uint32_t state) {
    MOXDeviceEvent event{};
    event.version = MOXDeviceEventVersion;
    event.size = sizeof(MOXDeviceEvent);
    std::copy_n(deviceId.begin(), std::min<std::size_t>(deviceId.size(), MOXNameChars - 1), event.deviceId);
    event.deviceClass = deviceClass;
    event.state = state;
    return event;
}

FakePlugin::FakePlugin(FakePluginSetup setup, std::size_t entrySlot)
    : setup_(std::move(setup)), entrySlot_(entrySlot) {}

void FakePlugin::MaybeThrow(PluginSlot slot) {
    if (!path_.empty() && !Machine::Current().IsLoaded(path_))
        ++callsWhileUnloaded;
    if (setup_.throws != slot)
        return;
    if (setup_.raises != 0)
        throw RaisedException{setup_.raises};
    throw std::runtime_error("the plug-in failed");
}

void* FakePlugin::Function(const std::string& name) {
    if (name != "FxPluginMain" || !setup_.exportsMain)
        return nullptr;
    return reinterpret_cast<void*>(entryPoints[entrySlot_]);
}

FxStatus FakePlugin::Main(IFxBase** root) {
    MaybeThrow(PluginSlot::Main);
    if (setup_.nullRoot) {
        *root = nullptr;
        return FxFailed;
    }
    *root = static_cast<IMOXPlugin*>(this);
    AddRef();
    return FxOk;
}

std::int32_t FakePlugin::QueryInterface(std::int32_t number, void** out) {
    MaybeThrow(PluginSlot::QueryInterface);
    void* found = nullptr;
    if (number == MOXPluginInterfaceNumber && setup_.pluginInterface)
        found = static_cast<IMOXPlugin*>(this);
    else if (number == MOXSourceInterfaceNumber && setup_.sourceInterface)
        found = static_cast<IMOXSource*>(this);
    else if (number == MOXCapabilityInterfaceNumber && setup_.capabilityInterface)
        found = static_cast<IMOXCapability*>(this);
    *out = found;
    if (!found)
        return 0;
    AddRef();
    return 1;
}

std::uint32_t FakePlugin::AddRef() { return ++references_; }

std::uint32_t FakePlugin::Release() {
    MaybeThrow(PluginSlot::Release);
    return --references_; // the machine owns the object
}

FxStatus FakePlugin::GetName(char16_t* buffer, std::int32_t maxChars) {
    MaybeThrow(PluginSlot::GetName);
    const std::size_t length = std::min<std::size_t>(setup_.name.size(), static_cast<std::size_t>(maxChars));
    std::copy_n(setup_.name.begin(), length, buffer);
    buffer[length] = u'\0';
    return FxOk;
}

std::uint32_t FakePlugin::GetKind() {
    MaybeThrow(PluginSlot::GetKind);
    return setup_.kind;
}

FxStatus FakePlugin::GetId(MOXGuid* id) {
    MaybeThrow(PluginSlot::GetId);
    *id = FakePluginId(setup_.idNumber);
    return FxOk;
}

FxStatus FakePlugin::OnLoad() {
    MaybeThrow(PluginSlot::OnLoad);
    ++onLoadCalls;
    return FxOk;
}

FxStatus FakePlugin::OnUnload() {
    MaybeThrow(PluginSlot::OnUnload);
    ++onUnloadCalls;
    return FxOk;
}

FxStatus FakePlugin::Open() {
    MaybeThrow(PluginSlot::Open);
    return setup_.openResult;
}

FxStatus FakePlugin::Advise(ICallbackInterface* callback, std::uint32_t) {
    MaybeThrow(PluginSlot::Advise);
    if (setup_.adviseResult == FxOk)
        advised_ = callback;
    return setup_.adviseResult;
}

FxStatus FakePlugin::Unadvise(ICallbackInterface* callback) {
    MaybeThrow(PluginSlot::Unadvise);
    ++unadviseCalls;
    if (advised_ == callback)
        advised_ = nullptr;
    return FxOk;
}

FxStatus FakePlugin::GetCapability(std::uint32_t* flag) {
    MaybeThrow(PluginSlot::GetCapability);
    *flag = setup_.capability;
    return FxOk;
}

void FakePlugin::RaiseOnOwnThread(std::vector<MOXDeviceEvent> events) {
    batches_.push_back(std::make_unique<EventBatch>(EventBatch{this, std::move(events)}));
    // The plug-in's own thread: not one of the library's calls, so never made to fail.
    Machine::Current().StartThread(&EventThread, batches_.back().get());
}

std::uint32_t QELBOOT_WINAPI FakePlugin::EventThread(void* batch) {
    const auto& [plugin, events] = *static_cast<EventBatch*>(batch);
    for (MOXDeviceEvent event : events) {
        if (plugin->advised_)
            plugin->advised_->OnEvent(0, &event);
    }
    return 0;
}

FakePlugin& AddFakePlugin(const std::wstring& path, FakePluginSetup setup) {
    static std::size_t nextSlot = 0;
    const std::size_t slot = nextSlot++ % kEntrySlots;
    auto plugin = std::make_shared<FakePlugin>(std::move(setup), slot);
    entrySlots[slot] = plugin.get();
    plugin->path_ = path;
    Machine::Current().AddLibrary(path, plugin);
    return *plugin;
}

} // namespace qel::sim
