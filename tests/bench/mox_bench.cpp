// mox_bench - under Wine, with the device-connect service of qelboot.dll running in this process and FOLDER
// as the current folder: how long from StartDeviceConnectService to the last "Devices will be detected" line
// of the plug-ins in FOLDER\moxplugins; then how long a sample plug-in's event takes from its call into the
// host to the host's callback, over 100 events.
//
//   mox_bench FOLDER PLUGINS     PLUGINS: how many tracked plug-ins to wait for
//
// scripts/bench.sh fills the folder with copies of the sample plug-in under identifiers of their own.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"
#include "qelboot.h"

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

void OnDeviceConnect(std::wstring&, std::wstring&) { ::QueryPerformanceCounter(&callbackAt); }

using RaiseFunction = std::uint32_t(__stdcall*)(std::uint32_t, std::uint32_t, const wchar_t*);

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

    const HMODULE gate = ::GetModuleHandleW(L".\\moxplugins\\nokiamanager.mox");
    const auto raise = gate ? reinterpret_cast<RaiseFunction>(
                                  reinterpret_cast<void*>(::GetProcAddress(gate, "MoxSampleRaise")))
                            : nullptr;
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
    return 0;
}
