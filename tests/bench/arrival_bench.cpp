// arrival_bench - under Wine, with the device-connect service of qelboot.dll running in this process: how
// long a card takes from becoming readable (a folder mounted as drive E: through the mount manager) to the
// callback being entered, over several insertions; then how much processor time polling an empty card reader
// costs.
//
//   arrival_bench [insertions] [polling seconds]    default: 10 insertions, 60 s of polling
//
// The volume tracker runs on XP, 2000 and Vista only, so the benchmark runs itself again as XP (a per-program
// Windows version), with a card reader R: attached before that process starts, as a built-in reader is.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "hosts/mount_manager.h"
#include "platform/win32/windows_api.h"
#include "qelboot.h"

namespace {

using namespace qel::winedrive;

HANDLE arrived = nullptr;
LARGE_INTEGER arrivedAt;

void OnDeviceConnect(std::wstring&, std::wstring& devId) {
    if (devId != L"E:")
        return;
    ::QueryPerformanceCounter(&arrivedAt);
    ::SetEvent(arrived);
}

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

void SetText(HKEY hive, const std::wstring& key, const wchar_t* name, const std::wstring& text) {
    ::RegSetKeyValueW(hive, key.c_str(), name, REG_SZ, text.c_str(),
                      static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

double Seconds(const FILETIME& time) {
    return static_cast<double>(static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 1e7;
}

double ProcessorSeconds() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

// Registers this program as the application whose proxy runs the service, reruns itself as XP with an
// empty card reader attached, and returns that run's exit code.
int RunAsXp(int argc, wchar_t** argv) {
    const std::wstring program = ProgramPath();
    const std::wstring registration = L"SOFTWARE\\Quorl\\ArrivalBench\\Quorl Vandrel";
    SetText(HKEY_LOCAL_MACHINE, registration, L"Name", L"Arrival benchmark");
    SetText(HKEY_LOCAL_MACHINE, registration, L"ProxyPath", program);
    SetText(HKEY_LOCAL_MACHINE, registration, L"CmdLine", program);
    SetText(HKEY_LOCAL_MACHINE, registration + L"\\File Formats", L"Image", L"jpg");
    const std::wstring settings =
        L"Software\\Wine\\AppDefaults\\" + program.substr(program.find_last_of(L'\\') + 1);
    SetText(HKEY_CURRENT_USER, settings, L"Version", L"winxp");
    ::CreateDirectoryW((Folder(program) + L"\\bench-cards").c_str(), nullptr);
    if (AddDriveWithoutMedium(L'R') != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot attach the card reader R:\n");
        return 1;
    }
    std::wstring commandLine = L"\"" + program + L"\" --as-xp";
    for (int i = 1; i < argc; ++i)
        commandLine += std::wstring(L" ") + argv[i];
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    DWORD code = 1;
    if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &child)) {
        ::WaitForSingleObject(child.hProcess, INFINITE);
        ::GetExitCodeProcess(child.hProcess, &code);
        ::CloseHandle(child.hProcess);
        ::CloseHandle(child.hThread);
    }
    RemoveDrive(L'R');
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl\\ArrivalBench");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, settings.c_str());
    return static_cast<int>(code);
}

int Measure(int insertions, int pollingSeconds) {
    arrived = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    RegisterDeviceConnectCallback(&OnDeviceConnect);
    StartDeviceConnectService();
    ::Sleep(1000);

    const std::wstring card = Folder(ProgramPath()) + L"\\bench-cards\\card";
    ::CreateDirectoryW(card.c_str(), nullptr);
    const HANDLE picture = ::CreateFileW((card + L"\\IMG_0001.JPG").c_str(), GENERIC_WRITE, 0, nullptr,
                                         CREATE_ALWAYS, 0, nullptr);
    ::CloseHandle(picture);

    std::vector<double> latencies;
    for (int i = 0; i < insertions; ++i) {
        // Insertions land at different moments of the poll period.
        ::Sleep(static_cast<DWORD>(600 + 37 * i));
        LARGE_INTEGER insertedAt;
        ::QueryPerformanceCounter(&insertedAt);
        if (AddDrive(L'E', card) != ERROR_SUCCESS) {
            std::fprintf(stderr, "cannot mount the card as E:\n");
            return 1;
        }
        if (::WaitForSingleObject(arrived, 10000) != WAIT_OBJECT_0) {
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
        ::Sleep(static_cast<DWORD>(pollingSeconds) * 1000);
        const double used = ProcessorSeconds() - before;
        std::printf("polling an empty card reader for %d s: %.3f s of processor time, %.3f %% of one core\n",
                    pollingSeconds, used, used * 100.0 / pollingSeconds);
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1 && std::wstring(argv[1]) == L"--as-xp") {
        const int insertions = argc > 2 ? ::_wtoi(argv[2]) : 10;
        const int pollingSeconds = argc > 3 ? ::_wtoi(argv[3]) : 60;
        return Measure(insertions, pollingSeconds);
    }
    return RunAsXp(argc, argv);
}
