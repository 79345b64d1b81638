// A card of any tree (names, depths, files and folders, a card pulled part-way through the search) put into a
// reader while the device-connect service runs: the volume tracker's media content check.
#include "fuzz_input.h"

namespace {

using namespace qel;
const std::wstring kKey = L"SOFTWARE\\Quorl\\Anchor";
const wchar_t* const kNames[] = {L"DCIM", L"IMG.JPG", L"a.jpg",   L"x.pdf", L"song.mp3", L".",
                                 L"..",   L"noext",   L"a.b.png", L".jpg",  L"jpg",      L"clip.AVI"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    fuzz::Run run;
    sim::Machine& m = run.machine();
    m.SetVersion(5, in.Below(2u), 1);
    sim::FakePluginSetup gate;
    gate.capability = 0;
    sim::AddFakePlugin(L"C:\\moxplugins\\nokiamanager.mox", gate);
    m.SetString(os::Hive::LocalMachine, kKey + L"\\Quorl Vandrel", L"Name", L"Anchor");
    m.SetString(os::Hive::LocalMachine, kKey + L"\\Quorl Vandrel", L"ProxyPath", L"C:\\A\\p.exe");
    m.SetString(os::Hive::LocalMachine, kKey + L"\\Quorl Vandrel", L"CmdLine", L"C:\\A\\a.exe");
    m.AddFile(L"C:\\A\\p.exe");
    m.AddFile(L"C:\\A\\a.exe");
    m.SetSelf(L"C:\\A\\p.exe");
    for (const wchar_t* category : {L"Image", L"Audio", L"Video"}) {
        if (in.Bool())
            m.SetString(os::Hive::LocalMachine, kKey + L"\\Quorl Vandrel\\File Formats", category,
                        in.Bool() ? L"jpg png avi" : in.Text(40));
    }
    if (in.Bool())
        m.SetValue(os::Hive::CurrentUser, kKey + L"\\Quorl Vandrel", L"SniffDepth", os::kRegDword,
                   in.ValueBytes(L""));
    const bool fixed = in.Bool();
    m.AddDrive(L'E', fixed ? os::kDriveFixed : os::kDriveRemovable, in.Bool() ? L"FAT32" : in.Text(12),
               false);
    // The tree: each entry goes into a folder made before it.
    std::vector<std::wstring> folders{L"E:"};
    std::vector<std::pair<std::wstring, bool>> entries;
    for (int count = in.Below(120); count > 0 && !in.Done(); --count) {
        const std::wstring path =
            folders[in.Below(folders.size())] + L"\\" + (in.Bool() ? in.Pick(kNames) : in.Text(30));
        const bool folder = in.Bool();
        entries.emplace_back(path, folder);
        if (folder)
            folders.push_back(path);
    }
    const std::size_t pullAfter = in.Bool() ? in.Below(40u) : 0;
    InitialiseLibraryState();
    RegisterDeviceConnectCallback(&fuzz::RecordDevice);
    StartDeviceConnectService();
    m.At(1000, [&] {
        for (const auto& [path, folder] : entries)
            folder ? m.AddFolder(path) : m.AddFile(path);
        m.InsertMedium(L'E');
        if (pullAfter)
            m.RemoveMediumAfterListingCalls(L'E', pullAfter);
    });
    m.RunFor(5000); // three attempts a second apart
    FUZZ_CHECK(fuzz::Seen().size() <= 1);
    for (const auto& [type, id] : fuzz::Seen())
        FUZZ_CHECK(type == L"volume" && id == L"E:");
    FUZZ_CHECK(m.ErrorMode() == 0 && m.CriticalErrorBoxes() == 0);
    return 0;
}
