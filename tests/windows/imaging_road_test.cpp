// The imaging road under Wine: a copy of the proxy, stiproxy.exe, in a folder of its own with stand-ins for
// sti.dll and twain_32.dll beside it (standin/), which it alone is told to use. A device is plugged in by
// adding it to the stand-ins' files and the driver key, and announced by posting DBT_DEVNODES_CHANGED to the
// STI tracker's window.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "host_runner.h"

namespace qel {
namespace {

using namespace testhost;

const wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\stiproxy.exe";
const std::wstring kImageClass =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}";
constexpr WPARAM kDevNodesChanged = 0x0007; // DBT_DEVNODES_CHANGED
const char kSources[] = "Sample Camera DS\r\nWIA-Sample Scanner\r\nSample Scanner DS\r\n";

class ImagingRoad : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRegistrations();
        Register(L"Vandrel", L"Vandrel", BinPath(L"qelproxy.exe"), BinPath(L"qelapp.exe"));
        for (const wchar_t* library : {L"sti", L"twain_32"})
            SetString(HKEY_CURRENT_USER, kAppDefaults + std::wstring(L"\\DllOverrides"), library, L"native");
    }
    void TearDown() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppDefaults);
        for (const wchar_t* device : {L"\\0000", L"\\0001", L"\\0002", L"\\0003"})
            ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kImageClass + device).c_str());
        ResetRegistrations();
    }

    // A fresh folder with the proxy, the DLLs of the build and the stand-ins, a camera that is there from the
    // start, and the data sources the TWAIN stand-in lists.
    void MakeRoad(const wchar_t* version) {
        SetWindowsVersion(L"stiproxy.exe", version);
        road_ = BinPath(L"imagingroad\\") + version;
        std::filesystem::remove_all(road_);
        std::filesystem::create_directories(road_);
        std::filesystem::copy_file(BinPath(L"qelproxy.exe"), road_ + L"\\stiproxy.exe");
        for (const auto& folder : {BinDir(), BinPath(L"standin")}) {
            for (const auto& entry : std::filesystem::directory_iterator(folder)) {
                if (entry.path().extension() == L".dll")
                    std::filesystem::copy_file(entry.path(),
                                               std::filesystem::path(road_) / entry.path().filename());
            }
        }
        WriteTextFile(road_ + L"\\twain-sources.txt", kSources);
        PlugIn(L"0000", 2, L"Sample Camera DS");
    }
    void PlugIn(const std::wstring& device, int majorType, const std::wstring& twainSource) {
        const std::wstring name = L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\" + device;
        WriteTextFile(road_ + L"\\sti-devices.txt",
                      std::to_string(majorType) + " " + std::string(name.begin(), name.end()) + "\r\n", true);
        SetString(HKEY_LOCAL_MACHINE, kImageClass + L"\\" + device + L"\\DeviceData", L"TwainDS",
                  twainSource);
    }
    std::size_t Listings() const { return Count(ReadTextFile(road_ + L"\\sti-calls.txt"), "GetDeviceList"); }
    // Windows posts DBT_DEVNODES_CHANGED when a device node comes. With `settle`, a second one follows, and
    // the first is known to be handled once the stand-in has been asked for the second listing.
    bool Announce(bool settle) {
        const std::size_t listed = Listings();
        const HWND window = ::FindWindowW(nullptr, L"STITrackerWindow");
        for (int posted = 0; posted < (settle ? 2 : 1); ++posted)
            ::PostMessageW(window, WM_DEVICECHANGE, kDevNodesChanged, 0);
        return window && (!settle || WaitUntil([&] { return Listings() >= listed + 2; }));
    }

    std::wstring road_;
};

// The camera there from the start is known and never reported; of the scanners plugged in after it, one whose
// data source is a WIA one and one plugged in while the source manager refuses to open are not reported
// either; the last one is, through TWAIN, with the data source's name in double quotes, and the proxy's
// callback launches the application for it, also after another program closed the tracker's window. Each
// source manager opened is closed again.
TEST_F(ImagingRoad, OnlyAScannerWhoseTwainSourceIsInstalledIsReported) {
    MakeRoad(L"winxp");
    RunningHost proxy(L"dbgrec.exe", L"\"" + road_ + L"\\stiproxy.exe\" --no-control --service 1", road_);
    ASSERT_TRUE(WaitForWindow(L"STITrackerWindow", 20000));
    // Any program may close a top-level window; the tracker's stays.
    ::SendMessageW(::FindWindowW(nullptr, L"STITrackerWindow"), WM_CLOSE, 0, 0);
    ASSERT_NE(nullptr, ::FindWindowW(L"Static", L"STITrackerWindow"));
    PlugIn(L"0001", 1, L"WIA-Sample Scanner");
    ASSERT_TRUE(Announce(true));
    WriteTextFile(road_ + L"\\twain-sources.txt", std::string("REFUSE\r\n") + kSources);
    PlugIn(L"0002", 1, L"Sample Scanner DS");
    ASSERT_TRUE(Announce(true));
    WriteTextFile(road_ + L"\\twain-sources.txt", kSources);
    PlugIn(L"0003", 1, L"Sample Scanner DS");
    ASSERT_TRUE(Announce(false));
    ASSERT_TRUE(proxy.WaitForExit(20000));
    const std::string lines = "\n" + proxy.Output();
    for (const auto& [line, count] :
         {std::pair{"\n<***DeviceConnect***><StiTracker><STI Devices will be detected.>\n", 1u},
          // WIA's marshalling lives in the system's sti.dll, which this proxy does not load.
          {"\n<***DeviceConnect***><WiaTracker><WIA devices will not be detected>.\n", 1u},
          {"<TWAIN DEVICE>", 1u},
          {"\n<***DeviceConnect***><StiTracker><TWAIN DEVICE><S|\"Sample Scanner DS\">\n", 1u},
          {" mode=direct devType=scanner priDevId=\"Sample Scanner DS\"\n", 1u}})
        EXPECT_EQ(count, Count(lines, line)) << line << " in" << lines;
    const std::string calls = ReadTextFile(road_ + L"\\twain-calls.txt");
    EXPECT_NE(0u, Count(calls, "OPENDSM 1\n")) << calls;
    EXPECT_EQ(Count(calls, "OPENDSM 0\n"), Count(calls, "CLOSEDSM 0\n")) << calls;
}

} // namespace
} // namespace qel
