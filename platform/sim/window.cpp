// window.cpp - the simulated windows: classes, creation, message queues, sending, posting and fetching.
#include <algorithm>

#include "platform/sim/machine.h"

namespace qel::sim {
namespace {

constexpr std::uint32_t kWmCreate = 0x0001;
constexpr std::uint32_t kWmMove = 0x0003;
constexpr std::uint32_t kWmSize = 0x0005;
constexpr std::uint32_t kWmNcCreate = 0x0081;
constexpr std::uint32_t kWmNcCalcSize = 0x0083;
// What a hidden WS_POPUP top-level window's procedure receives, in order, before creation returns.
constexpr std::uint32_t kCreationMessages[] = {kWmNcCreate, kWmNcCalcSize, kWmCreate, kWmSize, kWmMove};

// Failed fetches in a row, at one virtual time, after which a thread is taken to spin for ever.
constexpr std::size_t kSpinLimit = 1000;

// GetMessageW's filter: WM_QUIT passes any range, and a range whose end lies before its start is no range.
bool Matches(const os::WindowMessage& message, os::Window window, std::uint32_t first, std::uint32_t last) {
    if (window != os::kNoWindow && message.window != window)
        return false;
    if (message.message == os::kWmQuit || (first == 0 && last == 0) || last < first)
        return true;
    return message.message >= first && message.message <= last;
}

} // namespace

using Record = WindowState::Record;

os::Window Machine::AddWindow(std::uint32_t processId, const std::wstring& title) {
    const auto raw = windows_.nextWindow;
    windows_.nextWindow += 2;
    windows_.records.push_back(Record{raw, processId, title, {}, nullptr, 0});
    return static_cast<os::Window>(raw);
}

os::Window Machine::FindWindowByTitle(const std::wstring& title) const {
    const std::wstring folded = FoldCase(title);
    for (const auto& record : windows_.records) {
        const Process* owner = FindProcess(record.processId);
        if ((!owner || owner->alive) && FoldCase(record.title) == folded)
            return static_cast<os::Window>(record.handle);
    }
    return os::kNoWindow;
}

std::wstring Machine::WindowClassOf(os::Window window) const {
    const Record* record = windows_.Find(window);
    return record ? record->className : std::wstring();
}

void Machine::EnumWindows(os::WindowVisitor visit, std::intptr_t param) const {
    // A copy: a visitor may end processes and so take windows away.
    const auto windows = windows_.records;
    for (const auto& window : windows) {
        const Process* owner = FindProcess(window.processId);
        if (owner && !owner->alive)
            continue;
        if (!visit(static_cast<os::Window>(window.handle), param))
            return;
    }
}

std::wstring Machine::WindowTitle(os::Window window, int maxChars) const {
    const Record* record = windows_.Find(window);
    if (!record || maxChars <= 0)
        return {};
    return record->title.substr(0, static_cast<std::size_t>(maxChars - 1));
}

bool Machine::RegisterClass(const wchar_t* className, os::WindowProc proc) {
    if (!className || windows_.failClassRegistration)
        return false;
    return windows_.classes.emplace(FoldCase(className), WindowState::Class{className, proc}).second;
}

os::Window Machine::CreateWindow(const wchar_t* className, const wchar_t* title) {
    const std::uint32_t thread = CurrentThread();
    // An event is no thread that could own a window.
    if (!className || thread == 0)
        return os::kNoWindow;
    const auto windowClass = windows_.classes.find(FoldCase(className));
    if (windowClass == windows_.classes.end())
        return os::kNoWindow;
    const auto raw = windows_.nextWindow;
    windows_.nextWindow += 2;
    windows_.records.push_back(Record{raw, kSelfId, title ? title : L"", windowClass->second.name,
                                      windowClass->second.proc, thread});
    const auto window = static_cast<os::Window>(raw);
    for (const std::uint32_t message : kCreationMessages)
        CallWindowProc(window, message, 0, 0);
    return window;
}

std::intptr_t Machine::CallWindowProc(os::Window window, std::uint32_t message, std::uintptr_t wParam,
                                      std::intptr_t lParam) {
    const Record* record = windows_.Find(window);
    if (!record || !record->proc)
        return 0;
    // The record may move while the procedure runs: it can create windows.
    const os::WindowProc proc = record->proc;
    windows_.delivered.push_back(DeliveredMessage{window, message, wParam});
    return proc(window, message, wParam, lParam);
}

void Machine::WakeForMessage(std::uint32_t thread, const os::WindowMessage* posted) {
    const auto queue = windows_.queues.find(thread);
    if (queue == windows_.queues.end() || !queue->second.waiting)
        return;
    if (posted && !Matches(*posted, queue->second.window, queue->second.first, queue->second.last))
        return;
    queue->second.waiting = false;
    scheduler_.Wake(thread);
}

bool Machine::PostMessage(os::Window window, std::uint32_t message, std::uintptr_t wParam,
                          std::intptr_t lParam) {
    // No window: the calling thread's own queue, as PostThreadMessageW would.
    std::uint32_t thread = CurrentThread();
    if (window != os::kNoWindow) {
        const Record* record = windows_.Find(window);
        const Process* owner = record ? FindProcess(record->processId) : nullptr;
        if (!record || (owner && !owner->alive))
            return false;
        // Another process reads its own queue.
        if (record->thread == 0)
            return true;
        thread = record->thread;
    } else if (thread == 0) {
        return false;
    }
    auto& posted = windows_.queues[thread].posted;
    posted.push_back(os::WindowMessage{window, message, wParam, lParam});
    WakeForMessage(thread, &posted.back());
    return true;
}

std::intptr_t Machine::SendMessage(os::Window window, std::uint32_t message, std::uintptr_t wParam,
                                   std::intptr_t lParam) {
    const Record* record = windows_.Find(window);
    if (!record)
        return 0;
    windows_.sent.push_back(SentMessage{window, record->processId, message, now_});
    if (!record->proc)
        return 0;
    if (record->thread == CurrentThread())
        return CallWindowProc(window, message, wParam, lParam);
    // Another thread's window: its procedure runs inside that thread's next GetWindowMessage. The sender
    // does not wait for the answer here.
    const std::uint32_t owner = record->thread;
    windows_.queues[owner].sent.push_back(os::WindowMessage{window, message, wParam, lParam});
    WakeForMessage(owner, nullptr);
    return 0;
}

void Machine::SendFromElsewhere(os::Window window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam) {
    const Record* record = windows_.Find(window);
    if (!record || record->thread == 0)
        return;
    const std::uint32_t owner = record->thread;
    windows_.queues[owner].sent.push_back(os::WindowMessage{window, message, wParam, lParam});
    WakeForMessage(owner, nullptr);
}

void Machine::BroadcastDeviceChange(std::uintptr_t wParam) {
    for (const auto& record : windows_.records) {
        if (record.thread == 0)
            continue;
        windows_.queues[record.thread].sent.push_back(
            os::WindowMessage{static_cast<os::Window>(record.handle), os::kWmDeviceChange, wParam, 0});
        WakeForMessage(record.thread, nullptr);
    }
}

int Machine::FailFetch() {
    const std::uint32_t thread = CurrentThread();
    windows_.failedFetches.push_back(FailedFetch{now_});
    auto& run = windows_.failureRuns[thread];
    run = run.first == now_ ? std::make_pair(now_, run.second + 1) : std::make_pair(now_, std::size_t{1});
    if (run.second >= kSpinLimit) {
        // Nothing ever wakes it: the thread stays parked like one whose machine was retired.
        for (;;)
            scheduler_.Block();
    }
    return -1;
}

int Machine::GetMessage(os::WindowMessage* message, os::Window window, std::uint32_t first,
                        std::uint32_t last) {
    if (windows_.failGetMessages != 0) {
        --windows_.failGetMessages;
        return FailFetch();
    }
    if (window != os::kNoWindow && !windows_.Find(window))
        return FailFetch();
    const std::uint32_t thread = CurrentThread();
    for (;;) {
        // Sent messages are handled inside the call and never returned by it. The queue is looked up
        // afresh each time: a procedure may post, send or end windows.
        while (!windows_.queues[thread].sent.empty()) {
            const os::WindowMessage sent = windows_.queues[thread].sent.front();
            windows_.queues[thread].sent.pop_front();
            CallWindowProc(sent.window, sent.message, sent.wParam, sent.lParam);
        }
        // A window closed meanwhile ends the wait, as on Windows.
        if (window != os::kNoWindow && !windows_.Find(window))
            return FailFetch();
        WindowState::Queue& queue = windows_.queues[thread];
        const auto found =
            std::find_if(queue.posted.begin(), queue.posted.end(), [&](const os::WindowMessage& posted) {
                return Matches(posted, window, first, last);
            });
        if (found != queue.posted.end()) {
            *message = *found;
            queue.posted.erase(found);
            windows_.failureRuns.erase(thread);
            return message->message == os::kWmQuit ? 0 : 1;
        }
        queue.waiting = true;
        queue.window = window;
        queue.first = first;
        queue.last = last;
        scheduler_.Block();
        windows_.queues[thread].waiting = false;
    }
}

// A thread message that carries a call posted with PostCall.
constexpr std::uint32_t kCallMessage = 0xBFFF;

std::intptr_t Machine::Dispatch(const os::WindowMessage& message) {
    if (message.window == os::kNoWindow && message.message == kCallMessage) {
        const auto call = windows_.calls.find(message.wParam);
        if (call == windows_.calls.end())
            return 0;
        const std::function<void()> run = std::move(call->second);
        windows_.calls.erase(call);
        run();
        return 0;
    }
    return CallWindowProc(message.window, message.message, message.wParam, message.lParam);
}

void Machine::PostCall(std::uint32_t thread, std::function<void()> call) {
    const std::uintptr_t id = windows_.nextCall++;
    windows_.calls[id] = std::move(call);
    auto& posted = windows_.queues[thread].posted;
    posted.push_back(os::WindowMessage{os::kNoWindow, kCallMessage, id, 0});
    WakeForMessage(thread, &posted.back());
}

std::size_t Machine::OwnWindowCount() const {
    return static_cast<std::size_t>(
        std::count_if(windows_.records.begin(), windows_.records.end(),
                      [](const Record& record) { return record.processId == kSelfId; }));
}

bool Machine::DestroyWindow(os::Window window) {
    const auto found =
        std::find_if(windows_.records.begin(), windows_.records.end(), [&](const Record& record) {
            return record.handle == static_cast<std::uintptr_t>(window) && record.thread == CurrentThread();
        });
    if (found == windows_.records.end())
        return false;
    windows_.records.erase(found);
    return true;
}

os::WindowProc Machine::ReplaceWindowProc(os::Window window, os::WindowProc proc) {
    Record* record = windows_.Find(window);
    // Another process's window is out of reach.
    if (!record || record->thread == 0 || !proc)
        return nullptr;
    const os::WindowProc previous = record->proc;
    record->proc = proc;
    return previous;
}

void Machine::ForgetThread(std::uint32_t thread) {
    // Windows go away with the thread that made them.
    windows_.records.erase(std::remove_if(windows_.records.begin(), windows_.records.end(),
                                          [&](const Record& record) { return record.thread == thread; }),
                           windows_.records.end());
    windows_.queues.erase(thread);
}

} // namespace qel::sim

namespace qel::os {

bool RegisterWindowClass(const wchar_t* className, WindowProc proc, Module) {
    return !sim::SeamFault() && sim::Machine::Current().RegisterClass(className, proc);
}

Window CreateTopLevelWindow(const wchar_t* className, const wchar_t* title, std::uint32_t, int, int, int, int,
                            Module) {
    return sim::SeamFault() ? kNoWindow : sim::Machine::Current().CreateWindow(className, title);
}

int GetWindowMessage(WindowMessage* message, Window window, std::uint32_t first, std::uint32_t last) {
    return sim::SeamFault() ? -1 : sim::Machine::Current().GetMessage(message, window, first, last);
}

void TranslateWindowMessage(const WindowMessage&) {}

bool DestroyTopLevelWindow(Window window) { return sim::Machine::Current().DestroyWindow(window); }

std::intptr_t DispatchWindowMessage(const WindowMessage& message) {
    return sim::Machine::Current().Dispatch(message);
}

std::intptr_t DefaultWindowProc(Window window, std::uint32_t message, std::uintptr_t, std::intptr_t) {
    if (message == kWmClose)
        sim::Machine::Current().DestroyWindow(window);
    return 0;
}

WindowProc ReplaceWindowProc(Window window, WindowProc proc) {
    return sim::SeamFault() ? nullptr : sim::Machine::Current().ReplaceWindowProc(window, proc);
}

std::intptr_t CallWindowProcedure(WindowProc proc, Window window, std::uint32_t message,
                                  std::uintptr_t wParam, std::intptr_t lParam) {
    return proc ? proc(window, message, wParam, lParam) : 0;
}

bool PostWindowMessage(Window window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    return !sim::SeamFault() && sim::Machine::Current().PostMessage(window, message, wParam, lParam);
}

void EnumTopLevelWindows(WindowVisitor visit, std::intptr_t param) {
    if (!sim::SeamFault())
        sim::Machine::Current().EnumWindows(visit, param);
}

std::wstring WindowTitle(Window window, int maxChars) {
    return sim::SeamFault() ? std::wstring() : sim::Machine::Current().WindowTitle(window, maxChars);
}

std::intptr_t SendWindowMessage(Window window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam) {
    return sim::SeamFault() ? 0 : sim::Machine::Current().SendMessage(window, message, wParam, lParam);
}

} // namespace qel::os
