// load_bench - times LoadInformation on a generated registry against a bare walk that makes the same
// registry and file calls and nothing else (the floor). Runs on the simulated machine natively and on the
// real registry under Wine.
//
//   load_bench [registrations...]   default: 250 500 1000; each registration comes with ten other keys
//   load_bench --smoke              a small registry, checks the list and prints no timings
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "platform/os.h"
#include "platform/utf16.h"
#include "qelboot.h"

namespace {

using qel::os::RegKey;

const std::wstring kRoot = L"SOFTWARE\\Quorl";
const std::wstring kBenchRoot = L"SOFTWARE\\Quorl\\Bench";

RegKey Create(qel::os::Hive hive, const std::wstring& path) {
    RegKey key = qel::os::kNoKey;
    if (qel::os::CreateRegKey(qel::os::HiveRoot(hive), path.c_str(), qel::os::kKeyRead | qel::os::kKeyWrite,
                              &key) != qel::os::kSuccess) {
        std::fprintf(stderr, "cannot create a benchmark key\n");
        std::exit(2);
    }
    return key;
}

void SetText(RegKey key, const wchar_t* name, const std::wstring& text) {
    const auto bytes = qel::os::Utf16LeBytes(text, true);
    qel::os::SetRegValue(key, name, qel::os::kRegSz, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

// 10 vendors a hundred registrations, each vendor with products; each product holds the registration key and
// nine other keys, so there are ten other keys for every registration.
void Generate(int registrations, const std::wstring& program, const std::wstring& proxy) {
    Create(qel::os::Hive::CurrentUser, kRoot);
    for (int i = 0; i < registrations; ++i) {
        const std::wstring product =
            kBenchRoot + L"\\Vendor" + std::to_wstring(i / 10) + L"\\Product" + std::to_wstring(i % 10);
        const RegKey registration = Create(qel::os::Hive::LocalMachine, product + L"\\Quorl Vandrel");
        SetText(registration, L"Name", L"Application " + std::to_wstring(i));
        SetText(registration, L"ProxyPath", proxy);
        SetText(registration, L"CmdLine", program);
        SetText(registration, L"Desc", L"Generated application");
        SetText(registration, L"Icon", program + L", 0");
        qel::os::CloseRegKey(registration);
        const RegKey formats =
            Create(qel::os::Hive::LocalMachine, product + L"\\Quorl Vandrel\\File Formats");
        SetText(formats, L"Image", L"jpg jpeg png");
        SetText(formats, L"Video", L"mp4 mov");
        qel::os::CloseRegKey(formats);
        for (int other = 0; other < 9; ++other)
            qel::os::CloseRegKey(
                Create(qel::os::Hive::LocalMachine, product + L"\\Data" + std::to_wstring(other)));
    }
}

// The registry and file calls a load makes, with no records built.
void BareWalk(const std::wstring& program, const std::wstring& proxy) {
    using namespace qel::os;
    std::vector<std::uint8_t> buffer(1024);
    auto query = [&](RegKey key, const wchar_t* name) {
        std::uint32_t size = 0;
        QueryRegValue(key, name, nullptr, nullptr, &size);
        size = static_cast<std::uint32_t>(buffer.size());
        QueryRegValue(key, name, nullptr, buffer.data(), &size);
    };
    auto openQueryClose = [&](Hive hive, const std::wstring& path, const wchar_t* name, bool dword) {
        RegKey key = kNoKey;
        if (OpenRegKey(HiveRoot(hive), path.c_str(), kKeyRead, &key) != kSuccess)
            return;
        std::uint32_t size = 4;
        if (dword)
            QueryRegValue(key, name, nullptr, buffer.data(), &size);
        else
            query(key, name);
        CloseRegKey(key);
    };

    std::deque<std::pair<RegKey, std::wstring>> queue;
    RegKey root = kNoKey;
    if (OpenRegKey(HiveRoot(Hive::LocalMachine), kRoot.c_str(), kKeyRead, &root) != kSuccess)
        return;
    queue.emplace_back(root, kRoot);
    wchar_t name[128];
    while (!queue.empty()) {
        auto [key, path] = queue.front();
        for (std::uint32_t index = 0;; ++index) {
            std::uint32_t capacity = 128;
            if (EnumRegKey(key, index, name, &capacity) != kSuccess)
                break;
            const std::wstring full = path + L"\\" + name;
            if (std::wcscmp(name, L"Quorl Vandrel") == 0) {
                RegKey registration = kNoKey;
                if (OpenRegKey(HiveRoot(Hive::LocalMachine), full.c_str(), kKeyRead, &registration) ==
                    kSuccess) {
                    for (const wchar_t* value : {L"Name", L"ProxyPath", L"Desc", L"CmdLine", L"Icon"})
                        query(registration, value);
                    CloseRegKey(registration);
                }
                for (const wchar_t* category : {L"Image", L"Audio", L"Video"})
                    openQueryClose(Hive::LocalMachine, full + L"\\File Formats", category, false);
                openQueryClose(Hive::CurrentUser, full + L"\\Preferences", L"DefaultFlag", true);
                FileExists(program);
                FileExists(proxy);
                // The generated users have preferences without this value, so both hives are asked.
                openQueryClose(Hive::CurrentUser, full + L"\\Preferences", L"AutoLaunchOnDeviceConnect",
                               true);
                openQueryClose(Hive::LocalMachine, full + L"\\Preferences", L"AutoLaunchOnDeviceConnect",
                               true);
                continue;
            }
            RegKey child = kNoKey;
            if (OpenRegKey(HiveRoot(Hive::LocalMachine), full.c_str(), kKeyRead, &child) == kSuccess)
                queue.emplace_back(child, full);
        }
        CloseRegKey(key);
        queue.pop_front();
    }
}

} // namespace

int main(int argc, char** argv) {
    const bool smoke = SmokeRun(argc, argv);
    if (!smoke)
        std::printf("%13s %11s %10s %10s %7s %14s\n", "registrations", "other keys", "load ms", "floor ms",
                    "ratio", "load us/key");
    for (const int registrations : BenchSizes(argc, argv, {250, 500, 1000}, 20)) {
        const std::wstring folder = PrepareBenchMachine();
        CreateBenchFile(folder + L"\\program.exe");
        CreateBenchFile(folder + L"\\proxy.exe");
        Generate(registrations, folder + L"\\program.exe", folder + L"\\proxy.exe");

        CQELBootInformationHandler handler;
        handler.LoadInformation(); // the first load creates the per-user keys; time the loads after it
        if (static_cast<int>(handler.apps.size()) != registrations) {
            std::fprintf(stderr, "listed %u of %d registrations\n",
                         static_cast<unsigned>(handler.apps.size()), registrations);
            return 1;
        }
        if (smoke) {
            std::printf("listed %d registrations\n", registrations);
            continue;
        }
        const auto [load, floor] = BestSecondsOfEach(
            15, [&] { handler.LoadInformation(); },
            [&] { BareWalk(folder + L"\\program.exe", folder + L"\\proxy.exe"); });
        const int others = registrations * 10 + registrations / 10 + 1;
        std::printf("%13d %11d %10.2f %10.2f %7.2f %14.2f\n", registrations, others, load * 1e3, floor * 1e3,
                    load / floor, load * 1e6 / (registrations + others));
    }
    return 0;
}
