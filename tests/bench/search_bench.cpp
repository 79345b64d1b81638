// search_bench - times the media search of a volume whose first picture comes after N other entries,
// against a bare loop that makes the same listing calls and writes the same lines and does nothing else
// (the floor). Runs on the simulated machine natively and on a real folder under Wine.
//
//   search_bench [entries...]   default: 5000 10000 20000; a thousand files a folder, the picture last
//   search_bench --smoke        a small volume, checks the search finds its picture; prints no timings
#include <cstdio>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "deviceconnect/media_check.h"
#include "platform/os.h"
#include "platform/unique_handles.h"
#include "registry/text.h"

namespace {

using namespace qel;

constexpr int kFilesPerFolder = 1000;

// Folders of a thousand files that are no pictures, then the picture, last in the last folder.
std::wstring Generate(const std::wstring& root, int entries) {
    CreateBenchFolder(root);
    std::wstring folder;
    for (int file = 0; file < entries; ++file) {
        if (file % kFilesPerFolder == 0)
            CreateBenchFolder(folder = root + L"\\DIR" + std::to_wstring(1000 + file / kFilesPerFolder));
        CreateBenchFile(folder + L"\\IMG" + std::to_wstring(10000 + file % kFilesPerFolder) + L".RAW");
    }
    CreateBenchFile(folder + L"\\LAST.JPG");
    return folder + L"\\LAST.JPG";
}

// Lists the root, then each folder in turn, writing each entry's line, until the picture.
bool BareSearch(const std::wstring& root) {
    const auto line = [](int level, const wchar_t* kind, const std::wstring& text) {
        os::DebugOutput(FormatLine(L"<***DeviceConnect***><%d><%s><%s>\n",
                                   {std::to_wstring(level), kind, text}, kSearchLineCapacity));
    };
    std::vector<std::wstring> folders{root};
    for (std::size_t next = 0; next < folders.size(); ++next) {
        os::FindHandle found = os::kNoFind;
        os::FindData entry;
        if (os::FindFirstEntry(folders[next] + L"\\*", &found, &entry) != os::kSuccess)
            return false;
        FindCloser listing(found);
        do {
            if (entry.name == L"." || entry.name == L"..")
                continue;
            if (next == 0) {
                folders.push_back(root + L"\\" + entry.name);
                line(1, L"FOLDER", folders.back());
                continue;
            }
            line(2, L"FILE", entry.name);
            if (entry.name == L"LAST.JPG") {
                os::DebugOutput(L"<***DeviceConnect***><Supported file format is found on device.>");
                return true;
            }
        } while (os::FindNextEntry(listing.get(), &entry) == os::kSuccess);
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    const bool smoke = SmokeRun(argc, argv);
    const FileFormatList formats{{L"jpg", L"Image"}, {L"mp4", L"Video"}};
    if (!smoke)
        std::printf("%8s %10s %10s %7s %12s\n", "entries", "search ms", "floor ms", "ratio", "us/entry");
    for (const int entries : BenchSizes(argc, argv, {5000, 10000, 20000}, 50)) {
        const std::wstring root = PrepareBenchMachine() + L"\\card" + std::to_wstring(entries);
        const std::wstring picture = Generate(root, entries);
        if (SearchVolume(root, kDefaultSniffDepth, formats).match != picture || !BareSearch(root)) {
            std::fprintf(stderr, "the search of %d entries did not find the picture\n", entries);
            return 1;
        }
        if (smoke)
            continue;
        const auto [search, floor] = BestSecondsOfEach(
            9, [&] { SearchVolume(root, kDefaultSniffDepth, formats); }, [&] { BareSearch(root); });
        std::printf("%8d %10.2f %10.2f %7.3f %12.3f\n", entries, search * 1e3, floor * 1e3, search / floor,
                    search * 1e6 / entries);
    }
    return 0;
}
