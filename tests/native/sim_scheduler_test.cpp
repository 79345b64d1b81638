// The turns of the simulated machine's threads in virtual time that the device tests leave to chance.
#include "sim_fixture.h"

namespace qel::simtest {
namespace {

os::Lock sharedLock = os::kNoLock;

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

// Lock waiters, sleepers and events take turns the same after a reset that parked the last run's pollers;
// ended, the pollers leave their sleep for good, so that the next reset frees the machine.
TEST(SimScheduler, ThreadsTakeTurnsInVirtualTimeTheSameOnEveryRun) {
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
        Strings timeline;
        for (const auto& said : TheMachine().DebugRecords())
            timeline.push_back(std::to_wstring(said.at) + L" " + std::to_wstring(said.thread) + L" " +
                               said.line);
        EXPECT_EQ((Strings{L"10 2 every 20", L"10 3 every 30", L"30 2 every 20", L"40 3 every 30",
                           L"50 2 every 20", L"70 0 event", L"70 3 every 30", L"70 2 every 20"}),
                  timeline);
        EXPECT_FALSE(TheMachine().RunUntilIdle(1000)) << "pollers keep the machine busy";
    }
    TheMachine().EndThreads();
    for (const auto& thread : TheMachine().Threads())
        EXPECT_TRUE(thread.ended);
    EXPECT_FALSE(os::StartThread(&Poll, nullptr));
}

// A message sent to a window runs inside GetMessage, which returns only the posted one.
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
} // namespace qel::simtest
