// machine.h - the simulated machine's facade: what tests set up and inspect, and what the seam calls.
//
// One machine is current per process; the seam functions of platform/sim act on it. Tests start each case
// with Machine::Reset() and build the registry, files, drives and windows they need. Each service keeps its
// state in a header of its own (registry_state.h, files_state.h, process_state.h, window_state.h,
// imaging_state.h) and its code in the .cpp file named like platform/win32's for it (threads: scheduler.cpp).
#ifndef QELBOOT_PLATFORM_SIM_MACHINE_H
#define QELBOOT_PLATFORM_SIM_MACHINE_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/sim/files_state.h"
#include "platform/sim/imaging_state.h"
#include "platform/sim/process_state.h"
#include "platform/sim/registry_state.h"
#include "platform/sim/scheduler.h"
#include "platform/sim/window_state.h"

namespace qel::sim {

// Key, value and path comparisons ignore case (ASCII and Latin-1 letters), as the registry's do.
std::wstring FoldCase(const std::wstring& text);
// The backslash-separated parts of a path or key path, empty ones left out.
std::vector<std::wstring> SplitPath(const std::wstring& path);

// A structured exception (a fault, RaiseException) raised by code on the simulated machine: os::CallGuarded
// ends the call and reports `code`.
struct RaisedException {
    std::uint32_t code;
};

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
    // from the current directory. A folder lists its entries in the order they were added, as a FAT card
    // does. Files on a drive letter that was removed or has no medium do not exist until it is back; a letter
    // never added as a drive holds files all the same, it just is no drive.
    void AddFile(const std::wstring& path);
    void AddFolder(const std::wstring& path);
    void SetFileText(const std::wstring& path, const std::wstring& text); // adds the file too
    void RemoveFile(const std::wstring& path);
    bool FileExists(const std::wstring& path) const;
    bool IsFolder(const std::wstring& path) const;
    const std::wstring& CurrentDirectory() const { return files_.currentDirectory; }
    bool ChangeCurrentDirectory(const std::wstring& path);
    std::uint32_t ProfileSection(const std::wstring& file, const std::wstring& section, wchar_t* buffer,
                                 std::uint32_t capacity) const;

    // --- Drives and volumes -----------------------------------------------------------------------------
    // The machine starts with C:, a fixed NTFS drive. `type` is one of os::kDrive*; letters are upper or
    // lower case. A drive without medium keeps its letter and type, but its volume cannot be read or listed.
    void AddDrive(wchar_t letter, std::uint32_t type, const std::wstring& fileSystem = L"FAT32",
                  bool medium = true);
    void RemoveDrive(wchar_t letter); // its files stay stored for a later AddDrive
    void InsertMedium(wchar_t letter);
    void RemoveMedium(wchar_t letter);
    // After `calls` more FindFirstEntry/FindNextEntry calls (on any folder), the drive's medium is removed:
    // a card pulled in the middle of a search.
    void RemoveMediumAfterListingCalls(wchar_t letter, std::size_t calls);
    std::size_t OpenFindCount() const { return files_.listings.size(); }
    std::uint32_t ErrorMode() const { return files_.errorMode; }
    // DriveType, VolumeInformation and FindFirstEntry calls on a removable drive without medium while the
    // error mode lacks os::kSemFailCriticalErrors: each would put up a "no disk" box on Windows.
    std::size_t CriticalErrorBoxes() const { return files_.criticalErrorBoxes; }

    // --- Threads in virtual time -----------------------------------------------------------------------
    // Simulated threads run one at a time; control changes hands only when the running thread sleeps, waits
    // for a lock held by another thread or for a message, or ends. The next runnable thread in FIFO order
    // runs; when none is, the clock jumps to the earliest wake time or event, the events due then fire in the
    // order they were scheduled, then the threads due then become runnable in the order they went to sleep.
    // The test's thread (any thread that is not a simulated one) is thread 1 and takes part like any other.
    using ThreadRecord = sim::ThreadRecord;
    const std::vector<ThreadRecord>& Threads() const { return scheduler_.Records(); } // ids 2, 3, ...
    std::uint32_t CurrentThread() const { return scheduler_.CurrentId(); }            // 0 inside an event
    void FailThreadStarts(bool fail) { scheduler_.FailStarts(fail); }
    // Ends every thread (see Scheduler::EndThreads), so that Reset frees this machine instead of parking it.
    void EndThreads() { scheduler_.EndThreads(); }
    // An event runs with the machine to itself, at `time` or, when that has passed, at the next scheduling
    // point. It may set the machine up and post messages, not sleep or wait.
    void At(std::uint64_t time, std::function<void()> event) { scheduler_.At(time, std::move(event)); }
    // The calling thread sleeps; everything else runs meanwhile.
    void RunFor(std::uint64_t milliseconds) { scheduler_.Sleep(milliseconds); }
    // Waits until no other thread is runnable or sleeping and no event is pending: true then; false when
    // `limitMs` of virtual time passed first.
    bool RunUntilIdle(std::uint64_t limitMs = 3'600'000) { return scheduler_.RunUntilIdle(limitMs); }

    // Debugger output and console output, in order.
    const std::vector<std::wstring>& DebugLines() const { return debugLines_; }
    struct DebugRecord {
        std::uint64_t at;
        std::uint32_t thread;
        std::wstring line;
    };
    const std::vector<DebugRecord>& DebugRecords() const { return debugRecords_; }
    const std::vector<std::wstring>& ConsoleLines() const { return consoleLines_; }
    // Also copy every debugger line to standard error as it is written, so that a test that watches this
    // process end (a death test) can read them; spawns show as "<spawn> ARGV..." and deleted registry values
    // as "<value deleted> NAME" among them.
    void EchoDebugLinesToStderr(bool echo) { echoDebugLines_ = echo; }

    // --- Processes -------------------------------------------------------------------------------------
    using Process = sim::Process;
    // The calling process is process 100, program C:\host.exe, until SetSelf says otherwise.
    static constexpr std::uint32_t kSelfId = 100;
    void SetSelf(const std::wstring& path);
    std::uint32_t AddProcess(const std::wstring& path);
    Process* FindProcess(std::uint32_t id);
    const Process* FindProcess(std::uint32_t id) const;
    void FailProcessSnapshot(bool fail) { processes_.failSnapshot = fail; }
    using Termination = sim::Termination;
    const std::vector<Termination>& Terminations() const { return processes_.terminations; }
    using SpawnRecord = sim::SpawnRecord;
    const std::vector<SpawnRecord>& Spawns() const { return processes_.spawns; }
    // Spawning succeeds when the program file exists; the new process gets the program as its path.

    // The process command line, already split as CommandLineToArgvW splits it.
    void SetCommandLine(std::vector<std::wstring> arguments) {
        processes_.commandLine = std::move(arguments);
    }

    // --- Windows ---------------------------------------------------------------------------------------
    // A top-level window of another process; it goes away with the process.
    os::Window AddWindow(std::uint32_t processId, const std::wstring& title);
    // Windows of this process belong to the thread that created them and go away when it ends.
    os::Window FindWindowByTitle(const std::wstring& title) const;
    std::wstring WindowClassOf(os::Window window) const;
    void FailClassRegistration(bool fail) { windows_.failClassRegistration = fail; }
    // The next `count` GetWindowMessage calls fail without taking a message.
    void FailGetMessage(std::size_t count) { windows_.failGetMessages = count; }
    // Every GetWindowMessage call that failed: a scripted failure, or a window that is gone (Windows fails
    // every fetch for a window filter that names no window). A thread that fails a thousand fetches in a row
    // without virtual time passing would spin for ever: it is parked for good instead, so that the test goes
    // on and sees it here.
    using FailedFetch = sim::FailedFetch;
    const std::vector<FailedFetch>& FailedFetches() const { return windows_.failedFetches; }
    // A message sent by another process to a window of this one, as SendMessageW from there: the owner
    // thread's procedure receives it inside its next GetWindowMessage call. The sender is not the library,
    // so it is not among SentMessages. The default window procedure destroys a window on WM_CLOSE.
    void SendFromElsewhere(os::Window window, std::uint32_t message, std::uintptr_t wParam = 0,
                           std::intptr_t lParam = 0);
    // WM_DEVICECHANGE sent, as Windows broadcasts it, to every top-level window of this process: the owner
    // thread's procedure receives it inside its next GetWindowMessage call, which then goes on waiting.
    void BroadcastDeviceChange(std::uintptr_t wParam);
    // Every call of a window procedure, the creation messages included.
    using DeliveredMessage = sim::DeliveredMessage;
    const std::vector<DeliveredMessage>& Delivered() const { return windows_.delivered; }
    using SentMessage = sim::SentMessage;
    const std::vector<SentMessage>& SentMessages() const { return windows_.sent; }

    // --- Kernel objects --------------------------------------------------------------------------------
    // A named mutex another process holds.
    void HoldMutexElsewhere(const std::wstring& name) { ++processes_.mutexes[name]; }
    bool MutexExists(const std::wstring& name) const;
    std::size_t OpenHandleCount() const { return processes_.kernelHandles.size(); }

    // --- Modules and sessions --------------------------------------------------------------------------
    void SetConsoleSession(std::uint32_t session) { processes_.consoleSession = session; }
    std::uint32_t ConsoleSession() const { return processes_.consoleSession; }
    // Modules named without a folder are the system's: each loads unless removed.
    void RemoveModule(const std::wstring& name) { modules_.missingModules.insert(FoldCase(name)); }
    void RemoveModuleFunction(const std::string& name) { modules_.missingFunctions.insert(name); }
    // Modules loaded by path are library files: AddLibrary puts one at `path`, whose exported functions
    // `library` hands out. Any other file is not a library and loads neither as one nor as data. A path
    // loaded twice gives the same module; it unloads when freed as often as it was loaded.
    using Library = sim::Library;
    void AddLibrary(const std::wstring& path, std::shared_ptr<Library> library);
    std::size_t LoadedModuleCount() const { return modules_.loaded.size(); }
    bool IsLoaded(const std::wstring& path) const;
    // What PinModuleOf was given: code of the library, linked into the test, that is to stay loaded.
    const std::vector<os::ThreadProc>& PinnedCode() const { return modules_.pinnedCode; }

    // --- Imaging services -------------------------------------------------------------------------------
    // WIA: a device manager with a local device list, in listing order.
    using WiaDevice = sim::WiaDevice;
    std::vector<WiaDevice>& WiaDevices() { return imaging_.wiaDevices; }
    void SetWiaMissing(bool missing) { imaging_.wiaMissing = missing; }
    void RefuseWiaRegistration(bool refuse) { imaging_.refuseWiaRegistration = refuse; }
    void FailWiaEnumeration(bool fail) { imaging_.failWiaEnumeration = fail; }
    // A connection event, handed to every registered receiver on the thread that registered it, through
    // that thread's message loop. nullopt: WIA gives no device ID.
    void RaiseWiaConnection(const std::optional<std::wstring>& deviceId);
    // COM objects handed out and not released; COM initialisations not balanced yet.
    std::size_t ComObjectCount() const { return imaging_.comObjects.size(); }
    int ComApartments() const { return imaging_.comApartments; }
    // STI: sti.dll's StiCreateInstance and its device list (RemoveModule, RemoveModuleFunction take them).
    std::vector<os::StiDevice>& StiDevices() { return imaging_.stiDevices; }
    void FailStiCreation(bool fail) { imaging_.failStiCreation = fail; }
    void FailStiInitialization(bool fail) { imaging_.failStiInitialization = fail; }
    void FailStiDeviceLists(std::size_t count) { imaging_.failStiDeviceLists = count; }
    // TWAIN: twain_32.dll's data-source manager at ordinal 1, and its sources' product names.
    std::vector<std::string>& TwainSources() { return imaging_.twainSources; }
    void RemoveTwainEntry(bool removed) { imaging_.removeTwainEntry = removed; }
    void RefuseTwainOpen(bool refuse) { imaging_.refuseTwainOpen = refuse; }
    using TwainCall = sim::TwainCall;
    const std::vector<TwainCall>& TwainCalls() const { return imaging_.twainCalls; }
    std::uint16_t DsmEntry(twain::TW_IDENTITY* origin, std::uint32_t dataGroup, std::uint16_t dataType,
                           std::uint16_t message, void* data);

    // --- Time and version ------------------------------------------------------------------------------
    std::uint64_t Now() const { return now_; }
    // The answers of GetVersionExW; each record kind can be made to fail.
    void SetVersion(std::uint32_t major, std::uint32_t minor, std::uint8_t productType,
                    std::uint32_t platformId = 2);
    void FailVersionQuery(bool extendedFails, bool basicFails);

    // --- The seam's side -------------------------------------------------------------------------------
    // Before Vista, access bits those systems do not know are refused, as they refuse them.
    os::Handle OpenProcessHandle(std::uint32_t id, std::uint32_t access);
    bool ModulePathOf(os::Handle process, std::uint32_t maxChars, std::wstring* path);
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
    std::intptr_t SendMessage(os::Window window, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam);
    bool RegisterClass(const wchar_t* className, os::WindowProc proc);
    os::Window CreateWindow(const wchar_t* className, const wchar_t* title);
    int GetMessage(os::WindowMessage* message, os::Window window, std::uint32_t first, std::uint32_t last);
    std::intptr_t Dispatch(const os::WindowMessage& message);
    bool PostMessage(os::Window window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    bool StartThread(os::ThreadProc proc, void* param);
    os::Lock NewLock() { return scheduler_.NewLock(); }
    void EnterLock(os::Lock lock) { scheduler_.Enter(lock); }
    void LeaveLock(os::Lock lock) { scheduler_.Leave(lock); }
    std::uint32_t SetErrorMode(std::uint32_t mode);
    std::uint32_t LogicalDriveMask() const;
    std::uint32_t DriveTypeOf(const wchar_t* root);
    bool VolumeInformation(const wchar_t* root, wchar_t* volumeName, std::uint32_t volumeNameSize,
                           wchar_t* fileSystemName, std::uint32_t fileSystemNameSize);
    long FindFirst(const std::wstring& pattern, os::FindHandle* find, os::FindData* entry);
    long FindNext(os::FindHandle find, os::FindData* entry);
    bool CloseFind(os::FindHandle find);
    os::Module LoadModule(const std::wstring& name, bool asData = false);
    os::Module LoadedModule(const std::wstring& path) const;
    void* ModuleFunction(os::Module module, const char* name) const;
    bool FreeModule(os::Module module);
    bool QueryVersion(bool extendedRecord, os::VersionInfo* version) const;
    bool DestroyWindow(os::Window window);
    os::WindowProc ReplaceWindowProc(os::Window window, os::WindowProc proc);
    bool PinModuleOf(os::ThreadProc code);
    void* ModuleFunctionByOrdinal(os::Module module, std::uint16_t ordinal) const;
    long ComInitialize();
    void ComUninitialize() { --imaging_.comApartments; }
    void ReleaseComObject(os::ComObject object);
    long CreateWiaDeviceManager(os::ComObject* manager);
    long RegisterWiaEvent(os::ComObject manager, os::WiaEventSink* sink, os::ComObject* registration);
    long EnumWiaDevices(os::ComObject manager, os::ComObject* enumerator);
    long NextWiaDevice(os::ComObject enumerator, os::ComObject* storage);
    long ReadWiaDeviceProperties(os::ComObject storage, os::WiaDeviceProperties* properties);
    long CreateStillImage(void* createInstance, os::ComObject* sti);
    long InitializeStillImage(os::ComObject sti);
    long StillImageDevices(os::ComObject sti, std::vector<os::StiDevice>* devices);
    // Runs `call` on `thread` inside its message loop, as a COM call into an apartment arrives.
    void PostCall(std::uint32_t thread, std::function<void()> call);

    // Keys opened through the seam and not closed yet.
    std::size_t OpenKeyCount() const { return registry_.handles.size(); }
    // Registry calls made through the seam since the machine was reset.
    std::size_t RegistryCallCount() const { return registry_.calls; }
    // Makes the n-th registry call from now (1 = the next) throw std::bad_alloc, as memory exhaustion would
    // inside the library; 0 switches it off.
    void ThrowOnRegistryCall(std::size_t n) { registry_.throwCountdown = n; }

    // Every seam call that can fail on Windows (closing and freeing calls aside), counted since the reset.
    std::size_t SeamCallCount() const { return seamCalls_; }
    // Makes the n-th such call from now (1 = the next) fail once: with the failure that call knows (a
    // registry error, a null handle, false, an HRESULT failure), or by throwing std::bad_alloc as memory
    // exhaustion inside the library would. 0 switches it off.
    enum class FaultKind { Error, Throw };
    void FailSeamCall(std::size_t n, FaultKind kind) { faultCountdown_ = n, faultKind_ = kind; }
    // For the seam functions: counts one call; true when it is to fail, or throws std::bad_alloc.
    bool SeamCallFails();
    // Windows of this process that exist.
    std::size_t OwnWindowCount() const;
    // Runs `body` as the process's main thread on a real thread of its own, and answers whether it called
    // os::ExitProcess, and with which code. Such a thread never runs again; it stays parked, as the process
    // it stood for is gone. Without this, os::ExitProcess aborts the test program.
    static std::optional<std::uint32_t> RunAsProcess(const std::function<void()>& body);

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

private:
    void Echo(const std::wstring& line) const;
    std::intptr_t CallWindowProc(os::Window window, std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam);
    void WakeForMessage(std::uint32_t thread, const os::WindowMessage* posted);
    int FailFetch();
    void ForgetThread(std::uint32_t thread);

    RegistryState registry_;
    FileState files_;
    ProcessState processes_;
    ModuleState modules_;
    WindowState windows_;
    ImagingState imaging_;
    std::vector<std::wstring> debugLines_;
    std::vector<DebugRecord> debugRecords_;
    std::vector<std::wstring> consoleLines_;
    bool echoDebugLines_ = false;
    std::uint64_t now_ = 0;
    std::size_t seamCalls_ = 0;
    std::size_t faultCountdown_ = 0;
    FaultKind faultKind_ = FaultKind::Error;

    // Last: it moves the clock above.
    Scheduler scheduler_{now_};
};

// For the seam functions: true when this call is to fail (see Machine::FailSeamCall).
inline bool SeamFault() { return Machine::Current().SeamCallFails(); }

} // namespace qel::sim

#endif // QELBOOT_PLATFORM_SIM_MACHINE_H
