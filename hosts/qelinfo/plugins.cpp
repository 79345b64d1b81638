// The .mox plug-ins of a folder, as the MOX tracker meets them: each file loaded, whether it registers,
// whether its source opens and whether that source reports arrivals.
#include <cstdint>
#include <string>
#include <vector>

#include "deviceconnect/media_check.h"
#include "deviceconnect/mox/mox_tracker.h"
#include "hosts/qelinfo/print.h"
#include "hosts/qelinfo/topics.h"

namespace qel::info {
namespace {

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
    std::string text = "{" + Hex(id.data1, 8) + "-" + Hex(id.data2, 4) + "-" + Hex(id.data3, 4) + "-";
    for (std::size_t at = 0; at < 8; ++at)
        text += (at == 2 ? "-" : "") + Hex(id.data4[at], 2);
    return text + "}";
}

struct Row {
    MOXPluginRecord plugin;
    FxStatus capability = FxOk;
    bool arrivals = false; // its source says it reports arrivals, so the tracker picks it
};

} // namespace

int ListPlugins(const std::wstring& folder) {
    if (!folder.empty() && !os::ChangeCurrentDirectory(folder)) {
        Line("no folder ", folder);
        return 1;
    }
    Line("Plug-ins of ", os::CurrentDirectory(), "\\moxplugins, as the library would load them");
    MOXPluginManager manager;
    if (manager.SetPluginDirectory(kMoxPluginDirectory) != FxOk) {
        Verdict("no moxplugins folder: no plug-in device will be detected");
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
        Line("  ", path, ": ",
             status == FxOk && manager.Plugins().size() == before ? "already loaded in this process"
                                                                  : StatusName(status));
    });
    manager.BuildSourceTable();
    std::vector<Row> rows;
    for (const auto& plugin : manager.Plugins()) {
        std::uint32_t flag = 0;
        const FxStatus capability = manager.QuerySourceCapability(plugin.id, &flag);
        rows.push_back({plugin, capability, capability == FxOk && flag == MOXTrackArrivals});
    }
    manager.ReleaseSources();
    manager.UnloadAllPlugins();
    for (const auto& row : rows) {
        const bool opens = row.capability != FxNotReady && row.capability != FxInvalid;
        Line("  - ", Quoted(row.plugin.name), " ", IdText(row.plugin.id), " kind 0x",
             Hex(row.plugin.kind, 1));
        Line("      ", row.plugin.path);
        Line("      source opens: ", opens ? "yes" : StatusName(row.capability),
             "; tracked: ", row.arrivals ? "yes" : "no");
    }
    Verdict(gateOpens ? "the gate plug-in nokiamanager.mox opens: tracked plug-ins report devices"
                      : "the gate plug-in nokiamanager.mox is missing or does not open: no plug-in device "
                        "will be detected");
    return gateOpens ? 0 : 1;
}

} // namespace qel::info
