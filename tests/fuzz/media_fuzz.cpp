// A card of any tree (names, depths, files and folders, a card pulled part-way through the search) put into a
// reader while the device-connect service runs: the volume tracker's media content check.
#include "fuzz_input.h"

using namespace qel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const wchar_t* const kNames[] = {L"DCIM",     L"IMG.JPG", L"a.jpg", L"x.pdf",
                                            L"song.mp3", L".",       L"..",    L"noext",
                                            L"a.b.png",  L".jpg",    L"jpg",   L"clip.AVI"};
    fuzz::Input in(data, size);
    fuzz::Run run;
    sim::Machine& m = run.m;
    fuzz::AddAnchor(m);
    for (const wchar_t* category : {L"Image", L"Audio", L"Video"}) {
        if (in.Bool())
            m.SetString(os::Hive::LocalMachine, fuzz::kAnchorKey + L"\\File Formats", category,
                        in.Bool() ? L"jpg png avi" : in.Text(40));
    }
    if (in.Bool())
        m.SetValue(os::Hive::CurrentUser, fuzz::kAnchorKey, L"SniffDepth", os::kRegDword, in.ValueBytes(L""));
    const std::uint32_t minor = in.Below(2u), type = in.Bool() ? os::kDriveFixed : os::kDriveRemovable;
    m.AddDrive(L'E', type, in.Bool() ? L"FAT32" : in.Text(12), false);
    // The tree: each entry goes into a folder made before it.
    std::vector<std::wstring> folders{L"E:"};
    std::vector<std::pair<std::wstring, bool>> entries;
    for (int count = in.Below(120); count > 0 && !in.Done(); --count) {
        const std::wstring path = folders[in.Below(folders.size())] + L"\\" + in.Likely(kNames, 30);
        entries.emplace_back(path, in.Bool());
        if (entries.back().second)
            folders.push_back(path);
    }
    const std::size_t pullAfter = in.Bool() ? in.Below(40u) : 0;
    fuzz::DeviceSide(run, 5, minor, false,
                     [&] {
                         m.At(1000, [&] {
                             for (const auto& [path, folder] : entries)
                                 folder ? m.AddFolder(path) : m.AddFile(path);
                             m.InsertMedium(L'E');
                             if (pullAfter)
                                 m.RemoveMediumAfterListingCalls(L'E', pullAfter);
                         });
                         m.RunFor(5000); // three attempts a second apart
                     },
                     {L"volume|E:"});
    FUZZ_CHECK(fuzz::heard.size() <= 1);
    return 0;
}
