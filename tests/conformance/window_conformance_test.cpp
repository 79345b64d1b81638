// Windows, message loops, threads and recursive locks through the seam, on the simulated machine and Wine.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "platform/os.h"
#include "test_env.h"

namespace qel {
namespace {

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

TEST(WindowConformance, ProcedureGetsTheCreationMessagesThenWhatIsDispatchedAndItsClassCannotComeAgain) {
    testenv::FreshScratchKey();
    ASSERT_TRUE(os::RegisterWindowClass(L"Qelboot", &RecordingProcedure, os::ProgramModule()));
    auto window = os::CreateTopLevelWindow(L"Qelboot", L"", os::kWsPopup, 0, 0, 0, 0, os::ProgramModule());
    // WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE, all before creation returns
    EXPECT_EQ((std::vector<std::uint32_t>{0x81, 0x83, 0x01, 0x05, 0x03}), receivedMessages);
    EXPECT_EQ(42, os::DispatchWindowMessage(os::WindowMessage{window, kWmUser, 0, 0}));
    for (const wchar_t* name : {L"Qelboot", L"QELBOOT"})
        EXPECT_FALSE(os::RegisterWindowClass(name, &RecordingProcedure, os::ProgramModule())) << name;
}

TEST(WindowConformance, StaticWindowNeedsNoRegistrationAndARangeLeavesOtherMessagesQueued) {
    testenv::FreshScratchKey();
    auto window = os::CreateTopLevelWindow(L"STATIC", L"", os::kWsPopup, 0, 0, 0, 0, os::ProgramModule());
    for (const std::uint32_t message : {kWmUser, os::kWmDeviceChange})
        ASSERT_TRUE(os::PostWindowMessage(window, message, 0, 0));
    os::WindowMessage taken;
    ASSERT_LT(0, os::GetWindowMessage(&taken, window, os::kWmDeviceChange, os::kWmDeviceChange));
    EXPECT_EQ(os::kWmDeviceChange, taken.message);
    ASSERT_LT(0, os::GetWindowMessage(&taken, window, 0, 0));
    EXPECT_EQ(kWmUser, taken.message);
}

// A window that is gone takes no posted message.
TEST(WindowConformance, WmCloseDestroysAStaticWindowUnlessTheProcedurePutInItsPlaceKeepsIt) {
    testenv::FreshScratchKey();
    const auto closed =
        os::CreateTopLevelWindow(L"STATIC", L"", os::kWsPopup, 0, 0, 0, 0, os::ProgramModule());
    os::SendWindowMessage(closed, os::kWmClose, 0, 0);
    EXPECT_FALSE(os::PostWindowMessage(closed, kWmUser, 0, 0));
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
