// scheduler.cpp - threads in virtual time: hand-overs, the clock, events, locks; the seam's thread calls.
#include "platform/sim/scheduler.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <system_error>
#include <thread>

#include "platform/sim/machine.h"

namespace qel::sim {
namespace {

// Lock handles are unique in the process, so that a lock of a retired machine is never taken for one of the
// current machine's.
std::atomic<std::uintptr_t> nextLockHandle{0x5000};

// An event that throws is a test bug; the machine could not be left in a state to go on from.
void RunEvent(const std::function<void()>& event) noexcept { event(); }

// `milliseconds` from `now`, or the end of time.
std::uint64_t Later(std::uint64_t now, std::uint64_t milliseconds) {
    const std::uint64_t latest = std::numeric_limits<std::uint64_t>::max();
    return milliseconds > latest - now ? latest : now + milliseconds;
}

const char* StateName(int state) {
    static const char* const names[] = {"runnable", "running", "sleeping", "waiting", "ended"};
    return names[state];
}

} // namespace

thread_local Scheduler::SimThread* Scheduler::simThread_ = nullptr;

Scheduler::Scheduler(std::uint64_t& clock) : now_(clock) { main_.owner = this; }

Scheduler::~Scheduler() {
    // Only a machine whose threads have all ended is freed; the others are parked for ever.
    for (auto& thread : threads_) {
        if (thread->real.joinable())
            thread->real.join();
    }
}

Scheduler::SimThread* Scheduler::Self() {
    if (!simThread_)
        return &main_;
    if (simThread_->owner != this)
        Misuse("a thread of a retired machine called into the current one");
    return simThread_;
}

std::uint32_t Scheduler::CurrentId() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (inEvent_)
        return 0;
    return simThread_ ? simThread_->id : main_.id;
}

bool Scheduler::Start(os::ThreadProc proc, void* param, std::function<void()> atEnd) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failStarts_ || ending_)
        return false;
    auto thread = std::make_unique<SimThread>();
    thread->owner = this;
    thread->id = static_cast<std::uint32_t>(threads_.size() + 2);
    thread->state = State::Runnable;
    SimThread* const started = thread.get();
    threads_.push_back(std::move(thread));
    try {
        started->real = std::thread(
            [this, started, proc, param, end = std::move(atEnd)] { Run(started, proc, param, end); });
    } catch (const std::system_error&) {
        threads_.pop_back();
        return false;
    }
    records_.push_back(ThreadRecord{started->id, proc, param, false});
    runQueue_.push_back(started);
    return true;
}

void Scheduler::Run(SimThread* self, os::ThreadProc proc, void* param, const std::function<void()>& atEnd) {
    simThread_ = self;
    bool run = false;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        self->turn.wait(lock, [&] { return current_ == self; });
        run = !ending_;
    }
    try {
        if (run)
            proc(param);
    } catch (const ThreadEnded&) {
    }
    if (atEnd)
        atEnd();
    std::unique_lock<std::mutex> lock(mutex_);
    records_[self->id - 2].ended = true;
    self->state = State::Ended;
    SwitchAway(lock, self);
}

void Scheduler::Sleep(std::uint64_t milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (inEvent_)
        Misuse("an event must not sleep");
    SimThread* const self = Self();
    ThrowIfEnding(self);
    SleepUntil(lock, self, Later(now_, milliseconds));
    ThrowIfEnding(self);
}

bool Scheduler::RunUntilIdle(std::uint64_t limitMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (inEvent_)
        Misuse("an event must not wait");
    SimThread* const self = Self();
    self->idleWait = true;
    self->becameIdle = false;
    SleepUntil(lock, self, Later(now_, limitMs));
    self->idleWait = false;
    return self->becameIdle;
}

void Scheduler::At(std::uint64_t time, std::function<void()> event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.emplace(time, std::move(event));
}

void Scheduler::Block() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (inEvent_)
        Misuse("an event must not wait");
    SimThread* const self = Self();
    ThrowIfEnding(self);
    self->state = State::Blocked;
    SwitchAway(lock, self);
    ThrowIfEnding(self);
}

void Scheduler::Wake(std::uint32_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    SimThread* const thread = id == main_.id             ? &main_
                              : id - 2 < threads_.size() ? threads_[id - 2].get()
                                                         : nullptr;
    if (thread && thread->state == State::Blocked)
        MakeRunnable(thread);
}

os::Lock Scheduler::NewLock() {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::uintptr_t handle = nextLockHandle.fetch_add(8);
    locks_[handle];
    return static_cast<os::Lock>(handle);
}

Scheduler::LockState& Scheduler::FindLock(os::Lock lock) {
    const auto found = locks_.find(static_cast<std::uintptr_t>(lock));
    if (found == locks_.end())
        Misuse("a lock that this machine did not make was entered or left");
    return found->second;
}

void Scheduler::Enter(os::Lock handle) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (inEvent_)
        Misuse("an event must not take a lock");
    LockState& state = FindLock(handle);
    SimThread* const self = Self();
    if (!state.owner) {
        state.owner = self;
        state.depth = 1;
    } else if (state.owner == self) {
        ++state.depth;
    } else {
        // Leave makes this thread the owner before it runs again.
        ThrowIfEnding(self);
        state.waiters.push_back(self);
        self->state = State::Blocked;
        SwitchAway(lock, self);
        ThrowIfEnding(self);
    }
}

void Scheduler::Leave(os::Lock handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    LockState& state = FindLock(handle);
    if (state.owner != Self())
        Misuse("a thread left a lock it does not hold");
    if (--state.depth != 0)
        return;
    state.owner = nullptr;
    if (!state.waiters.empty()) {
        state.owner = state.waiters.front();
        state.depth = 1;
        state.waiters.pop_front();
        MakeRunnable(state.owner);
    }
}

void Scheduler::EndThreads() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (simThread_ || inEvent_)
        Misuse("only the test's thread ends a machine's threads");
    ending_ = true;
    events_.clear();
    for (const auto& sleeper : sleepers_)
        MakeRunnable(sleeper.second);
    sleepers_.clear();
    for (auto& entry : locks_)
        entry.second.waiters.clear();
    for (const auto& thread : threads_) {
        if (thread->state == State::Blocked)
            MakeRunnable(thread.get());
    }
    // PickNext hands control back once the run queue is empty: every thread has ended by then, since a
    // thread can no longer sleep or wait.
    main_.state = State::Blocked;
    SwitchAway(lock, &main_);
    lock.unlock();
    for (auto& thread : threads_) {
        if (thread->real.joinable())
            thread->real.join();
    }
}

bool Scheduler::AllEnded() const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& thread : threads_) {
        if (thread->state != State::Ended)
            return false;
    }
    return true;
}

void Scheduler::ThrowIfEnding(SimThread* self) {
    if (!ending_ || self == &main_)
        return;
    // Code that swallows the exception and blocks again gets it again; a thread that never stops trying
    // would never end.
    if (++self->endThrows > 10'000)
        Misuse("a thread went on blocking after its machine ended its threads");
    throw ThreadEnded{};
}

void Scheduler::SleepUntil(std::unique_lock<std::mutex>& lock, SimThread* self, std::uint64_t time) {
    self->state = State::Sleeping;
    sleepers_.emplace(SleepKey{time, sleeps_++}, self);
    SwitchAway(lock, self);
}

void Scheduler::MakeRunnable(SimThread* thread) {
    thread->state = State::Runnable;
    runQueue_.push_back(thread);
}

void Scheduler::SwitchAway(std::unique_lock<std::mutex>& lock, SimThread* self) {
    SimThread* const next = PickNext(lock);
    next->state = State::Running;
    current_ = next;
    if (next == self)
        return;
    next->turn.notify_one();
    if (self->state != State::Ended)
        self->turn.wait(lock, [&] { return current_ == self; });
}

Scheduler::SimThread* Scheduler::PickNext(std::unique_lock<std::mutex>& lock) {
    for (;;) {
        if (ending_) {
            if (runQueue_.empty())
                return &main_;
            SimThread* const next = runQueue_.front();
            runQueue_.pop_front();
            return next;
        }
        // Events run on the thread that hands over, while it is still the current one: nobody else runs.
        while (!events_.empty() && events_.begin()->first <= now_) {
            const std::function<void()> event = std::move(events_.begin()->second);
            events_.erase(events_.begin());
            inEvent_ = true;
            lock.unlock();
            RunEvent(event);
            lock.lock();
            inEvent_ = false;
        }
        if (runQueue_.empty() && events_.empty() && sleepers_.size() == 1 &&
            sleepers_.begin()->second->idleWait) {
            SimThread* const waiter = sleepers_.begin()->second;
            sleepers_.erase(sleepers_.begin());
            waiter->becameIdle = true;
            MakeRunnable(waiter);
        }
        while (!sleepers_.empty() && sleepers_.begin()->first.first <= now_) {
            MakeRunnable(sleepers_.begin()->second);
            sleepers_.erase(sleepers_.begin());
        }
        if (!runQueue_.empty()) {
            SimThread* const next = runQueue_.front();
            runQueue_.pop_front();
            return next;
        }
        if (events_.empty() && sleepers_.empty())
            Deadlock();
        std::uint64_t next = std::numeric_limits<std::uint64_t>::max();
        if (!events_.empty())
            next = events_.begin()->first;
        if (!sleepers_.empty() && sleepers_.begin()->first.first < next)
            next = sleepers_.begin()->first.first;
        now_ = next;
    }
}

void Scheduler::Deadlock() const {
    std::fprintf(stderr,
                 "sim::Machine: deadlock at t=%llu ms: every thread waits for a lock or a message, and no "
                 "sleeper or event is left to wake one\n",
                 static_cast<unsigned long long>(now_));
    std::fprintf(stderr, "  thread 1: %s\n", StateName(static_cast<int>(main_.state)));
    for (const auto& thread : threads_)
        std::fprintf(stderr, "  thread %u: %s\n", thread->id, StateName(static_cast<int>(thread->state)));
    std::fflush(stderr);
    std::abort();
}

void Scheduler::Misuse(const char* what) {
    std::fprintf(stderr, "sim::Machine: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

} // namespace qel::sim

namespace qel::sim {

bool Machine::StartThread(os::ThreadProc proc, void* param) {
    return scheduler_.Start(proc, param, [this] { ForgetThread(CurrentThread()); });
}

} // namespace qel::sim

namespace qel::os {

bool StartThread(ThreadProc proc, void* param) {
    return !sim::SeamFault() && sim::Machine::Current().StartThread(proc, param);
}

std::uint32_t CurrentThreadId() { return sim::Machine::Current().CurrentThread(); }

Lock NewRecursiveLock() { return sim::Machine::Current().NewLock(); }

void EnterLock(Lock lock) { sim::Machine::Current().EnterLock(lock); }

void LeaveLock(Lock lock) { sim::Machine::Current().LeaveLock(lock); }

void SleepFor(std::uint32_t milliseconds) { sim::Machine::Current().RunFor(milliseconds); }

} // namespace qel::os
