// The turns of the simulated machine's threads in virtual time that the device tests leave to chance.
#include <gtest/gtest.h>

#include "platform/os.h"
#include "platform/sim/machine.h"

namespace qel {
namespace {

using Lines = std::vector<std::wstring>;
sim::Machine& TheMachine() { return sim::Machine::Current(); }
os::Lock sharedLock = os::kNoLock;

// Every debugger line as "time thread line".
Lines Timeline() {
    Lines lines;
    for (const auto& said : TheMachine().DebugRecords())
        lines.push_back(std::to_wstring(said.at) + L" " + std::to_wstring(said.thread) + L" " + said.line);
    return lines;
}

// Says its period under the shared lock, then sleeps it, forever.
std::uint32_t QELBOOT_WINAPI Poll(void* period) {
    const auto ms = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(period));
    for (;;) {
        os::EnterLock(sharedLock);
        os::DebugOutput(L"every " + std::to_wstring(ms));
        os::LeaveLock(sharedLock);
        os::SleepFor(ms);
    }
}

TEST(SimScheduler, LockWaitersSleepersAndEventsTakeTurnsTheSameAfterAResetParkedTheLastRunsPollers) {
    for (int run = 0; run < 2; ++run) {
        sim::Machine::Reset();
        sharedLock = os::NewRecursiveLock();
        os::EnterLock(sharedLock);
        TheMachine().At(70, [] { os::DebugOutput(L"event"); });
        os::StartThread(&Poll, reinterpret_cast<void*>(std::uintptr_t{20}));
        os::StartThread(&Poll, reinterpret_cast<void*>(std::uintptr_t{30}));
        TheMachine().RunFor(10);
        os::LeaveLock(sharedLock);
        TheMachine().RunFor(70);
        EXPECT_EQ((Lines{L"10 2 every 20", L"10 3 every 30", L"30 2 every 20", L"40 3 every 30",
                         L"50 2 every 20", L"70 0 event", L"70 3 every 30", L"70 2 every 20"}),
                  Timeline());
        EXPECT_FALSE(TheMachine().RunUntilIdle(1000)) << "pollers keep the machine busy";
    }
    // Ended, the pollers leave their sleep for good, so that the next Reset frees the machine.
    TheMachine().EndThreads();
    for (const auto& thread : TheMachine().Threads())
        EXPECT_TRUE(thread.ended);
    EXPECT_FALSE(os::StartThread(&Poll, nullptr));
}

TEST(SimScheduler, SentMessageRunsInsideGetMessageWhichReturnsOnlyThePostedOne) {
    sim::Machine::Reset();
    const auto window = os::CreateTopLevelWindow(L"STATIC", L"", os::kWsPopup, 0, 0, 0, 0, os::kNoModule);
    TheMachine().BroadcastDeviceChange(os::kDbtDevNodesChanged);
    TheMachine().At(10, [window] { os::PostWindowMessage(window, os::kWmDeviceChange, 8, 0); });
    os::WindowMessage message;
    ASSERT_EQ(1, os::GetWindowMessage(&message, os::kNoWindow, 0, 0));
    EXPECT_EQ(8u, message.wParam);
    EXPECT_EQ(os::kDbtDevNodesChanged, TheMachine().Delivered().back().wParam) << "the posted one is not run";
}

} // namespace
} // namespace qel
