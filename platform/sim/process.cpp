// process.cpp - the simulated processes and kernel objects: named mutexes, process lookup, ending, spawning.
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

struct ProcessRun {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::optional<std::uint32_t> exitCode;
    std::exception_ptr escaped;
};
// Set while RunAsProcess runs: any thread of the process may end it.
std::atomic<ProcessRun*> processRun{nullptr};

} // namespace

using KernelObject = ProcessState::KernelObject;

Process* ProcessState::OfHandle(os::Handle handle) {
    const auto found = kernelHandles.find(static_cast<std::uintptr_t>(handle));
    if (found == kernelHandles.end() || found->second.kind != KernelObject::ProcessObject)
        return nullptr;
    return Find(found->second.processId);
}

os::Handle ProcessState::NewHandle(KernelObject object) {
    const auto raw = nextKernelHandle;
    nextKernelHandle += 4;
    kernelHandles.emplace(raw, std::move(object));
    return static_cast<os::Handle>(raw);
}

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

void Machine::SetSelf(const std::wstring& path) {
    processes_.byId[kSelfId].path = path;
    if (!path.empty())
        AddFile(path);
}

std::uint32_t Machine::AddProcess(const std::wstring& path) {
    const std::uint32_t id = processes_.nextProcessId;
    processes_.nextProcessId += 4;
    processes_.byId[id] = Process{id, path};
    return id;
}

Process* Machine::FindProcess(std::uint32_t id) { return processes_.Find(id); }

const Process* Machine::FindProcess(std::uint32_t id) const {
    return const_cast<ProcessState&>(processes_).Find(id);
}

os::Handle Machine::OpenProcessHandle(std::uint32_t id, std::uint32_t access) {
    const Process* process = FindProcess(id);
    if (!process || !process->alive || !process->openable)
        return os::kNoHandle;
    if (processes_.version.major < 6 && (access & ~os::kProcessAllAccessBeforeVista) != 0)
        return os::kNoHandle;
    return processes_.NewHandle(KernelObject{KernelObject::ProcessObject, id, {}});
}

bool Machine::ModulePathOf(os::Handle process, std::uint32_t maxChars, std::wstring* path) {
    const Process* found = processes_.OfHandle(process);
    if (!found || found->path.empty())
        return false;
    *path = found->path.substr(0, maxChars);
    return true;
}

bool Machine::SnapshotIds(std::vector<std::uint32_t>* ids) const {
    if (processes_.failSnapshot)
        return false;
    ids->clear();
    for (const auto& [id, process] : processes_.byId) {
        if (process.alive)
            ids->push_back(id);
    }
    return true;
}

bool Machine::Terminate(os::Handle process, std::uint32_t exitCode) {
    Process* found = processes_.OfHandle(process);
    if (!found || !found->alive)
        return false;
    found->alive = false;
    processes_.terminations.push_back(Termination{found->id, exitCode, now_});
    return true;
}

bool Machine::CloseKernelHandle(os::Handle handle) {
    auto& handles = processes_.kernelHandles;
    const auto found = handles.find(static_cast<std::uintptr_t>(handle));
    if (found == handles.end())
        return false;
    if (found->second.kind == KernelObject::MutexObject) {
        auto mutex = processes_.mutexes.find(found->second.mutexName);
        if (mutex != processes_.mutexes.end() && --mutex->second == 0)
            processes_.mutexes.erase(mutex);
    }
    handles.erase(found);
    return true;
}

bool Machine::MutexExists(const std::wstring& name) const { return processes_.mutexes.count(name) != 0; }

os::Handle Machine::CreateMutex(const std::wstring& name, bool* alreadyExisted) {
    int& count = processes_.mutexes[name];
    *alreadyExisted = count > 0;
    ++count;
    return processes_.NewHandle(KernelObject{KernelObject::MutexObject, 0, name});
}

std::intptr_t Machine::Spawn(os::SpawnMode mode, const std::wstring& program,
                             const std::vector<std::wstring>& argv) {
    std::intptr_t result = -1;
    if (FileExists(program))
        result = static_cast<std::intptr_t>(AddProcess(files_.FullPath(program)));
    processes_.spawns.push_back(SpawnRecord{mode, program, argv, now_, result});
    std::wstring echo = L"<spawn>";
    for (const auto& argument : argv)
        echo += L" " + argument;
    Echo(echo);
    return result;
}

} // namespace qel::sim

namespace qel::os {

bool CloseKernelHandle(Handle handle) { return sim::Machine::Current().CloseKernelHandle(handle); }

Handle CreateNamedMutex(const std::wstring& name, bool* alreadyExisted) {
    return sim::SeamFault() ? kNoHandle : sim::Machine::Current().CreateMutex(name, alreadyExisted);
}

std::uint32_t CurrentProcessId() { return sim::Machine::kSelfId; }

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
    // No test expects its own program to end here, and ending it with the library's code (often 0) would
    // pass a test that stopped half-way.
    std::fprintf(stderr, "os::ExitProcess(%u) called outside Machine::RunAsProcess\n", exitCode);
    std::abort();
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

} // namespace qel::os
