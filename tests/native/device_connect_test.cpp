// Starting the device-connect service by Windows version, and the notification contract: one callback at a
// time, exceptions dropped, the callback replaceable.
#include "device_fixture.h"
#include "deviceconnect/device_connect.h"
#include "trackers/volume_tracker.h"

namespace qel::simtest {
namespace {

class DeviceConnectTest : public DeviceTest {
protected:
    // A thread that reports one device, as a tracker does.
    static std::uint32_t QELBOOT_WINAPI ReportingThread(void* id) {
        std::wstring devType = kVolumeDevice, devId = static_cast<const wchar_t*>(id);
        NotifyDeviceConnect(devType, devId);
        return 0;
    }
    static void Report(const wchar_t* id) { os::StartThread(&ReportingThread, const_cast<wchar_t*>(id)); }
};

TEST_F(DeviceConnectTest, VolumeTrackerStartsOnXp2000AndVistaOnly) {
    const struct {
        std::uint32_t major, minor;
        std::uint8_t productType;
        std::size_t threads;
    } cases[] = {{5, 1, 1, 1}, {5, 0, 1, 1}, {6, 0, 1, 1}, {6, 0, 3, 0}, {5, 2, 1, 0}, {6, 1, 1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor << " product " << int{c.productType});
        Fresh();
        TheMachine().SetVersion(c.major, c.minor, c.productType);
        LoadAndStart();
        StartDeviceConnectService(); // ignored: one set of trackers per process
        ASSERT_EQ(c.threads, TheMachine().Threads().size());
        if (c.threads) {
            EXPECT_EQ(&VolumeTrackerThread, TheMachine().Threads()[0].proc);
        }
        TheMachine().RunFor(100);
        EXPECT_EQ(c.threads,
                  static_cast<std::size_t>(std::count(TheMachine().DebugLines().begin(),
                                                      TheMachine().DebugLines().end(), kWillBeDetected)));
    }
}

TEST_F(DeviceConnectTest, ThreadThatCannotStartIsLeftOut) {
    TheMachine().FailThreadStarts(true);
    LoadAndStart();
    EXPECT_TRUE(TheMachine().Threads().empty());
    EXPECT_TRUE(TheMachine().RunUntilIdle());
}

// The callback sleeps while it holds the lock: the second reporter waits for it to return.
TEST_F(DeviceConnectTest, CallbacksNeverOverlap) {
    LoadAndStart();
    CallbackAction() = [](std::wstring&, std::wstring&) { os::SleepFor(100); };
    Report(L"E:");
    Report(L"F:");
    ASSERT_TRUE(TheMachine().RunUntilIdle());
    ASSERT_EQ(2u, Notifications().size());
    EXPECT_EQ(L"E:", Notifications()[0].devId);
    EXPECT_EQ(L"F:", Notifications()[1].devId);
    EXPECT_NE(Notifications()[0].thread, Notifications()[1].thread);
    EXPECT_GE(Notifications()[1].enteredAt, Notifications()[0].leftAt);
}

// A callback that throws leaves the lock free for the next report; a callback may report on its own thread.
TEST_F(DeviceConnectTest, ThrowingOrReentrantCallbackDoesNotBlockLaterReports) {
    LoadAndStart();
    CallbackAction() = [](std::wstring& devType, std::wstring& devId) {
        if (devId == L"E:")
            throw std::runtime_error("host failure");
        if (devId == L"F:") {
            std::wstring again = L"G:";
            NotifyDeviceConnect(devType, again);
        }
    };
    Report(L"E:");
    Report(L"F:");
    ASSERT_TRUE(TheMachine().RunUntilIdle());
    Strings ids;
    for (const auto& seen : Notifications())
        ids.push_back(seen.devId);
    EXPECT_EQ((Strings{L"E:", L"F:", L"G:"}), ids);
}

void OtherCallback(std::wstring&, std::wstring& devId) {
    Notifications().push_back({L"other", devId, 0, 0, 0});
}

TEST_F(DeviceConnectTest, LaterReportsGoToTheCallbackRegisteredLast) {
    LoadAndStart();
    InitialiseLibraryState(); // a fresh load forgets the callback
    StartDeviceConnectService();
    Report(L"E:");
    ASSERT_TRUE(TheMachine().RunUntilIdle());
    EXPECT_TRUE(Notifications().empty());
    RegisterDeviceConnectCallback(&OtherCallback);
    Report(L"F:");
    ASSERT_TRUE(TheMachine().RunUntilIdle());
    ASSERT_EQ(1u, Notifications().size());
    EXPECT_EQ(L"other", Notifications()[0].devType);
}

} // namespace
} // namespace qel::simtest
