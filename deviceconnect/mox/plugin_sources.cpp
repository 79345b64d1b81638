// The plug-in host's sources: the enumerator of registered plug-ins, the table of opened sources, and the
// calls a tracker makes on one source. Plug-in code may throw; every operation that calls into it turns that
// into FxException.
#include <algorithm>
#include <memory>
#include <new>

#include "deviceconnect/mox/plugin_code.h"
#include "deviceconnect/mox/plugin_manager.h"

namespace qel {
namespace {

void CopyName(const std::wstring& name, char16_t (&out)[MOXNameChars]) {
    const std::size_t length = std::min<std::size_t>(name.size(), MOXNameChars - 1);
    std::copy_n(name.begin(), length, out);
    out[length] = u'\0';
}

} // namespace

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
