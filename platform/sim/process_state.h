// process_state.h - the simulated processes, kernel objects and modules, and the process's surroundings.
#ifndef QELBOOT_PLATFORM_SIM_PROCESS_STATE_H
#define QELBOOT_PLATFORM_SIM_PROCESS_STATE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/os.h"

namespace qel::sim {

struct Process {
    std::uint32_t id = 0;
    std::wstring path; // first module's file name; empty: cannot be read
    std::uint32_t session = 1;
    bool openable = true;
    bool alive = true;
};

struct Termination {
    std::uint32_t id;
    std::uint32_t exitCode;
    std::uint64_t at; // virtual milliseconds
};

struct SpawnRecord {
    os::SpawnMode mode;
    std::wstring program;
    std::vector<std::wstring> argv;
    std::uint64_t at;
    std::intptr_t result;
};

// A library file's code: the functions it exports by name.
class Library {
public:
    virtual ~Library() = default;
    virtual void* Function(const std::string& name) = 0;
};

struct ProcessState {
    struct KernelObject {
        enum Kind { ProcessObject, MutexObject } kind;
        std::uint32_t processId = 0;
        std::wstring mutexName;
    };

    Process* Find(std::uint32_t id) {
        const auto found = byId.find(id);
        return found == byId.end() ? nullptr : &found->second;
    }
    // The process an open process handle names; null for any other handle.
    Process* OfHandle(os::Handle handle);
    os::Handle NewHandle(KernelObject object);

    std::map<std::uint32_t, Process> byId;
    std::uint32_t nextProcessId = 200;
    bool failSnapshot = false;
    std::vector<Termination> terminations;
    std::vector<SpawnRecord> spawns;
    std::map<std::wstring, int> mutexes; // name -> open handles, in any process
    std::map<std::uintptr_t, KernelObject> kernelHandles;
    std::uintptr_t nextKernelHandle = 0x1000;
    std::vector<std::wstring> commandLine{L"C:\\host.exe"};
    std::uint32_t consoleSession = 1;
    os::VersionInfo version{5, 1, 2, 1};
    bool failExtendedVersion = false;
    bool failBasicVersion = false;
};

struct ModuleState {
    struct Loaded {
        std::wstring name; // folded: a full path, or a system module's name
        bool asData = false;
        std::size_t references = 1;
        Library* library = nullptr;
    };

    std::set<std::wstring> missingModules;
    std::set<std::string> missingFunctions;
    std::map<std::uintptr_t, Loaded> loaded;
    std::map<std::wstring, std::shared_ptr<Library>> libraries; // by folded full path
    std::uintptr_t nextModule = 0x70000000;
    std::vector<os::ThreadProc> pinnedCode;
};

} // namespace qel::sim

#endif // QELBOOT_PLATFORM_SIM_PROCESS_STATE_H
