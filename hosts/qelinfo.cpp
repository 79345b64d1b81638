// qelinfo - shows which photo applications this machine's qelboot.dll would start, and why the other
// registrations are not among them.
//
//   qelinfo.exe                    the application list, and why registrations were left out
//   qelinfo.exe --check-volume E:  whether a volume in E: would be reported, and why: the kind of drive, the
//                                  depth searched, the formats searched for, the first match or why none.
//                                  Nothing is launched and no setting is written.
//   qelinfo.exe --plugins [FOLDER]  the .mox plug-ins of FOLDER\moxplugins (default: the current folder, as
//                                  the proxy runs), as the library would find them: whether each loads,
//                                  its name and identifier, whether its source opens, whether it is tracked.
//   qelinfo.exe --imaging          what STI, TWAIN and WIA report on this machine: still-image devices, their
//                                  "TwainDS" values and whether each data source is found, WIA's devices,
//                                  and whether WIA's connection events can be received.
//   qelinfo.exe --version          the version of this build
//   qelinfo.exe --help             the usage (also -h and /?); an option not listed here shows it as an
//                                  error, with exit code 2.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "deviceconnect/media_check.h"
#include "deviceconnect/mox/mox_tracker.h"
#include "hosts/usage.h"
#include "hosts/utf8.h"
#include "launch/order.h"
#include "platform/win32/windows_api.h"
#include "qelboot.h"
#include "registry/discovery.h"
#include "registry/registry_key.h"
#include "registry/text.h"
#include "trackers/sti_tracker.h"
#include "trackers/twain_tracker.h"
#include "trackers/volume_tracker.h"
#include "trackers/wia_tracker.h"

namespace {

const char kUsage[] =
    "usage: qelinfo [--check-volume E: | --plugins [FOLDER] | --imaging | --version | --help]\n"
    "  (no option)          the application list, and why registrations were left out\n"
    "  --check-volume E:    whether a volume in E: would be reported, and why (nothing is launched)\n"
    "  --plugins [FOLDER]   the .mox plug-ins of FOLDER\\moxplugins (default: the current folder)\n"
    "  --imaging            what STI, TWAIN and WIA report on this machine\n"
    "  --version            the version of this build\n";

std::string Formats(const appInfo_tag& record) {
    std::string text;
    for (const auto& [extension, category] : record.fileFormats)
        text += (text.empty() ? "" : ", ") + Utf8(extension) + " (" + Utf8(category) + ")";
    return text.empty() ? "none" : text;
}

std::string WhyLeftOut(const appInfo_tag& record, qel::Listing listing) {
    switch (listing) {
    case qel::Listing::ProgramMissing:
        return record.cmdLine.empty() ? "no CmdLine value" : "program not found: " + Utf8(record.cmdLine);
    case qel::Listing::ProxyMissing:
        return record.proxyPath.empty() ? "no ProxyPath value" : "proxy not found: " + Utf8(record.proxyPath);
    case qel::Listing::NoAutoLaunch:
        return "AutoLaunchOnDeviceConnect is 1";
    case qel::Listing::Listed:
        break;
    }
    return "listed";
}

const char* DriveKind(std::uint32_t type) {
    switch (type) {
    case qel::os::kDriveRemovable:
        return "removable";
    case qel::os::kDriveFixed:
        return "fixed";
    case qel::os::kDriveRemote:
        return "network";
    case qel::os::kDriveCdrom:
        return "CD-ROM";
    case qel::os::kDriveRamdisk:
        return "RAM disk";
    case qel::os::kDriveNoRootDir:
        return "no such drive";
    default:
        return "unknown";
    }
}

// The application whose proxy starts at log-on runs the service, so its depth is the one in force.
const appInfo_tag* ServiceApplication(const std::vector<appInfo_tag>& apps) {
    qel::CLocalMachineKey run(qel::kRunKey, qel::os::kKeyRead);
    const wchar_t* entry = run.status == qel::os::kSuccess ? run.GetStringValue(qel::kRunValue) : nullptr;
    for (const auto& app : apps) {
        if (entry && qel::EqualsIgnoringCase(qel::QuoteArgument(app.proxyPath), entry))
            return &app;
    }
    return apps.empty() ? nullptr : &apps.front();
}

int CheckVolume(const std::wstring& root) {
    using namespace qel;
    std::printf("Volume %s, as the library would check it (nothing is launched)\n", Utf8(root).c_str());
    std::uint32_t type = os::kDriveUnknown;
    wchar_t label[kPathCapacity] = {};
    wchar_t fileSystem[kPathCapacity] = {};
    bool readable = false;
    {
        CriticalErrorsFailed quiet;
        type = os::DriveType(root.c_str());
        readable = os::VolumeInformation(root.c_str(), label, kPathCapacity, fileSystem, kPathCapacity);
    }
    std::printf("  drive:          %s, %s\n", DriveKind(type),
                readable ? ("file system " + Utf8(fileSystem)).c_str() : "no readable volume (no card?)");
    const bool reportable = IsReportableDrive(root.c_str());
    if (!reportable || !IsSupportedVolume(root)) {
        std::printf("  => not reported: %s\n",
                    !reportable
                        ? "only readable drives other than A: and B: that are removable or whose file "
                          "system is named \"kodak\" are reported"
                        : "only removable drives, and fixed drives whose file system is named \"kodak\", "
                          "are accepted");
        return 1;
    }
    CQELBootInformationHandler handler;
    handler.LoadInformation();
    const appInfo_tag* service = ServiceApplication(handler.apps);
    const std::uint32_t depth = ReadSniffDepth(service ? service->keyPath : std::wstring());
    std::printf("  depth:          %u folder level(s), the root being level 1 (SniffDepth of %s)\n", depth,
                service ? ("\"" + Utf8(service->name) + "\"").c_str() : "no registered application");
    FileFormatList formats;
    GetSupportedFileFormats(handler, formats);
    std::string list;
    for (const auto& format : formats)
        list += (list.empty() ? "" : " ") + Utf8(format.first);
    std::printf("  formats:        %s\n", list.empty() ? "none" : list.c_str());
    if (depth == 0) {
        std::printf("  => not reported: SniffDepth 0 turns the search off\n");
        return 1;
    }
    SearchOutcome outcome;
    {
        CriticalErrorsFailed quiet;
        outcome = SearchVolume(root, depth, formats);
    }
    if (!outcome.match.empty()) {
        std::printf("  first match:    %s\n  => reported as \"volume\" \"%s\"\n", Utf8(outcome.match).c_str(),
                    Utf8(root).c_str());
        return 0;
    }
    if (!outcome.unlistedFolder.empty())
        std::printf("  => not reported: %s could not be listed (error %ld%s)\n",
                    Utf8(outcome.unlistedFolder).c_str(), outcome.error,
                    outcome.error == os::kFileNotFound ? ": the folder is empty" : "");
    else
        std::printf("  => not reported: no supported file in %u folder(s) searched%s (pdf never counts)\n",
                    outcome.foldersListed, outcome.deeperFolders ? ", deeper folders left unsearched" : "");
    return 1;
}

const char* StatusName(FxStatus status) {
    switch (status) {
    case FxOk:
        return "ok";
    case FxFailed:
        return "refused: not a library, no FxPluginMain or plug-in interface, or an identifier already "
               "loaded";
    case FxException:
        return "refused: the plug-in threw an exception";
    case FxNotReady:
        return "no";
    case FxInvalid:
        return "no source";
    default:
        return "failed";
    }
}

std::string IdText(const MOXGuid& id) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", id.data1, id.data2,
                  id.data3, id.data4[0], id.data4[1], id.data4[2], id.data4[3], id.data4[4], id.data4[5],
                  id.data4[6], id.data4[7]);
    return text;
}

int ListPlugins(const std::wstring& folder) {
    using namespace qel;
    if (!folder.empty() && !os::ChangeCurrentDirectory(folder)) {
        std::printf("no folder %s\n", Utf8(folder).c_str());
        return 1;
    }
    std::printf("Plug-ins of %s\\moxplugins, as the library would load them\n",
                Utf8(os::CurrentDirectory()).c_str());
    MOXPluginManager manager;
    if (manager.SetPluginDirectory(kMoxPluginDirectory) != FxOk) {
        std::printf("  => no moxplugins folder: no plug-in device will be detected\n");
        return 1;
    }
    MOXPluginManager gateManager;
    const bool gateOpens = GatePasses(gateManager);
    CriticalErrorsFailed quiet;
    ForEachPluginFile(manager.PluginDirectory(), [&](const std::wstring& path) {
        MOXPluginRecord record;
        record.path = path;
        const std::size_t before = manager.Plugins().size();
        const FxStatus status = manager.LoadPlugin(record);
        std::printf("  %s: %s\n", Utf8(path).c_str(),
                    status == FxOk && manager.Plugins().size() == before ? "already loaded in this process"
                                                                         : StatusName(status));
    });
    manager.BuildSourceTable();
    for (const auto& plugin : manager.Plugins()) {
        std::uint32_t flag = 0;
        const FxStatus capability = manager.QuerySourceCapability(plugin.id, &flag);
        const bool opens = capability != FxNotReady && capability != FxInvalid;
        std::printf("  - \"%s\" %s kind 0x%X\n      %s\n      source opens: %s; tracked: %s\n",
                    Utf8(plugin.name).c_str(), IdText(plugin.id).c_str(), plugin.kind,
                    Utf8(plugin.path).c_str(), opens ? "yes" : StatusName(capability),
                    capability == FxOk && flag == MOXTrackArrivals ? "yes" : "no");
    }
    manager.ReleaseSources();
    manager.UnloadAllPlugins();
    std::printf("  => %s\n", gateOpens
                                 ? "the gate plug-in nokiamanager.mox opens: tracked plug-ins report devices"
                                 : "the gate plug-in nokiamanager.mox is missing or does not open: no "
                                   "plug-in device will be detected");
    return gateOpens ? 0 : 1;
}

const char* MajorType(std::uint32_t deviceType) {
    const int kind = qel::StillImageKind(deviceType);
    return kind == qel::kWiaScanner  ? "scanner"
           : kind == qel::kWiaCamera ? "camera"
                                     : "neither scanner nor camera";
}

int ListImaging() {
    using namespace qel;
    std::printf("TWAIN data sources (twain_32.dll):\n");
    TwainTracker twain;
    if (twain.OpenDsm()) {
        twain::TW_IDENTITY source{};
        for (auto result =
                 twain.CallDsm(nullptr, twain::DG_CONTROL, twain::DAT_IDENTITY, twain::MSG_GETFIRST, &source);
             result == twain::TWRC_SUCCESS;
             source.Id = 0, result = twain.CallDsm(nullptr, twain::DG_CONTROL, twain::DAT_IDENTITY,
                                                   twain::MSG_GETNEXT, &source)) {
            char product[sizeof source.ProductName + 1] = {};
            std::memcpy(product, source.ProductName, sizeof source.ProductName);
            std::printf("  - \"%s\"\n", product);
        }
        twain.CloseDsm();
    } else {
        std::printf("  => no data-source manager could be opened: no TWAIN report is possible\n");
    }

    WIADeviceTracker wia;
    const bool wiaReached = wia.ConnectDeviceManager();
    std::printf("Still-image devices (sti.dll):\n");
    StiTracker sti;
    std::vector<os::StiDevice> devices;
    if (!InitializeSti(sti)) {
        std::printf("  => the Still Image service cannot be started: STI devices will not be detected\n");
    } else if (const long listed = os::StillImageDevices(sti.sti, &devices); listed != os::kSOk) {
        std::printf("  => the device list cannot be read (0x%08lX): no new device will be found\n",
                    static_cast<unsigned long>(listed));
    } else if (devices.empty()) {
        std::printf("  (none)\n");
    }
    for (const auto& device : devices) {
        std::printf("  - %s (%s)\n", Utf8(device.internalName).c_str(), MajorType(device.deviceType));
        wchar_t source[kStiNameChars] = {};
        if (!LookUpTwainDataSourceName(device.internalName.c_str(), source))
            std::printf("      TwainDS: none, so no TWAIN report\n");
        else
            std::printf("      TwainDS: \"%s\": %s\n", Utf8(source).c_str(),
                        TwainTracker().HasTwainDataSource(source)
                            ? "installed"
                            : "not installed, or a WIA- source: no TWAIN report");
        const int type = wia.GetWiaDeviceType(device.internalName.c_str());
        std::printf("      WIA: %s\n", type == kWiaCamera    ? "a camera (reported through WIA on XP)"
                                       : type == kWiaScanner ? "a scanner (reported through WIA on XP)"
                                                             : "not listed as a scanner or camera");
    }

    std::printf("WIA devices:\n");
    os::ComObject list = os::kNoComObject;
    if (!wiaReached || os::EnumWiaDevices(wia.deviceManager, &list) != os::kSOk || list == os::kNoComObject) {
        std::printf("  => the WIA device manager cannot be reached or lists nothing\n");
    } else {
        ComReleaser devicesList(list);
        int listed = 0;
        for (os::ComObject next = os::kNoComObject; os::NextWiaDevice(list, &next) == os::kSOk;
             next = os::kNoComObject, ++listed) {
            ComReleaser storage(next);
            os::WiaDeviceProperties properties;
            if (os::ReadWiaDeviceProperties(next, &properties) == os::kSOk)
                std::printf("  - %s (%s)\n", properties.hasId ? Utf8(properties.id).c_str() : "(no ID)",
                            MajorType(properties.type));
            else
                std::printf("  - (properties cannot be read)\n");
        }
        if (listed == 0)
            std::printf("  (none)\n");
    }
    const bool events = wia.RegisterConnectEvent();
    std::printf("  => WIA connection events %s\n", events
                                                       ? "can be received: WIA devices will be detected"
                                                       : "cannot be registered for: WIA devices will not be "
                                                         "detected");
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    using qel::hosts::ShowUsage;
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    const std::size_t count = args.size();
    if (count > 0 && qel::hosts::AsksForHelp(args[0]))
        return ShowUsage(kUsage, true);
    if (count == 1 && args[0] == L"--version") {
        std::printf("qelinfo %s\n", QELBOOT_VERSION);
        return 0;
    }
    if (count == 1 && args[0] == L"--imaging")
        return ListImaging();
    if (count == 2 && args[0] == L"--check-volume")
        return CheckVolume(args[1]);
    if ((count == 1 || count == 2) && args[0] == L"--plugins")
        return ListPlugins(count == 2 ? args[1] : std::wstring());
    if (count > 0)
        return ShowUsage(kUsage, false);
    CQELBootInformationHandler handler;
    handler.LoadInformation();
    std::vector<appInfo_tag> apps;
    handler.GetAllApplicationInfo(apps);

    std::printf("Applications qelboot.dll lists: %u\n", static_cast<unsigned>(apps.size()));
    int number = 0;
    for (const auto& app : apps) {
        std::printf("  %d. %s%s\n", ++number, Utf8(app.name).c_str(), app.defaultFlag ? "  [default]" : "");
        std::printf("     key:      %s\n", Utf8(app.keyPath).c_str());
        std::printf("     program:  %s\n", Utf8(app.cmdLine).c_str());
        std::printf("     proxy:    %s\n", Utf8(app.proxyPath).c_str());
        std::printf("     formats:  %s\n", Formats(app).c_str());
    }

    std::vector<appInfo_tag> found;
    qel::DiscoverApplications(found);
    std::vector<std::string> leftOut;
    for (const auto& record : found) {
        const qel::Listing listing = qel::CheckListing(record);
        if (listing != qel::Listing::Listed)
            leftOut.push_back("  - " + Utf8(record.keyPath) + " (\"" + Utf8(record.name) +
                              "\"): " + WhyLeftOut(record, listing));
    }
    std::printf("Registrations left out: %u\n", static_cast<unsigned>(leftOut.size()));
    for (const auto& line : leftOut)
        std::printf("%s\n", line.c_str());
    return 0;
}
