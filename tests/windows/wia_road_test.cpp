// The WIA road under Wine on real COM: the stand-in device manager (standin\wiadevmgr.exe) is made the WIA
// class's local server for the proxy's width, in place of Wine's own service, whose event registration
// answers E_NOTIMPL. The proxy's WIA tracker registers with it and receives the connection event it raises.
#include <gtest/gtest.h>

#include <wia.h>

#include <cwchar>
#include <string>

#include "host_runner.h"

namespace qel {
namespace {

using namespace testhost;

const wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\qelproxy.exe";
const std::string kWillBeDetected = "\n<***DeviceConnect***><WiaTracker><WIA devices will be detected>.\n";
const std::string kNoType = "\nCould not get the device type.\n";

// A running service keeps its class for itself: COM hands a client to it rather than starting the local
// server. Wine starts the WIA service for any proxy that runs as XP or Vista, as other tests' do.
void StopService(const std::wstring& name) {
    const SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    const SC_HANDLE service =
        manager ? ::OpenServiceW(manager, name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS) : nullptr;
    SERVICE_STATUS status = {};
    if (service && ::ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        for (int waited = 0; waited < 10000 && ::QueryServiceStatus(service, &status) &&
                             status.dwCurrentState != SERVICE_STOPPED;
             waited += 50)
            ::Sleep(50);
    }
    for (const SC_HANDLE handle : {service, manager}) {
        if (handle)
            ::CloseServiceHandle(handle);
    }
}

// The class key as this process sees it, which is the view a client of its width reads: a 32-bit one's
// is redirected below Wow6432Node. What the stand-in's registration changes is put back at the end.
class StandInRegistration {
public:
    StandInRegistration() {
        wchar_t clsid[40];
        ::StringFromGUID2(CLSID_WiaDevMgr, clsid, 40);
        key_ += clsid;
        HKEY existing = nullptr;
        existed_ = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, KEY_READ, &existing) == ERROR_SUCCESS;
        if (existed_)
            ::RegCloseKey(existing);
        hadAppId_ = ReadString(HKEY_LOCAL_MACHINE, key_, L"AppID", &appId_);
        std::wstring service;
        if (hadAppId_ &&
            ReadString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\AppID\\" + appId_, L"LocalService", &service))
            StopService(service);
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key_.c_str(), L"AppID");
        SetString(HKEY_LOCAL_MACHINE, key_ + L"\\LocalServer32", nullptr, BinPath(L"standin\\wiadevmgr.exe"));
    }
    ~StandInRegistration() {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (existed_ ? key_ + L"\\LocalServer32" : key_).c_str());
        if (hadAppId_)
            SetString(HKEY_LOCAL_MACHINE, key_, L"AppID", appId_);
    }
    StandInRegistration(const StandInRegistration&) = delete;
    StandInRegistration& operator=(const StandInRegistration&) = delete;

private:
    std::wstring key_ = L"Software\\Classes\\CLSID\\";
    bool existed_ = false;
    bool hadAppId_ = false;
    std::wstring appId_;
};

class WiaRoad : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRegistrations();
        Register(L"Vandrel", L"Vandrel", BinPath(L"qelproxy.exe"), BinPath(L"qelapp.exe"));
    }
    void TearDown() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppDefaults);
        ResetRegistrations();
    }
    StandInRegistration standIn_;
};

// On XP and Vista, the tracker registers for connections, the event comes in through its apartment's loop,
// and it walks WIA's local device list for the device's type; the stand-in lists none, so the tracker says
// so and answers S_OK. The proxy reports no device and stays: the test ends it.
TEST_F(WiaRoad, ConnectionEventReachesTheTrackerOnXpAndVista) {
    const std::wstring calls = BinPath(L"standin\\wia-calls.txt");
    for (const wchar_t* version : {L"winxp", L"vista"}) {
        SCOPED_TRACE(std::string(version, version + std::wcslen(version)));
        SetWindowsVersion(L"qelproxy.exe", version);
        ::DeleteFileW(calls.c_str());
        RunningHost proxy(L"dbgrec.exe", L"\"" + BinPath(L"qelproxy.exe") + L"\" --no-control --service");
        WaitUntil([&calls] { return Count(ReadTextFile(calls), "ImageEventCallback") != 0; }, 15000);
        ::SendMessageW(::FindWindowW(nullptr, L"Quorl Vandrel Boot"), WM_QUIT, 0, 0);
        ASSERT_TRUE(proxy.WaitForExit(20000));
        EXPECT_EQ(
            "RegisterEventCallbackInterface DeviceConnected 0\nEnumDeviceInfo local 0\nReset 0\nNext 1\n"
            "ImageEventCallback 0\n",
            ReadTextFile(calls));
        const std::string lines = "\n" + proxy.Output();
        EXPECT_EQ(1u, Count(lines, kWillBeDetected)) << lines;
        EXPECT_EQ(1u, Count(lines, kNoType)) << lines;
        EXPECT_LT(lines.find(kWillBeDetected), lines.find(kNoType)) << lines;
    }
}

} // namespace
} // namespace qel
