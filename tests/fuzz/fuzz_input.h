// fuzz_input.h - what every fuzz target shares: the input read as typed choices, and a fresh simulated
// machine for each run whose threads all end with it, so that runs neither depend on nor slow down each
// other.
#ifndef QELBOOT_TESTS_FUZZ_FUZZ_INPUT_H
#define QELBOOT_TESTS_FUZZ_FUZZ_INPUT_H

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "deviceconnect/startup/library_load.h"
#include "deviceconnect/mox/mox_tracker.h"
#include "platform/sim/fake_plugin.h"
#include "platform/sim/machine.h"
#include "platform/utf16.h"
#include "qelboot.h"

namespace qel::fuzz {

// A broken invariant is a finding like a sanitizer's report.
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition);           \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data, size) {}
    bool Done() { return data_.remaining_bytes() == 0; }
    bool Bool() { return data_.ConsumeBool(); }
    template <typename T> T Number() { return data_.ConsumeIntegral<T>(); }
    template <typename T> T Below(T count) {
        return count == 0 ? 0 : data_.ConsumeIntegralInRange<T>(0, count - 1);
    }
    template <typename T, std::size_t N> const T& Pick(const T (&choices)[N]) { return choices[Below(N)]; }
    // Mostly characters that mean something to paths, lists and command lines, sometimes any UTF-16 unit.
    std::wstring Text(std::size_t maxChars) {
        static const wchar_t kAlphabet[] = L"aB.\\ \"-:*?/jpgJPG0,%s\t\xE9\xFF";
        std::wstring text(Below(maxChars + 1), L'a');
        for (wchar_t& c : text) {
            const auto pick = Number<std::uint8_t>();
            c = pick < 224 ? kAlphabet[pick % (std::size(kAlphabet) - 1)]
                           : static_cast<wchar_t>(Number<std::uint16_t>());
        }
        return text;
    }
    std::vector<std::uint8_t> Bytes(std::size_t maxBytes) {
        return data_.ConsumeBytes<std::uint8_t>(Below(maxBytes + 1));
    }
    // A registry value's bytes: a text with or without its terminator, a number of four bytes, or raw.
    std::vector<std::uint8_t> ValueBytes(const std::wstring& likely) {
        switch (Below(4)) {
        case 0:
            return os::Utf16LeBytes(likely, Bool());
        case 1:
            return os::Utf16LeBytes(Text(300), Bool());
        case 2: {
            const auto value = Number<std::uint32_t>();
            return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                    static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
        }
        default:
            return Bytes(600);
        }
    }
    std::uint32_t ValueType() {
        static const std::uint32_t kTypes[] = {os::kRegSz, os::kRegDword, 3, 2, 7, 0, 11};
        return Bool() ? Pick(kTypes) : Number<std::uint32_t>();
    }

private:
    FuzzedDataProvider data_;
};

// Device notifications of the run.
inline std::vector<std::pair<std::wstring, std::wstring>>& Seen() {
    static std::vector<std::pair<std::wstring, std::wstring>> seen;
    return seen;
}
inline void RecordDevice(std::wstring& type, std::wstring& id) { Seen().emplace_back(type, id); }

// One run on a machine of its own, as a fresh load of the library sees it. At its end every thread ends,
// the plug-in trackers the library keeps for the life of the process are freed as that process's end would,
// the machine is freed and the library's load-time state rebuilt on an empty one, so that each run frees all
// it allocated.
class Run {
public:
    Run() { InitialiseLibraryState(); }
    ~Run() {
        sim::Machine& machine = sim::Machine::Current();
        machine.EndThreads();
        for (const auto& thread : machine.Threads()) {
            if (thread.proc == &MOXSourceTrackerThread)
                delete static_cast<MOXSourceTracker*>(thread.param);
        }
        FUZZ_CHECK(machine.OpenKeyCount() == 0);
        FUZZ_CHECK(machine.OpenFindCount() == 0);
        FUZZ_CHECK(machine.OpenHandleCount() == 0);
        sim::Machine::Reset();
        InitialiseLibraryState();
        Seen().clear();
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;
    sim::Machine& machine() { return sim::Machine::Current(); }
};

} // namespace qel::fuzz

#endif // QELBOOT_TESTS_FUZZ_FUZZ_INPUT_H
