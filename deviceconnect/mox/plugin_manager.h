// plugin_manager.h - the host side of the .mox plug-in framework: finding, loading and registering plug-ins,
// opening their sources, and unloading them again.
#ifndef QELBOOT_DEVICECONNECT_MOX_PLUGIN_MANAGER_H
#define QELBOOT_DEVICECONNECT_MOX_PLUGIN_MANAGER_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "platform/os.h"
#include "qelboot_mox.h"

namespace qel {

// Names and paths held by the framework are cut at this many characters.
inline constexpr std::size_t kMoxTextChars = 260;

bool SameId(const MOXGuid& a, const MOXGuid& b);

// A registered plug-in. Records handed to LoadPlugin and UnloadPlugin need only the path.
struct MOXPluginRecord {
    std::uint32_t kind = 0;
    MOXGuid id{};
    std::wstring name;
    std::wstring path; // as the module was loaded
};

struct MOXSourceRecord {
    bool ready = false; // Open answered FxOk
    std::wstring name;
    std::uint32_t kind = 0;
    MOXGuid id{};
    IMOXSource* source = nullptr; // one reference held
    std::wstring path;            // the plug-in's module, named when its code raises
};

// The host's enumerator of the registered plug-ins' sources: copies made when it is created.
class CEnumSourceManager final : public IEnumSourceManager {
public:
    std::int32_t MOXAPI QueryInterface(std::int32_t number, void** out) override;
    std::uint32_t MOXAPI AddRef() override;
    std::uint32_t MOXAPI Release() override;
    FxStatus MOXAPI GetCount(std::uint32_t* count) override;
    FxStatus MOXAPI Next(MOXSourceInfo* entry) override;
    FxStatus MOXAPI Reset() override;

    void Append(const MOXSourceInfo& entry) { entries_.push_back(entry); }

private:
    std::atomic<std::uint32_t> references_{0};
    std::vector<MOXSourceInfo> entries_;
    std::size_t cursor_ = 0;
};

// The .mox files LoadAllPlugins would load, in its order: every file matching *.mox in `directory`, then in
// its sub-folders whose names match *.mox, breadth first.
void ForEachPluginFile(const std::wstring& directory, const std::function<void(const std::wstring&)>& visit);

// One manager serves one thread. Destroying it neither releases sources nor frees modules: its owner calls
// ReleaseSources and UnloadAllPlugins first.
class MOXPluginManager {
public:
    FxStatus SetPluginDirectory(const wchar_t* path);
    FxStatus LoadPlugin(const MOXPluginRecord& record);
    FxStatus UnloadPlugin(const MOXPluginRecord& record);
    // The number of plug-ins loaded.
    std::uint32_t LoadAllPlugins();
    // The number of plug-ins unloaded, or FxException.
    FxStatus UnloadAllPlugins();
    FxStatus BuildSourceTable();
    FxStatus ReleaseSources();
    // `out` must hold null; it receives an enumerator with one reference.
    FxStatus CreateSourceEnumerator(IEnumSourceManager** out);
    FxStatus FindPlugin(const MOXGuid& id, MOXPluginRecord* out) const;
    // No reference is added to the interface stored in `out`.
    FxStatus FindSource(const MOXGuid& id, IMOXSource** out) const;
    // `out` must hold null; it receives the interface with one reference. The module must be loaded already.
    FxStatus GetPluginInterface(const wchar_t* path, std::int32_t number, void** out);
    FxStatus QuerySourceCapability(const MOXGuid& id, std::uint32_t* flag);
    FxStatus AdviseSource(const MOXGuid& id, ICallbackInterface* callback, std::uint32_t reserved);
    FxStatus UnadviseSource(const MOXGuid& id, ICallbackInterface* callback);

    const std::wstring& PluginDirectory() const { return directory_; }
    const std::list<MOXPluginRecord>& Plugins() const { return plugins_; }
    const std::vector<std::unique_ptr<MOXSourceRecord>>& Sources() const { return sources_; }

private:
    FxStatus Load(const std::wstring& path);
    FxStatus Register(os::Module module, const std::wstring& path);
    FxStatus Unload(const std::wstring& path);
    const MOXSourceRecord* FindSourceRecord(const MOXGuid& id, FxStatus* status) const;

    std::wstring directory_;
    std::list<MOXPluginRecord> plugins_;
    std::vector<std::unique_ptr<MOXSourceRecord>> sources_;
};

} // namespace qel

#endif // QELBOOT_DEVICECONNECT_MOX_PLUGIN_MANAGER_H
