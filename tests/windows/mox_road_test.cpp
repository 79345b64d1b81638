// The .mox plug-in tracker under Wine: the sample plug-ins in the ".\moxplugins" folder of the proxy's
// current directory, which of them are tracked, and the devices they announce reaching the proxy's callback.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "host_runner.h"

namespace qel {
namespace {

using namespace testhost;

const std::string kGateFailedLine = "\n<***DeviceConnect***><NOKIA Devices will not be detected.>\n";

std::string DetectedLine(const std::string& name) {
    return "\n<***DeviceConnect***><" + name + "><Devices will be detected.>\n";
}

// Moves a finished event file into the plug-in's events folder once it is watched, and waits until it is
// taken.
bool Announce(const std::wstring& plugin, const std::string& line) {
    const std::wstring event = plugin + L".events\\device.txt";
    WriteTextFile(plugin + L".draft", line);
    return WaitForFile(plugin + L".events") && ::MoveFileW((plugin + L".draft").c_str(), event.c_str()) &&
           WaitForFile(event, false);
}

// Sends WM_CLOSE, as any program may, to each top-level "Static" window with this title; the number of such
// windows afterwards.
std::size_t CloseEachWindow(const wchar_t* title) {
    const auto windows = [title] {
        std::vector<HWND> found;
        for (HWND window = nullptr; (window = ::FindWindowExW(nullptr, window, L"Static", title)) != nullptr;)
            found.push_back(window);
        return found;
    };
    for (const HWND window : windows())
        ::SendMessageW(window, WM_CLOSE, 0, 0);
    return windows().size();
}

// The proxies run without taking control, which would make their own folder the current directory.
using MoxRoad = VandrelRoad;

// Plug-ins in moxplugins and in its sub-folders named *.mox are tracked, each identifier once (twin.mox, a
// copy of the gate plug-in listed after it, is refused); "tools" is not searched. The gate plug-in's phone
// reaches the callback, which launches the application, also after another program closed every tracker's
// window.
TEST_F(MoxRoad, TracksEachPluginOfTheFolderAndOfItsMoxSubfoldersOnce) {
    const Layout layout = {{L"moxplugins\\nokiamanager.mox", L"sample_phone.mox"},
                           {L"moxplugins\\other.mox", L"sample_phone_b.mox"},
                           {L"moxplugins\\twin.mox", L"sample_phone.mox"},
                           {L"moxplugins\\junk.mox", L""},
                           {L"moxplugins\\extra.mox\\inner.mox", L"sample_phone_c.mox"},
                           {L"moxplugins\\tools\\hidden.mox", L"sample_phone_d.mox"}};
    for (const wchar_t* version : {L"win7", L"winxp"}) {
        SCOPED_TRACE(Utf8(version));
        SetWindowsVersion(L"qelproxy.exe", version);
        const std::wstring road = MakeRoad(L"moxroad\\" + std::wstring(version), layout);
        const std::wstring plugins = road + L"\\moxplugins\\";
        RecordedProxy proxy(L"--no-control --service 1", road);
        for (const wchar_t* tracked : {L"nokiamanager.mox", L"other.mox", L"extra.mox\\inner.mox"})
            ASSERT_TRUE(WaitForFile(plugins + tracked + L".events")) << tracked;
        ::Sleep(500); // a tracker logs its line just after advising its plug-in
        EXPECT_EQ(3u, CloseEachWindow(L"MOXTrackerWindow")) << "one for each tracked plug-in, kept";
        ASSERT_TRUE(Announce(plugins + L"nokiamanager.mox", "2 1 phone-0001"));
        EXPECT_EQ("", Miscounted(proxy.Lines(), {{DetectedLine("Sample Phone Manager"), 1},
                                                 {DetectedLine("Sample Phone B"), 1},
                                                 {DetectedLine("Sample Phone C"), 1},
                                                 {DetectedLine("Sample Phone D"), 0},
                                                 {kGateFailedLine, 0},
                                                 {"\n" + DirectLaunch("mobile", "phone-0001"), 1}}));
        for (const wchar_t* refused : {L"twin.mox", L"tools\\hidden.mox"})
            EXPECT_FALSE(std::filesystem::exists(plugins + refused + L".events")) << refused;
    }
}

// Plug-ins that fault in GetName, raise an MSVC throw in Open, or throw from OnUnload while listed first are
// each named in one line with the call and the code, and the proxy goes on: the good plug-ins are tracked and
// their phones reach the callback. The gate plug-in is one in C built for the MSVC ABI, whose phone reaches
// the mingw-built proxy too.
TEST_F(MoxRoad, HostilePluginsAreContainedAndTheOthersReportAlsoFromAPluginInC) {
    const Layout layout = {{L"moxplugins\\nokiamanager.mox", L"c_phone.mox"},
                           {L"moxplugins\\other.mox", L"sample_phone_b.mox"},
                           {L"moxplugins\\aaa.mox", L"hostile_plugin_3.mox"},
                           {L"moxplugins\\fault.mox", L"hostile_plugin_1.mox"},
                           {L"moxplugins\\msvc.mox", L"hostile_plugin_2.mox"}};
    SetWindowsVersion(L"qelproxy.exe", L"win7");
    const std::wstring road = MakeRoad(L"moxroad\\hostile", layout);
    RecordedProxy proxy(L"--no-control --service 2", road);
    ASSERT_TRUE(Announce(road + L"\\moxplugins\\other.mox", "2 1 phone-0002"));
    const std::string failed = "\n<***DeviceConnect***><!!! Exception 0x";
    EXPECT_EQ("", Miscounted(proxy.Lines(),
                             {{failed + "C0000005 in GetName of plug-in .\\moxplugins\\fault.mox.>\n", 1},
                              {failed + "E06D7363 in Open of plug-in .\\moxplugins\\msvc.mox.>\n", 1},
                              {failed + "20474343 in OnUnload of plug-in .\\moxplugins\\aaa.mox.>\n", 1},
                              {DetectedLine("C Phone"), 1},
                              {DetectedLine("Sample Phone B"), 1},
                              {"\n" + DirectLaunch("mobile", "c-phone-0001"), 1},
                              {"\n" + DirectLaunch("mobile", "phone-0002"), 1}}));
}

} // namespace
} // namespace qel
