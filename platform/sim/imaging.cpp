// imaging.cpp - the simulated COM, WIA device manager, Still Image service and TWAIN source manager.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sim/machine.h"

namespace qel::sim {
namespace {

constexpr long kClassNotRegistered = static_cast<long>(0x80040154);
constexpr long kNotImplemented = static_cast<long>(0x80004001);

// What sti.dll's StiCreateInstance is in the simulation: only its address is used.
long QELBOOT_WINAPI SimStiCreateInstance(void*, std::uint32_t, void**, void*) { return os::kEFail; }

std::uint16_t QELBOOT_WINAPI SimDsmEntry(twain::TW_IDENTITY* origin, twain::TW_IDENTITY*,
                                         std::uint32_t dataGroup, std::uint16_t dataType,
                                         std::uint16_t message, void* data) {
    return Machine::Current().DsmEntry(origin, dataGroup, dataType, message, data);
}

} // namespace

using ComRecord = ImagingState::ComRecord;

void* StiCreateInstanceAddress() { return reinterpret_cast<void*>(&SimStiCreateInstance); }

long Machine::ComInitialize() {
    ++imaging_.comApartments;
    return os::kSOk;
}

void Machine::ReleaseComObject(os::ComObject object) {
    imaging_.comObjects.erase(static_cast<std::uintptr_t>(object));
}

long Machine::CreateWiaDeviceManager(os::ComObject* manager) {
    if (imaging_.wiaMissing || imaging_.comApartments <= 0)
        return kClassNotRegistered;
    *manager = imaging_.Add(ComRecord{ComRecord::Manager});
    return os::kSOk;
}

long Machine::RegisterWiaEvent(os::ComObject, os::WiaEventSink* sink, os::ComObject* registration) {
    if (imaging_.refuseWiaRegistration)
        return kNotImplemented;
    sink->AddRef();
    *registration = imaging_.Add(ComRecord{ComRecord::Registration, 0, sink, CurrentThread()});
    return os::kSOk;
}

void Machine::RaiseWiaConnection(const std::optional<std::wstring>& deviceId) {
    for (const auto& [raw, record] : imaging_.comObjects) {
        if (record.kind != ComRecord::Registration)
            continue;
        os::WiaEventSink* const sink = record.sink;
        PostCall(record.thread, [sink, deviceId] {
            sink->ImageEventCallback(os::kWiaEventDeviceConnected, deviceId ? deviceId->c_str() : nullptr);
        });
    }
}

long Machine::EnumWiaDevices(os::ComObject, os::ComObject* enumerator) {
    if (imaging_.failWiaEnumeration)
        return os::kEFail;
    *enumerator = imaging_.Add(ComRecord{ComRecord::DeviceList});
    return os::kSOk;
}

long Machine::NextWiaDevice(os::ComObject enumerator, os::ComObject* storage) {
    const auto list = imaging_.comObjects.find(static_cast<std::uintptr_t>(enumerator));
    if (list == imaging_.comObjects.end())
        return os::kEFail;
    if (list->second.position >= imaging_.wiaDevices.size())
        return os::kSFalse;
    const std::size_t device = list->second.position++;
    *storage = imaging_.Add(ComRecord{ComRecord::DeviceStorage, device});
    return os::kSOk;
}

long Machine::ReadWiaDeviceProperties(os::ComObject storage, os::WiaDeviceProperties* properties) {
    const auto found = imaging_.comObjects.find(static_cast<std::uintptr_t>(storage));
    if (found == imaging_.comObjects.end() || found->second.position >= imaging_.wiaDevices.size())
        return os::kEFail;
    const WiaDevice& device = imaging_.wiaDevices[found->second.position];
    if (!device.readable)
        return os::kEFail;
    properties->hasId = device.id.has_value();
    properties->id = device.id.value_or(L"");
    properties->type = device.type;
    return os::kSOk;
}

long Machine::CreateStillImage(void* createInstance, os::ComObject* sti) {
    if (!createInstance) { // Windows calls through the pointer it is given and faults
        std::fprintf(stderr, "os::CreateStillImage called through a null StiCreateInstance\n");
        std::abort();
    }
    if (createInstance != StiCreateInstanceAddress() || imaging_.failStiCreation)
        return os::kEFail;
    *sti = imaging_.Add(ComRecord{ComRecord::StillImage});
    return os::kSOk;
}

long Machine::InitializeStillImage(os::ComObject) {
    return imaging_.failStiInitialization ? os::kEFail : os::kSOk;
}

long Machine::StillImageDevices(os::ComObject, std::vector<os::StiDevice>* devices) {
    if (imaging_.failStiDeviceLists > 0) {
        --imaging_.failStiDeviceLists;
        return os::kEFail;
    }
    *devices = imaging_.stiDevices;
    return os::kSOk;
}

void* Machine::ModuleFunctionByOrdinal(os::Module module, std::uint16_t ordinal) const {
    const auto found = modules_.loaded.find(static_cast<std::uintptr_t>(module));
    if (found == modules_.loaded.end() || found->second.name != L"TWAIN_32.DLL" || ordinal != 1 ||
        imaging_.removeTwainEntry)
        return nullptr;
    return reinterpret_cast<void*>(&SimDsmEntry);
}

std::uint16_t Machine::DsmEntry(twain::TW_IDENTITY* origin, std::uint32_t dataGroup, std::uint16_t dataType,
                                std::uint16_t message, void* data) {
    TwainCall call{dataType, message, origin ? *origin : twain::TW_IDENTITY{}, false};
    if (dataType == twain::DAT_PARENT && data)
        call.parentIsWindow = windows_.Find(*static_cast<os::Window*>(data)) != nullptr;
    imaging_.twainCalls.push_back(call);
    if (dataGroup != twain::DG_CONTROL)
        return twain::TWRC_FAILURE;
    if (dataType == twain::DAT_PARENT)
        return message == twain::MSG_OPENDSM && imaging_.refuseTwainOpen ? twain::TWRC_FAILURE
                                                                         : twain::TWRC_SUCCESS;
    if (dataType != twain::DAT_IDENTITY || !data)
        return twain::TWRC_FAILURE;
    imaging_.twainCursor = message == twain::MSG_GETFIRST ? 0 : imaging_.twainCursor + 1;
    if (imaging_.twainCursor >= imaging_.twainSources.size())
        return twain::TWRC_ENDOFLIST;
    auto& source = *static_cast<twain::TW_IDENTITY*>(data);
    source = twain::TW_IDENTITY{};
    source.Id = static_cast<std::uint32_t>(imaging_.twainCursor + 1);
    const std::string& name = imaging_.twainSources[imaging_.twainCursor];
    // A name as long as the field fills it without a terminator, as a manager may leave it.
    std::memcpy(source.ProductName, name.data(), std::min(name.size(), sizeof source.ProductName));
    return twain::TWRC_SUCCESS;
}

} // namespace qel::sim

namespace qel::os {

long ComInitialize() { return sim::SeamFault() ? kEFail : sim::Machine::Current().ComInitialize(); }
void ComUninitialize() { sim::Machine::Current().ComUninitialize(); }
void ReleaseComObject(ComObject object) { sim::Machine::Current().ReleaseComObject(object); }
long CreateWiaDeviceManager(ComObject* manager) {
    return sim::SeamFault() ? kEFail : sim::Machine::Current().CreateWiaDeviceManager(manager);
}
long RegisterWiaEvent(ComObject manager, const Guid&, WiaEventSink* sink, ComObject* registration) {
    return sim::SeamFault() ? kEFail : sim::Machine::Current().RegisterWiaEvent(manager, sink, registration);
}
long EnumWiaDevices(ComObject manager, ComObject* enumerator) {
    return sim::SeamFault() ? kEFail : sim::Machine::Current().EnumWiaDevices(manager, enumerator);
}
long ResetWiaDevices(ComObject) { return sim::SeamFault() ? kEFail : kSOk; }
long NextWiaDevice(ComObject enumerator, ComObject* storage) {
    return sim::SeamFault() ? kEFail : sim::Machine::Current().NextWiaDevice(enumerator, storage);
}
long ReadWiaDeviceProperties(ComObject storage, WiaDeviceProperties* properties) {
    return sim::SeamFault() ? kEFail : sim::Machine::Current().ReadWiaDeviceProperties(storage, properties);
}
long CreateStillImage(void* createInstance, Module, std::uint32_t, ComObject* sti) {
    return sim::SeamFault() ? kEFail : sim::Machine::Current().CreateStillImage(createInstance, sti);
}
long InitializeStillImage(ComObject sti, Module, std::uint32_t) {
    return sim::SeamFault() ? kEFail : sim::Machine::Current().InitializeStillImage(sti);
}
long StillImageDevices(ComObject sti, std::vector<StiDevice>* devices) {
    return sim::SeamFault() ? kEFail : sim::Machine::Current().StillImageDevices(sti, devices);
}
void* ModuleFunctionByOrdinal(Module module, std::uint16_t ordinal) {
    return sim::SeamFault() ? nullptr : sim::Machine::Current().ModuleFunctionByOrdinal(module, ordinal);
}
std::wstring WidenAnsi(const char* text, std::size_t maxChars) {
    // The simulated ANSI code page is Latin-1.
    std::wstring wide;
    for (; *text && wide.size() < maxChars; ++text)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return wide;
}

} // namespace qel::os
