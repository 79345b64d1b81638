// Still-image device lists that change between device-node changes, their "TwainDS" values of any type and
// size, and the TWAIN manager's data-source identities, seen by the STI tracker and its TWAIN question.
#include "fuzz_input.h"

namespace {

using namespace qel;
const wchar_t* const kDevices[] = {L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001", L"dev", L"", L"..\\x"};
const wchar_t* const kSources[] = {L"Scanner DS", L"WIA-Scanner DS", L"wia-",
                                   L"0123456789012345678901234567890123"};
const std::uint32_t kKinds[] = {0x00010001, 0x00020000, 0x00030000, 0};

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (const wchar_t c : text)
        narrow += static_cast<char>(c);
    return narrow;
}

void AddDevice(fuzz::Input& in, sim::Machine& m) {
    const std::wstring name = in.Bool() ? in.Pick(kDevices) : in.Text(300);
    m.StiDevices().push_back(os::StiDevice{in.Bool() ? in.Pick(kKinds) : in.Number<std::uint32_t>(), name});
    if (in.Bool())
        m.SetValue(os::Hive::LocalMachine,
                   L"SYSTEM\\CurrentControlSet\\Control\\Class\\" + name + L"\\DeviceData", L"TwainDS",
                   in.Bool() ? os::kRegSz : in.ValueType(), in.ValueBytes(in.Pick(kSources)));
    if (in.Bool())
        m.WiaDevices().push_back({name, in.Pick(kKinds), in.Bool()});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    fuzz::Run run;
    sim::Machine& m = run.machine();
    m.SetVersion(in.Bool() ? 5 : 6, in.Below(2u), 1);
    sim::FakePluginSetup gate;
    gate.capability = 0;
    sim::AddFakePlugin(L"C:\\moxplugins\\nokiamanager.mox", gate);
    for (int count = in.Below(6); count > 0; --count)
        m.TwainSources().push_back(Narrow(in.Bool() ? in.Pick(kSources) : in.Text(40)));
    if (in.Below(8) == 0) {
        m.FailStiCreation(in.Bool());
        m.FailStiInitialization(in.Bool());
        m.RemoveTwainEntry(in.Bool());
        m.RefuseTwainOpen(in.Bool());
        m.SetWiaMissing(in.Bool());
    }
    m.FailStiDeviceLists(in.Below(3u));
    for (int count = in.Below(3); count > 0; --count)
        AddDevice(in, m);
    InitialiseLibraryState();
    RegisterDeviceConnectCallback(&fuzz::RecordDevice);
    StartDeviceConnectService();
    m.RunFor(100);
    for (int changes = in.Below(6); changes > 0 && !in.Done(); --changes) {
        if (in.Bool() && !m.StiDevices().empty())
            m.StiDevices().erase(m.StiDevices().begin() + in.Below(m.StiDevices().size()));
        else
            AddDevice(in, m);
        os::PostWindowMessage(m.FindWindowByTitle(L"STITrackerWindow"), os::kWmDeviceChange,
                              in.Below(4) ? os::kDbtDevNodesChanged : in.Number<std::uint16_t>(), 0);
        m.RunFor(50);
    }
    // The trackers keep WIA's manager and registration and the still-image object; nothing else stays.
    FUZZ_CHECK(m.ComObjectCount() <= 3);
    // The TWAIN manager is closed again after each question, its window gone.
    std::size_t opens = 0, closes = 0;
    for (const auto& call : m.TwainCalls()) {
        opens += call.message == twain::MSG_OPENDSM;
        closes += call.message == twain::MSG_CLOSEDSM;
    }
    FUZZ_CHECK(opens == closes && m.FindWindowByTitle(L"TWAINTrackerWindow") == os::kNoWindow);
    for (const auto& [type, id] : fuzz::Seen())
        FUZZ_CHECK(type == L"camera" || type == L"scanner");
    return 0;
}
