// scheduler.h - the simulated machine's threads in virtual time: who runs, the clock, events and locks.
//
// Simulated threads are real threads, but only one of them runs at a time: control changes hands only when
// the running thread sleeps, waits for a lock or a message, or ends. Every hand-over goes through the
// scheduler's mutex, so the machine's own data needs no lock of its own. The thread that is not a simulated
// one (the test's) is thread 1.
#ifndef QELBOOT_PLATFORM_SIM_SCHEDULER_H
#define QELBOOT_PLATFORM_SIM_SCHEDULER_H

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/os.h"

namespace qel::sim {

struct ThreadRecord {
    std::uint32_t id;
    os::ThreadProc proc;
    void* param;
    bool ended;
};

// Thrown out of every blocking call of a simulated thread once its machine ends its threads.
struct ThreadEnded {};

class Scheduler {
public:
    // `clock` is the machine's virtual time in milliseconds; the scheduler is what moves it.
    explicit Scheduler(std::uint64_t& clock);
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;
    ~Scheduler();

    // A machine must outlive its threads: one whose threads have not all ended stays parked for ever once
    // it is retired.
    // Makes every thread end, from the test's thread: each blocking call they are in or make throws
    // ThreadEnded, threads not started yet never run, no event fires, and no thread starts any more. Returns
    // once all of them have ended; the machine can then be freed.
    void EndThreads();
    bool AllEnded() const;

    // A new thread at the end of the run queue; `atEnd` runs on it after `proc` returns.
    bool Start(os::ThreadProc proc, void* param, std::function<void()> atEnd);
    void FailStarts(bool fail) { failStarts_ = fail; }
    const std::vector<ThreadRecord>& Records() const { return records_; }
    // The calling thread's id; 0 while an event runs.
    std::uint32_t CurrentId() const;

    void Sleep(std::uint64_t milliseconds);
    bool RunUntilIdle(std::uint64_t limitMs);
    void At(std::uint64_t time, std::function<void()> event);

    // The calling thread waits until another one wakes it; Wake does nothing to a thread that is not waiting.
    void Block();
    void Wake(std::uint32_t id);

    os::Lock NewLock();
    void Enter(os::Lock lock);
    void Leave(os::Lock lock);

private:
    enum class State { Runnable, Running, Sleeping, Blocked, Ended };
    struct SimThread {
        Scheduler* owner = nullptr;
        std::uint32_t id = 1;
        State state = State::Running;
        std::condition_variable turn;
        bool idleWait = false;   // in RunUntilIdle
        bool becameIdle = false; // what RunUntilIdle answers
        std::thread real;
        std::size_t endThrows = 0;
    };
    struct LockState {
        SimThread* owner = nullptr;
        std::uint32_t depth = 0;
        std::deque<SimThread*> waiters;
    };
    using SleepKey = std::pair<std::uint64_t, std::uint64_t>; // wake time, order of going to sleep

    SimThread* Self();
    LockState& FindLock(os::Lock lock);
    void Run(SimThread* self, os::ThreadProc proc, void* param, const std::function<void()>& atEnd);
    void SleepUntil(std::unique_lock<std::mutex>& lock, SimThread* self, std::uint64_t time);
    void MakeRunnable(SimThread* thread);
    // The calling thread has left the Running state: hands control to the next thread and, unless it ended,
    // waits for its own next turn.
    void SwitchAway(std::unique_lock<std::mutex>& lock, SimThread* self);
    SimThread* PickNext(std::unique_lock<std::mutex>& lock);
    void ThrowIfEnding(SimThread* self);
    [[noreturn]] void Deadlock() const;
    [[noreturn]] static void Misuse(const char* what);

    // The simulated thread running on this real thread; null on any other thread (thread 1).
    static thread_local SimThread* simThread_;

    std::uint64_t& now_;
    mutable std::mutex mutex_;
    SimThread main_;
    std::vector<std::unique_ptr<SimThread>> threads_; // thread id - 2
    std::vector<ThreadRecord> records_;
    SimThread* current_ = &main_;
    std::deque<SimThread*> runQueue_;
    std::map<SleepKey, SimThread*> sleepers_;
    std::uint64_t sleeps_ = 0;
    std::multimap<std::uint64_t, std::function<void()>> events_; // equal times keep the order of scheduling
    bool inEvent_ = false;
    std::map<std::uintptr_t, LockState> locks_;
    bool failStarts_ = false;
    bool ending_ = false;
};

} // namespace qel::sim

#endif // QELBOOT_PLATFORM_SIM_SCHEDULER_H
