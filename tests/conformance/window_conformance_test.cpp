// Windows, message loops, threads and recursive locks through the seam, on the simulated machine and under
// Wine alike.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/os.h"
#include "test_env.h"

namespace qel {
namespace {

constexpr std::uint32_t kWmUser = 0x0400;
constexpr std::uint32_t kWmNcCreate = 0x0081;
constexpr std::uint32_t kWmNcCalcSize = 0x0083;
constexpr std::uint32_t kWmCreate = 0x0001;
constexpr std::uint32_t kWmSize = 0x0005;
constexpr std::uint32_t kWmMove = 0x0003;
constexpr std::uint32_t kAnsweredMessage = kWmUser + 5;
constexpr std::intptr_t kAnswer = 0x1234;

struct Received {
    std::uint32_t message;
    std::uintptr_t wParam;
    std::uint32_t threadId;
    bool operator==(const Received& other) const {
        return message == other.message && wParam == other.wParam && threadId == other.threadId;
    }
};

// What the recording procedure was called with, in order.
std::vector<Received>& ReceivedMessages() {
    static std::vector<Received> received;
    return received;
}

std::intptr_t QELBOOT_WINAPI RecordingProcedure(os::Window window, std::uint32_t message,
                                                std::uintptr_t wParam, std::intptr_t lParam) {
    ReceivedMessages().push_back({message, wParam, os::CurrentThreadId()});
    if (message == kAnsweredMessage)
        return kAnswer;
    return os::DefaultWindowProc(window, message, wParam, lParam);
}

std::vector<std::uint32_t> MessageNumbers(const std::vector<Received>& received) {
    std::vector<std::uint32_t> numbers;
    for (const Received& each : received)
        numbers.push_back(each.message);
    return numbers;
}

os::Window HiddenWindow(const wchar_t* className) {
    return os::CreateTopLevelWindow(className, L"QelbootConformance", os::kWsPopup, 0, 0, 0, 0,
                                    os::ProgramModule());
}

// Waits in steps of 10 ms, which pass in virtual time on the simulated machine and let its other threads run.
bool WaitFor(const std::atomic<bool>& flag, int steps) {
    for (int step = 0; step < steps && !flag; ++step)
        os::SleepFor(10);
    return flag;
}

// Each test starts on a fresh machine; on the simulated one only a fresh scratch key brings that. Classes are
// named per test, since a process keeps the classes it registered.
class WindowConformance : public ::testing::Test {
protected:
    void SetUp() override {
        testenv::FreshScratchKey();
        ReceivedMessages().clear();
    }
};
using ThreadConformance = WindowConformance;

TEST_F(WindowConformance, HiddenPopupWindowReceivesItsCreationMessagesBeforeCreationReturns) {
    const wchar_t* className = L"QelbootConformance.Creation";
    ASSERT_TRUE(os::RegisterWindowClass(className, &RecordingProcedure, os::ProgramModule()));
    ASSERT_NE(os::kNoWindow, HiddenWindow(className));
    const std::vector<std::uint32_t> expected = {kWmNcCreate, kWmNcCalcSize, kWmCreate, kWmSize, kWmMove};
    EXPECT_EQ(expected, MessageNumbers(ReceivedMessages()));
}

TEST_F(WindowConformance, RegisteringAnExistingClassFails) {
    ASSERT_TRUE(
        os::RegisterWindowClass(L"QelbootConformance.Twice", &RecordingProcedure, os::ProgramModule()));
    EXPECT_FALSE(
        os::RegisterWindowClass(L"QelbootConformance.Twice", &RecordingProcedure, os::ProgramModule()));
    EXPECT_FALSE(
        os::RegisterWindowClass(L"QELBOOTCONFORMANCE.TWICE", &RecordingProcedure, os::ProgramModule()));
}

TEST_F(WindowConformance, StaticWindowNeedsNoRegistrationAndShowsItsTitle) {
    EXPECT_NE(os::kNoModule, os::ProgramModule());
    const os::Window window = HiddenWindow(L"STATIC");
    ASSERT_NE(os::kNoWindow, window);
    EXPECT_EQ(L"QelbootConformance", os::WindowTitle(window, 64));
}

TEST_F(WindowConformance, MessageRangeTakesTheMatchingMessageAndLeavesOthersQueuedInOrder) {
    const os::Window window = HiddenWindow(L"STATIC");
    ASSERT_NE(os::kNoWindow, window);
    ASSERT_TRUE(os::PostWindowMessage(window, kWmUser + 1, 1, 0));
    ASSERT_TRUE(os::PostWindowMessage(window, os::kWmDeviceChange, os::kDbtDevNodesChanged, 0));
    ASSERT_TRUE(os::PostWindowMessage(window, kWmUser + 2, 2, 0));

    os::WindowMessage message;
    ASSERT_LT(0, os::GetWindowMessage(&message, window, os::kWmDeviceChange, os::kWmDeviceChange));
    EXPECT_EQ(window, message.window);
    EXPECT_EQ(os::kWmDeviceChange, message.message);
    EXPECT_EQ(os::kDbtDevNodesChanged, message.wParam);
    for (const std::uint32_t skipped : {kWmUser + 1, kWmUser + 2}) {
        ASSERT_LT(0, os::GetWindowMessage(&message, window, 0, 0));
        EXPECT_EQ(skipped, message.message);
        EXPECT_EQ(skipped - kWmUser, message.wParam);
    }
}

TEST_F(WindowConformance, QuitMessageGivesZero) {
    const os::Window window = HiddenWindow(L"STATIC");
    ASSERT_NE(os::kNoWindow, window);
    ASSERT_TRUE(os::PostWindowMessage(window, os::kWmQuit, 3, 0));
    os::WindowMessage message;
    EXPECT_EQ(0, os::GetWindowMessage(&message, window, 0, 0));
    EXPECT_EQ(os::kWmQuit, message.message);
    EXPECT_EQ(3u, message.wParam);
}

TEST_F(WindowConformance, DispatchRunsTheProcedureOnTheCallingThreadAndGivesItsAnswer) {
    const wchar_t* className = L"QelbootConformance.Dispatch";
    ASSERT_TRUE(os::RegisterWindowClass(className, &RecordingProcedure, os::ProgramModule()));
    const os::Window window = HiddenWindow(className);
    ASSERT_NE(os::kNoWindow, window);
    ASSERT_TRUE(os::PostWindowMessage(window, kAnsweredMessage, 42, 0));
    os::WindowMessage message;
    ASSERT_LT(0, os::GetWindowMessage(&message, window, kAnsweredMessage, kAnsweredMessage));
    ReceivedMessages().clear();
    os::TranslateWindowMessage(message);
    EXPECT_EQ(kAnswer, os::DispatchWindowMessage(message));
    const std::vector<Received> expected = {{kAnsweredMessage, 42, os::CurrentThreadId()}};
    EXPECT_EQ(expected, ReceivedMessages());
}

struct ThreadProbe {
    std::uint32_t threadId = 0;
    void* param = nullptr;
    std::atomic<bool> ran{false};
};

std::uint32_t QELBOOT_WINAPI RecordThread(void* param) {
    auto* probe = static_cast<ThreadProbe*>(param);
    probe->threadId = os::CurrentThreadId();
    probe->param = param;
    probe->ran = true;
    return 0;
}

TEST_F(ThreadConformance, StartedThreadRunsTheRoutineWithItsParameterOnAnotherThread) {
    ThreadProbe probe;
    ASSERT_TRUE(os::StartThread(&RecordThread, &probe));
    ASSERT_TRUE(WaitFor(probe.ran, 500));
    EXPECT_EQ(&probe, probe.param);
    EXPECT_NE(0u, probe.threadId);
    EXPECT_NE(os::CurrentThreadId(), probe.threadId);
}

struct LockProbe {
    os::Lock lock = os::kNoLock;
    std::atomic<bool> entered{false};
};

std::uint32_t QELBOOT_WINAPI EnterAndLeave(void* param) {
    auto* probe = static_cast<LockProbe*>(param);
    // The probe may be gone once `entered` is seen.
    const os::Lock lock = probe->lock;
    os::EnterLock(lock);
    probe->entered = true;
    os::LeaveLock(lock);
    return 0;
}

TEST_F(ThreadConformance, RecursiveLockIsReenteredByItsOwnerAndBlocksOthersUntilFullyLeft) {
    LockProbe probe;
    probe.lock = os::NewRecursiveLock();
    ASSERT_NE(os::kNoLock, probe.lock);
    os::EnterLock(probe.lock);
    os::EnterLock(probe.lock);
    ASSERT_TRUE(os::StartThread(&EnterAndLeave, &probe));
    EXPECT_FALSE(WaitFor(probe.entered, 20));
    os::LeaveLock(probe.lock);
    EXPECT_FALSE(WaitFor(probe.entered, 20)) << "entered twice, left once";
    os::LeaveLock(probe.lock);
    EXPECT_TRUE(WaitFor(probe.entered, 500));
}

} // namespace
} // namespace qel
