// The seam behaves as Windows does: the registry, processes, named mutexes, files, drives and folder
// listings, the current directory, paths, profile files, run-time function lookup, guarded calls, windows,
// message loops, threads and recursive locks. The same tests run on the simulated machine and, under Wine,
// on the real calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/os.h"
#include "platform/utf16.h"
#include "test_env.h"

namespace qel {
namespace {

constexpr std::uint32_t kSentinel = 0xDEADBEEF;
constexpr wchar_t kUnwritten = L'#';

std::wstring Upper(std::wstring text) {
    for (wchar_t& c : text)
        c = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    return text;
}

// Each test starts on a fresh machine; on the simulated one only a fresh scratch key brings that.
class SystemConformance : public ::testing::Test {
protected:
    void SetUp() override { testenv::FreshScratchKey(); }
};

// A missing process and a missing handle fail and leave the outputs.
TEST_F(SystemConformance, OwnProcessIsListedItsFirstModuleIsItsProgramAndItsSessionTheConsoles) {
    std::vector<std::uint32_t> ids;
    ASSERT_TRUE(os::ProcessIds(&ids));
    EXPECT_NE(ids.end(), std::find(ids.begin(), ids.end(), os::CurrentProcessId()));
    const std::wstring program = testenv::OwnProgramPath();
    std::uint32_t unused = 0xFFFFFFF0u; // ids are multiples of four; a high one that no process has
    while (std::find(ids.begin(), ids.end(), unused) != ids.end())
        unused -= 4;
    const os::Handle self = os::OpenProcess(os::CurrentProcessId(), os::kProcessAllAccessBeforeVista);
    ASSERT_NE(os::kNoHandle, self);
    std::wstring path = L"unwritten";
    EXPECT_TRUE(os::FirstModulePath(self, 1024, &path));
    EXPECT_EQ(Upper(program), Upper(path));
    EXPECT_TRUE(os::CloseKernelHandle(self));
    EXPECT_EQ(os::kNoHandle, os::OpenProcess(unused, os::kProcessAllAccessBeforeVista));
    path = L"unwritten";
    EXPECT_FALSE(os::FirstModulePath(os::kNoHandle, 1024, &path));
    EXPECT_EQ(L"unwritten", path);
    std::uint32_t session = kSentinel;
    EXPECT_FALSE(os::ProcessSession(unused, &session));
    EXPECT_EQ(kSentinel, session);
    // Found at run time, as the library looks it up; a missing function is null.
    const os::Module kernel32 = os::LoadModule(L"kernel32.dll");
    ASSERT_NE(os::kNoModule, kernel32);
    EXPECT_EQ(nullptr, os::ModuleFunction(kernel32, "QelbootNoSuchFunction"));
    void* const found = os::ModuleFunction(kernel32, "WTSGetActiveConsoleSessionId");
    ASSERT_NE(nullptr, found);
    ASSERT_TRUE(os::ProcessSession(os::CurrentProcessId(), &session));
    EXPECT_EQ(reinterpret_cast<os::ConsoleSessionFunction>(found)(), session);
    EXPECT_TRUE(os::FreeModule(kernel32));
}

TEST_F(SystemConformance, NamedMutexExistsWhileAHandleIsOpen) {
    // Named after the process, so that no other test program shares it.
    const std::wstring name = L"QelbootConformance.Mutex." + std::to_wstring(os::CurrentProcessId());
    const auto create = [&name](bool existedBefore) {
        bool existed = !existedBefore;
        const os::Handle mutex = os::CreateNamedMutex(name, &existed);
        EXPECT_NE(os::kNoHandle, mutex);
        EXPECT_EQ(existedBefore, existed);
        return mutex;
    };
    const os::Handle first = create(false);
    const os::Handle second = create(true);
    EXPECT_TRUE(os::CloseKernelHandle(first));
    EXPECT_TRUE(os::CloseKernelHandle(second));
    EXPECT_TRUE(os::CloseKernelHandle(create(false)));
}

// Changing to a missing folder fails and keeps the current directory.
TEST_F(SystemConformance, PathsResolveIgnoringCaseAndAgainstTheCurrentDirectory) {
    const std::wstring folder = testenv::FreshScratchFolder();
    testenv::CreateTextFile(folder + L"\\here.txt", L"");
    testenv::CreateFolder(folder + L"\\Inner");
    const std::wstring before = os::CurrentDirectory();
    ASSERT_TRUE(os::ChangeCurrentDirectory(folder));
    EXPECT_FALSE(os::ChangeCurrentDirectory(folder + L"\\Missing"));
    EXPECT_EQ(folder, os::CurrentDirectory());
    EXPECT_TRUE(os::FileExists(L"here.txt"));
    EXPECT_FALSE(os::FileExists(L"absent.txt"));
    EXPECT_TRUE(os::ChangeCurrentDirectory(before));
    // Dropping the last component keeps a drive's root.
    EXPECT_EQ(L"C:\\a", os::RemoveFileSpec(L"C:\\a\\b.exe"));
    EXPECT_EQ(L"C:\\", os::RemoveFileSpec(L"C:\\b.exe"));
    EXPECT_EQ(L"", os::RemoveFileSpec(L"b.exe"));
    for (const std::wstring& path : {folder + L"\\here.txt", Upper(folder + L"\\here.txt"), folder})
        EXPECT_TRUE(os::FileExists(path)) << path;
    EXPECT_FALSE(os::FileExists(folder + L"\\Missing.exe"));
    EXPECT_FALSE(os::FileExists(L""));
    EXPECT_TRUE(os::IsDirectory(folder + L"\\Inner"));
    EXPECT_FALSE(os::IsDirectory(folder + L"\\here.txt"));
    EXPECT_FALSE(os::IsDirectory(folder + L"\\Missing"));
}

// A missing section or file is an empty list of lines; nothing is written past the list's end.
TEST_F(SystemConformance, ProfileSectionGivesNullSeparatedLinesAndTheirCount) {
    const std::wstring folder = testenv::FreshScratchFolder();
    testenv::CreateTextFile(folder + L"\\settings.ini",
                            L"[Other]\r\nx=2\r\n[Startup]\r\n1\r\nStop=1\r\n[Last]\r\ny=3\r\n");
    const struct {
        const wchar_t* file;
        const wchar_t* section;
        std::uint32_t count;
        std::wstring lines;
    } cases[] = {{L"settings.ini", L"Startup", 9, std::wstring(L"1\0Stop=1\0\0", 10)},
                 {L"settings.ini", L"Absent", 0, std::wstring(2, L'\0')},
                 {L"absent.ini", L"Startup", 0, std::wstring(2, L'\0')}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << " " << c.section);
        wchar_t buffer[32];
        std::fill(std::begin(buffer), std::end(buffer), kUnwritten);
        EXPECT_EQ(c.count, os::ProfileSection(folder + L"\\" + c.file, c.section, buffer, 32));
        EXPECT_EQ(c.lines, std::wstring(buffer, c.lines.size()));
        EXPECT_EQ(kUnwritten, buffer[c.lines.size()]);
    }
}

TEST_F(SystemConformance, LibraryIsFoundByRelativePathUntilFreedAsOftenAsLoaded) {
    const std::wstring folder = testenv::FreshScratchFolder();
    testenv::CreateLibraryFile(folder + L"\\lib.mox");
    testenv::CreateTextFile(folder + L"\\text.mox", L"not a library");
    const std::wstring previous = os::CurrentDirectory();
    ASSERT_TRUE(os::ChangeCurrentDirectory(folder));
    EXPECT_EQ(os::kNoModule, os::LoadModuleAsData(L".\\text.mox"));
    EXPECT_EQ(os::kNoModule, os::LoadModule(L".\\text.mox"));
    const os::Module data = os::LoadModuleAsData(L".\\lib.mox");
    ASSERT_NE(os::kNoModule, data);
    EXPECT_EQ(os::kNoModule, os::LoadedModule(L".\\lib.mox")) << "a data file is no module";
    EXPECT_TRUE(os::FreeModule(data));
    const os::Module first = os::LoadModule(L".\\lib.mox");
    ASSERT_NE(os::kNoModule, first);
    EXPECT_EQ(first, os::LoadModule(folder + L"\\LIB.MOX"));
    EXPECT_EQ(first, os::LoadedModule(L".\\lib.mox"));
    EXPECT_TRUE(os::FreeModule(first));
    EXPECT_EQ(first, os::LoadedModule(folder + L"\\lib.mox"));
    EXPECT_TRUE(os::FreeModule(first));
    EXPECT_EQ(os::kNoModule, os::LoadedModule(L".\\lib.mox"));
    os::ChangeCurrentDirectory(previous);
}

// A fault, a foreign C++ exception and one of the library's own compiler end only the guarded call, with
// their codes; guards nest, and the thread handles exceptions as before once they are left.
TEST_F(SystemConformance, GuardedCallReportsWhatEndedItAndLeavesTheThreadSound) {
    const struct {
        os::GuardedCall call;
        std::uint32_t code, written; // what the call writes into its context, which starts at 0
    } calls[] = {
        {[](void* ran) { *static_cast<std::uint32_t*>(ran) = 1; }, 0, 1},
        {[](void*) { testenv::WriteThroughNull(); }, 0xC0000005, 0},
        {[](void*) { testenv::RaiseStructured(0xE06D7363); }, 0xE06D7363, 0},
        {[](void*) { throw std::runtime_error("thrown"); }, os::kCxxExceptionCode, 0},
        {[](void* inner) {
             *static_cast<std::uint32_t*>(inner) =
                 os::CallGuarded([](void*) { testenv::WriteThroughNull(); }, nullptr);
             testenv::RaiseStructured(0xE0000001);
         },
         0xE0000001, 0xC0000005},
    };
    for (int round = 0; round < 2; ++round) {
        for (const auto& c : calls) {
            std::uint32_t written = 0;
            EXPECT_EQ(c.code, os::CallGuarded(c.call, &written));
            EXPECT_EQ(c.written, written);
        }
    }
    EXPECT_THROW(throw std::runtime_error("after"), std::runtime_error);
}

using Listing = std::pair<std::vector<std::wstring>, long>;
const os::FindHandle kUnwrittenFind = static_cast<os::FindHandle>(0x5EA1);
const os::FindData kUnwrittenEntry{L"unwritten", true};

std::wstring Shown(const os::FindData& entry) { return entry.name + (entry.directory ? L"\\" : L""); }

// The entries of a listing, folders with a backslash after them, and the error that ended it.
Listing List(const std::wstring& pattern) {
    std::vector<std::wstring> names;
    os::FindHandle find = kUnwrittenFind;
    os::FindData entry = kUnwrittenEntry;
    long result = os::FindFirstEntry(pattern, &find, &entry);
    for (; result == os::kSuccess; entry = kUnwrittenEntry, result = os::FindNextEntry(find, &entry))
        names.push_back(Shown(entry));
    EXPECT_EQ(L"unwritten\\", Shown(entry)) << pattern << ": failing calls must write no entry";
    EXPECT_TRUE(names.empty() ? find == kUnwrittenFind : os::CloseFind(find)) << pattern;
    return {names, result};
}

TEST(DriveConformance, RootWithOrWithoutBackslashHasItsTypeAndAVolumeOnlyWhileAMediumIsIn) {
    testenv::FreshScratchKey();
    const std::wstring drive = testenv::FreshDrive(os::kDriveRemovable);
    for (const bool medium : {true, false}) {
        for (const std::wstring& root : {drive, drive + L"\\"}) {
            wchar_t volume[8] = L"#######", fileSystem[8] = L"#######";
            EXPECT_EQ(os::kDriveRemovable, os::DriveType(root.c_str())) << root;
            EXPECT_EQ(medium, os::VolumeInformation(root.c_str(), volume, 8, fileSystem, 8)) << root;
            EXPECT_EQ(medium ? L"|NTFS" : L"#######|#######", volume + (L"|" + std::wstring(fileSystem)));
        }
        testenv::RemoveDriveMedium(drive);
    }
}

TEST(ListingConformance, ListingGivesItsEntriesThenItsErrorWithDotEntriesOnlyOutsideTheRoot) {
    testenv::FreshScratchKey();
    const std::wstring drive = testenv::FreshDrive(os::kDriveRemovable);
    EXPECT_EQ((Listing{{}, os::kFileNotFound}), List(drive + L"\\*"));
    testenv::CreateFolder(drive + L"\\DCIM");
    testenv::CreateTextFile(drive + L"\\DCIM\\a.jpg", L"");
    EXPECT_EQ((Listing{{L"DCIM\\"}, os::kNoMoreFiles}), List(drive + L"\\*"));
    EXPECT_EQ((Listing{{L".\\", L"..\\", L"a.jpg"}, os::kNoMoreFiles}), List(drive + L"\\DCIM\\*"));
    EXPECT_EQ((Listing{{}, os::kPathNotFound}), List(drive + L"\\Missing\\*"));
}

using Bytes = std::vector<std::uint8_t>;

constexpr os::RegKey kSentinelKey{0x5EED};
constexpr std::uint8_t kUnwrittenByte = 0xAA;

class RegistryConformance : public ::testing::Test {
protected:
    void SetUp() override { scratch_ = testenv::FreshScratchKey(); }

    std::wstring Path(const std::wstring& sub) const {
        return sub.empty() ? scratch_ : scratch_ + L"\\" + sub;
    }

    // Creates (or opens) scratch\sub with every right the tests need, in the given hive.
    os::RegKey Create(const std::wstring& sub, os::Hive hive = os::Hive::CurrentUser) {
        os::RegKey key = os::kNoKey;
        EXPECT_EQ(os::kSuccess, os::CreateRegKey(os::HiveRoot(hive), Path(sub).c_str(),
                                                 os::kKeyRead | os::kKeyWrite, &key));
        return key;
    }

    long Open(const std::wstring& sub, std::uint32_t access, os::RegKey* out,
              os::Hive hive = os::Hive::CurrentUser) {
        return os::OpenRegKey(os::HiveRoot(hive), Path(sub).c_str(), access, out);
    }

    static void SetBytes(os::RegKey key, const wchar_t* name, std::uint32_t type, const Bytes& bytes) {
        ASSERT_EQ(os::kSuccess,
                  os::SetRegValue(key, name, type, bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    }

    std::wstring scratch_; // the keys opened stay open until the program ends
};

TEST_F(RegistryConformance, KeysOpenIgnoringCaseAndCreateMakesWholePathsInOneHive) {
    SetBytes(Create(L"Mixed\\Case"), L"Value", os::kRegDword, {1, 0, 0, 0});
    const os::RegKey recreated = Create(L"mixed\\CASE");
    std::uint32_t size = 0;
    EXPECT_EQ(os::kSuccess, os::QueryRegValue(recreated, L"value", nullptr, nullptr, &size))
        << "creating an existing key opens it as it is";
    os::RegKey below = os::kNoKey;
    ASSERT_EQ(os::kSuccess, os::CreateRegKey(Create(L""), L"One\\Two\\Three", os::kKeyWrite, &below));
    Create(L"OnlyInMachine", os::Hive::LocalMachine);

    const struct {
        os::Hive hive;
        const wchar_t* sub;
        long status;
    } cases[] = {
        {os::Hive::CurrentUser, L"MIXED\\case", os::kSuccess},
        {os::Hive::CurrentUser, L"One\\Two\\Three", os::kSuccess},
        {os::Hive::CurrentUser, L"Missing\\Deeper", os::kFileNotFound},
        {os::Hive::CurrentUser, L"OnlyInMachine", os::kFileNotFound},
        {os::Hive::LocalMachine, L"OnlyInMachine", os::kSuccess},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sub);
        os::RegKey key = kSentinelKey;
        EXPECT_EQ(c.status, Open(c.sub, os::kKeyRead, &key, c.hive));
        EXPECT_EQ(c.status != os::kSuccess, key == kSentinelKey);
    }
}

TEST_F(RegistryConformance, QueriesGiveStoredBytesSizesAndCodesAndLeaveOutputsOnFailure) {
    const os::RegKey key = Create(L"");
    SetBytes(key, L"Text", os::kRegSz, os::Utf16LeBytes(L"abc", true));
    SetBytes(key, L"Eight", os::kRegBinary, {1, 2, 3, 4, 5, 6, 7, 8});
    SetBytes(key, L"OddText", os::kRegBinary, {'x', 0, 'y'});
    SetBytes(key, L"Binary", os::kRegBinary, {1, 2, 3, 4});
    SetBytes(key, L"Empty", os::kRegSz, {});
    // The terminator lies in the caller's buffer but outside the count, as callers that forget it pass it.
    const Bytes terminated = os::Utf16LeBytes(L"xyz", true);
    ASSERT_EQ(os::kSuccess, os::SetRegValue(key, L"Uncounted", os::kRegSz, terminated.data(), 6));
    ASSERT_EQ(os::kSuccess, os::SetRegValue(key, L"UncountedBinary", os::kRegBinary, terminated.data(), 6));
    SetBytes(key, L"Gone", os::kRegDword, {0, 0, 0, 0});
    EXPECT_EQ(os::kSuccess, os::DeleteRegValue(key, L"Gone"));
    EXPECT_EQ(os::kFileNotFound, os::DeleteRegValue(key, L"Gone"));

    constexpr std::uint32_t kNoBuffer = 0;
    const struct {
        const wchar_t* name;
        std::uint32_t capacity; // of the data buffer; kNoBuffer passes none
        long status;
        std::uint32_t type, size;
        Bytes data;
    } cases[] = {
        {L"TEXT", kNoBuffer, os::kSuccess, os::kRegSz, 8, {}},
        {L"Eight", 4, os::kMoreData, os::kRegBinary, 8, {}},
        {L"OddText", 16, os::kSuccess, os::kRegBinary, 3, {'x', 0, 'y'}},
        {L"Binary", 4, os::kSuccess, os::kRegBinary, 4, {1, 2, 3, 4}},
        {L"Empty", 16, os::kSuccess, os::kRegSz, 0, {}},
        {L"Uncounted", kNoBuffer, os::kSuccess, os::kRegSz, 8, {}},
        {L"UncountedBinary", kNoBuffer, os::kSuccess, os::kRegBinary, 6, {}}, // only text gets a terminator
        {L"Gone", 4, os::kFileNotFound, kSentinel, 4, {}},
        {L"Absent", 4, os::kFileNotFound, kSentinel, 4, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes data(16, kUnwrittenByte);
        std::uint32_t type = kSentinel;
        std::uint32_t size = c.capacity;
        EXPECT_EQ(c.status, os::QueryRegValue(key, c.name, &type, c.capacity ? data.data() : nullptr, &size));
        EXPECT_EQ(c.type, type);
        EXPECT_EQ(c.size, size);
        EXPECT_EQ(c.data, Bytes(data.begin(), data.begin() + c.data.size()));
        if (c.status != os::kMoreData) { // what a buffer too small holds afterwards is not defined
            EXPECT_EQ(kUnwrittenByte, data[c.data.size()]) << "nothing is written past the stored bytes";
        }
    }
}

TEST_F(RegistryConformance, SubkeysEnumerateSortedWithoutRegardToCaseAndTooLongNamesFailAtTheirIndexOnly) {
    const std::wstring filled = L"b" + std::wstring(126, L'x'); // with its terminator, fills the buffer
    for (const std::wstring& sub :
         std::vector<std::wstring>{L"Zeta", L"alpha", L"a" + std::wstring(127, L'x'), L"Beta", filled})
        Create(sub);
    os::RegKey parent = os::kNoKey;
    ASSERT_EQ(os::kSuccess, Open(L"", os::kKeyRead, &parent));

    const struct {
        long status;
        std::wstring name;
    } cases[] = {{os::kSuccess, L"alpha"}, {os::kMoreData, L"sentinel"}, {os::kSuccess, L"Beta"},
                 {os::kSuccess, filled},   {os::kSuccess, L"Zeta"},      {os::kNoMoreItems, L"sentinel"}};
    for (std::uint32_t index = 0; index < std::size(cases); ++index) {
        SCOPED_TRACE(index);
        const auto& c = cases[index];
        wchar_t name[128] = L"sentinel";
        std::uint32_t capacity = 128;
        EXPECT_EQ(c.status, os::EnumRegKey(parent, index, name, &capacity));
        EXPECT_EQ(c.name, std::wstring(name));
        EXPECT_EQ(c.status == os::kSuccess ? c.name.size() : 128u, capacity);
    }
}

TEST_F(RegistryConformance, HandleRightsLimitWhatItMayDo) {
    Create(L"Child");
    os::RegKey readOnly = os::kNoKey, writeOnly = os::kNoKey;
    ASSERT_EQ(os::kSuccess, Open(L"", os::kKeyRead, &readOnly));
    ASSERT_EQ(os::kSuccess, Open(L"", os::kKeyWrite, &writeOnly));
    std::uint8_t data[4] = {1, 0, 0, 0};
    std::uint32_t size = 4, capacity = 128;
    wchar_t name[128];
    EXPECT_EQ(os::kAccessDenied, os::SetRegValue(readOnly, L"V", os::kRegDword, data, 4));
    SetBytes(writeOnly, L"V", os::kRegDword, {1, 0, 0, 0});
    EXPECT_EQ(os::kAccessDenied, os::QueryRegValue(writeOnly, L"V", nullptr, data, &size));
    EXPECT_EQ(os::kAccessDenied, os::EnumRegKey(writeOnly, 0, name, &capacity));
}

constexpr std::uint32_t kWmUser = 0x0400;
std::vector<std::uint32_t> receivedMessages;
os::Lock sharedLock = os::kNoLock;

std::intptr_t QELBOOT_WINAPI RecordingProcedure(os::Window window, std::uint32_t message,
                                                std::uintptr_t wParam, std::intptr_t lParam) {
    receivedMessages.push_back(message);
    return message == kWmUser ? 42 : os::DefaultWindowProc(window, message, wParam, lParam);
}

os::WindowProc staticProcedure = nullptr;

std::intptr_t QELBOOT_WINAPI KeepOpenProcedure(os::Window window, std::uint32_t message,
                                               std::uintptr_t wParam, std::intptr_t lParam) {
    return message == os::kWmClose
               ? 0
               : os::CallWindowProcedure(staticProcedure, window, message, wParam, lParam);
}

std::uint32_t QELBOOT_WINAPI EnterAndRecordThread(void* threadId) {
    os::EnterLock(sharedLock);
    *static_cast<std::atomic<std::uint32_t>*>(threadId) = os::CurrentThreadId();
    os::LeaveLock(sharedLock);
    return 0;
}

// Waits in steps of 10 ms, which pass in virtual time on the simulated machine and let its other threads run.
bool WaitFor(const std::atomic<std::uint32_t>& threadId, int steps) {
    for (int step = 0; step < steps && threadId == 0; ++step)
        os::SleepFor(10);
    return threadId != 0;
}

TEST(WindowConformance, ProcedureGetsCreationAndDispatchedMessagesAndStaticWindowsQueueAndClose) {
    testenv::FreshScratchKey();
    ASSERT_TRUE(os::RegisterWindowClass(L"Qelboot", &RecordingProcedure, os::ProgramModule()));
    auto window = os::CreateTopLevelWindow(L"Qelboot", L"", os::kWsPopup, 0, 0, 0, 0, os::ProgramModule());
    // WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE, all before creation returns
    EXPECT_EQ((std::vector<std::uint32_t>{0x81, 0x83, 0x01, 0x05, 0x03}), receivedMessages);
    EXPECT_EQ(42, os::DispatchWindowMessage(os::WindowMessage{window, kWmUser, 0, 0}));
    for (const wchar_t* name : {L"Qelboot", L"QELBOOT"})
        EXPECT_FALSE(os::RegisterWindowClass(name, &RecordingProcedure, os::ProgramModule())) << name;
    // A STATIC window needs no registration; a range of messages leaves the others queued.
    window = os::CreateTopLevelWindow(L"STATIC", L"", os::kWsPopup, 0, 0, 0, 0, os::ProgramModule());
    for (const std::uint32_t message : {kWmUser, os::kWmDeviceChange})
        ASSERT_TRUE(os::PostWindowMessage(window, message, 0, 0));
    os::WindowMessage taken;
    ASSERT_LT(0, os::GetWindowMessage(&taken, window, os::kWmDeviceChange, os::kWmDeviceChange));
    EXPECT_EQ(os::kWmDeviceChange, taken.message);
    ASSERT_LT(0, os::GetWindowMessage(&taken, window, 0, 0));
    EXPECT_EQ(kWmUser, taken.message);
    // WM_CLOSE destroys it, and a window that is gone takes no posted message.
    os::SendWindowMessage(window, os::kWmClose, 0, 0);
    EXPECT_FALSE(os::PostWindowMessage(window, kWmUser, 0, 0));
    // The procedure put in a STATIC window's place may keep it open.
    const auto kept = os::CreateTopLevelWindow(L"STATIC", L"", os::kWsPopup, 0, 0, 0, 0, os::ProgramModule());
    staticProcedure = os::ReplaceWindowProc(kept, &KeepOpenProcedure);
    ASSERT_NE(nullptr, staticProcedure);
    os::SendWindowMessage(kept, os::kWmClose, 0, 0);
    EXPECT_TRUE(os::PostWindowMessage(kept, kWmUser, 0, 0));
    os::CallWindowProcedure(staticProcedure, kept, os::kWmClose, 0, 0);
    EXPECT_FALSE(os::PostWindowMessage(kept, kWmUser, 0, 0));
}

TEST(ThreadConformance, StartedThreadRunsWithItsParameterOnAnotherThreadOnceTheLockIsLeftAsOftenAsEntered) {
    testenv::FreshScratchKey();
    static std::atomic<std::uint32_t> threadId{0}; // outlives the test, as the thread may
    sharedLock = os::NewRecursiveLock();
    os::EnterLock(sharedLock);
    os::EnterLock(sharedLock);
    ASSERT_TRUE(os::StartThread(&EnterAndRecordThread, &threadId));
    os::LeaveLock(sharedLock);
    EXPECT_FALSE(WaitFor(threadId, 20)) << "entered twice, left once";
    os::LeaveLock(sharedLock);
    ASSERT_TRUE(WaitFor(threadId, 500));
    EXPECT_NE(os::CurrentThreadId(), threadId);
}

} // namespace
} // namespace qel
