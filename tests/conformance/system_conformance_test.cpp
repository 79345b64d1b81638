// Processes, named mutexes, the current directory, paths, profile files and run-time function lookup
// through the seam, on the simulated machine and under Wine alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/os.h"
#include "test_env.h"

namespace qel {
namespace {

constexpr std::uint32_t kSentinel = 0xDEADBEEF;
constexpr wchar_t kUnwritten = L'#';

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

TEST_F(SystemConformance, CurrentProcessIsAmongProcessIds) {
    std::vector<std::uint32_t> ids;
    ASSERT_TRUE(os::ProcessIds(&ids));
    EXPECT_NE(ids.end(), std::find(ids.begin(), ids.end(), os::CurrentProcessId()));
}

TEST_F(SystemConformance, FirstModuleOfOwnProcessIsOwnProgram) {
    const std::wstring program = testenv::OwnProgramPath();
    const os::Handle self = os::OpenProcess(os::CurrentProcessId(), os::kProcessAllAccessBeforeVista);
    ASSERT_NE(os::kNoHandle, self);
    std::wstring path = L"unwritten";
    EXPECT_TRUE(os::FirstModulePath(self, 1024, &path));
    EXPECT_EQ(Upper(program), Upper(path));
    EXPECT_TRUE(os::CloseKernelHandle(self));
}

TEST_F(SystemConformance, OpenProcessOfMissingIdFails) {
    EXPECT_EQ(os::kNoHandle, os::OpenProcess(UnusedProcessId(), os::kProcessAllAccessBeforeVista));
}

TEST_F(SystemConformance, FirstModulePathWithoutProcessFailsAndLeavesPath) {
    std::wstring path = L"unwritten";
    EXPECT_FALSE(os::FirstModulePath(os::kNoHandle, 1024, &path));
    EXPECT_EQ(L"unwritten", path);
}

TEST_F(SystemConformance, NamedMutexExistsWhileAHandleIsOpen) {
    // Named after the process, so that no other test program shares it.
    const std::wstring name = L"QelbootConformance.Mutex." + std::to_wstring(os::CurrentProcessId());
    bool existed = true;
    const os::Handle first = os::CreateNamedMutex(name, &existed);
    ASSERT_NE(os::kNoHandle, first);
    EXPECT_FALSE(existed);

    existed = false;
    const os::Handle second = os::CreateNamedMutex(name, &existed);
    ASSERT_NE(os::kNoHandle, second);
    EXPECT_TRUE(existed);

    EXPECT_TRUE(os::CloseKernelHandle(first));
    EXPECT_TRUE(os::CloseKernelHandle(second));
    existed = true;
    const os::Handle again = os::CreateNamedMutex(name, &existed);
    ASSERT_NE(os::kNoHandle, again);
    EXPECT_FALSE(existed);
    EXPECT_TRUE(os::CloseKernelHandle(again));
}

TEST_F(SystemConformance, ChangedCurrentDirectoryIsReportedAndResolvesRelativePaths) {
    const std::wstring folder = testenv::FreshScratchFolder();
    testenv::CreateEmptyFile(folder + L"\\here.txt");
    const std::wstring before = os::CurrentDirectory();
    ASSERT_TRUE(os::ChangeCurrentDirectory(folder));
    EXPECT_EQ(folder, os::CurrentDirectory());
    EXPECT_TRUE(os::FileExists(L"here.txt"));
    EXPECT_FALSE(os::FileExists(L"absent.txt"));
    EXPECT_TRUE(os::ChangeCurrentDirectory(before));
}

TEST_F(SystemConformance, ChangingToMissingFolderFailsAndKeepsCurrentDirectory) {
    const std::wstring folder = testenv::FreshScratchFolder();
    testenv::CreateEmptyFile(folder + L"\\here.txt");
    const std::wstring before = os::CurrentDirectory();
    ASSERT_TRUE(os::ChangeCurrentDirectory(folder));
    EXPECT_FALSE(os::ChangeCurrentDirectory(folder + L"\\Missing"));
    EXPECT_EQ(folder, os::CurrentDirectory());
    EXPECT_TRUE(os::ChangeCurrentDirectory(before));
}

TEST_F(SystemConformance, LastPathComponentIsDroppedKeepingADriveRoot) {
    EXPECT_EQ(L"C:\\a", os::RemoveFileSpec(L"C:\\a\\b.exe"));
    EXPECT_EQ(L"C:\\", os::RemoveFileSpec(L"C:\\b.exe"));
    EXPECT_EQ(L"", os::RemoveFileSpec(L"b.exe"));
}

TEST_F(SystemConformance, IsDirectoryOnlyForFolders) {
    const std::wstring folder = testenv::FreshScratchFolder();
    testenv::CreateFolder(folder + L"\\Inner");
    testenv::CreateEmptyFile(folder + L"\\file.txt");
    EXPECT_TRUE(os::IsDirectory(folder + L"\\Inner"));
    EXPECT_FALSE(os::IsDirectory(folder + L"\\file.txt"));
    EXPECT_FALSE(os::IsDirectory(folder + L"\\Missing"));
}

TEST_F(SystemConformance, ProfileSectionGivesNullSeparatedLinesAndTheirCount) {
    const std::wstring file = testenv::FreshScratchFolder() + L"\\settings.ini";
    testenv::CreateTextFile(file, L"[Other]\r\nx=2\r\n[Startup]\r\n1\r\nStop=1\r\n[Last]\r\ny=3\r\n");
    wchar_t buffer[32];
    std::fill(std::begin(buffer), std::end(buffer), kUnwritten);
    const std::uint32_t count = os::ProfileSection(file, L"Startup", buffer, 32);
    EXPECT_EQ(9u, count);
    EXPECT_EQ(std::wstring(L"1\0Stop=1\0\0", 10), std::wstring(buffer, 10));
    EXPECT_EQ(kUnwritten, buffer[10]);
}

TEST_F(SystemConformance, ProfileSectionOfMissingSectionIsAnEmptyList) {
    const std::wstring file = testenv::FreshScratchFolder() + L"\\settings.ini";
    testenv::CreateTextFile(file, L"[Startup]\r\n1\r\n");
    wchar_t buffer[32];
    std::fill(std::begin(buffer), std::end(buffer), kUnwritten);
    EXPECT_EQ(0u, os::ProfileSection(file, L"Absent", buffer, 32));
    EXPECT_EQ(std::wstring(2, L'\0'), std::wstring(buffer, 2)) << "an empty list of lines";
    EXPECT_EQ(kUnwritten, buffer[2]);
}

TEST_F(SystemConformance, ProfileSectionOfMissingFileIsAnEmptyList) {
    const std::wstring file = testenv::FreshScratchFolder() + L"\\absent.ini";
    wchar_t buffer[32];
    std::fill(std::begin(buffer), std::end(buffer), kUnwritten);
    EXPECT_EQ(0u, os::ProfileSection(file, L"Startup", buffer, 32));
    EXPECT_EQ(std::wstring(2, L'\0'), std::wstring(buffer, 2)) << "an empty list of lines";
    EXPECT_EQ(kUnwritten, buffer[2]);
}

TEST_F(SystemConformance, ConsoleSessionFromKernel32IsTheCurrentProcessSession) {
    const os::Module kernel32 = os::LoadModule(L"kernel32.dll");
    ASSERT_NE(os::kNoModule, kernel32);
    void* const found = os::ModuleFunction(kernel32, "WTSGetActiveConsoleSessionId");
    ASSERT_NE(nullptr, found);
    const auto consoleSession = reinterpret_cast<os::ConsoleSessionFunction>(found);
    std::uint32_t session = kSentinel;
    ASSERT_TRUE(os::ProcessSession(os::CurrentProcessId(), &session));
    EXPECT_EQ(consoleSession(), session);
    EXPECT_TRUE(os::FreeModule(kernel32));
}

TEST_F(SystemConformance, SessionOfMissingProcessFailsAndLeavesSession) {
    std::uint32_t session = kSentinel;
    EXPECT_FALSE(os::ProcessSession(UnusedProcessId(), &session));
    EXPECT_EQ(kSentinel, session);
}

TEST_F(SystemConformance, MissingFunctionOfModuleIsNull) {
    const os::Module kernel32 = os::LoadModule(L"kernel32.dll");
    ASSERT_NE(os::kNoModule, kernel32);
    EXPECT_EQ(nullptr, os::ModuleFunction(kernel32, "QelbootNoSuchFunction"));
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

TEST_F(SystemConformance, SleepForZeroReturns) { os::SleepFor(0); }

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

} // namespace
} // namespace qel
