// sim_fixture.h - a fresh simulated machine for every native test, and helpers that write registrations the
// way an application's installer does. Brings GoogleTest, the standard strings and containers, and qelboot.h.
#ifndef QELBOOT_TESTS_NATIVE_SIM_FIXTURE_H
#define QELBOOT_TESTS_NATIVE_SIM_FIXTURE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "deviceconnect/startup/library_load.h"
#include "platform/os.h"
#include "platform/sim/fake_plugin.h"
#include "platform/sim/machine.h"
#include "platform/utf16.h"
#include "qelboot.h"

namespace qel::simtest {

inline constexpr os::Hive kHKLM = os::Hive::LocalMachine;
inline constexpr os::Hive kHKCU = os::Hive::CurrentUser;
inline const std::wstring kMaker = L"SOFTWARE\\Quorl";

inline sim::Machine& TheMachine() { return sim::Machine::Current(); }

// keyPath of the registration below SOFTWARE\Quorl\<appKey>; an empty appKey is the maker key itself.
inline std::wstring RegistrationPath(const std::wstring& appKey) {
    return kMaker + L"\\" + (appKey.empty() ? std::wstring() : appKey + L"\\") + L"Quorl Vandrel";
}

inline std::wstring ProxyFile(const std::wstring& name) { return L"C:\\Apps\\" + name + L"\\Proxy.exe"; }
inline std::wstring ProgramFile(const std::wstring& name) {
    return L"C:\\Apps\\" + name + L"\\" + name + L".exe";
}

// Writes a complete registration (Name, ProxyPath, Desc, CmdLine, Icon) and returns its keyPath. With
// `withFiles` the proxy and the program exist on disk.
inline std::wstring AddApp(const std::wstring& appKey, const std::wstring& name, bool withFiles = true) {
    const std::wstring keyPath = RegistrationPath(appKey);
    auto& m = TheMachine();
    m.SetString(kHKLM, keyPath, L"Name", name);
    m.SetString(kHKLM, keyPath, L"ProxyPath", ProxyFile(name));
    m.SetString(kHKLM, keyPath, L"Desc", name + L" description");
    m.SetString(kHKLM, keyPath, L"CmdLine", ProgramFile(name));
    m.SetString(kHKLM, keyPath, L"Icon", ProgramFile(name) + L", 1");
    if (withFiles) {
        m.AddFile(ProxyFile(name));
        m.AddFile(ProgramFile(name));
    }
    return keyPath;
}

inline void SetFormat(const std::wstring& keyPath, const std::wstring& category, const std::wstring& list) {
    TheMachine().SetString(kHKLM, keyPath + L"\\File Formats", category, list);
}

inline void SetPref(os::Hive hive, const std::wstring& keyPath, const std::wstring& name,
                    std::uint32_t value) {
    TheMachine().SetDword(hive, keyPath + L"\\Preferences", name, value);
}

using Strings = std::vector<std::wstring>;
using Formats = std::vector<std::pair<std::wstring, std::wstring>>;

// The record that AddApp(appKey, name) wrote at `keyPath`, read with the given flag and formats.
inline appInfo_tag RecordOf(const std::wstring& name, const std::wstring& keyPath, std::uint32_t defaultFlag,
                            Formats formats) {
    const std::wstring program = ProgramFile(name);
    return {name, ProxyFile(name),   name + L" description", program, program + L", 1", keyPath, defaultFlag,
            0,    std::move(formats)};
}

// Every field of a record, so that EXPECT_EQ compares whole records and prints them.
inline auto Fields(const appInfo_tag& r) {
    return std::make_tuple(r.name, r.proxyPath, r.desc, r.cmdLine, r.icon, r.keyPath, r.defaultFlag,
                           r.reserved, r.fileFormats);
}

// One text field, the name unless told, of every record.
inline Strings Names(const std::vector<appInfo_tag>& records,
                     std::wstring appInfo_tag::*field = &appInfo_tag::name) {
    Strings values;
    for (const auto& record : records)
        values.push_back(record.*field);
    return values;
}

// A record whose every field holds a value no registration writes, to catch writes that must not happen.
inline appInfo_tag SentinelRecord() {
    return {L"<name>",    L"<proxy>", L"<desc>",
            L"<cmdline>", L"<icon>",  L"<keypath>",
            0x5EED,       0xBEEF,     {{L"<ext>", L"<category>"}}};
}

inline std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// A REG_DWORD value of four bytes, or nothing.
inline std::optional<std::uint32_t> DwordValue(os::Hive hive, const std::wstring& path,
                                               const std::wstring& name) {
    const auto value = TheMachine().GetValue(hive, path, name);
    return value && value->type == os::kRegDword ? TheMachine().GetDword(hive, path, name) : std::nullopt;
}

// The DefaultFlag of the registration at `keyPath` in one hive.
inline std::optional<std::uint32_t> Flag(os::Hive hive, const std::wstring& keyPath) {
    return DwordValue(hive, keyPath + L"\\Preferences", L"DefaultFlag");
}

// How often the library said this debugger line.
inline std::size_t Said(const std::wstring& line) {
    const auto& lines = TheMachine().DebugLines();
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

// The calling process.
inline sim::Machine::Process& Self() { return *TheMachine().FindProcess(sim::Machine::kSelfId); }

// The log-on entry that starts one proxy.
inline const std::wstring kRunKeyPath = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline const std::wstring kRunValueName = L"Quorl Vandrel";

inline void AddRunKey() { TheMachine().CreateKey(kHKLM, kRunKeyPath); }
inline void SetRunEntry(const std::wstring& text) {
    TheMachine().SetString(kHKLM, kRunKeyPath, kRunValueName, text);
}
// The entry's text up to its first null, or nothing when it is missing or not REG_SZ.
inline std::optional<std::wstring> RunEntry() {
    const auto value = TheMachine().GetValue(kHKLM, kRunKeyPath, kRunValueName);
    if (!value || value->type != os::kRegSz)
        return std::nullopt;
    std::wstring text;
    for (std::size_t i = 0; i + 1 < value->bytes.size(); i += 2)
        text += static_cast<wchar_t>(value->bytes[i] | value->bytes[i + 1] << 8);
    return std::wstring(text.c_str());
}

// The older sibling application, installed into `folder` with both of its programs on disk.
inline const std::wstring kSiblingInstallKey = L"SOFTWARE\\Quorl\\Ostrand\\3.0\\Organizer\\ApplicationPath";
inline const std::wstring kSiblingAutoplayKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\Handlers\\"
    L"QuorlOstrandShowPicturesOnArrival";
inline const std::wstring kSiblingDeviceConnect = L"C:\\Ostrand\\OstrandDeviceConnect.exe";
inline void InstallSibling(const std::wstring& folder = L"C:\\Ostrand") {
    TheMachine().SetString(kHKLM, kSiblingInstallKey, L"", folder);
    TheMachine().AddFile(folder + L"\\OstrandDeviceConnect.exe");
    TheMachine().AddFile(folder + L"\\OstProxy.exe");
}

// The sibling's device-connect program started with one argument.
inline Strings SiblingCommand(const std::wstring& argument) {
    return {kSiblingDeviceConnect, Quoted(kSiblingDeviceConnect), argument};
}

// Expects exactly these starts, each as its program followed by its arguments, and each in `mode`.
inline void ExpectSpawns(const std::vector<Strings>& commands, os::SpawnMode mode) {
    std::vector<Strings> spawned;
    for (const auto& spawn : TheMachine().Spawns()) {
        spawned.push_back(Strings{spawn.program});
        spawned.back().insert(spawned.back().end(), spawn.argv.begin(), spawn.argv.end());
        EXPECT_EQ(mode, spawn.mode);
    }
    EXPECT_EQ(commands, spawned);
}

// Registry calls that one MaintainOrder makes on the machine as it stands; run on a settled machine (after a
// first load has created the per-user keys) the count repeats exactly.
inline std::size_t MaintainOrderRegistryCalls() {
    CQELBootInformationHandler probe;
    const std::size_t before = TheMachine().RegistryCallCount();
    probe.MaintainOrder();
    return TheMachine().RegistryCallCount() - before;
}

// A gate plug-in whose source tracks nothing: the plug-in tracker's thread ends at once instead of retrying
// every minute, so that the machine can fall idle.
inline void QuietPluginTracker() {
    sim::FakePluginSetup gate;
    gate.capability = 0;
    sim::AddFakePlugin(L"C:\\moxplugins\\nokiamanager.mox", gate);
}

// A still-image device, listed by the still-image service, whose driver names a TWAIN data source.
inline const std::wstring kScanner = L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001";
constexpr std::uint32_t kScannerType = 0x00010001, kCameraType = 0x00020000;
inline void AddSti(const std::wstring& name, std::uint32_t type, const wchar_t* twainSource) {
    TheMachine().StiDevices().push_back(os::StiDevice{type, name});
    TheMachine().SetString(kHKLM, L"SYSTEM\\CurrentControlSet\\Control\\Class\\" + name + L"\\DeviceData",
                           L"TwainDS", twainSource);
}

// Each device the host's callback heard ("type|id"), on which thread, and from when to when it ran; and what
// the host does inside the callback.
struct Heard {
    std::wstring device;
    std::uint32_t thread;
    std::uint64_t in, out;
};
inline std::vector<Heard> heard;
inline std::function<void(std::wstring& type, std::wstring& id)> hostAction;
inline void HostCallback(std::wstring& type, std::wstring& id) {
    heard.push_back({type + L"|" + id, TheMachine().CurrentThread(), TheMachine().Now(), 0});
    const std::size_t at = heard.size() - 1;
    if (hostAction)
        hostAction(type, id);
    heard[at].out = TheMachine().Now();
}
inline Strings HeardDevices() {
    Strings devices;
    for (const auto& device : heard)
        devices.push_back(device.device);
    return devices;
}
// The device-connect service, started by the host after a fresh load of the library.
inline void StartService() {
    InitialiseLibraryState();
    RegisterDeviceConnectCallback(&HostCallback);
    StartDeviceConnectService();
}

// Every test, and every case of a table, starts on an empty machine and must leave no registry key open.
class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Machine::Reset();
        heard.clear();
        hostAction = nullptr;
    }
    void TearDown() override { EXPECT_EQ(0u, TheMachine().OpenKeyCount()) << "a registry key was left open"; }
    // The next case of a table: the last one ends as a test does, and the machine is set up as for a new
    // test.
    void Fresh() {
        TearDown();
        SetUp();
    }
    // Every case of a table, each on a fresh machine and traced by its number.
    template <typename Case, std::size_t N, typename Check>
    void ForEachCase(const Case (&cases)[N], Check check) {
        for (std::size_t i = 0; i < N; ++i) {
            SCOPED_TRACE(testing::Message() << "case " << i);
            Fresh();
            check(cases[i]);
        }
    }
};

} // namespace qel::simtest

#endif // QELBOOT_TESTS_NATIVE_SIM_FIXTURE_H
