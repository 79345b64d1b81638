// module.cpp - the simulated modules: system ones by name, library files by path; guarded calls.
#include "platform/sim/machine.h"

namespace qel::sim {
namespace {

// GetModuleHandleW(nullptr) of a program loaded at its preferred base.
constexpr std::uintptr_t kProgramModule = 0x00400000;

std::uint32_t QELBOOT_WINAPI SimConsoleSession() { return Machine::Current().ConsoleSession(); }

} // namespace

void Machine::AddLibrary(const std::wstring& path, std::shared_ptr<Library> library) {
    AddFile(path);
    modules_.libraries[FoldCase(files_.FullPath(path))] = std::move(library);
}

bool Machine::IsLoaded(const std::wstring& path) const { return LoadedModule(path) != os::kNoModule; }

os::Module Machine::LoadModule(const std::wstring& name, bool asData) {
    const bool byPath = name.find(L'\\') != std::wstring::npos;
    const std::wstring key = FoldCase(byPath ? files_.FullPath(name) : name);
    Library* library = nullptr;
    if (byPath) {
        const auto found = modules_.libraries.find(key);
        if (found == modules_.libraries.end() || !FileExists(key))
            return os::kNoModule;
        library = found->second.get();
    } else if (modules_.missingModules.count(key) || asData) {
        return os::kNoModule;
    }
    if (!asData) {
        if (const os::Module loaded = LoadedModule(name); loaded != os::kNoModule) {
            ++modules_.loaded[static_cast<std::uintptr_t>(loaded)].references;
            return loaded;
        }
    }
    const auto raw = modules_.nextModule;
    modules_.nextModule += 0x10000;
    modules_.loaded[raw] = ModuleState::Loaded{key, asData, 1, library};
    return static_cast<os::Module>(raw);
}

os::Module Machine::LoadedModule(const std::wstring& path) const {
    const std::wstring key = FoldCase(path.find(L'\\') != std::wstring::npos ? files_.FullPath(path) : path);
    for (const auto& [raw, record] : modules_.loaded) {
        if (!record.asData && record.name == key)
            return static_cast<os::Module>(raw);
    }
    return os::kNoModule;
}

void* Machine::ModuleFunction(os::Module module, const char* name) const {
    const auto found = modules_.loaded.find(static_cast<std::uintptr_t>(module));
    if (found == modules_.loaded.end() || found->second.asData || modules_.missingFunctions.count(name))
        return nullptr;
    if (found->second.library)
        return found->second.library->Function(name);
    if (found->second.name == L"STI.DLL" && std::string(name) == "StiCreateInstance")
        return StiCreateInstanceAddress();
    if (found->second.name == L"KERNEL32.DLL" && std::string(name) == "WTSGetActiveConsoleSessionId")
        return reinterpret_cast<void*>(&SimConsoleSession);
    return nullptr;
}

bool Machine::FreeModule(os::Module module) {
    const auto found = modules_.loaded.find(static_cast<std::uintptr_t>(module));
    if (found == modules_.loaded.end())
        return false;
    if (--found->second.references == 0)
        modules_.loaded.erase(found);
    return true;
}

bool Machine::PinModuleOf(os::ThreadProc code) {
    // No module holds address 0.
    if (!code)
        return false;
    modules_.pinnedCode.push_back(code);
    return true;
}

} // namespace qel::sim

namespace qel::os {

Module LoadModule(const std::wstring& path) {
    return sim::SeamFault() ? kNoModule : sim::Machine::Current().LoadModule(path);
}

void* ModuleFunction(Module module, const char* name) {
    return sim::SeamFault() ? nullptr : sim::Machine::Current().ModuleFunction(module, name);
}

bool FreeModule(Module module) { return sim::Machine::Current().FreeModule(module); }

Module LoadModuleAsData(const std::wstring& path) {
    return sim::SeamFault() ? kNoModule : sim::Machine::Current().LoadModule(path, true);
}

Module LoadedModule(const std::wstring& path) {
    return sim::SeamFault() ? kNoModule : sim::Machine::Current().LoadedModule(path);
}

Module ProgramModule() { return static_cast<Module>(sim::kProgramModule); }

std::uint32_t CallGuarded(GuardedCall call, void* context) {
    try {
        call(context);
        return 0;
    } catch (const sim::RaisedException& raised) {
        return raised.code;
    } catch (...) {
        return kCxxExceptionCode;
    }
}

bool PinModuleOf(ThreadProc code) { return !sim::SeamFault() && sim::Machine::Current().PinModuleOf(code); }

} // namespace qel::os
