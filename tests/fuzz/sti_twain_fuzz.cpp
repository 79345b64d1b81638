// Still-image device lists that change between device-node changes, their "TwainDS" values of any type and
// size, and the TWAIN manager's data-source identities, seen by the STI tracker and its TWAIN question.
#include "fuzz_input.h"

using namespace qel;

namespace {

const wchar_t* const kSources[] = {L"Scanner DS", L"WIA-Scanner DS", L"wia-",
                                   L"0123456789012345678901234567890123"};
const std::uint32_t kKinds[] = {0x00010001, 0x00020000, 0x00030000, 0};

void AddDevice(fuzz::Input& in, sim::Machine& m) {
    static const wchar_t* const kDevices[] = {L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001", L"dev", L"",
                                              L"..\\x"};
    const std::wstring name = in.Likely(kDevices, 300);
    const std::uint32_t kind = in.Bool() ? in.Pick(kKinds) : in.Number<std::uint32_t>();
    m.StiDevices().push_back(os::StiDevice{kind, name});
    if (in.Bool()) {
        const std::uint32_t type = in.Bool() ? os::kRegSz : in.ValueType();
        m.SetValue(os::Hive::LocalMachine,
                   L"SYSTEM\\CurrentControlSet\\Control\\Class\\" + name + L"\\DeviceData", L"TwainDS", type,
                   in.ValueBytes(in.Pick(kSources)));
    }
    if (in.Bool())
        m.WiaDevices().push_back({name, in.Pick(kKinds), in.Bool()});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    fuzz::Run run;
    sim::Machine& m = run.m;
    const std::uint32_t major = in.Bool() ? 5 : 6, minor = in.Below(2u);
    for (int count = in.Below(6); count > 0; --count) {
        const std::wstring name = in.Likely(kSources, 40);
        m.TwainSources().push_back(std::string(name.begin(), name.end()));
    }
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
    fuzz::DeviceSide(
        run, major, minor, false,
        [&] {
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
        },
        {L"camera|", L"scanner|"});
    return 0;
}
