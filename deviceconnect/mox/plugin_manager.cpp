// The .mox plug-in host's modules: probing and loading plug-in files, registering them once each, handing out
// their interfaces. Plug-in code may throw; every operation that calls into it turns that into FxException.
#include "deviceconnect/mox/plugin_manager.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include "deviceconnect/media_check.h"
#include "deviceconnect/mox/plugin_code.h"
#include "platform/os.h"
#include "platform/unique_handles.h"
#include "registry/text.h"

namespace qel {
namespace {

// No "insert a disk" or "file not found" box may stop a thread that probes plug-ins.
constexpr std::uint32_t kQuietErrorMode = os::kSemFailCriticalErrors | os::kSemNoOpenFileErrorBox;

const wchar_t kRaisedLine[] = L"<***DeviceConnect***><!!! Exception %s in %s of plug-in %s.>";

std::wstring Cut(const std::wstring& text) { return text.substr(0, kMoxTextChars); }

std::wstring HexCode(std::uint32_t code) {
    std::wstring text = L"0x00000000";
    for (std::size_t digit = text.size(); code != 0; code >>= 4)
        text[--digit] = L"0123456789ABCDEF"[code & 0xF];
    return text;
}

} // namespace

void LogPluginRaised(std::uint32_t code, const wchar_t* slot, const std::wstring& path) {
    os::DebugOutput(FormatLine(kRaisedLine, {HexCode(code), slot, path}));
}

bool SameId(const MOXGuid& a, const MOXGuid& b) { return std::memcmp(&a, &b, sizeof(MOXGuid)) == 0; }

// --- Finding plug-in files -------------------------------------------------------------------------------

void ForEachPluginFile(const std::wstring& directory, const std::function<void(const std::wstring&)>& visit) {
    std::deque<std::wstring> folders{directory};
    while (!folders.empty()) {
        const std::wstring folder = folders.front();
        os::FindHandle find = os::kNoFind;
        os::FindData entry;
        if (os::FindFirstEntry(folder + L"\\*.mox", &find, &entry) == os::kSuccess) {
            FindCloser listing(find);
            do {
                if (!entry.directory)
                    visit(Cut(folder + L"\\" + entry.name));
                else if (entry.name != L"." && entry.name != L"..")
                    folders.push_back(folder + L"\\" + entry.name);
            } while (os::FindNextEntry(listing.get(), &entry) == os::kSuccess);
        }
        folders.pop_front();
    }
}

// --- The manager -----------------------------------------------------------------------------------------

FxStatus MOXPluginManager::SetPluginDirectory(const wchar_t* path) {
    if (!path || !os::IsDirectory(path))
        return FxInvalid;
    directory_ = Cut(path);
    return FxOk;
}

FxStatus MOXPluginManager::LoadPlugin(const MOXPluginRecord& record) {
    try {
        return Load(record.path);
    } catch (...) {
        return FxException;
    }
}

FxStatus MOXPluginManager::Load(const std::wstring& path) {
    {
        CriticalErrorsFailed quiet(kQuietErrorMode);
        if (!ModuleFreer(os::LoadModuleAsData(path)))
            return FxFailed;
    }
    if (os::LoadedModule(path) != os::kNoModule)
        return FxOk;
    os::Module module = os::kNoModule;
    {
        CriticalErrorsFailed quiet(kQuietErrorMode);
        module = os::LoadModule(path);
    }
    if (module == os::kNoModule)
        return FxFailed;
    const std::size_t registered = plugins_.size();
    const FxStatus status = Register(module, path);
    if (status != FxOk) {
        // A plug-in that raised while being registered is refused as one that failed: left loaded without a
        // record, it would be taken for loaded ever after and never be tracked.
        if (plugins_.size() > registered)
            plugins_.pop_back();
        os::FreeModule(module);
    }
    return status;
}

FxStatus MOXPluginManager::Register(os::Module module, const std::wstring& path) {
    PluginCode code(path);
    IFxBase* root = nullptr;
    if (!code.Root(module, &root))
        return FxException;
    if (!root)
        return FxFailed;
    IMOXPlugin* plugin = nullptr;
    if (!code.Ask(root, MOXPluginInterfaceNumber, &plugin))
        return FxException;
    if (!plugin)
        return code.Release(root) ? FxFailed : FxException;
    MOXPluginRecord added;
    added.path = Cut(path);
    char16_t name[MOXNameChars] = {};
    if (!code.Run(L"GetKind", [&] { added.kind = plugin->GetKind(); }) ||
        !code.Run(L"GetId", [&] { plugin->GetId(&added.id); }) ||
        !code.Run(L"GetName", [&] { plugin->GetName(name, MOXNameChars - 1); }))
        return FxException;
    added.name.assign(name, std::find(name, name + MOXNameChars, u'\0'));
    const bool duplicate = FindPlugin(added.id, nullptr) == FxOk;
    if (!duplicate)
        plugins_.push_back(std::move(added));
    if ((!duplicate && !code.Run(L"OnLoad", [plugin] { plugin->OnLoad(); })) || !code.Release(plugin) ||
        !code.Release(root))
        return FxException;
    return duplicate ? FxFailed : FxOk;
}

FxStatus MOXPluginManager::UnloadPlugin(const MOXPluginRecord& record) {
    try {
        return Unload(record.path);
    } catch (...) {
        return FxException;
    }
}

FxStatus MOXPluginManager::Unload(const std::wstring& path) {
    const os::Module module = os::LoadedModule(path);
    if (module == os::kNoModule)
        return FxOk;
    PluginCode code(path);
    IFxBase* root = nullptr;
    if (!code.Root(module, &root))
        return FxException;
    if (!root)
        return FxFailed;
    IMOXPlugin* plugin = nullptr;
    if (!code.Ask(root, MOXPluginInterfaceNumber, &plugin))
        return FxException;
    if (!plugin)
        return code.Release(root) ? FxFailed : FxException;
    // A plug-in that raised here stays loaded: its threads may still run its code.
    if (!code.Run(L"OnUnload", [plugin] { plugin->OnUnload(); }) || !code.Release(plugin) ||
        !code.Release(root))
        return FxException;
    if (!os::FreeModule(module))
        return FxFailed;
    const auto found = std::find_if(plugins_.begin(), plugins_.end(), [&](const MOXPluginRecord& registered) {
        return registered.path == path;
    });
    if (found != plugins_.end())
        plugins_.erase(found);
    return FxOk;
}

std::uint32_t MOXPluginManager::LoadAllPlugins() {
    std::uint32_t loaded = 0;
    try {
        if (!os::IsDirectory(directory_))
            return 0;
        ForEachPluginFile(directory_, [&](const std::wstring& path) {
            MOXPluginRecord record;
            record.path = path;
            if (LoadPlugin(record) == FxOk)
                ++loaded;
        });
    } catch (...) {
    }
    return loaded;
}

FxStatus MOXPluginManager::UnloadAllPlugins() {
    try {
        const std::vector<MOXPluginRecord> records(plugins_.begin(), plugins_.end());
        FxStatus unloaded = 0;
        for (const auto& record : records) {
            if (UnloadPlugin(record) == FxOk)
                ++unloaded;
        }
        return unloaded;
    } catch (...) {
        return FxException;
    }
}

FxStatus MOXPluginManager::FindPlugin(const MOXGuid& id, MOXPluginRecord* out) const {
    for (const auto& record : plugins_) {
        if (SameId(record.id, id)) {
            if (out)
                *out = record;
            return FxOk;
        }
    }
    return FxNotFound;
}

FxStatus MOXPluginManager::GetPluginInterface(const wchar_t* path, std::int32_t number, void** out) {
    if (!out || *out || !path)
        return FxFailed;
    const os::Module module = os::LoadedModule(path);
    if (module == os::kNoModule)
        return FxFailed;
    const std::wstring file = path;
    PluginCode code(file);
    IFxBase* root = nullptr;
    if (!code.Root(module, &root))
        return FxException;
    if (!root)
        return FxFailed;
    if (!code.Ask(root, number, out) || !code.Release(root)) {
        *out = nullptr;
        return FxException;
    }
    return *out ? FxOk : FxFailed;
}

} // namespace qel
