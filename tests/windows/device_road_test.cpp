// The device road under Wine with real drives: a card reader attached before the proxy starts, a card put
// in through the mount manager, the proxy's callback launching the sample application; and which trackers
// start on which Windows version.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "host_runner.h"
#include "hosts/mount_manager.h"

namespace qel {
namespace {

using namespace testhost;
using namespace winedrive;

const std::string kWillBeDetected = "<***DeviceConnect***><VolumeTracker><Volumes will be detected.>";

void WriteFile(const std::wstring& path) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    ::CloseHandle(file);
}

// A card's content in a folder of its own below the build folder.
std::wstring MakeCard(const std::wstring& name, const std::wstring& file) {
    const std::wstring card = BinPath(L"cards\\" + name);
    ::CreateDirectoryW(BinPath(L"cards").c_str(), nullptr);
    ::CreateDirectoryW(card.c_str(), nullptr);
    const auto slash = file.find(L'\\');
    if (slash != std::wstring::npos)
        ::CreateDirectoryW((card + L"\\" + file.substr(0, slash)).c_str(), nullptr);
    WriteFile(card + L"\\" + file);
    return card;
}

class DeviceRoad : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRegistrations();
        Register(L"Vandrel", L"Vandrel", BinPath(L"qelproxy.exe"), BinPath(L"qelapp.exe"));
        SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl\\Vandrel\\Quorl Vandrel\\File Formats", L"Image",
                  L"jpg");
        SetProxyVersion(L"winxp");
        // A card reader is attached before the proxy starts, as one built into a machine is.
        ASSERT_EQ(ERROR_SUCCESS, AddDrive(L'R', MakeCard(L"reader", L"notes.txt")));
    }
    void TearDown() override {
        for (const wchar_t letter : {L'R', L'E', L'F'})
            RemoveDrive(letter);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\qelproxy.exe");
        ResetRegistrations();
    }
    static void SetProxyVersion(const wchar_t* version) {
        SetString(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\qelproxy.exe", L"Version", version);
    }
    static std::string StartedCommandLines() { return ReadTextFile(BinPath(L"qelapp-started.txt")); }
    // Waits for the sample application to have recorded `count` starts.
    static bool WaitForStarts(std::size_t count) {
        for (int waited = 0; waited < 15000; waited += 100) {
            const std::string text = StartedCommandLines();
            if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >= count)
                return true;
            ::Sleep(100);
        }
        return false;
    }
    static std::string AppLine(const std::string& drive) {
        const std::wstring app = BinPath(L"qelapp.exe");
        return "\"" + std::string(app.begin(), app.end()) +
               "\" module=vandrel params mode=direct devType=volume priDevId=\"" + drive + "\"\n";
    }
    // Whether the recorded debugger lines hold this one.
    static bool Has(const std::string& lines, const std::string& line) {
        return ("\n" + lines).find("\n" + line + "\n") != std::string::npos;
    }
};

// The first card's callback throws; the proxy goes on, and the second card is launched for.
TEST_F(DeviceRoad, CardsReachTheCallbackAndAThrowingCallbackDoesNotStopTheNext) {
    RunningHost proxy(L"dbgrec.exe", L"\"" + BinPath(L"qelproxy.exe") + L"\" --service 2 --throw-first");
    ASSERT_TRUE(WaitForWindow(L"Quorl Vandrel Boot", 20000));
    ::Sleep(500);
    ASSERT_EQ(ERROR_SUCCESS, AddDrive(L'E', MakeCard(L"first", L"DCIM\\IMG_0001.JPG")));
    ::Sleep(2000);
    EXPECT_EQ("", StartedCommandLines()) << "the throwing callback launches nothing";
    ASSERT_EQ(ERROR_SUCCESS, AddDrive(L'F', MakeCard(L"second", L"DCIM\\IMG_0002.JPG")));
    ASSERT_TRUE(WaitForStarts(1));
    ASSERT_TRUE(proxy.WaitForExit(20000));
    EXPECT_EQ(0u, proxy.ExitCode()) << proxy.Errors();
    EXPECT_EQ(AppLine("F:"), StartedCommandLines());

    const std::string run = proxy.Output();
    EXPECT_TRUE(Has(run, kWillBeDetected)) << run;
    EXPECT_TRUE(Has(run, "<***DeviceConnect***><VolumeTracker><Entering in polling mode.>")) << run;
    for (const std::string drive : {"E:", "F:"}) {
        SCOPED_TRACE(drive);
        EXPECT_TRUE(Has(run, "<***DeviceConnect***><VolumeTracker><REMOVABLE DEVICE><V|" + drive + ">"));
        EXPECT_TRUE(Has(run, "<***DeviceConnect***><1><FOLDER><" + drive + "\\DCIM>"));
    }
    EXPECT_TRUE(Has(run, "<***DeviceConnect***><2><FILE><IMG_0002.JPG>")) << run;
    EXPECT_TRUE(Has(run, "<***DeviceConnect***><Supported file format is found on device.>"));
    EXPECT_TRUE(Has(run, AppLine("F:").substr(0, AppLine("F:").size() - 1))) << run;
    EXPECT_FALSE(Has(run, "<***DeviceConnect***><VolumeTracker><REMOVABLE DEVICE><V|R:>")) << "known at load";
}

// A card that is in when the proxy starts is known from the start; taken out and put back, it is new.
TEST_F(DeviceRoad, CardPresentAtStartIsReportedOnlyAfterReinsertion) {
    const std::wstring card = MakeCard(L"present", L"a.jpg");
    ASSERT_EQ(ERROR_SUCCESS, AddDrive(L'E', card));
    RunningHost proxy(L"qelproxy.exe", L"--service 1");
    ASSERT_TRUE(WaitForWindow(L"Quorl Vandrel Boot", 20000));
    ::Sleep(1500);
    EXPECT_EQ("", StartedCommandLines());
    ASSERT_EQ(ERROR_SUCCESS, RemoveDrive(L'E'));
    ::Sleep(1000);
    ASSERT_EQ(ERROR_SUCCESS, AddDrive(L'E', card));
    ASSERT_TRUE(WaitForStarts(1));
    EXPECT_EQ(AppLine("E:"), StartedCommandLines());
    ASSERT_TRUE(proxy.WaitForExit(20000));
    EXPECT_NE(std::string::npos, proxy.Output().find("qelproxy: device volume E:\n"));
}

// The volume tracker runs on XP, 2000 and Vista; on Windows 7 no tracker of this build starts.
TEST_F(DeviceRoad, VolumeTrackerStartsOnXp2000AndVistaButNot7) {
    for (const auto& [version, starts] :
         {std::pair{L"winxp", true}, {L"win2k", true}, {L"vista", true}, {L"win7", false}}) {
        SCOPED_TRACE(std::string(version, version + std::wcslen(version)));
        SetProxyVersion(version);
        RunningHost proxy(L"dbgrec.exe", L"\"" + BinPath(L"qelproxy.exe") + L"\" --no-control --service");
        ASSERT_TRUE(WaitForWindow(L"Quorl Vandrel Boot", 20000));
        ::Sleep(700);
        ::SendMessageW(::FindWindowW(nullptr, L"Quorl Vandrel Boot"), WM_QUIT, 0, 0);
        ASSERT_TRUE(proxy.WaitForExit(20000));
        const std::string lines = proxy.Output();
        EXPECT_EQ(starts, lines.find(kWillBeDetected) != std::string::npos) << lines;
    }
}

} // namespace
} // namespace qel
