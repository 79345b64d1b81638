// The fuzz targets, one per input the library takes from outside; QELBOOT_FUZZ_TARGET names the one a binary
// runs.
#include "fuzz_input.h"
#include "hosts/boot_command.h"
#include "registry/legacy_sibling.h"

namespace qel::fuzz {

// Registrations, preferences, launch status, locale and the sibling's keys holding values of any type and
// size, read through the information handler's operations.
void Registry(Input& in, sim::Machine& m) {
    static const os::Hive kHives[] = {os::Hive::LocalMachine, os::Hive::CurrentUser};
    static const wchar_t* const kNames[] = {
        L"Name",   L"ProxyPath",  L"Desc",  L"CmdLine",     L"Icon",
        L"Image",  L"Audio",      L"Video", L"DefaultFlag", L"qellaunchstatus",
        L"locale", L"SniffDepth", L"",      L"Action",      L"AutoLaunchOnDeviceConnect"};
    static const wchar_t* const kLikely[] = {L"C:\\A\\p.exe", L"C:\\A\\a.exe", L"App", L"jpg  png tif",
                                             L"\"C:\\A\\p.exe\""};
    static const wchar_t* const kSubkeys[] = {L"", L"\\File Formats", L"\\Preferences", L"\\.."};
    AddAnchor(m);
    if (in.Bool()) {
        m.SetSelf(L"C:\\B\\p.exe");
        m.AddFile(L"C:\\B\\p.exe");
    }
    std::vector<std::wstring> keys{L"SOFTWARE\\Quorl\\Anchor", kSiblingInstallKey, kSiblingAutoplayKey,
                                   L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"};
    // Application keys: nested, odd or long names. A name of 128 characters or more directly below the maker
    // key would end its enumeration before the anchor.
    for (int count = in.Below(4); count > 0; --count) {
        keys.push_back(L"SOFTWARE\\Quorl\\" + in.Text(100));
        for (int parts = in.Below(3); parts > 0; --parts)
            keys.back() += L"\\" + in.Text(in.Bool() ? 8 : 300);
    }
    for (int values = in.Below(40); values > 0 && !in.Done(); --values) {
        const std::wstring& key = keys[in.Below(keys.size())];
        const bool registration =
            key.find(L"Quorl") != std::wstring::npos && key.find(L"Ostrand") == std::wstring::npos;
        const std::wstring path = registration ? key + L"\\Quorl Vandrel" + in.Pick(kSubkeys) : key;
        const os::Hive hive = in.Pick(kHives);
        if (sim::FoldCase(path).rfind(sim::FoldCase(kAnchorKey), 0) == 0)
            continue; // the anchor stays readable and listed
        const int what = in.Below(6);
        if (what < 2) {
            what == 0 ? m.DenyRead(hive, path) : m.DenyWrite(hive, path);
            continue;
        }
        const std::wstring name = in.Likely(kNames, 20);
        const std::uint32_t type = in.ValueType();
        m.SetValue(hive, path, name, type, in.ValueBytes(in.Pick(kLikely)));
    }
    CQELBootCommandHandler handler;
    std::vector<appInfo_tag> records;
    appInfo_tag record;
    std::wstring text;
    handler.LoadInformation();
    handler.GetAllApplicationInfo(records);
    handler.GetDefaultApplicationInfo(records);
    for (const auto& found : records)
        FUZZ_CHECK(handler.GetApplicationInfo(found.name, record));
    handler.GetOST3Info(record);
    handler.GetQELLaunchStatus();
    handler.SetQELLaunchStatus(in.Number<std::int32_t>());
    handler.GetQELLaunchStatus();
    handler.GetQELLocaleString(text);
    handler.MaintainOrder();
    FUZZ_CHECK(!handler.apps.empty());
}

// The boot executable's command line, split into any words, handled as qelboot.exe handles it.
void CommandLine(Input& in, sim::Machine& m) {
    static const wchar_t* const kWords[] = {L"-install", L"-UNINSTALL", L"-default", L"-Default",
                                            L"yes",      L"NO",         L"App",      L"app",
                                            L"Anchor",   L"",           L"-i",       L"maybe"};
    AddAnchor(m);
    for (int count = in.Below(3); count > 0; --count) {
        const std::wstring key = in.Text(6), name = in.Likely(kWords, 12);
        AddApplication(m, key.empty() ? L"k" : key, name, in.Bool() ? L"C:\\A\\p.exe" : L"C:\\B\\p.exe");
        if (in.Bool())
            m.SetDword(os::Hive::CurrentUser, L"SOFTWARE\\Quorl\\" + key + L"\\Quorl Vandrel\\Preferences",
                       L"DefaultFlag", in.Number<std::uint32_t>());
    }
    m.SetSelf(L"C:\\A\\qelboot.exe");
    for (int others = in.Below(3); others > 0; --others) {
        const std::uint32_t id = m.AddProcess(L"C:\\A\\qelboot.exe");
        if (in.Bool())
            m.AddWindow(id, L"Quorl Vandrel Boot");
    }
    std::vector<std::wstring> arguments{L"C:\\A\\qelboot.exe"};
    for (int count = in.Below(6); count > 0; --count)
        arguments.push_back(in.Likely(kWords, 40));
    m.SetCommandLine(arguments);
    m.FailSeamCall(in.Bool() && in.Bool() ? 1 : 0, sim::Machine::FaultKind::Error); // splitting it
    CQELBootCommandHandler handler;
    std::vector<std::wstring> words;
    handler.ParseCommandLineParameter(words);
    const auto is = [&words](std::size_t at, const wchar_t* word) { return boot::SameWord(words[at], word); };
    FUZZ_CHECK(words.empty() || is(0, L"-install") || is(0, L"-uninstall") ||
               (is(0, L"-default") && words.size() == 3));
    // Only the named application can be a default afterwards (a hive without its Preferences key is skipped).
    if (boot::RunBootCommand(handler, words) == 0 && words.size() == 3 && is(2, L"yes")) {
        std::vector<appInfo_tag> defaults;
        handler.LoadInformation();
        handler.GetDefaultApplicationInfo(defaults);
        for (const auto& record : defaults)
            FUZZ_CHECK(record.name == words[1]);
    }
}

// A card of any tree (names, depths, files and folders, a card pulled part-way through the search) put into a
// reader while the device-connect service runs: the volume tracker's media content check.
void Media(Input& in, sim::Machine& m) {
    static const wchar_t* const kNames[] = {L"DCIM",     L"IMG.JPG", L"a.jpg", L"x.pdf",
                                            L"song.mp3", L".",       L"..",    L"noext",
                                            L"a.b.png",  L".jpg",    L"jpg",   L"clip.AVI"};
    AddAnchor(m);
    for (const wchar_t* category : {L"Image", L"Audio", L"Video"}) {
        if (in.Bool())
            m.SetString(os::Hive::LocalMachine, kAnchorKey + L"\\File Formats", category,
                        in.Bool() ? L"jpg png avi" : in.Text(40));
    }
    if (in.Bool())
        m.SetValue(os::Hive::CurrentUser, kAnchorKey, L"SniffDepth", os::kRegDword, in.ValueBytes(L""));
    const std::uint32_t minor = in.Below(2u), type = in.Bool() ? os::kDriveFixed : os::kDriveRemovable;
    m.AddDrive(L'E', type, in.Bool() ? L"FAT32" : in.Text(12), false);
    // The tree: each entry goes into a folder made before it.
    std::vector<std::wstring> folders{L"E:"};
    std::vector<std::pair<std::wstring, bool>> entries;
    for (int count = in.Below(120); count > 0 && !in.Done(); --count) {
        const std::wstring path = folders[in.Below(folders.size())] + L"\\" + in.Likely(kNames, 30);
        entries.emplace_back(path, in.Bool());
        if (entries.back().second)
            folders.push_back(path);
    }
    const std::size_t pullAfter = in.Bool() ? in.Below(40u) : 0;
    DeviceSide(m, 5, minor, false, {L"volume|E:"}, [&] {
        m.At(1000, [&] {
            for (const auto& [path, folder] : entries)
                folder ? m.AddFolder(path) : m.AddFile(path);
            m.InsertMedium(L'E');
            if (pullAfter)
                m.RemoveMediumAfterListingCalls(L'E', pullAfter);
        });
        m.RunFor(5000); // three attempts a second apart
    });
    FUZZ_CHECK(heard.size() <= 1);
}

sim::FakePluginSetup PluginScript(Input& in) {
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

// Plug-ins scripted by the input (names, identifiers, kinds, which interfaces they answer, how their calls
// answer or fail, their capability, a change of answers while loaded, and the events they raise, some too
// long, of another size or version) in front of the plug-in host and tracker of the device-connect service.
void Plugin(Input& in, sim::Machine& m) {
    static const wchar_t* const kFiles[] = {L"nokiamanager.mox", L"nokiamanager.mox", L"a.mox",
                                            L"extra.mox\\b.mox", L"tools\\c.mox",     L"d.dll"};
    std::vector<sim::FakePlugin*> plugins;
    for (int count = 1 + in.Below(4); count > 0; --count) {
        const std::wstring path = std::wstring(L"C:\\moxplugins\\") + in.Pick(kFiles);
        if (!m.FileExists(path))
            plugins.push_back(&sim::AddFakePlugin(path, PluginScript(in)));
    }
    const auto types = {L"unknown|", L"camera|", L"mobile|", L"scanner|",
                        L"video|",   L"audio|",  L"volume|", L"archive|"};
    DeviceSide(m, 6, 1, true, types, [&] { // only the plug-in tracker starts
        m.RunFor(in.Below(2000u));
        for (int changes = in.Below(3); changes > 0; --changes)
            plugins[in.Below(plugins.size())]->setup() = PluginScript(in);
        for (auto* plugin : plugins) {
            std::vector<MOXDeviceEvent> events(in.Below(4));
            for (auto& event : events) {
                event = sim::MakeDeviceEvent(in.Below(10u), in.Text(270), in.Below(3u));
                if (in.Below(8) == 0)
                    std::fill(std::begin(event.deviceId), std::end(event.deviceId), u'7');
                if (in.Below(8) == 0)
                    event.version = in.Number<std::uint32_t>(), event.size = in.Number<std::uint32_t>();
            }
            if (!events.empty())
                plugin->RaiseOnOwnThread(std::move(events));
        }
        m.RunFor(1000);
    });
    for (const auto& device : heard)
        FUZZ_CHECK(device.size() - device.find(L'|') - 1 <= MOXNameChars);
    for (const auto* plugin : plugins)
        FUZZ_CHECK(plugin->callsWhileUnloaded == 0);
}

const std::uint32_t kStiKinds[] = {0x00010001, 0x00020000, 0x00030000, 0};

// Still-image device lists that change between device-node changes, their "TwainDS" values of any type and
// size, and the TWAIN manager's data-source identities, seen by the STI tracker and its TWAIN question.
void StiTwain(Input& in, sim::Machine& m) {
    static const wchar_t* const kSources[] = {L"Scanner DS", L"WIA-Scanner DS", L"wia-",
                                              L"0123456789012345678901234567890123"};
    static const wchar_t* const kDevices[] = {L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001", L"dev", L"",
                                              L"..\\x"};
    const auto addDevice = [&] {
        const std::wstring name = in.Likely(kDevices, 300);
        const std::uint32_t kind = in.Bool() ? in.Pick(kStiKinds) : in.Number<std::uint32_t>();
        m.StiDevices().push_back(os::StiDevice{kind, name});
        if (in.Bool()) {
            const std::uint32_t type = in.Bool() ? os::kRegSz : in.ValueType();
            m.SetValue(os::Hive::LocalMachine,
                       L"SYSTEM\\CurrentControlSet\\Control\\Class\\" + name + L"\\DeviceData", L"TwainDS",
                       type, in.ValueBytes(in.Pick(kSources)));
        }
        if (in.Bool())
            m.WiaDevices().push_back({name, in.Pick(kStiKinds), in.Bool()});
    };
    const std::uint32_t major = in.Bool() ? 5 : 6, minor = in.Below(2u);
    for (int count = in.Below(6); count > 0; --count) {
        const std::wstring name = in.Likely(kSources, 40);
        m.TwainSources().push_back(std::string(name.begin(), name.end()));
    }
    if (in.Below(8) == 0) {
        for (auto fail :
             {&sim::Machine::FailStiCreation, &sim::Machine::FailStiInitialization,
              &sim::Machine::RemoveTwainEntry, &sim::Machine::RefuseTwainOpen, &sim::Machine::SetWiaMissing})
            (m.*fail)(in.Bool());
    }
    m.FailStiDeviceLists(in.Below(3u));
    for (int count = in.Below(3); count > 0; --count)
        addDevice();
    DeviceSide(m, major, minor, false, {L"camera|", L"scanner|"}, [&] {
        m.RunFor(100);
        for (int changes = in.Below(6); changes > 0 && !in.Done(); --changes) {
            if (in.Bool() && !m.StiDevices().empty())
                m.StiDevices().erase(m.StiDevices().begin() + in.Below(m.StiDevices().size()));
            else
                addDevice();
            os::PostWindowMessage(m.FindWindowByTitle(L"STITrackerWindow"), os::kWmDeviceChange,
                                  in.Below(4) ? os::kDbtDevNodesChanged : in.Number<std::uint16_t>(), 0);
            m.RunFor(50);
        }
    });
}

// WIA's device list (identifiers, types, unreadable entries) changing between connection events of any
// device identifier, seen by the WIA tracker.
void Wia(Input& in, sim::Machine& m) {
    static const wchar_t* const kIds[] = {L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001", L"cam", L""};
    const auto id = [&] { return in.Below(8) == 0 ? std::nullopt : std::optional(in.Likely(kIds, 300)); };
    const std::uint32_t major = in.Bool() ? 5 : 6, minor = in.Bool() ? 1 : 0;
    m.RemoveModule(L"sti.dll");
    if (in.Below(8) == 0) {
        m.SetWiaMissing(in.Bool());
        m.RefuseWiaRegistration(in.Bool());
    }
    DeviceSide(m, major, minor, false, {L"camera|", L"scanner|"}, [&] {
        m.RunFor(100);
        for (int steps = in.Below(8); steps > 0 && !in.Done(); --steps) {
            auto& devices = m.WiaDevices();
            const int step = in.Below(4);
            if (step == 0) {
                auto device = id();
                const std::uint32_t kind = in.Bool() ? in.Pick(kStiKinds) : in.Number<std::uint32_t>();
                devices.push_back({std::move(device), kind, in.Below(4) != 0});
            } else if (step == 1 && !devices.empty()) {
                devices.erase(devices.begin() + in.Below(devices.size()));
            } else if (step == 2) {
                m.FailWiaEnumeration(in.Bool());
            } else if (step == 3) {
                m.RaiseWiaConnection(id());
                m.RunFor(20);
            }
        }
        m.RunFor(100);
    });
}

} // namespace qel::fuzz

// One run on a machine of its own, as a fresh load of the library sees it. At its end every thread ends, the
// plug-in trackers the library keeps for the life of the process are freed as that process's end would, the
// machine is freed and the library's load-time state rebuilt on an empty one, so that each run frees all it
// allocated and the next starts as the first.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qel;
    fuzz::Input in(data, size);
    sim::Machine& m = sim::Machine::Current();
    fuzz::QELBOOT_FUZZ_TARGET(in, m);
    m.EndThreads();
    for (const auto& thread : m.Threads()) {
        if (thread.proc == &MOXSourceTrackerThread)
            delete static_cast<MOXSourceTracker*>(thread.param);
    }
    FUZZ_CHECK(m.OpenKeyCount() == 0 && m.OpenFindCount() == 0 && m.OpenHandleCount() == 0);
    sim::Machine::Reset();
    InitialiseLibraryState();
    return 0;
}
