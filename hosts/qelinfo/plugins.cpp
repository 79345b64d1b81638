// The .mox plug-ins of a folder, as the MOX tracker meets them: each file loaded once, to see whether it
// registers, whether its source opens and whether that source reports arrivals; then, since the tracker
// unloads them all and loads each such plug-in again for its source thread, that second load, which is what
// decides whether the plug-in's devices are ever reported.
#include <cstdint>
#include <list>
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

// Handed to each source on its second load. What it hears is dropped: reporting devices is the proxy's work.
// It has no destructor to run, as a plug-in thread may still call it while this process ends.
class QuietCallback final : public ICallbackInterface {
public:
    std::int32_t MOXAPI QueryInterface(std::int32_t, void**) override { return 0; }
    std::uint32_t MOXAPI AddRef() override { return 1; }
    std::uint32_t MOXAPI Release() override { return 1; }
    void MOXAPI OnEvent(std::uint32_t, MOXDeviceEvent*) override {}
};
QuietCallback quietCallback;

// Why the tracker's source thread, loading `plugin` again into `manager` (a fresh one), would end without
// tracking it; empty when it would track it. What loaded stays loaded and advised, as the tracker leaves
// it, until this process ends: a plug-in may go on calling back after Unadvise.
std::string SecondLoad(MOXPluginManager& manager, const MOXPluginRecord& plugin) {
    MOXPluginRecord record;
    record.path = plugin.path;
    const FxStatus loaded = manager.LoadPlugin(record);
    if (loaded != FxOk)
        return StatusName(loaded);
    if (manager.Plugins().empty())
        return "its first load could not be unloaded, so it registers nothing";
    if (manager.BuildSourceTable() != FxOk)
        return "its source does not open";
    quietCallback.AddRef();
    if (const FxStatus advised = manager.AdviseSource(plugin.id, &quietCallback, 0); advised != FxOk)
        return "its source refuses the callback (0x" + Hex(advised, 8) + ")";
    return {};
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
    // One manager per source thread, as the tracker's; they outlive the listing, and free nothing.
    std::list<MOXPluginManager> trackers;
    for (const auto& row : rows) {
        const bool opens = row.capability != FxNotReady && row.capability != FxInvalid;
        const std::string refused = row.arrivals ? SecondLoad(trackers.emplace_back(), row.plugin) : "";
        Line("  - ", Quoted(row.plugin.name), " ", IdText(row.plugin.id), " kind 0x",
             Hex(row.plugin.kind, 1));
        Line("      ", row.plugin.path);
        Line("      source opens: ", opens ? "yes" : StatusName(row.capability), "; tracked: ",
             !row.arrivals     ? "no"
             : refused.empty() ? "yes"
                               : "no (second load: " + refused + ")");
    }
    Verdict(gateOpens ? "the gate plug-in nokiamanager.mox opens: tracked plug-ins report devices"
                      : "the gate plug-in nokiamanager.mox is missing or does not open: no plug-in device "
                        "will be detected");
    return gateOpens ? 0 : 1;
}

} // namespace qel::info
