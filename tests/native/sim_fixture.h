// sim_fixture.h - a fresh simulated machine for every native test, and helpers that write registrations the
// way an application's installer does.
#ifndef QELBOOT_TESTS_NATIVE_SIM_FIXTURE_H
#define QELBOOT_TESTS_NATIVE_SIM_FIXTURE_H

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/sim/machine.h"
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

inline std::vector<std::wstring> Names(const std::vector<appInfo_tag>& records) {
    std::vector<std::wstring> names;
    for (const auto& record : records)
        names.push_back(record.name);
    return names;
}

inline std::vector<std::wstring> KeyPaths(const std::vector<appInfo_tag>& records) {
    std::vector<std::wstring> paths;
    for (const auto& record : records)
        paths.push_back(record.keyPath);
    return paths;
}

// A record whose every field holds a value no registration writes, to catch writes that must not happen.
inline appInfo_tag SentinelRecord() {
    appInfo_tag record;
    record.name = L"<name>";
    record.proxyPath = L"<proxy>";
    record.desc = L"<desc>";
    record.cmdLine = L"<cmdline>";
    record.icon = L"<icon>";
    record.keyPath = L"<keypath>";
    record.defaultFlag = 0x5EED;
    record.reserved = 0xBEEF;
    record.fileFormats = {{L"<ext>", L"<category>"}};
    return record;
}

inline bool SameRecord(const appInfo_tag& a, const appInfo_tag& b) {
    return a.name == b.name && a.proxyPath == b.proxyPath && a.desc == b.desc && a.cmdLine == b.cmdLine &&
           a.icon == b.icon && a.keyPath == b.keyPath && a.defaultFlag == b.defaultFlag &&
           a.reserved == b.reserved && a.fileFormats == b.fileFormats;
}

using Strings = std::vector<std::wstring>;

inline std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// The text of a string value as stored (up to its first null), or nothing when the value is missing or not
// REG_SZ.
inline std::optional<std::wstring> StringValue(os::Hive hive, const std::wstring& path,
                                               const std::wstring& name) {
    const auto value = TheMachine().GetValue(hive, path, name);
    if (!value || value->type != os::kRegSz)
        return std::nullopt;
    std::wstring text;
    for (std::size_t i = 0; i + 1 < value->bytes.size(); i += 2) {
        const auto c = static_cast<wchar_t>(value->bytes[i] | (value->bytes[i + 1] << 8));
        if (c == L'\0')
            break;
        text += c;
    }
    return text;
}

// The log-on entry that starts one proxy.
inline const std::wstring kRunKeyPath = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline const std::wstring kRunValueName = L"Quorl Vandrel";

inline void AddRunKey() { TheMachine().CreateKey(kHKLM, kRunKeyPath); }
inline std::optional<std::wstring> RunEntry() { return StringValue(kHKLM, kRunKeyPath, kRunValueName); }

// The older sibling application, installed into `folder` with both of its programs on disk.
inline const std::wstring kSiblingFolder = L"C:\\Ostrand";
inline const std::wstring kSiblingInstallKey = L"SOFTWARE\\Quorl\\Ostrand\\3.0\\Organizer\\ApplicationPath";
inline const std::wstring kSiblingAutoplayKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\Handlers\\"
    L"QuorlOstrandShowPicturesOnArrival";
inline std::wstring SiblingDeviceConnect(const std::wstring& folder = kSiblingFolder) {
    return folder + L"\\OstrandDeviceConnect.exe";
}
inline void InstallSibling(const std::wstring& folder = kSiblingFolder) {
    TheMachine().SetString(kHKLM, kSiblingInstallKey, L"", folder);
    TheMachine().AddFile(SiblingDeviceConnect(folder));
    TheMachine().AddFile(folder + L"\\OstProxy.exe");
}

// Every recorded start as its program followed by its arguments.
inline std::vector<Strings> SpawnedCommands() {
    std::vector<Strings> commands;
    for (const auto& spawn : TheMachine().Spawns()) {
        Strings command{spawn.program};
        command.insert(command.end(), spawn.argv.begin(), spawn.argv.end());
        commands.push_back(command);
    }
    return commands;
}

// Registry calls that one MaintainOrder makes on the machine as it stands; run on a settled machine (after a
// first load has created the per-user keys) the count repeats exactly.
inline std::size_t MaintainOrderRegistryCalls() {
    CQELBootInformationHandler probe;
    const std::size_t before = TheMachine().RegistryCallCount();
    probe.MaintainOrder();
    return TheMachine().RegistryCallCount() - before;
}

// Runs `call` as a death test: with no compatible application registered it must end the process with exit
// code 0 right after the two lines that say so; the marker written after the call must never appear.
// `between` is what the machine echoes between the two lines (a regex): the sibling's start and the deletion
// of the log-on entry, where there are such.
template <typename Call> void ExpectEndsProcessForNoApplication(Call call, const std::string& between = "") {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            TheMachine().EchoDebugLinesToStderr(true);
            call();
            std::fprintf(stderr, "returned to the caller\n");
        },
        ::testing::ExitedWithCode(0),
        "^<QELBoot><!!! No QEL Compatible application found\\. This situation should be avoided\\.>\n" + between +
            "<QELBoot><Deleting run key\\. Auto run is going to discontinue from now onwards\\.>\n$");
}

// Every test starts on an empty machine and must leave no registry key open.
class SimTest : public ::testing::Test {
protected:
    void SetUp() override { sim::Machine::Reset(); }
    void TearDown() override { EXPECT_EQ(0u, TheMachine().OpenKeyCount()) << "a registry key was left open"; }
};

} // namespace qel::simtest

#endif // QELBOOT_TESTS_NATIVE_SIM_FIXTURE_H
