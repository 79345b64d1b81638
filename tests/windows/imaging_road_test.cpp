// The imaging roads under Wine, STI and TWAIN here and WIA below. A copy of the proxy, stiproxy.exe, in a
// folder of its own with stand-ins for sti.dll and twain_32.dll beside it (standin/), which it alone is told
// to use. A device is plugged in by adding it to the stand-ins' files and the driver key, and announced by
// posting DBT_DEVNODES_CHANGED to the STI tracker's window.
#include <gtest/gtest.h>

#include <wia.h>

#include <filesystem>
#include <string>

#include "host_runner.h"

namespace qel {
namespace {

using namespace testhost;

const wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\stiproxy.exe\\DllOverrides";
const std::wstring kImageClass =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}";
const char kSources[] = "Sample Camera DS\r\nSample Scanner DS\r\n";

class ImagingRoad : public VandrelRoad {
protected:
    void SetUp() override {
        VandrelRoad::SetUp();
        for (const wchar_t* library : {L"sti", L"twain_32"})
            SetString(HKEY_CURRENT_USER, kAppDefaults, library, L"native");
    }
    void TearDown() override {
        for (const wchar_t* device : {L"\\0000", L"\\0001", L"\\0002"})
            ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kImageClass + device).c_str());
        VandrelRoad::TearDown();
    }

    // A fresh folder with the proxy, the DLLs of the build and the stand-ins, a camera that is there from the
    // start, and the data sources the TWAIN stand-in lists.
    void MakeStiRoad(const wchar_t* version) {
        SetWindowsVersion(L"stiproxy.exe", version);
        road_ = MakeRoad(L"imagingroad\\" + std::wstring(version), {{L"stiproxy.exe", L"qelproxy.exe"}});
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
            ::PostMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
        return window && (!settle || WaitUntil([&] { return Listings() >= listed + 2; }));
    }

    std::wstring road_;
};

// The camera there from the start is known and never reported; a scanner plugged in while the source manager
// refuses to open is not reported either, and its handling gives Wine the time to start WIA's manager, which
// the WIA tracker gives up on before the proxy ends; the next one is reported, through TWAIN, with the data
// source's name in double quotes, and the proxy's callback launches the application for it, also after
// another program closed the tracker's window. Each source manager opened is closed again.
TEST_F(ImagingRoad, OnlyAScannerWhoseTwainSourceIsInstalledIsReported) {
    MakeStiRoad(L"winxp");
    RecordedProxy proxy(L"--no-control --service 1", road_, road_ + L"\\stiproxy.exe");
    ASSERT_TRUE(WaitForWindow(L"STITrackerWindow", 20000));
    // Any program may close a top-level window; the tracker's stays.
    ::SendMessageW(::FindWindowW(nullptr, L"STITrackerWindow"), WM_CLOSE, 0, 0);
    ASSERT_NE(nullptr, ::FindWindowW(L"Static", L"STITrackerWindow"));
    WriteTextFile(road_ + L"\\twain-sources.txt", std::string("REFUSE\r\n") + kSources);
    PlugIn(L"0001", 1, L"Sample Scanner DS");
    ASSERT_TRUE(Announce(true));
    WriteTextFile(road_ + L"\\twain-sources.txt", kSources);
    PlugIn(L"0002", 1, L"Sample Scanner DS");
    ASSERT_TRUE(Announce(false));
    // WIA's marshalling lives in the system's sti.dll, which this proxy does not load.
    EXPECT_EQ("",
              Miscounted(proxy.Lines(),
                         {{"\n<***DeviceConnect***><StiTracker><STI Devices will be detected.>\n", 1},
                          {"\n<***DeviceConnect***><WiaTracker><WIA devices will not be detected>.\n", 1},
                          {"<TWAIN DEVICE>", 1},
                          {"\n<***DeviceConnect***><StiTracker><TWAIN DEVICE><S|\"Sample Scanner DS\">\n", 1},
                          {"\n" + DirectLaunch("scanner", "Sample Scanner DS"), 1}}));
    const std::string calls = ReadTextFile(road_ + L"\\twain-calls.txt");
    EXPECT_NE(0u, Count(calls, "OPENDSM 1\n")) << calls;
    EXPECT_EQ(Count(calls, "OPENDSM 0\n"), Count(calls, "CLOSEDSM 0\n")) << calls;
}

// The WIA road under Wine on real COM: the stand-in device manager (standin\wiadevmgr.exe) is made the WIA
// class's local server, in place of Wine's own service, whose event registration answers E_NOTIMPL. The
// proxy's WIA tracker registers with it and receives the connection event it raises.
const std::string kWillBeDetected = "\n<***DeviceConnect***><WiaTracker><WIA devices will be detected>.\n";
const std::string kNoType = "\nCould not get the device type.\n";

// The class key is the one this process sees, which is the view a client of its width reads (a 32-bit one's
// is redirected below Wow6432Node); its AppID, which names the service, is set aside while a test runs. A
// running service keeps its class for itself, as COM hands a client to it rather than starting the local
// server, and Wine starts the WIA service for any proxy that runs as XP or Vista, as other tests' do.
class WiaRoad : public VandrelRoad {
protected:
    void SetUp() override {
        VandrelRoad::SetUp();
        wchar_t clsid[40];
        ::StringFromGUID2(CLSID_WiaDevMgr, clsid, 40);
        key_ += clsid;
        std::wstring service;
        if (ReadString(HKEY_LOCAL_MACHINE, key_, L"AppID", &appId_) &&
            ReadString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\AppID\\" + appId_, L"LocalService",
                       &service)) {
            const SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
            const SC_HANDLE stopped =
                ::OpenServiceW(manager, service.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS);
            SERVICE_STATUS status = {};
            const auto gone = [&] {
                return !::QueryServiceStatus(stopped, &status) || status.dwCurrentState == SERVICE_STOPPED;
            };
            if (::ControlService(stopped, SERVICE_CONTROL_STOP, &status))
                WaitUntil(gone, 10000);
            ::CloseServiceHandle(stopped);
            ::CloseServiceHandle(manager);
        }
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key_.c_str(), L"AppID");
        SetString(HKEY_LOCAL_MACHINE, key_ + L"\\LocalServer32", nullptr, BinPath(L"standin\\wiadevmgr.exe"));
    }
    void TearDown() override {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (key_ + L"\\LocalServer32").c_str());
        if (!appId_.empty())
            SetString(HKEY_LOCAL_MACHINE, key_, L"AppID", appId_);
        VandrelRoad::TearDown();
    }

    std::wstring key_ = L"Software\\Classes\\CLSID\\";
    std::wstring appId_;
};

// On XP and Vista, the tracker registers for connections, the event comes in through its apartment's loop,
// and it walks WIA's local device list for the device's type; the stand-in lists none, so the tracker says
// so and answers S_OK. The proxy reports no device and stays: the test ends it.
TEST_F(WiaRoad, ConnectionEventReachesTheTrackerOnXpAndVista) {
    const std::wstring calls = BinPath(L"standin\\wia-calls.txt");
    for (const wchar_t* version : {L"winxp", L"vista"}) {
        SCOPED_TRACE(Utf8(version));
        SetWindowsVersion(L"qelproxy.exe", version);
        ::DeleteFileW(calls.c_str());
        RecordedProxy proxy(L"--no-control --service");
        WaitUntil([&calls] { return Count(ReadTextFile(calls), "ImageEventCallback") != 0; }, 15000);
        ::SendMessageW(::FindWindowW(nullptr, L"Quorl Vandrel Boot"), WM_QUIT, 0, 0);
        const std::string lines = proxy.Lines();
        EXPECT_EQ(
            "RegisterEventCallbackInterface DeviceConnected 0\nEnumDeviceInfo local 0\nReset 0\nNext 1\n"
            "ImageEventCallback 0\n",
            ReadTextFile(calls));
        EXPECT_EQ("", Miscounted(lines, {{kWillBeDetected, 1}, {kNoType, 1}}));
        EXPECT_LT(lines.find(kWillBeDetected), lines.find(kNoType)) << lines;
    }
}

} // namespace
} // namespace qel
