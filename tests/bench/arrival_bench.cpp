// arrival_bench - under Wine, with the device-connect service of qelboot.dll running in this process: how
// long a card takes from becoming readable (CARD, a folder holding a picture, mounted as E: through the mount
// manager) to the callback being entered, over several insertions; then how much processor time polling an
// empty card reader costs this process, and each of its threads, named by the windows it owns.
//
//   arrival_bench CARD [insertions] [polling seconds]    default: 10 insertions, 60 s
//
// scripts/bench.sh prepares the machine as a proxy would find it: this program registered as an
// application's proxy, running as Windows XP, with an empty card reader attached before it starts.
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "hosts/mount_manager.h"
#include "hosts/utf8.h"
#include "platform/win32/windows_api.h"

#include "qelboot.h"
#include <tlhelp32.h>
#include <winternl.h>

namespace {

HANDLE arrived = nullptr;
LARGE_INTEGER arrivedAt;

void OnDeviceConnect(std::wstring&, std::wstring& devId) {
    if (devId != L"E:")
        return;
    ::QueryPerformanceCounter(&arrivedAt);
    ::SetEvent(arrived);
}

double Seconds(const FILETIME& time) {
    return static_cast<double>(static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 1e7;
}

double ProcessorSeconds() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

// Each thread of this process with its processor seconds so far.
std::map<DWORD, double> ThreadSeconds() {
    std::map<DWORD, double> times;
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != ::GetCurrentProcessId())
            continue;
        const HANDLE thread = ::OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        FILETIME created, exited, kernel, user;
        if (thread && ::GetThreadTimes(thread, &created, &exited, &kernel, &user))
            times[entry.th32ThreadID] = Seconds(kernel) + Seconds(user);
        if (thread)
            ::CloseHandle(thread);
    }
    ::CloseHandle(snapshot);
    return times;
}

// The module a thread started in, and the titles (or classes) of the windows it owns, message-only ones
// included: a tracker's hidden window tells which tracker it is.
std::string ThreadName(DWORD id) {
    if (id == ::GetCurrentThreadId())
        return "this benchmark's own thread";
    using QueryThread = NTSTATUS(NTAPI*)(HANDLE, THREADINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryThread>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    const HANDLE thread = ::OpenThread(THREAD_QUERY_INFORMATION, FALSE, id);
    void* start = nullptr;
    HMODULE module = nullptr;
    wchar_t path[MAX_PATH] = L"?";
    if (query && thread &&
        query(thread, ThreadQuerySetWin32StartAddress, &start, sizeof start, nullptr) == 0 &&
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                 GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             static_cast<LPCWSTR>(start), &module))
        ::GetModuleFileNameW(module, path, MAX_PATH);
    if (thread)
        ::CloseHandle(thread);
    const wchar_t* file = std::wcsrchr(path, L'\\');
    std::string name = "started in " + Utf8(file ? file + 1 : path);
    for (const HWND parent : {HWND_MESSAGE, HWND{}}) {
        for (HWND window = nullptr; (window = ::FindWindowExW(parent, window, nullptr, nullptr));) {
            wchar_t text[128] = L"";
            if (::GetWindowThreadProcessId(window, nullptr) != id)
                continue;
            if (!::GetWindowTextW(window, text, 128))
                ::GetClassNameW(window, text, 128);
            name += ", " + Utf8(text);
        }
    }
    return name;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    using namespace qel::winedrive;
    if (argc < 2) {
        std::fprintf(stderr, "usage: arrival_bench CARD [insertions] [polling seconds]\n");
        return 2;
    }
    const std::wstring card = argv[1];
    const int insertions = argc > 2 ? ::_wtoi(argv[2]) : 10;
    const int pollingSeconds = argc > 3 ? ::_wtoi(argv[3]) : 60;
    arrived = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    RegisterDeviceConnectCallback(&OnDeviceConnect);
    StartDeviceConnectService();

    std::vector<double> latencies;
    for (int i = 0; i < insertions; ++i) {
        // Insertions land at different moments of the poll period.
        ::Sleep(static_cast<DWORD>(600 + 37 * i));
        LARGE_INTEGER insertedAt;
        ::QueryPerformanceCounter(&insertedAt);
        if (AddDrive(L'E', card) != ERROR_SUCCESS || ::WaitForSingleObject(arrived, 10000) != WAIT_OBJECT_0) {
            std::fprintf(stderr, "insertion %d was not reported\n", i + 1);
            RemoveDrive(L'E');
            return 1;
        }
        latencies.push_back(static_cast<double>(arrivedAt.QuadPart - insertedAt.QuadPart) * 1e3 /
                            static_cast<double>(frequency.QuadPart));
        RemoveDrive(L'E');
    }
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty())
        std::printf(
            "card readable -> callback entered, %d insertions: min %.0f ms, median %.0f ms, max %.0f ms\n",
            insertions, latencies.front(), latencies[latencies.size() / 2], latencies.back());
    if (pollingSeconds > 0) {
        ::Sleep(1000);
        const double before = ProcessorSeconds();
        const auto threadsBefore = ThreadSeconds();
        ::Sleep(static_cast<DWORD>(pollingSeconds) * 1000);
        const auto threadsAfter = ThreadSeconds();
        const double used = ProcessorSeconds() - before;
        std::printf("polling an empty card reader for %d s: %.3f s of processor time, %.3f %% of one core\n",
                    pollingSeconds, used, used * 100.0 / pollingSeconds);
        for (const auto& [thread, seconds] : threadsAfter) {
            const auto earlier = threadsBefore.find(thread);
            const double threadUsed = seconds - (earlier == threadsBefore.end() ? 0.0 : earlier->second);
            std::printf("  thread %lu (%s): %.3f s, %.3f %% of one core\n", thread,
                        ThreadName(thread).c_str(), threadUsed, threadUsed * 100.0 / pollingSeconds);
        }
    }
    return 0;
}
