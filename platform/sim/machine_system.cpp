// machine_system.cpp - the simulated machine's processes, windows, kernel objects, modules, clock and output,
// and the seam functions that act on them.
#include <cstdio>
#include <cstdlib>
#include <cwctype>

#include "platform/sim/machine.h"

namespace qel::sim {
namespace {

std::uint32_t QELBOOT_WINAPI SimConsoleSession() { return Machine::Current().ConsoleSession(); }

std::wstring Trim(const std::wstring& text) {
    const auto first = text.find_first_not_of(L" \t\r");
    if (first == std::wstring::npos)
        return {};
    const auto last = text.find_last_not_of(L" \t\r");
    return text.substr(first, last - first + 1);
}

} // namespace

Machine::Machine() {
    processes_[kSelfId] = Process{kSelfId, L"C:\\host.exe"};
    AddFile(L"C:\\host.exe");
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
    Echo(line);
}

void Machine::Echo(const std::wstring& line) const {
    if (echoDebugLines_) {
        std::fprintf(stderr, "%ls\n", line.c_str());
        std::fflush(stderr);
    }
}

os::Handle Machine::OpenProcessHandle(std::uint32_t id) {
    const Process* process = FindProcess(id);
    if (!process || !process->alive || !process->openable)
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

os::Window Machine::AddWindow(std::uint32_t processId, const std::wstring& title) {
    const auto raw = nextWindow_;
    nextWindow_ += 2;
    windows_.push_back(WindowRecord{raw, processId, title});
    return static_cast<os::Window>(raw);
}

void Machine::EnumWindows(os::WindowVisitor visit, std::intptr_t param) const {
    // A copy: a visitor may end processes and so take windows away.
    const auto windows = windows_;
    for (const auto& window : windows) {
        const Process* owner = FindProcess(window.processId);
        if (owner && !owner->alive)
            continue;
        if (!visit(static_cast<os::Window>(window.handle), param))
            return;
    }
}

std::wstring Machine::WindowTitle(os::Window window, int maxChars) const {
    for (const auto& record : windows_) {
        if (record.handle == static_cast<std::uintptr_t>(window))
            return maxChars > 0 ? record.title.substr(0, static_cast<std::size_t>(maxChars - 1))
                                : std::wstring();
    }
    return {};
}

std::intptr_t Machine::SendMessage(os::Window window, std::uint32_t message) {
    for (const auto& record : windows_) {
        if (record.handle == static_cast<std::uintptr_t>(window)) {
            sentMessages_.push_back(SentMessage{window, record.processId, message, now_});
            return 0;
        }
    }
    return 0;
}

os::Module Machine::LoadModule(const std::wstring& name) {
    if (missingModules_.count(FoldCase(name)))
        return os::kNoModule;
    const auto raw = nextModule_;
    nextModule_ += 0x10000;
    loadedModules_[raw] = FoldCase(name);
    return static_cast<os::Module>(raw);
}

void* Machine::ModuleFunction(os::Module module, const char* name) const {
    const auto found = loadedModules_.find(static_cast<std::uintptr_t>(module));
    if (found == loadedModules_.end() || missingFunctions_.count(name))
        return nullptr;
    if (found->second == L"KERNEL32.DLL" && std::string(name) == "WTSGetActiveConsoleSessionId")
        return reinterpret_cast<void*>(&SimConsoleSession);
    return nullptr;
}

bool Machine::FreeModule(os::Module module) {
    return loadedModules_.erase(static_cast<std::uintptr_t>(module)) != 0;
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

std::uint32_t Machine::ProfileSection(const std::wstring& file, const std::wstring& section, wchar_t* buffer,
                                      std::uint32_t capacity) const {
    // An empty list is two nulls, as the real call writes it.
    if (capacity < 2)
        return 0;
    buffer[0] = L'\0';
    buffer[1] = L'\0';
    const auto text = fileTexts_.find(FoldCase(FullPath(file)));
    if (text == fileTexts_.end())
        return 0;
    std::wstring lines;
    bool inSection = false;
    std::size_t start = 0;
    const std::wstring& content = text->second;
    while (start <= content.size()) {
        auto end = content.find(L'\n', start);
        if (end == std::wstring::npos)
            end = content.size();
        const std::wstring line = Trim(content.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line.front() == L'[') {
            const auto close = line.find(L']');
            inSection =
                close != std::wstring::npos && FoldCase(Trim(line.substr(1, close - 1))) == FoldCase(section);
            continue;
        }
        if (inSection && !line.empty() && line.front() != L';') {
            lines += line;
            lines += L'\0';
        }
    }
    // The section's lines, each ended by a null, then one more null; cut to fit like the real call.
    if (lines.empty())
        return 0;
    std::uint32_t written = 0;
    for (; written < lines.size() && written + 2 < capacity; ++written)
        buffer[written] = lines[written];
    buffer[written] = L'\0';
    if (written < lines.size())
        buffer[written + 1] = L'\0';
    return written;
}

} // namespace qel::sim

namespace qel::os {

bool FileExists(const std::wstring& path) { return sim::Machine::Current().FileExists(path); }

bool IsDirectory(const std::wstring& path) { return sim::Machine::Current().IsFolder(path); }

std::wstring RemoveFileSpec(const std::wstring& path) {
    const auto slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return {};
    // A drive root keeps its backslash.
    if (slash == 2 && path.size() > 1 && path[1] == L':')
        return path.substr(0, 3);
    if (slash == 0)
        return path.substr(0, 1);
    return path.substr(0, slash);
}

std::wstring CurrentDirectory() { return sim::Machine::Current().CurrentDirectory(); }

bool ChangeCurrentDirectory(const std::wstring& path) {
    return sim::Machine::Current().ChangeCurrentDirectory(path);
}

std::uint32_t ProfileSection(const std::wstring& file, const std::wstring& section, wchar_t* buffer,
                             std::uint32_t capacity) {
    return sim::Machine::Current().ProfileSection(file, section, buffer, capacity);
}

void DebugOutput(const std::wstring& line) { sim::Machine::Current().RecordDebugLine(line); }

void ConsoleWrite(const std::wstring& text) { sim::Machine::Current().RecordConsole(text); }

bool CommandLineArguments(std::vector<std::wstring>* arguments) {
    return sim::Machine::Current().CommandLine(arguments);
}

bool CloseKernelHandle(Handle handle) { return sim::Machine::Current().CloseKernelHandle(handle); }

Handle CreateNamedMutex(const std::wstring& name, bool* alreadyExisted) {
    return sim::Machine::Current().CreateMutex(name, alreadyExisted);
}

std::uint32_t CurrentProcessId() { return sim::Machine::Current().SelfId(); }

Handle OpenProcess(std::uint32_t id, std::uint32_t) { return sim::Machine::Current().OpenProcessHandle(id); }

bool FirstModulePath(Handle process, std::uint32_t maxChars, std::wstring* path) {
    return sim::Machine::Current().ModulePathOf(process, maxChars, path);
}

bool ProcessIds(std::vector<std::uint32_t>* ids) { return sim::Machine::Current().SnapshotIds(ids); }

bool TerminateProcess(Handle process, std::uint32_t exitCode) {
    return sim::Machine::Current().Terminate(process, exitCode);
}

void ExitProcess(std::uint32_t exitCode) {
    // The simulated process is the test process: it ends for real, as the caller expects.
    std::fflush(nullptr);
    std::_Exit(static_cast<int>(exitCode));
}

bool ProcessSession(std::uint32_t id, std::uint32_t* session) {
    const auto* process = sim::Machine::Current().FindProcess(id);
    if (!process)
        return false;
    *session = process->session;
    return true;
}

std::intptr_t Spawn(SpawnMode mode, const std::wstring& program, const std::vector<std::wstring>& argv) {
    return sim::Machine::Current().Spawn(mode, program, argv);
}

Module LoadModule(const std::wstring& path) { return sim::Machine::Current().LoadModule(path); }

void* ModuleFunction(Module module, const char* name) {
    return sim::Machine::Current().ModuleFunction(module, name);
}

bool FreeModule(Module module) { return sim::Machine::Current().FreeModule(module); }

void EnumTopLevelWindows(WindowVisitor visit, std::intptr_t param) {
    sim::Machine::Current().EnumWindows(visit, param);
}

std::wstring WindowTitle(Window window, int maxChars) {
    return sim::Machine::Current().WindowTitle(window, maxChars);
}

std::intptr_t SendWindowMessage(Window window, std::uint32_t message, std::uintptr_t, std::intptr_t) {
    return sim::Machine::Current().SendMessage(window, message);
}

void SleepFor(std::uint32_t milliseconds) { sim::Machine::Current().Sleep(milliseconds); }

bool QueryVersion(bool extendedRecord, VersionInfo* version) {
    return sim::Machine::Current().QueryVersion(extendedRecord, version);
}

} // namespace qel::os
