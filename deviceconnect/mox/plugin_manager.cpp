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

namespace qel {
namespace {

// No "insert a disk" or "file not found" box may stop a thread that probes plug-ins.
constexpr std::uint32_t kQuietErrorMode = os::kSemFailCriticalErrors | os::kSemNoOpenFileErrorBox;

std::wstring Cut(const std::wstring& text) { return text.substr(0, kMoxTextChars); }

FxPluginMainFunction EntryPoint(os::Module module) {
    return reinterpret_cast<FxPluginMainFunction>(os::ModuleFunction(module, "FxPluginMain"));
}

// The module's root object, with a reference for the caller; null when the module has no entry point or
// hands out nothing.
IFxBase* RootOf(os::Module module) {
    const FxPluginMainFunction main = EntryPoint(module);
    if (!main)
        return nullptr;
    IFxBase* root = nullptr;
    main(&root);
    return root;
}

template <typename Interface> Interface* Ask(IFxBase* root, std::int32_t number) {
    void* out = nullptr;
    root->QueryInterface(number, &out);
    return static_cast<Interface*>(out);
}

void CopyName(const std::wstring& name, char16_t (&out)[MOXNameChars]) {
    const std::size_t length = std::min(name.size(), MOXNameChars - 1);
    std::copy_n(name.begin(), length, out);
    out[length] = u'\0';
}

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
    // Freed only on the failures below: after an exception the plug-in's code may still be in use.
    IFxBase* const root = RootOf(module);
    if (!root) {
        os::FreeModule(module);
        return FxFailed;
    }
    IMOXPlugin* const plugin = Ask<IMOXPlugin>(root, MOXPluginInterfaceNumber);
    if (!plugin) {
        root->Release();
        os::FreeModule(module);
        return FxFailed;
    }
    MOXPluginRecord added;
    added.kind = plugin->GetKind();
    plugin->GetId(&added.id);
    added.path = Cut(path);
    char16_t name[MOXNameChars] = {};
    plugin->GetName(name, MOXNameChars - 1);
    added.name.assign(name, std::find(name, name + MOXNameChars, u'\0'));
    if (FindPlugin(added.id, nullptr) == FxOk) {
        plugin->Release();
        root->Release();
        os::FreeModule(module);
        return FxFailed;
    }
    plugins_.push_back(std::move(added));
    plugin->OnLoad();
    plugin->Release();
    root->Release();
    return FxOk;
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
    IFxBase* const root = RootOf(module);
    if (!root)
        return FxFailed;
    IMOXPlugin* const plugin = Ask<IMOXPlugin>(root, MOXPluginInterfaceNumber);
    if (!plugin) {
        root->Release();
        return FxFailed;
    }
    plugin->OnUnload();
    plugin->Release();
    root->Release();
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
        std::vector<std::wstring> paths;
        for (const auto& record : plugins_)
            paths.push_back(record.path);
        FxStatus unloaded = 0;
        for (const auto& path : paths) {
            if (Unload(path) == FxOk)
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

FxStatus MOXPluginManager::FindSource(const MOXGuid& id, IMOXSource** out) const {
    for (const auto& record : sources_) {
        if (!SameId(record->id, id))
            continue;
        if (!record->source || !record->ready)
            return FxNotReady;
        *out = record->source;
        return FxOk;
    }
    return FxInvalid;
}

FxStatus MOXPluginManager::GetPluginInterface(const wchar_t* path, std::int32_t number, void** out) {
    if (!out || *out || !path)
        return FxFailed;
    const os::Module module = os::LoadedModule(path);
    if (module == os::kNoModule)
        return FxFailed;
    IFxBase* const root = RootOf(module);
    if (!root)
        return FxFailed;
    root->QueryInterface(number, out);
    root->Release();
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
            void* source = nullptr;
            GetPluginInterface(plugin.path.c_str(), MOXSourceInterfaceNumber, &source);
            if (source) {
                record->source = static_cast<IMOXSource*>(source);
                // In the table before Open, so that the reference is released with it whatever Open does.
                sources_.push_back(std::move(record));
                if (sources_.back()->source->Open() == FxOk) {
                    sources_.back()->ready = true;
                    anyReady = true;
                }
            } else {
                sources_.push_back(std::move(record));
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
    for (auto& record : table) {
        if (record->source)
            record->source->Release();
    }
    return FxOk;
}

FxStatus MOXPluginManager::QuerySourceCapability(const MOXGuid& id, std::uint32_t* flag) {
    try {
        *flag = 0;
        IMOXSource* source = nullptr;
        if (const FxStatus found = FindSource(id, &source); found != FxOk)
            return found;
        IMOXCapability* const capability = Ask<IMOXCapability>(source, MOXCapabilityInterfaceNumber);
        if (!capability)
            return FxFailed;
        capability->GetCapability(flag);
        capability->Release();
        return FxOk;
    } catch (...) {
        return FxException;
    }
}

FxStatus MOXPluginManager::AdviseSource(const MOXGuid& id, ICallbackInterface* callback,
                                        std::uint32_t reserved) {
    try {
        IMOXSource* source = nullptr;
        if (const FxStatus found = FindSource(id, &source); found != FxOk)
            return found;
        return source->Advise(callback, reserved);
    } catch (...) {
        return FxException;
    }
}

FxStatus MOXPluginManager::UnadviseSource(const MOXGuid& id, ICallbackInterface* callback) {
    try {
        IMOXSource* source = nullptr;
        if (const FxStatus found = FindSource(id, &source); found != FxOk)
            return found;
        return source->Unadvise(callback);
    } catch (...) {
        return FxException;
    }
}

} // namespace qel
