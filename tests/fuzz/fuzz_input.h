// fuzz_input.h - what every fuzz target shares: the input read as typed choices, and one driver for each kind
// of input: the host's registrations around one that is always listed, and the device-connect service running
// while devices come.
#ifndef QELBOOT_TESTS_FUZZ_FUZZ_INPUT_H
#define QELBOOT_TESTS_FUZZ_FUZZ_INPUT_H

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "deviceconnect/mox/mox_tracker.h"
#include "deviceconnect/startup/library_load.h"
#include "platform/sim/fake_plugin.h"
#include "platform/sim/machine.h"
#include "platform/utf16.h"
#include "qelboot.h"

namespace qel::fuzz {

// A broken invariant is a finding like a sanitizer's report.
[[noreturn]] inline void Broken(const char* file, int line, const char* invariant) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, invariant);
    std::abort();
}
#define FUZZ_CHECK(condition) ((condition) ? void() : qel::fuzz::Broken(__FILE__, __LINE__, #condition))

class Input : public FuzzedDataProvider {
public:
    using FuzzedDataProvider::FuzzedDataProvider;
    bool Done() { return remaining_bytes() == 0; }
    bool Bool() { return ConsumeBool(); }
    template <typename T> T Number() { return ConsumeIntegral<T>(); }
    template <typename T> T Below(T count) {
        return count == 0 ? 0 : ConsumeIntegralInRange<T>(0, count - 1);
    }
    template <typename T, std::size_t N> const T& Pick(const T (&choices)[N]) { return choices[Below(N)]; }
    // Mostly characters that mean something to paths, lists and command lines, sometimes any UTF-16 unit.
    std::wstring Text(std::size_t maxChars) {
        static const wchar_t kAlphabet[] = L"aB.\\ \"-:*?/jpgJPG0,%s\t\xE9\xFF";
        std::wstring text(Below(maxChars + 1), L'a');
        for (wchar_t& c : text) {
            const auto pick = Number<std::uint8_t>();
            c = pick < 224 ? kAlphabet[pick % (std::size(kAlphabet) - 1)]
                           : static_cast<wchar_t>(Number<std::uint16_t>());
        }
        return text;
    }
    // One of the likely texts, or any.
    template <std::size_t N> std::wstring Likely(const wchar_t* const (&choices)[N], std::size_t maxChars) {
        return Bool() ? std::wstring(Pick(choices)) : Text(maxChars);
    }
    // A registry value's bytes: a text with or without its terminator, a number of four bytes, or raw.
    std::vector<std::uint8_t> ValueBytes(const std::wstring& likely) {
        switch (Below(4)) {
        case 0:
            return os::Utf16LeBytes(likely, Bool());
        case 1:
            return os::Utf16LeBytes(Text(300), Bool());
        case 2: {
            const auto value = Number<std::uint32_t>();
            return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                    static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
        }
        default:
            return ConsumeBytes<std::uint8_t>(Below<std::size_t>(601));
        }
    }
    std::uint32_t ValueType() {
        static const std::uint32_t kTypes[] = {os::kRegSz, os::kRegDword, 3, 2, 7, 0, 11};
        return Bool() ? Pick(kTypes) : Number<std::uint32_t>();
    }
};

// A registration below SOFTWARE\Quorl\<key> whose programs exist.
inline void AddApplication(sim::Machine& m, const std::wstring& key, const std::wstring& name,
                           const std::wstring& proxy) {
    const std::wstring path = L"SOFTWARE\\Quorl\\" + key + L"\\Quorl Vandrel";
    m.SetString(os::Hive::LocalMachine, path, L"Name", name);
    m.SetString(os::Hive::LocalMachine, path, L"ProxyPath", proxy);
    m.SetString(os::Hive::LocalMachine, path, L"CmdLine", L"C:\\A\\a.exe");
    m.AddFile(proxy);
    m.AddFile(L"C:\\A\\a.exe");
}
// One that is always listed, as an empty list would end the process; its proxy is the calling program.
inline const std::wstring kAnchorKey = L"SOFTWARE\\Quorl\\Anchor\\Quorl Vandrel";
inline void AddAnchor(sim::Machine& m) {
    AddApplication(m, L"Anchor", L"Anchor", L"C:\\A\\p.exe");
    m.SetSelf(L"C:\\A\\p.exe");
}

// Every device the callback heard, as "type|id".
inline std::vector<std::wstring> heard;
inline void Hear(std::wstring& type, std::wstring& id) { heard.push_back(type + L"|" + id); }

// The device side on Windows `major`.`minor`, with a gate plug-in whose source tracks nothing unless the
// target brings its own plug-ins: the service starts as a host starts it after loading the library, and `act`
// brings devices to it. Then what every device road keeps: the trackers hold WIA's manager and registration
// and the still-image object and nothing else, the TWAIN manager is closed again after each question and its
// window gone, the error mode is restored, and only devices of `types` ("type|...") are heard.
template <typename Act>
void DeviceSide(sim::Machine& m, std::uint32_t major, std::uint32_t minor, bool ownPlugins,
                std::initializer_list<const wchar_t*> types, Act act) {
    m.SetVersion(major, minor, 1);
    if (!ownPlugins) {
        sim::FakePluginSetup gate;
        gate.capability = 0;
        sim::AddFakePlugin(L"C:\\moxplugins\\nokiamanager.mox", gate);
    }
    heard.clear();
    InitialiseLibraryState();
    RegisterDeviceConnectCallback(&Hear);
    StartDeviceConnectService();
    act();
    FUZZ_CHECK(m.ComObjectCount() <= 3);
    int twainOpen = m.FindWindowByTitle(L"TWAINTrackerWindow") != os::kNoWindow;
    for (const auto& call : m.TwainCalls())
        twainOpen += (call.message == twain::MSG_OPENDSM) - (call.message == twain::MSG_CLOSEDSM);
    FUZZ_CHECK(twainOpen == 0);
    FUZZ_CHECK(m.ErrorMode() == 0 && m.CriticalErrorBoxes() == 0);
    for (const auto& device : heard) {
        FUZZ_CHECK(std::any_of(types.begin(), types.end(),
                               [&](const wchar_t* type) { return device.rfind(type, 0) == 0; }));
    }
}

} // namespace qel::fuzz

#endif // QELBOOT_TESTS_FUZZ_FUZZ_INPUT_H
