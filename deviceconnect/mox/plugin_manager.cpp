// The .mox plug-in host: probing and loading plug-in modules, registering them once each, opening their
// sources. Plug-in code may throw; every operation that calls into it turns that into FxException.
#include "deviceconnect/mox/plugin_manager.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <new>

#include "deviceconnect/media_check.h"
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

void CopyName(const std::wstring& name, char16_t (&out)[MOXNameChars]) {
    const std::size_t length = std::min<std::size_t>(name.size(), MOXNameChars - 1);
    std::copy_n(name.begin(), length, out);
    out[length] = u'\0';
}

// The calls into one plug-in module's code. Each runs under the guard, so that a fault or a foreign exception
// inside the plug-in ends that call only; a call that raised is logged with the module's file and answers
// false.
class PluginCode {
public:
    explicit PluginCode(const std::wstring& path) : path_(path) {}

    template <typename Call> bool Run(const wchar_t* slot, Call call) {
        const std::uint32_t code =
            os::CallGuarded([](void* context) { (*static_cast<Call*>(context))(); }, &call);
        if (code == 0)
            return true;
        os::DebugOutput(FormatLine(kRaisedLine, {HexCode(code), slot, path_}));
        return false;
    }
    // The module's root object, with a reference for the caller, or null when the module has no entry point
    // or hands out nothing.
    bool Root(os::Module module, IFxBase** root) {
        *root = nullptr;
        const auto main = reinterpret_cast<FxPluginMainFunction>(os::ModuleFunction(module, "FxPluginMain"));
        return !main || Run(L"FxPluginMain", [main, root] { main(root); });
    }
    template <typename Interface> bool Ask(IFxBase* object, std::int32_t number, Interface** out) {
        void* answer = nullptr;
        const bool returned = Run(L"QueryInterface", [&] { object->QueryInterface(number, &answer); });
        *out = returned ? static_cast<Interface*>(answer) : nullptr;
        return returned;
    }
    bool Release(IFxBase* object) {
        return Run(L"Release", [object] { object->Release(); });
    }

private:
    const std::wstring& path_;
};

} // namespace

bool SameId(const MOXGuid& a, const MOXGuid& b) { return std::memcmp(&a, &b, sizeof(MOXGuid)) == 0; }

// --- The enumerator --------------------------------------------------------------------------------------

std::int32_t CEnumSourceManager::QueryInterface(std::int32_t number, void** out) {
    if (number == 0 || number == 8 || number == 9) {
        *out = static_cast<IEnumSourceManager*>(this);
        AddRef();
        return 1;
    }
    *out = nullptr;
    return 0;
}

std::uint32_t CEnumSourceManager::AddRef() { return ++references_; }

std::uint32_t CEnumSourceManager::Release() {
    const std::uint32_t left = --references_;
    if (left == 0)
        delete this;
    return left;
}

FxStatus CEnumSourceManager::GetCount(std::uint32_t* count) {
    *count = static_cast<std::uint32_t>(entries_.size());
    return FxOk;
}

FxStatus CEnumSourceManager::Next(MOXSourceInfo* entry) {
    if (cursor_ >= entries_.size())
        return FxEnd;
    if (!entry || entry->version != MOXSourceInfoVersion || entry->size != sizeof(MOXSourceInfo))
        return FxInvalid;
    const MOXSourceInfo& current = entries_[cursor_++];
    std::copy(std::begin(current.name), std::end(current.name), entry->name);
    entry->kind = current.kind;
    entry->id = current.id;
    return FxOk;
}

FxStatus CEnumSourceManager::Reset() {
    cursor_ = 0;
    return FxOk;
}

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

const MOXSourceRecord* MOXPluginManager::FindSourceRecord(const MOXGuid& id, FxStatus* status) const {
    for (const auto& record : sources_) {
        if (!SameId(record->id, id))
            continue;
        if (!record->source || !record->ready) {
            *status = FxNotReady;
            return nullptr;
        }
        *status = FxOk;
        return record.get();
    }
    *status = FxInvalid;
    return nullptr;
}

FxStatus MOXPluginManager::FindSource(const MOXGuid& id, IMOXSource** out) const {
    FxStatus status = FxInvalid;
    if (const MOXSourceRecord* record = FindSourceRecord(id, &status))
        *out = record->source;
    return status;
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

FxStatus MOXPluginManager::CreateSourceEnumerator(IEnumSourceManager** out) {
    if (!out || *out)
        return FxInvalid;
    auto* enumerator = new (std::nothrow) CEnumSourceManager;
    if (!enumerator)
        return FxNoMemory;
    enumerator->AddRef();
    try {
        for (const auto& record : plugins_) {
            MOXSourceInfo entry{};
            entry.version = MOXSourceInfoVersion;
            entry.size = sizeof(MOXSourceInfo);
            CopyName(record.name, entry.name);
            entry.kind = record.kind;
            entry.id = record.id;
            enumerator->Append(entry);
        }
    } catch (...) {
        enumerator->Release();
        return FxNoMemory;
    }
    *out = enumerator;
    return FxOk;
}

FxStatus MOXPluginManager::BuildSourceTable() {
    IEnumSourceManager* enumerator = nullptr;
    try {
        ReleaseSources();
        if (CreateSourceEnumerator(&enumerator) != FxOk)
            return FxNoSource;
        bool anyReady = false;
        enumerator->Reset();
        MOXSourceInfo entry{};
        entry.version = MOXSourceInfoVersion;
        entry.size = sizeof(MOXSourceInfo);
        while (enumerator->Next(&entry) == FxOk) {
            MOXPluginRecord plugin;
            if (FindPlugin(entry.id, &plugin) != FxOk)
                continue;
            auto record = std::make_unique<MOXSourceRecord>();
            record->name.assign(entry.name, std::find(entry.name, entry.name + MOXNameChars, u'\0'));
            record->kind = entry.kind;
            record->id = entry.id;
            record->path = plugin.path;
            void* source = nullptr;
            GetPluginInterface(plugin.path.c_str(), MOXSourceInterfaceNumber, &source);
            record->source = static_cast<IMOXSource*>(source);
            // In the table before Open, so that the reference is released with it whatever Open does.
            sources_.push_back(std::move(record));
            const MOXSourceRecord& added = *sources_.back();
            FxStatus opened = FxFailed;
            if (added.source &&
                PluginCode(added.path).Run(L"Open", [&added, &opened] { opened = added.source->Open(); }) &&
                opened == FxOk) {
                sources_.back()->ready = true;
                anyReady = true;
            }
        }
        enumerator->Release();
        return anyReady ? FxOk : FxNoSource;
    } catch (...) {
        if (enumerator)
            enumerator->Release();
        return FxException;
    }
}

FxStatus MOXPluginManager::ReleaseSources() {
    std::vector<std::unique_ptr<MOXSourceRecord>> table;
    table.swap(sources_);
    for (const auto& record : table) {
        if (record->source)
            PluginCode(record->path).Release(record->source);
    }
    return FxOk;
}

FxStatus MOXPluginManager::QuerySourceCapability(const MOXGuid& id, std::uint32_t* flag) {
    try {
        *flag = 0;
        FxStatus status = FxInvalid;
        const MOXSourceRecord* const record = FindSourceRecord(id, &status);
        if (!record)
            return status;
        PluginCode code(record->path);
        IMOXCapability* capability = nullptr;
        if (!code.Ask(record->source, MOXCapabilityInterfaceNumber, &capability))
            return FxException;
        if (!capability)
            return FxFailed;
        if (!code.Run(L"GetCapability", [capability, flag] { capability->GetCapability(flag); }) ||
            !code.Release(capability))
            return FxException;
        return FxOk;
    } catch (...) {
        return FxException;
    }
}

FxStatus MOXPluginManager::AdviseSource(const MOXGuid& id, ICallbackInterface* callback,
                                        std::uint32_t reserved) {
    try {
        FxStatus status = FxInvalid;
        const MOXSourceRecord* const record = FindSourceRecord(id, &status);
        if (record && !PluginCode(record->path).Run(L"Advise", [&] {
                status = record->source->Advise(callback, reserved);
            }))
            return FxException;
        return status;
    } catch (...) {
        return FxException;
    }
}

FxStatus MOXPluginManager::UnadviseSource(const MOXGuid& id, ICallbackInterface* callback) {
    try {
        FxStatus status = FxInvalid;
        const MOXSourceRecord* const record = FindSourceRecord(id, &status);
        if (record &&
            !PluginCode(record->path).Run(L"Unadvise", [&] { status = record->source->Unadvise(callback); }))
            return FxException;
        return status;
    } catch (...) {
        return FxException;
    }
}

} // namespace qel
