// search_bench - times the media search of a volume whose first picture comes after N other entries,
// against a bare loop that makes the same listing calls and writes the same lines and does nothing else
// (the floor). Runs on the simulated machine natively and on a real folder under Wine.
//
//   search_bench [entries...]   default: 5000 10000 20000; a thousand files a folder, the picture last
//   search_bench --smoke        a small volume, checks the search finds its picture; prints no timings
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "deviceconnect/media_check.h"
#include "platform/os.h"
#include "platform/unique_handles.h"
#include "registry/text.h"

namespace {

constexpr int kFilesPerFolder = 1000;

std::wstring FolderName(int folder) { return L"DIR" + std::to_wstring(1000 + folder); }

// Folders of a thousand files that are no pictures, the picture last in the last folder.
void Generate(const std::wstring& root, int entries);

// Lists the root, then each folder in turn, writing each entry's line, until the picture: the listing calls
// and lines of the search, without its bookkeeping.
bool BareSearch(const std::wstring& root) {
    using namespace qel;
    const auto line = [](int level, const wchar_t* kind, const std::wstring& text) {
        os::DebugOutput(FormatLine(L"<***DeviceConnect***><%d><%s><%s>\n",
                                   {std::to_wstring(level), kind, text}, kSearchLineCapacity));
    };
    std::vector<std::wstring> folders;
    os::FindHandle found = os::kNoFind;
    os::FindData entry;
    if (os::FindFirstEntry(root + L"\\*", &found, &entry) != os::kSuccess)
        return false;
    {
        FindCloser listing(found);
        do {
            if (entry.name == L"." || entry.name == L"..")
                continue;
            folders.push_back(root + L"\\" + entry.name);
            line(1, L"FOLDER", folders.back());
        } while (os::FindNextEntry(listing.get(), &entry) == os::kSuccess);
    }
    for (const auto& folder : folders) {
        if (os::FindFirstEntry(folder + L"\\*", &found, &entry) != os::kSuccess)
            return false;
        FindCloser listing(found);
        do {
            if (entry.name == L"." || entry.name == L"..")
                continue;
            line(2, L"FILE", entry.name);
            if (entry.name == L"LAST.JPG") {
                os::DebugOutput(L"<***DeviceConnect***><Supported file format is found on device.>");
                return true;
            }
        } while (os::FindNextEntry(listing.get(), &entry) == os::kSuccess);
    }
    return false;
}

template <typename F> double BestSeconds(int rounds, F&& run) {
    double best = 1e9;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

} // namespace

// Set up by the platform file linked in.
std::wstring PrepareBenchMachine();
void CreateBenchFolder(const std::wstring& path);
void CreateBenchFile(const std::wstring& path);

namespace {

void Generate(const std::wstring& root, int entries) {
    CreateBenchFolder(root);
    const int folders = std::max(1, entries / kFilesPerFolder);
    for (int folder = 0; folder < folders; ++folder) {
        const std::wstring path = root + L"\\" + FolderName(folder);
        CreateBenchFolder(path);
        for (int file = 0; file < kFilesPerFolder && folder * kFilesPerFolder + file < entries; ++file)
            CreateBenchFile(path + L"\\IMG" + std::to_wstring(10000 + file) + L".RAW");
    }
    CreateBenchFile(root + L"\\" + FolderName(folders - 1) + L"\\LAST.JPG");
}

} // namespace

int main(int argc, char** argv) {
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    std::vector<int> sizes;
    for (int i = 1; i < argc && !smoke; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (smoke)
        sizes = {50};
    if (sizes.empty())
        sizes = {5000, 10000, 20000};
    const qel::FileFormatList formats{{L"jpg", L"Image"}, {L"mp4", L"Video"}};

    if (!smoke)
        std::printf("%8s %10s %10s %7s %12s\n", "entries", "search ms", "floor ms", "ratio", "us/entry");
    for (const int entries : sizes) {
        const std::wstring root = PrepareBenchMachine() + L"\\card" + std::to_wstring(entries);
        Generate(root, entries);
        const qel::SearchOutcome outcome = qel::SearchVolume(root, qel::kDefaultSniffDepth, formats);
        if (outcome.match !=
                root + L"\\" + FolderName(std::max(1, entries / kFilesPerFolder) - 1) + L"\\LAST.JPG" ||
            !BareSearch(root)) {
            std::fprintf(stderr, "the search of %d entries did not find the picture\n", entries);
            return 1;
        }
        if (smoke) {
            std::printf("found the picture after %d entries\n", entries);
            continue;
        }
        const int rounds = 5;
        const double search =
            BestSeconds(rounds, [&] { qel::SearchVolume(root, qel::kDefaultSniffDepth, formats); });
        const double floor = BestSeconds(rounds, [&] { BareSearch(root); });
        std::printf("%8d %10.2f %10.2f %7.3f %12.3f\n", entries, search * 1e3, floor * 1e3, search / floor,
                    search * 1e6 / entries);
    }
    return 0;
}
