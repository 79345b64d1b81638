// The device road under Wine with real drives: an empty card reader attached before the proxy starts, cards
// put in through the mount manager, the proxy's callback launching the sample application.
#include <gtest/gtest.h>

#include <string>

#include "host_runner.h"
#include "hosts/mount_manager.h"

namespace qel {
namespace {

using namespace testhost;
using namespace winedrive;

// A card holding one file, as a folder of the build's.
std::wstring MakeCard(const std::wstring& name, const std::wstring& file) {
    return MakeRoad(L"cards\\" + name, {{file, L""}});
}

class DeviceRoad : public VandrelRoad {
protected:
    void SetUp() override {
        VandrelRoad::SetUp();
        SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl\\Vandrel\\Quorl Vandrel\\File Formats", L"Image",
                  L"jpg");
        SetWindowsVersion(L"qelproxy.exe", L"winxp");
        ASSERT_EQ(ERROR_SUCCESS, AddDriveWithoutMedium(L'R'));
    }
    void TearDown() override {
        for (const wchar_t letter : {L'R', L'E', L'F'})
            RemoveDrive(letter);
        VandrelRoad::TearDown();
    }
};

// The first card's callback throws; the proxy goes on, and the second card is launched for.
TEST_F(DeviceRoad, CardsReachTheCallbackAndAThrowingCallbackDoesNotStopTheNext) {
    RecordedProxy proxy(L"--service 2 --throw-first");
    ASSERT_TRUE(WaitForWindow(L"Quorl Vandrel Boot", 20000));
    ::Sleep(500);
    ASSERT_EQ(ERROR_SUCCESS, AddDrive(L'E', MakeCard(L"first", L"DCIM\\IMG_0001.JPG")));
    ::Sleep(2000);
    EXPECT_EQ("", ReadTextFile(BinPath(L"qelapp-started.txt"))) << "the throwing callback launches nothing";
    ASSERT_EQ(ERROR_SUCCESS, AddDrive(L'F', MakeCard(L"second", L"DCIM\\IMG_0002.JPG")));
    EXPECT_EQ(DirectLaunch("volume", "F:"), StartedApp());
    EXPECT_EQ("", Miscounted(proxy.Lines(),
                             {{"\n<***DeviceConnect***><VolumeTracker><Volumes will be detected.>\n", 1},
                              {"\n<***DeviceConnect***><VolumeTracker><Entering in polling mode.>\n", 1},
                              {"\n<***DeviceConnect***><VolumeTracker><REMOVABLE DEVICE><V|E:>\n", 1},
                              {"\n<***DeviceConnect***><1><FOLDER><F:\\DCIM>\n", 1},
                              {"\n<***DeviceConnect***><2><FILE><IMG_0002.JPG>\n", 1},
                              {"\n<***DeviceConnect***><Supported file format is found on device.>\n", 2},
                              {"\n" + DirectLaunch("volume", "F:"), 1}}));
    EXPECT_EQ(0u, proxy.ExitCode());
}

// A card that is in when the proxy starts is known from the start; taken out and put back, it is new.
TEST_F(DeviceRoad, CardPresentAtStartIsReportedOnlyAfterReinsertion) {
    const std::wstring card = MakeCard(L"present", L"a.jpg");
    ASSERT_EQ(ERROR_SUCCESS, AddDrive(L'E', card));
    RunningHost proxy(L"qelproxy.exe", L"--service 1");
    ASSERT_TRUE(WaitForWindow(L"Quorl Vandrel Boot", 20000));
    ::Sleep(1500);
    EXPECT_EQ("", ReadTextFile(BinPath(L"qelapp-started.txt")));
    ASSERT_EQ(ERROR_SUCCESS, RemoveDrive(L'E'));
    ::Sleep(1000);
    ASSERT_EQ(ERROR_SUCCESS, AddDrive(L'E', card));
    EXPECT_EQ(DirectLaunch("volume", "E:"), StartedApp());
    ASSERT_TRUE(proxy.WaitForExit(20000));
    EXPECT_NE(std::string::npos, proxy.Output().find("qelproxy: device volume E:\n"));
}

// Any program may close a top-level window: the volume tracker's stays, and a card announced to it afterwards
// is still reported. No reader is attached here, or the tracker would poll instead of making its window.
TEST_F(DeviceRoad, VolumeTrackerWindowOutlivesWmCloseFromAnotherProcess) {
    ASSERT_EQ(ERROR_SUCCESS, RemoveDrive(L'R'));
    RunningHost proxy(L"qelproxy.exe", L"--service 1");
    ASSERT_TRUE(WaitForWindow(L"CardReaderLookupWindow", 20000));
    ::SendMessageW(::FindWindowW(nullptr, L"CardReaderLookupWindow"), WM_CLOSE, 0, 0);
    const HWND window = ::FindWindowW(L"DeviceDetectWin", L"CardReaderLookupWindow");
    ASSERT_NE(nullptr, window);
    ASSERT_EQ(ERROR_SUCCESS, AddDrive(L'E', MakeCard(L"closed", L"a.jpg")));
    ::PostMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    EXPECT_EQ(DirectLaunch("volume", "E:"), StartedApp());
    EXPECT_TRUE(proxy.WaitForExit(20000));
}

// A host that loaded the library itself frees it right after starting the service: the trackers go on, and
// a card put into the reader afterwards still reaches the host's callback.
TEST_F(DeviceRoad, CardReachesAHostThatFreedTheLibraryAfterStartingTheService) {
    SetWindowsVersion(L"unload_host.exe", L"winxp");
    RunningHost host(L"unload_host.exe", L"");
    ASSERT_TRUE(WaitForWindow(L"Qelboot Unload Host", 20000));
    ASSERT_EQ(ERROR_SUCCESS, AddDrive(L'E', MakeCard(L"unloaded", L"DCIM\\IMG_0003.JPG")));
    ASSERT_TRUE(host.WaitForExit(20000));
    EXPECT_EQ(0u, host.ExitCode()) << host.Output() << host.Errors();
    EXPECT_EQ("unload_host: library freed\nunload_host: device volume E:\n", host.Output());
}

// A host in C, built for the MSVC ABI, lists the applications, makes one the default and hears a card and the
// phone of a plug-in in C through its callback, with its own context.
TEST_F(DeviceRoad, CHostBuiltForTheMsvcAbiListsSetsADefaultAndHearsACardAndAPhone) {
    Register(L"Other", L"Other Photos", BinPath(L"qelproxy.exe"), BinPath(L"qelapp.exe"));
    CreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl\\Vandrel\\Quorl Vandrel\\Preferences");
    SetWindowsVersion(L"c_host.exe", L"winxp");
    const std::wstring road = MakeRoad(L"croad", {{L"moxplugins\\nokiamanager.mox", L"c_phone.mox"}});
    RunningHost host(L"c_host.exe", L"\"Vandrel\"", road);
    WaitForFile(road + L"\\c_host-ready.txt");
    ::Sleep(500);
    ASSERT_EQ(ERROR_SUCCESS, AddDrive(L'E', MakeCard(L"c_host", L"DCIM\\IMG_0004.JPG")));
    ASSERT_TRUE(host.WaitForExit(30000));
    EXPECT_EQ(0u, host.ExitCode()) << host.Output();
    EXPECT_EQ("", Miscounted("\n" + host.Output(), {{"\nc_host: application Vandrel ", 1},
                                                    {"\nc_host: application Other Photos ", 1},
                                                    {"\nc_host: default Vandrel\n", 1},
                                                    {"\nc_host: device volume E:\n", 1},
                                                    {"\nc_host: device mobile c-phone-0001\n", 1}}));
}

} // namespace
} // namespace qel
