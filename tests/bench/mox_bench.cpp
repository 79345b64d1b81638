// mox_bench - under Wine, with the device-connect service of qelboot.dll running in this process and FOLDER
// as the current folder: how long from StartDeviceConnectService to the last "Devices will be detected" line
// of the plug-ins in FOLDER\moxplugins; then how long a sample plug-in's event takes from its call into the
// host to the host's callback, over 100 events. Given CARD, then a storm: each of the first 8 plug-ins raises
// 1,000 events from 2 threads of its own, the first half all at once (events per second), the second half
// paced while CARD comes and goes as E: every 100 ms and the still-image tracker hears every 100 ms that
// device nodes changed; every event must reach the callback once, each thread's in order. It prints the worst
// time from a raise to its callback in each half.
//
//   mox_bench FOLDER PLUGINS [CARD]     PLUGINS: how many tracked plug-ins to wait for
//
// scripts/bench.sh fills the folder with copies of the sample plug-in under identifiers of their own.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "hosts/mount_manager.h"
#include "platform/win32/windows_api.h"

#include "qelboot.h"
#include <dbt.h>

namespace {

constexpr DWORD kDebugPrintWide = 0x4001000A;
constexpr DWORD kDebugPrint = 0x40010006;

LARGE_INTEGER frequency;
volatile LONG detected = 0;
LARGE_INTEGER lastDetectedAt;
LARGE_INTEGER callbackAt;
const wchar_t kDetected[] = L"<Devices will be detected.>";

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

// The library's debugger lines, as this process raises them: each "Devices will be detected" is counted.
// A wide line may be raised a second time as an ANSI one; only one kind is counted.
volatile LONG wideSeen = 0;
LONG CALLBACK SeeDebugLine(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    const bool wide = record.ExceptionCode == kDebugPrintWide;
    if (!wide && record.ExceptionCode != kDebugPrint)
        return EXCEPTION_CONTINUE_SEARCH;
    if (wide)
        wideSeen = 1;
    if (record.NumberParameters >= 2 && (wide || !wideSeen)) {
        const ULONG_PTR text = record.ExceptionInformation[1];
        const bool found =
            wide ? std::wstring(reinterpret_cast<const wchar_t*>(text)).find(kDetected) != std::wstring::npos
                 : std::string(reinterpret_cast<const char*>(text))
                           .find(std::string(std::begin(kDetected), std::end(kDetected) - 1)) !=
                       std::string::npos;
        if (found) {
            ::QueryPerformanceCounter(&lastDetectedAt);
            ::InterlockedIncrement(&detected);
        }
    }
    return EXCEPTION_CONTINUE_EXECUTION;
}

constexpr int kStormSources = 8;
constexpr int kStormThreads = kStormSources * 2;
constexpr int kStormEventsPerThread = 500;
thread_local LARGE_INTEGER raisedAt;
// Written only inside the callback, which the library never enters twice at once.
int stormNext[kStormThreads];
int stormOutOfOrder = 0;
int stormEvents = 0;
int stormCards = 0;
double stormWorstMs = 0;

void OnDeviceConnect(std::wstring& devType, std::wstring& devId) {
    ::QueryPerformanceCounter(&callbackAt);
    stormCards += devType == L"volume";
    int thread = 0, number = 0;
    if (std::swscanf(devId.c_str(), L"storm-%d-%d", &thread, &number) != 2 || thread < 0 ||
        thread >= kStormThreads)
        return;
    ++stormEvents;
    if (number != stormNext[thread]++)
        ++stormOutOfOrder;
    stormWorstMs = std::max(stormWorstMs, Milliseconds(raisedAt, callbackAt));
}

using RaiseFunction = std::uint32_t(__stdcall*)(std::uint32_t, std::uint32_t, const wchar_t*);

RaiseFunction RaiseOf(const wchar_t* plugin) {
    const HMODULE module = ::GetModuleHandleW(plugin);
    return module ? reinterpret_cast<RaiseFunction>(
                        reinterpret_cast<void*>(::GetProcAddress(module, "MoxSampleRaise")))
                  : nullptr;
}

int Storm(const std::wstring& card) {
    RaiseFunction raises[kStormSources];
    for (int source = 0; source < kStormSources; ++source) {
        const std::wstring name = source == 0
                                      ? L".\\moxplugins\\nokiamanager.mox"
                                      : L".\\moxplugins\\phone" + std::to_wstring(source + 1) + L".mox";
        if (!(raises[source] = RaiseOf(name.c_str()))) {
            std::printf("storm: %ls is not loaded\n", name.c_str());
            return 1;
        }
    }
    // Every source's two threads raise their next `count` events, pausing `pauseMs` after every fifth.
    int next = 0;
    const auto raiseAll = [&](int count, DWORD pauseMs) {
        std::vector<std::thread> threads;
        LARGE_INTEGER startedAt, endedAt;
        stormWorstMs = 0;
        ::QueryPerformanceCounter(&startedAt);
        for (int thread = 0; thread < kStormThreads; ++thread) {
            threads.emplace_back([thread, first = next, count, pauseMs, raise = raises[thread / 2]] {
                for (int number = first; number < first + count; ++number) {
                    const std::wstring id =
                        L"storm-" + std::to_wstring(thread) + L"-" + std::to_wstring(number);
                    ::QueryPerformanceCounter(&raisedAt);
                    raise(1, 1, id.c_str());
                    if (pauseMs && number % 5 == 4)
                        ::Sleep(pauseMs);
                }
            });
        }
        for (auto& thread : threads)
            thread.join();
        ::QueryPerformanceCounter(&endedAt);
        next += count;
        return Milliseconds(startedAt, endedAt) / 1000;
    };
    const double burst = raiseAll(kStormEventsPerThread / 2, 0);
    std::printf(
        "storm, burst: %d events from %d threads at once, %.0f events/s, worst raise to callback %.0f us\n",
        kStormThreads * kStormEventsPerThread / 2, kStormThreads,
        kStormThreads * kStormEventsPerThread / 2 / burst, stormWorstMs * 1000);

    std::atomic<bool> raising{true};
    std::thread devices([&] {
        const HWND sti = ::FindWindowW(nullptr, L"STITrackerWindow");
        if (!sti)
            std::printf("storm: no still-image tracker window; node changes are left out\n");
        for (bool inserted = false; raising; inserted = !inserted) {
            if (sti)
                ::PostMessageW(sti, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
            inserted ? qel::winedrive::RemoveDrive(L'E') : qel::winedrive::AddDrive(L'E', card);
            ::Sleep(100);
        }
        qel::winedrive::RemoveDrive(L'E');
    });
    ::Sleep(300);
    const double paced = raiseAll(kStormEventsPerThread / 2, 25);
    raising = false;
    devices.join();
    std::printf(
        "storm, paced among cards and device changes: %d events over %.1f s, %d card reports, worst raise "
        "to callback %.0f us\n",
        kStormThreads * kStormEventsPerThread / 2, paced, stormCards, stormWorstMs * 1000);
    std::printf("storm: %d of %d events reached the callback, %d out of order\n", stormEvents,
                kStormThreads * kStormEventsPerThread, stormOutOfOrder);
    return stormEvents == kStormThreads * kStormEventsPerThread && stormOutOfOrder == 0 ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || !::SetCurrentDirectoryW(argv[1])) {
        std::fprintf(stderr, "usage: mox_bench FOLDER PLUGINS\n");
        return 2;
    }
    const LONG plugins = ::_wtoi(argv[2]);
    ::QueryPerformanceFrequency(&frequency);
    ::AddVectoredExceptionHandler(1, &SeeDebugLine);
    RegisterDeviceConnectCallback(&OnDeviceConnect);

    LARGE_INTEGER startedAt;
    ::QueryPerformanceCounter(&startedAt);
    StartDeviceConnectService();
    for (int waited = 0; detected < plugins && waited < 60000; waited += 5)
        ::Sleep(5);
    if (detected < plugins) {
        std::printf("only %ld of %ld plug-ins were tracked within 60 s\n", detected, plugins);
        return 1;
    }
    std::printf("%ld plug-ins: service start to the last \"Devices will be detected\" line: %.1f ms\n",
                plugins, Milliseconds(startedAt, lastDetectedAt));

    const auto raise = RaiseOf(L".\\moxplugins\\nokiamanager.mox");
    if (!raise) {
        std::printf("the gate plug-in is not the sample plug-in: no event latency\n");
        return 1;
    }
    std::vector<double> latencies;
    for (int i = 0; i < 100; ++i) {
        LARGE_INTEGER calledAt;
        ::QueryPerformanceCounter(&calledAt);
        if (raise(1, 1, L"bench-camera") != 1)
            return 1;
        latencies.push_back(Milliseconds(calledAt, callbackAt));
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf(
        "event to callback, 100 events: min %.1f, median %.1f, max %.1f us (goal: median <= 1000 us)\n",
        latencies.front() * 1000, latencies[latencies.size() / 2] * 1000, latencies.back() * 1000);
    return argc > 3 ? Storm(argv[3]) : 0;
}
