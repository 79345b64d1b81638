// window_state.h - the simulated top-level windows, window classes, message queues, and what was delivered.
#ifndef QELBOOT_PLATFORM_SIM_WINDOW_STATE_H
#define QELBOOT_PLATFORM_SIM_WINDOW_STATE_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/os.h"

namespace qel::sim {

struct FailedFetch {
    std::uint64_t at;
};

struct DeliveredMessage {
    os::Window window;
    std::uint32_t message;
    std::uintptr_t wParam;
};

struct SentMessage {
    os::Window window;
    std::uint32_t processId;
    std::uint32_t message;
    std::uint64_t at;
};

struct WindowState {
    struct Record {
        std::uintptr_t handle;
        std::uint32_t processId;
        std::wstring title;
        std::wstring className;
        os::WindowProc proc = nullptr;
        std::uint32_t thread = 0; // the owner thread of a window of this process; 0 for another process's
    };
    struct Class {
        std::wstring name;
        os::WindowProc proc;
    };
    struct Queue {
        std::deque<os::WindowMessage> posted;
        std::deque<os::WindowMessage> sent;
        // Set while the thread waits in GetWindowMessage, with what it waits for.
        bool waiting = false;
        os::Window window = os::kNoWindow;
        std::uint32_t first = 0;
        std::uint32_t last = 0;
    };

    Record* Find(os::Window window) {
        for (auto& record : records) {
            if (record.handle == static_cast<std::uintptr_t>(window))
                return &record;
        }
        return nullptr;
    }
    const Record* Find(os::Window window) const { return const_cast<WindowState*>(this)->Find(window); }

    std::vector<Record> records;
    std::map<std::wstring, Class> classes; // by folded name
    std::map<std::uint32_t, Queue> queues; // by thread
    std::uintptr_t nextWindow = 0x10000;
    std::vector<DeliveredMessage> delivered;
    std::vector<SentMessage> sent;
    bool failClassRegistration = false;
    std::size_t failGetMessages = 0;
    std::vector<FailedFetch> failedFetches;
    // By thread: the virtual time of its last failed fetch, and how many failed in a row at that time.
    std::map<std::uint32_t, std::pair<std::uint64_t, std::size_t>> failureRuns;
    // Calls posted with Machine::PostCall, by the id their thread message carries.
    std::map<std::uintptr_t, std::function<void()>> calls;
    std::uintptr_t nextCall = 1;
};

} // namespace qel::sim

#endif // QELBOOT_PLATFORM_SIM_WINDOW_STATE_H
