// WIA's device list (identifiers, types, unreadable entries) changing between connection events of any
// device identifier, seen by the WIA tracker.
#include "fuzz_input.h"

namespace {

using namespace qel;
const wchar_t* const kIds[] = {L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001", L"cam", L""};
const std::uint32_t kKinds[] = {0x00010001, 0x00020000, 0x00030000, 0};

std::optional<std::wstring> Id(fuzz::Input& in) {
    if (in.Below(8) == 0)
        return std::nullopt;
    return in.Bool() ? std::wstring(in.Pick(kIds)) : in.Text(300);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    fuzz::Run run;
    sim::Machine& m = run.machine();
    m.SetVersion(in.Bool() ? 5 : 6, in.Bool() ? 1 : 0, 1);
    sim::FakePluginSetup gate;
    gate.capability = 0;
    sim::AddFakePlugin(L"C:\\moxplugins\\nokiamanager.mox", gate);
    m.RemoveModule(L"sti.dll");
    if (in.Below(8) == 0) {
        m.SetWiaMissing(in.Bool());
        m.RefuseWiaRegistration(in.Bool());
    }
    InitialiseLibraryState();
    RegisterDeviceConnectCallback(&fuzz::RecordDevice);
    StartDeviceConnectService();
    m.RunFor(100);
    for (int steps = in.Below(8); steps > 0 && !in.Done(); --steps) {
        auto& devices = m.WiaDevices();
        switch (in.Below(4)) {
        case 0:
            devices.push_back(
                {Id(in), in.Bool() ? in.Pick(kKinds) : in.Number<std::uint32_t>(), in.Below(4) != 0});
            break;
        case 1:
            if (!devices.empty())
                devices.erase(devices.begin() + in.Below(devices.size()));
            break;
        case 2:
            m.FailWiaEnumeration(in.Bool());
            break;
        default:
            m.RaiseWiaConnection(Id(in));
            m.RunFor(20);
        }
    }
    m.RunFor(100);
    // The trackers keep WIA's manager and registration and the still-image object; nothing else stays.
    FUZZ_CHECK(m.ComObjectCount() <= 3);
    for (const auto& [type, id] : fuzz::Seen())
        FUZZ_CHECK(type == L"camera" || type == L"scanner");
    return 0;
}
