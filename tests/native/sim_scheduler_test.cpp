// The simulated machine's threads in virtual time: the order they run in, events, idleness, lock hand-over,
// sent and posted messages, machines reset under running threads, and listings of large folders.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "platform/os.h"
#include "platform/sim/machine.h"

namespace qel {
namespace {

using Record = std::tuple<std::uint64_t, std::uint32_t, std::wstring>;

sim::Machine& TheMachine() { return sim::Machine::Current(); }

std::vector<Record> Records() {
    std::vector<Record> records;
    for (const auto& record : TheMachine().DebugRecords())
        records.emplace_back(record.at, record.thread, record.line);
    return records;
}

struct Ticker {
    const wchar_t* name;
    std::uint32_t period;
};

// Three lines, a period apart.
std::uint32_t QELBOOT_WINAPI Tick(void* param) {
    const auto* ticker = static_cast<const Ticker*>(param);
    for (int i = 0; i < 3; ++i) {
        os::DebugOutput(ticker->name + std::to_wstring(i));
        os::SleepFor(ticker->period);
    }
    return 0;
}

std::uint32_t QELBOOT_WINAPI PollForever(void*) {
    for (;;) {
        os::DebugOutput(L"poll");
        os::SleepFor(100);
    }
}

os::Lock sharedLock = os::kNoLock;

std::uint32_t QELBOOT_WINAPI EnterAndSayName(void* name) {
    os::EnterLock(sharedLock);
    os::DebugOutput(static_cast<const wchar_t*>(name));
    os::LeaveLock(sharedLock);
    return 0;
}

std::intptr_t QELBOOT_WINAPI LoggingWindowProc(os::Window, std::uint32_t message, std::uintptr_t wParam,
                                               std::intptr_t) {
    if (message == os::kWmDeviceChange)
        os::DebugOutput(L"procedure " + std::to_wstring(wParam));
    return 0;
}

// A hidden window and its message loop, until WM_QUIT.
std::uint32_t QELBOOT_WINAPI WindowThread(void*) {
    os::RegisterWindowClass(L"LoopClass", &LoggingWindowProc, os::ProgramModule());
    os::CreateTopLevelWindow(L"LoopClass", L"Loop", os::kWsPopup, 0, 0, 0, 0, os::ProgramModule());
    os::WindowMessage message;
    while (os::GetWindowMessage(&message, os::kNoWindow, 0, 0) > 0) {
        os::DebugOutput(L"got " + std::to_wstring(message.wParam));
        os::DispatchWindowMessage(message);
    }
    return 0;
}

TEST(SimScheduler, ThreadsRunOneAtATimeAndSleepersDueTogetherWakeInTheOrderTheySlept) {
    sim::Machine::Reset();
    const Ticker slow{L"A", 30};
    const Ticker fast{L"B", 20};
    ASSERT_TRUE(os::StartThread(&Tick, const_cast<Ticker*>(&slow)));
    ASSERT_TRUE(os::StartThread(&Tick, const_cast<Ticker*>(&fast)));
    EXPECT_TRUE(TheMachine().DebugLines().empty()) << "a started thread waits for its turn";
    TheMachine().RunFor(100);
    os::DebugOutput(L"main");
    EXPECT_EQ((std::vector<Record>{{0, 2, L"A0"},
                                   {0, 3, L"B0"},
                                   {20, 3, L"B1"},
                                   {30, 2, L"A1"},
                                   {40, 3, L"B2"},
                                   {60, 2, L"A2"},
                                   {100, 1, L"main"}}),
              Records());
    ASSERT_EQ(2u, TheMachine().Threads().size());
    for (std::uint32_t i = 0; i < 2; ++i) {
        EXPECT_EQ(i + 2, TheMachine().Threads()[i].id);
        EXPECT_TRUE(TheMachine().Threads()[i].ended);
    }
}

TEST(SimScheduler, EventsFireBeforeThreadsDueThenAndLateOnesAtTheNextSwitch) {
    sim::Machine::Reset();
    TheMachine().At(50, [] {
        TheMachine().AddDrive(L'E', os::kDriveRemovable);
        os::DebugOutput(L"card");
    });
    os::StartThread(
        [](void*) -> std::uint32_t {
            os::SleepFor(50);
            os::DebugOutput(L"type " + std::to_wstring(os::DriveType(L"E:")));
            return 0;
        },
        nullptr);
    TheMachine().RunFor(100);
    TheMachine().At(20, [] { os::DebugOutput(L"late"); });
    TheMachine().Sleep(0);
    EXPECT_EQ((std::vector<Record>{{50, 0, L"card"}, {50, 2, L"type 2"}, {100, 0, L"late"}}), Records());
}

TEST(SimScheduler, RunUntilIdleIsTrueWhenAllWaitAndFalseAfterTheLimitWhenOnePolls) {
    sim::Machine::Reset();
    os::StartThread(&WindowThread, nullptr);
    EXPECT_TRUE(TheMachine().RunUntilIdle());
    EXPECT_EQ(0u, TheMachine().Now());

    sim::Machine::Reset();
    os::StartThread(&PollForever, nullptr);
    EXPECT_FALSE(TheMachine().RunUntilIdle(10'000));
    EXPECT_EQ(10'000u, TheMachine().Now());
    EXPECT_EQ(100u, TheMachine().DebugLines().size()) << "the poller due at the limit too runs after it";
}

TEST(SimScheduler, LeavingALockForTheLastTimeHandsItToTheFirstWaiter) {
    sim::Machine::Reset();
    sharedLock = os::NewRecursiveLock();
    os::EnterLock(sharedLock);
    os::EnterLock(sharedLock);
    os::StartThread(&EnterAndSayName, const_cast<wchar_t*>(L"first"));
    os::StartThread(&EnterAndSayName, const_cast<wchar_t*>(L"second"));
    TheMachine().RunFor(10);
    os::LeaveLock(sharedLock);
    TheMachine().RunFor(10);
    EXPECT_TRUE(TheMachine().DebugLines().empty()) << "the lock is still held once";
    os::LeaveLock(sharedLock);
    EXPECT_TRUE(TheMachine().DebugLines().empty()) << "leaving is no switch";
    EXPECT_TRUE(TheMachine().RunUntilIdle());
    EXPECT_EQ((std::vector<Record>{{20, 2, L"first"}, {20, 3, L"second"}}), Records());
}

TEST(SimScheduler, SentMessagesRunInsideGetMessageWhilePostedOnesAreReturned) {
    sim::Machine::Reset();
    os::StartThread(&WindowThread, nullptr);
    ASSERT_TRUE(TheMachine().RunUntilIdle());
    const os::Window window = TheMachine().FindWindowByTitle(L"Loop");
    ASSERT_NE(os::kNoWindow, window);
    EXPECT_EQ(L"LoopClass", TheMachine().WindowClassOf(window));

    TheMachine().BroadcastDeviceChange(os::kDbtDevNodesChanged);
    ASSERT_TRUE(TheMachine().RunUntilIdle());
    EXPECT_TRUE(os::PostWindowMessage(window, os::kWmDeviceChange, os::kDbtDeviceArrival, 0));
    ASSERT_TRUE(TheMachine().RunUntilIdle());
    EXPECT_EQ((std::vector<std::wstring>{L"procedure 7", L"got 32768", L"procedure 32768"}),
              TheMachine().DebugLines());

    std::vector<std::uint32_t> delivered;
    for (const auto& message : TheMachine().Delivered())
        delivered.push_back(message.message);
    std::vector<std::uint32_t> expected = sim::Machine::CreationMessages();
    expected.insert(expected.end(), {os::kWmDeviceChange, os::kWmDeviceChange});
    EXPECT_EQ(expected, delivered);

    EXPECT_TRUE(os::PostWindowMessage(window, os::kWmQuit, 0, 0));
    ASSERT_TRUE(TheMachine().RunUntilIdle());
    EXPECT_TRUE(TheMachine().Threads()[0].ended);
    EXPECT_EQ(os::kNoWindow, TheMachine().FindWindowByTitle(L"Loop")) << "windows end with their thread";
}

TEST(SimScheduler, ResetParksTheOldMachinesThreadsForever) {
    sim::Machine::Reset();
    os::StartThread(&PollForever, nullptr);
    TheMachine().RunFor(250);
    EXPECT_EQ(3u, TheMachine().DebugLines().size());

    sim::Machine::Reset();
    TheMachine().Sleep(1000);
    EXPECT_EQ(1000u, TheMachine().Now());
    EXPECT_TRUE(TheMachine().Threads().empty());
    EXPECT_TRUE(TheMachine().DebugLines().empty());
    EXPECT_EQ(1u, os::CurrentThreadId());
}

// Lists E:\<folder> completely; the names in order.
std::vector<std::wstring> List(const std::wstring& folder) {
    std::vector<std::wstring> names;
    os::FindHandle find = os::kNoFind;
    os::FindData entry;
    EXPECT_EQ(os::kSuccess, os::FindFirstEntry(L"E:\\" + folder + L"\\*", &find, &entry));
    do
        names.push_back(entry.name);
    while (os::FindNextEntry(find, &entry) == os::kSuccess);
    EXPECT_TRUE(os::CloseFind(find));
    return names;
}

TEST(SimScheduler, ListingsOfAHundredThousandEntriesTakeLinearTime) {
    sim::Machine::Reset();
    TheMachine().AddDrive(L'E', os::kDriveRemovable);
    constexpr int kEntries = 100'000;
    for (int i = 0; i < kEntries; ++i)
        TheMachine().AddFile(L"E:\\Flat\\F" + std::to_wstring(i));
    for (int i = 0; i < kEntries; ++i)
        TheMachine().AddFile(L"E:\\Tree\\D" + std::to_wstring(i / 100) + L"\\F" + std::to_wstring(i));

    const auto flat = List(L"Flat");
    ASSERT_EQ(kEntries + 2u, flat.size());
    EXPECT_EQ(L"F99999", flat.back()) << "entries come in the order they were added";
    std::size_t treeFiles = 0;
    for (const auto& folder : List(L"Tree")) {
        if (folder != L"." && folder != L"..")
            treeFiles += List(L"Tree\\" + folder).size() - 2;
    }
    EXPECT_EQ(std::size_t{kEntries}, treeFiles);
    EXPECT_EQ(0u, TheMachine().OpenFindCount());
}

} // namespace
} // namespace qel
