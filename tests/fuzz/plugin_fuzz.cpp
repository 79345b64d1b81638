// Plug-ins scripted by the input (names, identifiers, kinds, which interfaces they answer, how their calls
// answer or fail, their capability, a change of answers while loaded, and the events they raise) in front of
// the plug-in host and tracker of the device-connect service.
#include "fuzz_input.h"

using namespace qel;

namespace {

sim::FakePluginSetup Script(fuzz::Input& in) {
    static const FxStatus kResults[] = {FxOk, FxOk, FxFailed, FxException, FxInvalid, FxEnd, 1};
    sim::FakePluginSetup s;
    s.name = in.Bool() ? L"Phone" : in.Text(300);
    s.idNumber = in.Below(4u);
    s.kind = in.Number<std::uint32_t>();
    s.exportsMain = in.Below(8) != 0;
    s.nullRoot = in.Below(8) == 0;
    s.pluginInterface = in.Below(8) != 0;
    s.sourceInterface = in.Below(8) != 0;
    s.capabilityInterface = in.Below(8) != 0;
    s.openResult = in.Pick(kResults);
    s.adviseResult = in.Pick(kResults);
    s.capability = in.Bool() ? MOXTrackArrivals : in.Number<std::uint32_t>();
    if (in.Below(4) == 0) {
        s.throws = static_cast<sim::PluginSlot>(in.Below(13));
        s.raises = in.Bool() ? 0xC0000005 : 0;
    }
    return s;
}

MOXDeviceEvent Event(fuzz::Input& in) {
    MOXDeviceEvent event = sim::MakeDeviceEvent(in.Below(10u), in.Text(270), in.Below(3u));
    if (in.Below(8) == 0)
        std::fill(std::begin(event.deviceId), std::end(event.deviceId), u'7');
    if (in.Below(8) == 0) {
        event.version = in.Number<std::uint32_t>();
        event.size = in.Number<std::uint32_t>();
    }
    return event;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const wchar_t* const kFiles[] = {L"nokiamanager.mox", L"nokiamanager.mox", L"a.mox",
                                            L"extra.mox\\b.mox", L"tools\\c.mox",     L"d.dll"};
    static const wchar_t* const kTypes[] = {L"unknown|", L"camera|", L"mobile|", L"scanner|",
                                            L"video|",   L"audio|",  L"volume|", L"archive|"};
    fuzz::Input in(data, size);
    fuzz::Run run;
    sim::Machine& m = run.m;
    std::vector<sim::FakePlugin*> plugins;
    for (int count = 1 + in.Below(4); count > 0; --count) {
        const std::wstring path = std::wstring(L"C:\\moxplugins\\") + in.Pick(kFiles);
        if (!m.FileExists(path))
            plugins.push_back(&sim::AddFakePlugin(path, Script(in)));
    }
    fuzz::DeviceSide(
        run, 6, 1, true,
        [&] { // only the plug-in tracker starts
            m.RunFor(in.Below(2000u));
            // Answers change while the plug-ins are loaded, and events come from the plug-ins' own threads.
            for (int changes = in.Below(3); changes > 0; --changes)
                plugins[in.Below(plugins.size())]->setup() = Script(in);
            for (auto* plugin : plugins) {
                std::vector<MOXDeviceEvent> events(in.Below(4));
                for (auto& event : events)
                    event = Event(in);
                if (!events.empty())
                    plugin->RaiseOnOwnThread(std::move(events));
            }
            m.RunFor(1000);
        },
        kTypes);
    for (const auto& device : fuzz::heard)
        FUZZ_CHECK(device.size() - device.find(L'|') - 1 <= MOXNameChars);
    for (const auto* plugin : plugins)
        FUZZ_CHECK(plugin->callsWhileUnloaded == 0);
    return 0;
}
