// WIA's device list (identifiers, types, unreadable entries) changing between connection events of any
// device identifier, seen by the WIA tracker.
#include "fuzz_input.h"

using namespace qel;

namespace {

std::optional<std::wstring> Id(fuzz::Input& in) {
    static const wchar_t* const kIds[] = {L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001", L"cam", L""};
    if (in.Below(8) == 0)
        return std::nullopt;
    return in.Likely(kIds, 300);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::uint32_t kKinds[] = {0x00010001, 0x00020000, 0x00030000, 0};
    fuzz::Input in(data, size);
    fuzz::Run run;
    sim::Machine& m = run.m;
    const std::uint32_t major = in.Bool() ? 5 : 6, minor = in.Bool() ? 1 : 0;
    m.RemoveModule(L"sti.dll");
    if (in.Below(8) == 0) {
        m.SetWiaMissing(in.Bool());
        m.RefuseWiaRegistration(in.Bool());
    }
    fuzz::DeviceSide(run, major, minor, false,
                     [&] {
                         m.RunFor(100);
                         for (int steps = in.Below(8); steps > 0 && !in.Done(); --steps) {
                             auto& devices = m.WiaDevices();
                             switch (in.Below(4)) {
                             case 0: {
                                 auto id = Id(in);
                                 const std::uint32_t kind =
                                     in.Bool() ? in.Pick(kKinds) : in.Number<std::uint32_t>();
                                 devices.push_back({std::move(id), kind, in.Below(4) != 0});
                                 break;
                             }
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
                     },
                     {L"camera|", L"scanner|"});
    return 0;
}
