// machine.h - the simulated machine behind the seam: what tests set up and inspect.
//
// One machine is current per process; the seam functions of platform/sim act on it. Tests start each case
// with Machine::Reset() and build the registry and files they need.
#ifndef QELBOOT_PLATFORM_SIM_MACHINE_H
#define QELBOOT_PLATFORM_SIM_MACHINE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/os.h"

namespace qel::sim {

struct RegValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
};

// Key, value and path comparisons ignore case (ASCII and Latin-1 letters), as the registry's do.
std::wstring FoldCase(const std::wstring& text);

class Machine {
public:
    Machine();
    static Machine& Current();
    static void Reset();

    // Registry set-up. Paths are relative to the hive; missing keys on the way are created.
    void CreateKey(os::Hive hive, const std::wstring& path);
    void SetValue(os::Hive hive, const std::wstring& path, const std::wstring& name, std::uint32_t type,
                  std::vector<std::uint8_t> bytes);
    void SetString(os::Hive hive, const std::wstring& path, const std::wstring& name,
                   const std::wstring& text);
    // REG_SZ whose stored bytes end without the terminating null.
    void SetUnterminatedString(os::Hive hive, const std::wstring& path, const std::wstring& name,
                               const std::wstring& text);
    void SetDword(os::Hive hive, const std::wstring& path, const std::wstring& name, std::uint32_t value);

    // Access rights of the user on one key (a hive root is path ""). Denied reads fail opens that ask for
    // reading; denied writes fail opens that ask for writing, creating subkeys included.
    void DenyRead(os::Hive hive, const std::wstring& path);
    void DenyWrite(os::Hive hive, const std::wstring& path);

    bool KeyExists(os::Hive hive, const std::wstring& path) const;
    std::optional<RegValue> GetValue(os::Hive hive, const std::wstring& path, const std::wstring& name) const;
    std::optional<std::uint32_t> GetDword(os::Hive hive, const std::wstring& path,
                                          const std::wstring& name) const;

    // Files; existence ignores case, and the folders of an added file exist too. Relative paths are taken
    // from the current directory.
    void AddFile(const std::wstring& path);
    void AddFolder(const std::wstring& path);
    void SetFileText(const std::wstring& path, const std::wstring& text); // adds the file too
    void RemoveFile(const std::wstring& path);
    bool FileExists(const std::wstring& path) const;
    bool IsFolder(const std::wstring& path) const;
    std::wstring FullPath(const std::wstring& path) const;
    const std::wstring& CurrentDirectory() const { return currentDirectory_; }
    bool ChangeCurrentDirectory(const std::wstring& path);
    std::uint32_t ProfileSection(const std::wstring& file, const std::wstring& section, wchar_t* buffer,
                                 std::uint32_t capacity) const;

    // Debugger output and console output, in order.
    const std::vector<std::wstring>& DebugLines() const { return debugLines_; }
    const std::vector<std::wstring>& ConsoleLines() const { return consoleLines_; }
    // Also copy every debugger line to standard error as it is written, so that a test that watches this
    // process end (a death test) can read them; spawns show as "<spawn> ARGV..." and deleted registry values
    // as "<value deleted> NAME" among them.
    void EchoDebugLinesToStderr(bool echo) { echoDebugLines_ = echo; }

    // --- Processes -------------------------------------------------------------------------------------
    struct Process {
        std::uint32_t id = 0;
        std::wstring path; // first module's file name; empty: cannot be read
        std::uint32_t session = 1;
        bool openable = true;
        bool alive = true;
        std::uint32_t exitCode = 0;
    };
    // The calling process is process 100, program C:\host.exe, until SetSelf says otherwise.
    static constexpr std::uint32_t kSelfId = 100;
    void SetSelf(const std::wstring& path);
    std::uint32_t AddProcess(const std::wstring& path);
    Process* FindProcess(std::uint32_t id);
    const Process* FindProcess(std::uint32_t id) const;
    void FailProcessSnapshot(bool fail) { failSnapshot_ = fail; }

    struct Termination {
        std::uint32_t id;
        std::uint32_t exitCode;
        std::uint64_t at; // virtual milliseconds
    };
    const std::vector<Termination>& Terminations() const { return terminations_; }

    struct SpawnRecord {
        os::SpawnMode mode;
        std::wstring program;
        std::vector<std::wstring> argv;
        std::uint64_t at;
        std::intptr_t result;
    };
    const std::vector<SpawnRecord>& Spawns() const { return spawns_; }
    // Spawning succeeds when the program file exists; the new process gets the program as its path.

    // The process command line, already split as CommandLineToArgvW splits it.
    void SetCommandLine(std::vector<std::wstring> arguments) { commandLine_ = std::move(arguments); }
    void FailCommandLineSplit(bool fail) { failCommandLine_ = fail; }

    // --- Windows ---------------------------------------------------------------------------------------
    // A top-level window of a process; it goes away with the process.
    os::Window AddWindow(std::uint32_t processId, const std::wstring& title);
    struct SentMessage {
        os::Window window;
        std::uint32_t processId;
        std::uint32_t message;
        std::uint64_t at;
    };
    const std::vector<SentMessage>& SentMessages() const { return sentMessages_; }

    // --- Kernel objects --------------------------------------------------------------------------------
    // A named mutex another process holds.
    void HoldMutexElsewhere(const std::wstring& name) { ++mutexes_[name]; }
    bool MutexExists(const std::wstring& name) const;
    void FailMutexCreation(bool fail) { failMutex_ = fail; }
    std::size_t OpenHandleCount() const { return kernelHandles_.size(); }

    // --- Modules and sessions --------------------------------------------------------------------------
    void SetConsoleSession(std::uint32_t session) { consoleSession_ = session; }
    std::uint32_t ConsoleSession() const { return consoleSession_; }
    void RemoveModule(const std::wstring& name) { missingModules_.insert(FoldCase(name)); }
    void RemoveModuleFunction(const std::string& name) { missingFunctions_.insert(name); }
    std::size_t LoadedModuleCount() const { return loadedModules_.size(); }

    // --- Time and version ------------------------------------------------------------------------------
    std::uint64_t Now() const { return now_; }
    void Sleep(std::uint32_t milliseconds) { now_ += milliseconds; }
    // The answers of GetVersionExW; each record kind can be made to fail.
    void SetVersion(std::uint32_t major, std::uint32_t minor, std::uint8_t productType,
                    std::uint32_t platformId = 2);
    void FailVersionQuery(bool extendedFails, bool basicFails);

    // --- The seam's side -------------------------------------------------------------------------------
    std::uint32_t SelfId() const { return kSelfId; }
    os::Handle OpenProcessHandle(std::uint32_t id);
    bool ModulePathOf(os::Handle process, std::uint32_t maxChars, std::wstring* path) const;
    bool SnapshotIds(std::vector<std::uint32_t>* ids) const;
    bool Terminate(os::Handle process, std::uint32_t exitCode);
    bool CloseKernelHandle(os::Handle handle);
    os::Handle CreateMutex(const std::wstring& name, bool* alreadyExisted);
    std::intptr_t Spawn(os::SpawnMode mode, const std::wstring& program,
                        const std::vector<std::wstring>& argv);
    bool CommandLine(std::vector<std::wstring>* arguments) const;
    void RecordConsole(const std::wstring& text) { consoleLines_.push_back(text); }
    void EnumWindows(os::WindowVisitor visit, std::intptr_t param) const;
    std::wstring WindowTitle(os::Window window, int maxChars) const;
    std::intptr_t SendMessage(os::Window window, std::uint32_t message);
    os::Module LoadModule(const std::wstring& name);
    void* ModuleFunction(os::Module module, const char* name) const;
    bool FreeModule(os::Module module);
    bool QueryVersion(bool extendedRecord, os::VersionInfo* version) const;

    // Keys opened through the seam and not closed yet.
    std::size_t OpenKeyCount() const { return handles_.size(); }
    // Registry calls made through the seam since the machine was reset.
    std::size_t RegistryCallCount() const { return registryCalls_; }
    // Makes the n-th registry call from now (1 = the next) throw std::bad_alloc, as memory exhaustion would
    // inside the library; 0 switches it off.
    void ThrowOnRegistryCall(std::size_t n) { throwCountdown_ = n; }

    // The seam's side, used by platform/sim's functions.
    long Open(os::RegKey parent, const wchar_t* subkey, std::uint32_t access, os::RegKey* out, bool create);
    long Close(os::RegKey key);
    long Query(os::RegKey key, const wchar_t* name, std::uint32_t* type, std::uint8_t* data,
               std::uint32_t* size);
    long Set(os::RegKey key, const wchar_t* name, std::uint32_t type, const std::uint8_t* data,
             std::uint32_t size);
    long Delete(os::RegKey key, const wchar_t* name);
    long Enum(os::RegKey key, std::uint32_t index, wchar_t* name, std::uint32_t* capacity);
    void RecordDebugLine(const std::wstring& line);
    void Echo(const std::wstring& line) const;

private:
    struct Key {
        std::wstring name;
        bool denyRead = false;
        bool denyWrite = false;
        std::map<std::wstring, std::unique_ptr<Key>> children; // by folded name: the enumeration order
        // Where the last enumeration stood, so that enumerating index after index stays linear.
        std::size_t enumIndex = 0;
        std::map<std::wstring, std::unique_ptr<Key>>::iterator enumAt = children.end();
        std::map<std::wstring, std::pair<std::wstring, RegValue>> values; // folded name -> (name, value)
    };
    struct Handle {
        Key* key;
        std::uint32_t access;
    };

    Key* Root(os::Hive hive);
    const Key* Root(os::Hive hive) const;
    Key* Find(os::Hive hive, const std::wstring& path);
    const Key* Find(os::Hive hive, const std::wstring& path) const;
    Key* Resolve(os::RegKey key, std::uint32_t* access);
    void CountCall();

    Key currentUser_;
    Key localMachine_;
    std::map<std::uintptr_t, Handle> handles_;
    std::uintptr_t nextHandle_ = 0x100;
    std::set<std::wstring> files_;                   // folded full paths of files
    std::set<std::wstring> folders_;                 // folded full paths of folders
    std::map<std::wstring, std::wstring> fileTexts_; // folded full path -> content
    std::wstring currentDirectory_ = L"C:\\";
    std::vector<std::wstring> debugLines_;
    std::vector<std::wstring> consoleLines_;
    bool echoDebugLines_ = false;

    struct KernelObject {
        enum Kind { ProcessObject, MutexObject } kind;
        std::uint32_t processId = 0;
        std::wstring mutexName;
    };
    std::map<std::uint32_t, Process> processes_;
    std::uint32_t nextProcessId_ = 200;
    bool failSnapshot_ = false;
    std::vector<Termination> terminations_;
    std::vector<SpawnRecord> spawns_;
    std::vector<std::wstring> commandLine_{L"C:\\host.exe"};
    bool failCommandLine_ = false;
    struct WindowRecord {
        std::uintptr_t handle;
        std::uint32_t processId;
        std::wstring title;
    };
    std::vector<WindowRecord> windows_;
    std::uintptr_t nextWindow_ = 0x10000;
    std::vector<SentMessage> sentMessages_;
    std::map<std::wstring, int> mutexes_; // name -> open handles, in any process
    bool failMutex_ = false;
    std::map<std::uintptr_t, KernelObject> kernelHandles_;
    std::uintptr_t nextKernelHandle_ = 0x1000;
    std::uint32_t consoleSession_ = 1;
    std::set<std::wstring> missingModules_;
    std::set<std::string> missingFunctions_;
    std::map<std::uintptr_t, std::wstring> loadedModules_;
    std::uintptr_t nextModule_ = 0x70000000;
    std::uint64_t now_ = 0;
    os::VersionInfo version_{5, 1, 2, 1};
    bool failExtendedVersion_ = false;
    bool failBasicVersion_ = false;
    std::size_t registryCalls_ = 0;
    std::size_t throwCountdown_ = 0;
};

} // namespace qel::sim

#endif // QELBOOT_PLATFORM_SIM_MACHINE_H
