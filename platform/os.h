// os.h - the operating-system services the library uses, and nothing else.
//
// Everything above this seam is portable. Two implementations sit below it: platform/win32 (each function
// is about one Win32 call) and platform/sim (a deterministic simulated machine for tests). Functions return
// Win32 error codes and leave out-parameters untouched on failure, exactly as the calls they stand for.
#ifndef QELBOOT_PLATFORM_OS_H
#define QELBOOT_PLATFORM_OS_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// The system's own calling convention, for functions the system calls back (thread routines, window
// procedures) and functions it hands out.
#if defined(_WIN32)
#define QELBOOT_WINAPI __stdcall
#else
#define QELBOOT_WINAPI
#endif

namespace qel::os {

// Win32 error codes the library and its tests look at.
inline constexpr long kSuccess = 0;
inline constexpr long kFileNotFound = 2;
inline constexpr long kPathNotFound = 3;
inline constexpr long kAccessDenied = 5;
inline constexpr long kInvalidHandle = 6;
inline constexpr long kNotEnoughMemory = 8;
inline constexpr long kNoMoreFiles = 18;
inline constexpr long kNotReady = 21;
inline constexpr long kInvalidParameter = 87;
inline constexpr long kInsufficientBuffer = 122;
inline constexpr long kMoreData = 234;
inline constexpr long kNoMoreItems = 259;
inline constexpr long kNotFound = 1168;

// Registry value types.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

// Registry access rights.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyWrite = 0x20006;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;

enum class Hive { CurrentUser, LocalMachine };

// An open registry key (HKEY). The zero value is no key.
enum class RegKey : std::uintptr_t {};
inline constexpr RegKey kNoKey{};

// The predefined key of a hive; it needs no closing.
RegKey HiveRoot(Hive hive);

// RegOpenKeyExW(parent, subkey, 0, access, out)
long OpenRegKey(RegKey parent, const wchar_t* subkey, std::uint32_t access, RegKey* out);

// RegCreateKeyExW(parent, subkey, 0, no class, REG_OPTION_NON_VOLATILE, access, no security, out, no
// disposition)
long CreateRegKey(RegKey parent, const wchar_t* subkey, std::uint32_t access, RegKey* out);

long CloseRegKey(RegKey key);

// RegQueryValueExW(key, name, 0, type, data, size). `type` and `data` may be null; `size` is in bytes,
// in/out, and may be null only when `data` is.
long QueryRegValue(RegKey key, const wchar_t* name, std::uint32_t* type, std::uint8_t* data,
                   std::uint32_t* size);

// RegSetValueExW(key, name, 0, type, data, size)
long SetRegValue(RegKey key, const wchar_t* name, std::uint32_t type, const std::uint8_t* data,
                 std::uint32_t size);

long DeleteRegValue(RegKey key, const wchar_t* name);

// RegEnumKeyExW(key, index, name, capacity, 0, no class, no class size, last-write time ignored).
// `capacity` is in characters, the terminator included; on success it receives the name's length.
long EnumRegKey(RegKey key, std::uint32_t index, wchar_t* name, std::uint32_t* capacity);

// PathFileExistsW(path). A relative path is taken from the current directory.
bool FileExists(const std::wstring& path);

// PathIsDirectoryW(path)
bool IsDirectory(const std::wstring& path);

// PathRemoveFileSpecW on a copy of `path`: the path without its last component.
std::wstring RemoveFileSpec(const std::wstring& path);

// GetCurrentDirectoryW / SetCurrentDirectoryW
std::wstring CurrentDirectory();
bool ChangeCurrentDirectory(const std::wstring& path);

// GetPrivateProfileSectionW(section, buffer, capacity, file): the section's lines, each ended by a null, into
// `buffer` of `capacity` characters; the result is the number of characters written without the final null,
// 0 when the file or the section is missing.
std::uint32_t ProfileSection(const std::wstring& file, const std::wstring& section, wchar_t* buffer,
                             std::uint32_t capacity);

// OutputDebugStringW(line)
void DebugOutput(const std::wstring& line);

// wprintf(L"%ls", text): words for a person on standard output.
void ConsoleWrite(const std::wstring& text);

// GetCommandLineW split by CommandLineToArgvW; false when splitting fails.
bool CommandLineArguments(std::vector<std::wstring>* arguments);

// --- Kernel objects --------------------------------------------------------------------------------------

// A kernel object handle (process, mutex). The zero value is no handle.
enum class Handle : std::uintptr_t {};
inline constexpr Handle kNoHandle{};

// CloseHandle(handle)
bool CloseKernelHandle(Handle handle);

// CreateMutexW(default security, not owned, name), then GetLastError() == ERROR_ALREADY_EXISTS.
Handle CreateNamedMutex(const std::wstring& name, bool* alreadyExisted);

// --- Processes -------------------------------------------------------------------------------------------

// PROCESS_ALL_ACCESS as Vista and later define it, and as the systems before them do: Windows 2000, XP and
// Server 2003 refuse to open any process when asked for the newer bits.
inline constexpr std::uint32_t kProcessAllAccess = 0x1FFFFF;
inline constexpr std::uint32_t kProcessAllAccessBeforeVista = 0x1F0FFF;

// GetCurrentProcessId()
std::uint32_t CurrentProcessId();

// OpenProcess(access, FALSE, id); kNoHandle on failure.
Handle OpenProcess(std::uint32_t id, std::uint32_t access);

// EnumProcessModules for the first module, then GetModuleFileNameExW with room for `maxChars` characters.
// `path` is left untouched on failure.
bool FirstModulePath(Handle process, std::uint32_t maxChars, std::wstring* path);

// CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS) walked with Process32FirstW / Process32NextW: the ids of all
// processes. False when the walk cannot start.
bool ProcessIds(std::vector<std::uint32_t>* ids);

// TerminateProcess(process, exitCode)
bool TerminateProcess(Handle process, std::uint32_t exitCode);

// ExitProcess(exitCode)
[[noreturn]] void ExitProcess(std::uint32_t exitCode);

// ProcessIdToSessionId(id, session)
bool ProcessSession(std::uint32_t id, std::uint32_t* session);

// _wspawnvp(mode, program, argv): the program is searched along PATH when it has no folder; the arguments are
// joined with single blanks, unquoted. The result is -1 on failure; the started process is not waited for
// and no handle to it is kept.
enum class SpawnMode { NoWait = 1, Detach = 4 };
std::intptr_t Spawn(SpawnMode mode, const std::wstring& program, const std::vector<std::wstring>& argv);

// --- Modules ---------------------------------------------------------------------------------------------

enum class Module : std::uintptr_t {};
inline constexpr Module kNoModule{};

// LoadLibraryW(path)
Module LoadModule(const std::wstring& path);
// GetProcAddress(module, name)
void* ModuleFunction(Module module, const char* name);
// FreeLibrary(module)
bool FreeModule(Module module);
// LoadLibraryExW(path, no file, LOAD_LIBRARY_AS_DATAFILE): the file mapped for reading only, nothing in it
// run; it fails for a file that is not a library.
Module LoadModuleAsData(const std::wstring& path);
// GetModuleHandleW(path): a library already loaded under that path (a relative one is taken from the current
// directory), without a reference added; kNoModule when there is none.
Module LoadedModule(const std::wstring& path);

// WTSGetActiveConsoleSessionId, found in kernel32 at run time.
using ConsoleSessionFunction = std::uint32_t(QELBOOT_WINAPI*)();

// GetModuleHandleW(nullptr): the program's own module, not this library's.
Module ProgramModule();

// --- Threads and locks -----------------------------------------------------------------------------------

// A thread routine, in the shape CreateThread calls.
using ThreadProc = std::uint32_t(QELBOOT_WINAPI*)(void* param);

// CreateThread(default security, default stack size, proc, param, no flags, no id). The thread runs on its
// own; no handle to it is kept. False when it could not be created.
bool StartThread(ThreadProc proc, void* param);

// GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, code, module),
// found in kernel32 at run time: the module that holds `code` stays loaded until the process ends, however
// often it is freed. False when it fails, and always on Windows 2000, which lacks the function.
bool PinModuleOf(ThreadProc code);

// GetCurrentThreadId()
std::uint32_t CurrentThreadId();

// A recursive lock (a critical section). The zero value is no lock.
enum class Lock : std::uintptr_t {};
inline constexpr Lock kNoLock{};

// InitializeCriticalSection on a new section. Sections are never deleted: they serve threads that run until
// the process ends.
Lock NewRecursiveLock();
// EnterCriticalSection / LeaveCriticalSection
void EnterLock(Lock lock);
void LeaveLock(Lock lock);

// --- Windows ---------------------------------------------------------------------------------------------

enum class Window : std::uintptr_t {};
inline constexpr Window kNoWindow{};
inline constexpr std::uint32_t kWmClose = 0x0010;
inline constexpr std::uint32_t kWmQuit = 0x0012;
inline constexpr std::uint32_t kWmDeviceChange = 0x0219;
inline constexpr std::uintptr_t kDbtDevNodesChanged = 0x0007;
inline constexpr std::uintptr_t kDbtDeviceArrival = 0x8000;
inline constexpr std::uintptr_t kDbtDeviceRemoveComplete = 0x8004;
inline constexpr std::uint32_t kWsPopup = 0x80000000;

// A window procedure, in the shape the system calls it.
using WindowProc = std::intptr_t(QELBOOT_WINAPI*)(Window window, std::uint32_t message, std::uintptr_t wParam,
                                                  std::intptr_t lParam);

// RegisterClassExW with a WNDCLASSEXW of its own size, style 0, `proc`, no extra class or window bytes,
// `instance`, no icon, cursor, brush, menu or small icon, and `className`. False when it fails (a class of
// that name exists already, for one).
bool RegisterWindowClass(const wchar_t* className, WindowProc proc, Module instance);

// CreateWindowExW(0, className, title, style, x, y, width, height, no parent, no menu, instance, no creation
// data). The class's procedure receives the creation messages before this returns. kNoWindow on failure.
Window CreateTopLevelWindow(const wchar_t* className, const wchar_t* title, std::uint32_t style, int x, int y,
                            int width, int height, Module instance);

struct WindowMessage {
    Window window = kNoWindow;
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// GetMessageW(message, window, first, last): waits for a message of `window` in [first, last] (0 and 0: any
// message). Greater than 0 for a message, 0 for WM_QUIT, -1 on failure.
int GetWindowMessage(WindowMessage* message, Window window, std::uint32_t first, std::uint32_t last);
// TranslateMessage
void TranslateWindowMessage(const WindowMessage& message);
// DispatchMessageW: the window's procedure runs on the calling thread.
std::intptr_t DispatchWindowMessage(const WindowMessage& message);
// DefWindowProcW
std::intptr_t DefaultWindowProc(Window window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam);
// PostMessageW: queued for the window's thread.
bool PostWindowMessage(Window window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

// DestroyWindow(window)
bool DestroyTopLevelWindow(Window window);

// SetWindowLongPtrW(window, GWLP_WNDPROC, proc): the window's procedure becomes `proc`. The result is the
// procedure it had, which may be a handle rather than a function and is called only through
// CallWindowProcedure; null on failure.
WindowProc ReplaceWindowProc(Window window, WindowProc proc);
// CallWindowProcW(proc, window, message, wParam, lParam)
std::intptr_t CallWindowProcedure(WindowProc proc, Window window, std::uint32_t message,
                                  std::uintptr_t wParam, std::intptr_t lParam);

// EnumWindows over the top-level windows; `visit` returns false to stop.
using WindowVisitor = bool (*)(Window window, std::intptr_t param);
void EnumTopLevelWindows(WindowVisitor visit, std::intptr_t param);

// GetWindowTextW with room for `maxChars` characters.
std::wstring WindowTitle(Window window, int maxChars);

// SendMessageW(window, message, wParam, lParam)
std::intptr_t SendWindowMessage(Window window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam);

// --- Drives and folder listings --------------------------------------------------------------------------

inline constexpr std::uint32_t kSemFailCriticalErrors = 0x0001;
inline constexpr std::uint32_t kSemNoOpenFileErrorBox = 0x8000;

// SetErrorMode(mode): the previous mode. The mode is the process's.
std::uint32_t SetProcessErrorMode(std::uint32_t mode);

// GetLogicalDrives(): bit i stands for drive letter 'A' + i.
std::uint32_t LogicalDrives();

inline constexpr std::uint32_t kDriveUnknown = 0;
inline constexpr std::uint32_t kDriveNoRootDir = 1;
inline constexpr std::uint32_t kDriveRemovable = 2;
inline constexpr std::uint32_t kDriveFixed = 3;
inline constexpr std::uint32_t kDriveRemote = 4;
inline constexpr std::uint32_t kDriveCdrom = 5;
inline constexpr std::uint32_t kDriveRamdisk = 6;

// GetDriveTypeW(root)
std::uint32_t DriveType(const wchar_t* root);

// GetVolumeInformationW(root, volumeName, volumeNameSize, no serial number, no maximum component length, no
// flags, fileSystemName, fileSystemNameSize); `fileSystemName` may be null with a size of 0. Sizes are in
// characters. The buffers are left untouched on failure.
bool VolumeInformation(const wchar_t* root, wchar_t* volumeName, std::uint32_t volumeNameSize,
                       wchar_t* fileSystemName, std::uint32_t fileSystemNameSize);

// An open folder listing (a find handle). The zero value is no listing.
enum class FindHandle : std::uintptr_t {};
inline constexpr FindHandle kNoFind{};

struct FindData {
    std::wstring name;
    bool directory = false; // FILE_ATTRIBUTE_DIRECTORY
};

// FindFirstFileW(pattern, data): kSuccess with the listing in `find` and its first entry in `entry`, or the
// Win32 error code with both untouched.
long FindFirstEntry(const std::wstring& pattern, FindHandle* find, FindData* entry);
// FindNextFileW(find, data): kSuccess, kNoMoreFiles at the end, or another code; `entry` is written only on
// success.
long FindNextEntry(FindHandle find, FindData* entry);
// FindClose(find)
bool CloseFind(FindHandle find);

// --- Calls into code from outside the library -------------------------------------------------------------

// The code CallGuarded gives a C++ exception of the library's own compiler: GCC's code for its exceptions,
// which on i686 do not travel as structured exceptions at all.
inline constexpr std::uint32_t kCxxExceptionCode = 0x20474343;

using GuardedCall = void (*)(void* context);

// Runs call(context) so that an exception raised inside it (a fault such as an access violation, a C++
// exception of any compiler, anything RaiseException raises) ends that call rather than the thread: 0 when
// the call returned, otherwise the exception's code. The frames between are abandoned, the library's own
// among them, so `call` holds no lock and owns nothing that only a destructor would give back.
std::uint32_t CallGuarded(GuardedCall call, void* context);

// --- Time and version ------------------------------------------------------------------------------------

// Sleep(milliseconds)
void SleepFor(std::uint32_t milliseconds);

// VER_PLATFORM_WIN32_NT and VER_NT_WORKSTATION, the platform and product type of a version record.
inline constexpr std::uint32_t kPlatformNt = 2;
inline constexpr std::uint8_t kWorkstation = 1;

struct VersionInfo {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t platformId = 0;
    std::uint8_t productType = 0; // only the extended record carries it
};
// GetVersionExW with the extended record (OSVERSIONINFOEXW) or the basic one (OSVERSIONINFOW), zero-filled.
// `version` is left untouched on failure.
bool QueryVersion(bool extendedRecord, VersionInfo* version);

} // namespace qel::os

// The imaging services' part of the seam is kept apart, as only the trackers of still-image devices use it.
#include "platform/os_imaging.h"

#endif // QELBOOT_PLATFORM_OS_H
