// machine_system.cpp - the simulated machine's processes, kernel objects, modules, version and output, and
// the seam functions that act on them.
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <thread>

#include "platform/sim/machine.h"

namespace qel::sim {
namespace {

// GetModuleHandleW(nullptr) of a program loaded at its preferred base.
constexpr std::uintptr_t kProgramModule = 0x00400000;

std::uint32_t QELBOOT_WINAPI SimConsoleSession() { return Machine::Current().ConsoleSession(); }

std::intptr_t QELBOOT_WINAPI StaticWindowProc(os::Window window, std::uint32_t message, std::uintptr_t wParam,
                                              std::intptr_t lParam) {
    return os::DefaultWindowProc(window, message, wParam, lParam);
}

} // namespace

struct ProcessRun {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::optional<std::uint32_t> exitCode;
    std::exception_ptr escaped;
};
// Set while RunAsProcess runs: any thread of the process may end it.
std::atomic<ProcessRun*> processRun{nullptr};

std::optional<std::uint32_t> Machine::RunAsProcess(const std::function<void()>& body) {
    // Shared: a thread that called ExitProcess keeps waiting on it after this returns.
    auto run = std::make_shared<ProcessRun>();
    processRun = run.get();
    std::thread([run, &body] {
        std::exception_ptr escaped;
        try {
            body();
        } catch (...) {
            escaped = std::current_exception();
        }
        const std::lock_guard<std::mutex> lock(run->mutex);
        run->escaped = escaped;
        run->done = true;
        run->ended.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(run->mutex);
    run->ended.wait(lock, [&run] { return run->done; });
    processRun = nullptr;
    if (run->escaped)
        std::rethrow_exception(run->escaped);
    return run->exitCode;
}

Machine::Machine() {
    processes_[kSelfId] = Process{kSelfId, L"C:\\host.exe"};
    AddDrive(L'C', os::kDriveFixed, L"NTFS");
    AddFile(L"C:\\host.exe");
    classes_[L"STATIC"] = WindowClass{L"Static", &StaticWindowProc, os::kNoModule};
}

void Machine::SetSelf(const std::wstring& path) {
    processes_[kSelfId].path = path;
    if (!path.empty())
        AddFile(path);
}

std::uint32_t Machine::AddProcess(const std::wstring& path) {
    const std::uint32_t id = nextProcessId_;
    nextProcessId_ += 4;
    processes_[id] = Process{id, path};
    return id;
}

Machine::Process* Machine::FindProcess(std::uint32_t id) {
    const auto found = processes_.find(id);
    return found == processes_.end() ? nullptr : &found->second;
}

const Machine::Process* Machine::FindProcess(std::uint32_t id) const {
    return const_cast<Machine*>(this)->FindProcess(id);
}

void Machine::RecordDebugLine(const std::wstring& line) {
    debugLines_.push_back(line);
    debugRecords_.push_back(DebugRecord{now_, CurrentThread(), line});
    Echo(line);
}

void Machine::Echo(const std::wstring& line) const {
    if (echoDebugLines_) {
        std::fprintf(stderr, "%ls\n", line.c_str());
        std::fflush(stderr);
    }
}

os::Handle Machine::OpenProcessHandle(std::uint32_t id, std::uint32_t access) {
    const Process* process = FindProcess(id);
    if (!process || !process->alive || !process->openable)
        return os::kNoHandle;
    if (version_.major < 6 && (access & ~os::kProcessAllAccessBeforeVista) != 0)
        return os::kNoHandle;
    const auto raw = nextKernelHandle_;
    nextKernelHandle_ += 4;
    kernelHandles_[raw] = KernelObject{KernelObject::ProcessObject, id, {}};
    return static_cast<os::Handle>(raw);
}

bool Machine::ModulePathOf(os::Handle process, std::uint32_t maxChars, std::wstring* path) const {
    const auto handle = kernelHandles_.find(static_cast<std::uintptr_t>(process));
    if (handle == kernelHandles_.end() || handle->second.kind != KernelObject::ProcessObject)
        return false;
    const Process* found = FindProcess(handle->second.processId);
    if (!found || found->path.empty())
        return false;
    *path = found->path.substr(0, maxChars);
    return true;
}

bool Machine::SnapshotIds(std::vector<std::uint32_t>* ids) const {
    if (failSnapshot_)
        return false;
    ids->clear();
    for (const auto& [id, process] : processes_) {
        if (process.alive)
            ids->push_back(id);
    }
    return true;
}

bool Machine::Terminate(os::Handle process, std::uint32_t exitCode) {
    const auto handle = kernelHandles_.find(static_cast<std::uintptr_t>(process));
    if (handle == kernelHandles_.end() || handle->second.kind != KernelObject::ProcessObject)
        return false;
    Process* found = FindProcess(handle->second.processId);
    if (!found || !found->alive)
        return false;
    found->alive = false;
    found->exitCode = exitCode;
    terminations_.push_back(Termination{found->id, exitCode, now_});
    return true;
}

bool Machine::CloseKernelHandle(os::Handle handle) {
    const auto found = kernelHandles_.find(static_cast<std::uintptr_t>(handle));
    if (found == kernelHandles_.end())
        return false;
    if (found->second.kind == KernelObject::MutexObject) {
        auto mutex = mutexes_.find(found->second.mutexName);
        if (mutex != mutexes_.end() && --mutex->second == 0)
            mutexes_.erase(mutex);
    }
    kernelHandles_.erase(found);
    return true;
}

bool Machine::MutexExists(const std::wstring& name) const { return mutexes_.count(name) != 0; }

os::Handle Machine::CreateMutex(const std::wstring& name, bool* alreadyExisted) {
    if (failMutex_)
        return os::kNoHandle;
    int& count = mutexes_[name];
    *alreadyExisted = count > 0;
    ++count;
    const auto raw = nextKernelHandle_;
    nextKernelHandle_ += 4;
    kernelHandles_[raw] = KernelObject{KernelObject::MutexObject, 0, name};
    return static_cast<os::Handle>(raw);
}

std::intptr_t Machine::Spawn(os::SpawnMode mode, const std::wstring& program,
                             const std::vector<std::wstring>& argv) {
    std::intptr_t result = -1;
    if (FileExists(program))
        result = static_cast<std::intptr_t>(AddProcess(FullPath(program)));
    spawns_.push_back(SpawnRecord{mode, program, argv, now_, result});
    std::wstring echo = L"<spawn>";
    for (const auto& argument : argv)
        echo += L" " + argument;
    Echo(echo);
    return result;
}

bool Machine::CommandLine(std::vector<std::wstring>* arguments) const {
    if (failCommandLine_)
        return false;
    *arguments = commandLine_;
    return true;
}

void Machine::AddLibrary(const std::wstring& path, std::shared_ptr<Library> library) {
    AddFile(path);
    libraries_[FoldCase(FullPath(path))] = std::move(library);
}

bool Machine::IsLoaded(const std::wstring& path) const { return LoadedModule(path) != os::kNoModule; }

os::Module Machine::LoadModule(const std::wstring& name, bool asData) {
    const bool byPath = name.find(L'\\') != std::wstring::npos;
    const std::wstring key = FoldCase(byPath ? FullPath(name) : name);
    Library* library = nullptr;
    if (byPath) {
        const auto found = libraries_.find(key);
        if (found == libraries_.end() || !FileExists(key))
            return os::kNoModule;
        library = found->second.get();
    } else if (missingModules_.count(key) || asData) {
        return os::kNoModule;
    }
    if (!asData) {
        if (const os::Module loaded = LoadedModule(name); loaded != os::kNoModule) {
            ++loadedModules_[static_cast<std::uintptr_t>(loaded)].references;
            return loaded;
        }
    }
    const auto raw = nextModule_;
    nextModule_ += 0x10000;
    loadedModules_[raw] = LoadedModuleRecord{key, asData, 1, library};
    return static_cast<os::Module>(raw);
}

os::Module Machine::LoadedModule(const std::wstring& path) const {
    const std::wstring key = FoldCase(path.find(L'\\') != std::wstring::npos ? FullPath(path) : path);
    for (const auto& [raw, record] : loadedModules_) {
        if (!record.asData && record.name == key)
            return static_cast<os::Module>(raw);
    }
    return os::kNoModule;
}

void* Machine::ModuleFunction(os::Module module, const char* name) const {
    const auto found = loadedModules_.find(static_cast<std::uintptr_t>(module));
    if (found == loadedModules_.end() || found->second.asData || missingFunctions_.count(name))
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
    const auto found = loadedModules_.find(static_cast<std::uintptr_t>(module));
    if (found == loadedModules_.end())
        return false;
    if (--found->second.references == 0)
        loadedModules_.erase(found);
    return true;
}

bool Machine::PinModuleOf(os::ThreadProc code) {
    // No module holds address 0.
    if (!code)
        return false;
    pinnedCode_.push_back(code);
    return true;
}

void Machine::SetVersion(std::uint32_t major, std::uint32_t minor, std::uint8_t productType,
                         std::uint32_t platformId) {
    version_ = os::VersionInfo{major, minor, platformId, productType};
}

void Machine::FailVersionQuery(bool extendedFails, bool basicFails) {
    failExtendedVersion_ = extendedFails;
    failBasicVersion_ = basicFails;
}

bool Machine::QueryVersion(bool extendedRecord, os::VersionInfo* version) const {
    if (extendedRecord ? failExtendedVersion_ : failBasicVersion_)
        return false;
    *version = version_;
    if (!extendedRecord)
        version->productType = 0;
    return true;
}

} // namespace qel::sim

namespace qel::os {

void DebugOutput(const std::wstring& line) { sim::Machine::Current().RecordDebugLine(line); }

void ConsoleWrite(const std::wstring& text) { sim::Machine::Current().RecordConsole(text); }

bool CommandLineArguments(std::vector<std::wstring>* arguments) {
    return !sim::SeamFault() && sim::Machine::Current().CommandLine(arguments);
}

bool CloseKernelHandle(Handle handle) { return sim::Machine::Current().CloseKernelHandle(handle); }

Handle CreateNamedMutex(const std::wstring& name, bool* alreadyExisted) {
    return sim::SeamFault() ? kNoHandle : sim::Machine::Current().CreateMutex(name, alreadyExisted);
}

std::uint32_t CurrentProcessId() { return sim::Machine::Current().SelfId(); }

Handle OpenProcess(std::uint32_t id, std::uint32_t access) {
    return sim::SeamFault() ? kNoHandle : sim::Machine::Current().OpenProcessHandle(id, access);
}

bool FirstModulePath(Handle process, std::uint32_t maxChars, std::wstring* path) {
    return !sim::SeamFault() && sim::Machine::Current().ModulePathOf(process, maxChars, path);
}

bool ProcessIds(std::vector<std::uint32_t>* ids) {
    return !sim::SeamFault() && sim::Machine::Current().SnapshotIds(ids);
}

bool TerminateProcess(Handle process, std::uint32_t exitCode) {
    return !sim::SeamFault() && sim::Machine::Current().Terminate(process, exitCode);
}

void ExitProcess(std::uint32_t exitCode) {
    if (sim::ProcessRun* run = sim::processRun) {
        std::unique_lock<std::mutex> lock(run->mutex);
        run->exitCode = exitCode;
        run->done = true;
        run->ended.notify_all();
        run->ended.wait(lock, [] { return false; });
    }
    // The simulated process is the test process: it ends for real, as the caller expects.
    std::fflush(nullptr);
    std::_Exit(static_cast<int>(exitCode));
}

bool ProcessSession(std::uint32_t id, std::uint32_t* session) {
    const auto* process = sim::SeamFault() ? nullptr : sim::Machine::Current().FindProcess(id);
    if (!process)
        return false;
    *session = process->session;
    return true;
}

std::intptr_t Spawn(SpawnMode mode, const std::wstring& program, const std::vector<std::wstring>& argv) {
    return sim::SeamFault() ? -1 : sim::Machine::Current().Spawn(mode, program, argv);
}

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

bool QueryVersion(bool extendedRecord, VersionInfo* version) {
    return !sim::SeamFault() && sim::Machine::Current().QueryVersion(extendedRecord, version);
}

} // namespace qel::os
