// Processes, named mutexes, files, drives and folder listings, the current directory, paths, profile files
// and run-time function lookup through the seam, on the simulated machine and under Wine alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/os.h"
#include "test_env.h"

namespace qel {
namespace {

constexpr std::uint32_t kSentinel = 0xDEADBEEF;
constexpr wchar_t kUnwritten = L'#';

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::wstring Upper(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    return text;
}

// Process ids are multiples of four; a high one that no running process has.
std::uint32_t UnusedProcessId() {
    std::vector<std::uint32_t> ids;
    EXPECT_TRUE(os::ProcessIds(&ids));
    std::uint32_t unused = 0xFFFFFFF0u;
    while (std::find(ids.begin(), ids.end(), unused) != ids.end())
        unused -= 4;
    return unused;
}

// Each test starts on a fresh machine; on the simulated one only a fresh scratch key brings that.
class SystemConformance : public ::testing::Test {
protected:
    void SetUp() override { testenv::FreshScratchKey(); }
};

// A missing process and a missing handle fail and leave the outputs.
TEST_F(SystemConformance, OwnProcessIsListedAndItsFirstModuleIsItsProgram) {
    std::vector<std::uint32_t> ids;
    ASSERT_TRUE(os::ProcessIds(&ids));
    EXPECT_NE(ids.end(), std::find(ids.begin(), ids.end(), os::CurrentProcessId()));
    const std::wstring program = testenv::OwnProgramPath();
    const os::Handle self = os::OpenProcess(os::CurrentProcessId(), os::kProcessAllAccessBeforeVista);
    ASSERT_NE(os::kNoHandle, self);
    std::wstring path = L"unwritten";
    EXPECT_TRUE(os::FirstModulePath(self, 1024, &path));
    EXPECT_EQ(Upper(program), Upper(path));
    EXPECT_TRUE(os::CloseKernelHandle(self));
    EXPECT_EQ(os::kNoHandle, os::OpenProcess(UnusedProcessId(), os::kProcessAllAccessBeforeVista));
    path = L"unwritten";
    EXPECT_FALSE(os::FirstModulePath(os::kNoHandle, 1024, &path));
    EXPECT_EQ(L"unwritten", path);
    std::uint32_t session = kSentinel;
    EXPECT_FALSE(os::ProcessSession(UnusedProcessId(), &session));
    EXPECT_EQ(kSentinel, session);
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
TEST_F(SystemConformance, ChangedCurrentDirectoryIsReportedAndResolvesRelativePaths) {
    const std::wstring folder = testenv::FreshScratchFolder();
    testenv::CreateEmptyFile(folder + L"\\here.txt");
    const std::wstring before = os::CurrentDirectory();
    ASSERT_TRUE(os::ChangeCurrentDirectory(folder));
    EXPECT_FALSE(os::ChangeCurrentDirectory(folder + L"\\Missing"));
    EXPECT_EQ(folder, os::CurrentDirectory());
    EXPECT_TRUE(os::FileExists(L"here.txt"));
    EXPECT_FALSE(os::FileExists(L"absent.txt"));
    EXPECT_TRUE(os::ChangeCurrentDirectory(before));
}

TEST_F(SystemConformance, LastPathComponentIsDroppedKeepingADriveRoot) {
    EXPECT_EQ(L"C:\\a", os::RemoveFileSpec(L"C:\\a\\b.exe"));
    EXPECT_EQ(L"C:\\", os::RemoveFileSpec(L"C:\\b.exe"));
    EXPECT_EQ(L"", os::RemoveFileSpec(L"b.exe"));
}

TEST_F(SystemConformance, FilesAndFoldersExistWithoutRegardToCaseAndOnlyFoldersAreDirectories) {
    const std::wstring folder = testenv::FreshScratchFolder();
    testenv::CreateFolder(folder + L"\\Inner");
    testenv::CreateEmptyFile(folder + L"\\Proxy.exe");
    for (const std::wstring& path : {folder + L"\\Proxy.exe", Upper(folder + L"\\Proxy.exe"), folder})
        EXPECT_TRUE(os::FileExists(path)) << Narrow(path);
    EXPECT_FALSE(os::FileExists(folder + L"\\Missing.exe"));
    EXPECT_FALSE(os::FileExists(L""));
    EXPECT_TRUE(os::IsDirectory(folder + L"\\Inner"));
    EXPECT_FALSE(os::IsDirectory(folder + L"\\Proxy.exe"));
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

// Found at run time, as the library looks it up; a missing function is null.
TEST_F(SystemConformance, ConsoleSessionFromKernel32IsTheCurrentProcessSession) {
    const os::Module kernel32 = os::LoadModule(L"kernel32.dll");
    ASSERT_NE(os::kNoModule, kernel32);
    EXPECT_EQ(nullptr, os::ModuleFunction(kernel32, "QelbootNoSuchFunction"));
    void* const found = os::ModuleFunction(kernel32, "WTSGetActiveConsoleSessionId");
    ASSERT_NE(nullptr, found);
    std::uint32_t session = kSentinel;
    ASSERT_TRUE(os::ProcessSession(os::CurrentProcessId(), &session));
    EXPECT_EQ(reinterpret_cast<os::ConsoleSessionFunction>(found)(), session);
    EXPECT_TRUE(os::FreeModule(kernel32));
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
    const os::GuardedCall returns = [](void* ran) { *static_cast<bool*>(ran) = true; };
    const os::GuardedCall faults = [](void*) { testenv::WriteThroughNull(); };
    const os::GuardedCall raisesMsvcThrow = [](void*) { testenv::RaiseStructured(0xE06D7363); };
    const os::GuardedCall throws = [](void*) { throw std::runtime_error("thrown"); };
    const os::GuardedCall nests = [](void* inner) {
        *static_cast<std::uint32_t*>(inner) =
            os::CallGuarded([](void*) { testenv::WriteThroughNull(); }, nullptr);
        testenv::RaiseStructured(0xE0000001);
    };
    for (int round = 0; round < 2; ++round) {
        bool ran = false;
        EXPECT_EQ(0u, os::CallGuarded(returns, &ran));
        EXPECT_TRUE(ran);
        EXPECT_EQ(0xC0000005u, os::CallGuarded(faults, nullptr));
        EXPECT_EQ(0xE06D7363u, os::CallGuarded(raisesMsvcThrow, nullptr));
        EXPECT_EQ(os::kCxxExceptionCode, os::CallGuarded(throws, nullptr));
        std::uint32_t inner = 0;
        EXPECT_EQ(0xE0000001u, os::CallGuarded(nests, &inner));
        EXPECT_EQ(0xC0000005u, inner);
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
    testenv::CreateEmptyFile(drive + L"\\DCIM\\a.jpg");
    EXPECT_EQ((Listing{{L"DCIM\\"}, os::kNoMoreFiles}), List(drive + L"\\*"));
    EXPECT_EQ((Listing{{L".\\", L"..\\", L"a.jpg"}, os::kNoMoreFiles}), List(drive + L"\\DCIM\\*"));
    EXPECT_EQ((Listing{{}, os::kPathNotFound}), List(drive + L"\\Missing\\*"));
}

} // namespace
} // namespace qel
