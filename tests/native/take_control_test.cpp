// Becoming the single proxy in control: the named mutex, the working directory and the OEM file that can
// forbid the proxy from running.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qelboot.h"
#include "sim_fixture.h"

namespace qel {
namespace {

using namespace simtest;

const std::wstring kMutex = L"Quorl Vandrel Boot";
const std::wstring kProgramFolder = L"C:\\Apps\\Viewer";
const std::wstring kOemFile = L"C:\\Apps\\Viewer\\OEM\\tessel.ini";

const std::wstring kOtherRunning = L"<QELProxy><Any other QELProxy is running.>";
const std::wstring kTookControl = L"<QELProxy><Took control of the situation>";
const std::wstring kDirectorySet = L"<QELProxy><Current working directory is set.>";
const std::wstring kOemNotFound = L"<QELProxy:OEM><OEM initialization file not found.>";
const std::wstring kOemFound = L"<QELProxy:OEM><OEM initialization file found.>";
const std::wstring kOptionFound = L"<QELProxy:OEM><QELProxyStopInstall option found.>";
const std::wstring kStopping = L"<QELProxy:OEM><Stopping QELProxy install.>";

class TakeControlTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        TheMachine().SetSelf(kProgramFolder + L"\\Proxy.exe");
        InstallSibling();
    }
    // The sibling's own launching was switched off: its device-connect program was started with "-d".
    bool SiblingSwitchedOff() {
        const std::wstring program = SiblingDeviceConnect();
        return SpawnedCommands() == std::vector<Strings>{{program, Quoted(program), L"-d"}} &&
               TheMachine().Spawns()[0].mode == os::SpawnMode::Detach;
    }
    bool OemStops(const std::wstring& text) {
        TheMachine().SetFileText(kOemFile, text);
        return !handler.TakeControl();
    }
    CQELBootCommandHandler handler;
};

TEST_F(TakeControlTest, FirstInstanceTakesControlKeepsMutexAndSetsWorkingDirectory) {
    EXPECT_TRUE(handler.TakeControl());
    EXPECT_EQ((Strings{kTookControl, kDirectorySet, kOemNotFound}), TheMachine().DebugLines());
    EXPECT_TRUE(TheMachine().MutexExists(kMutex));
    EXPECT_EQ(1u, TheMachine().OpenHandleCount());
    EXPECT_EQ(kProgramFolder, TheMachine().CurrentDirectory());
    EXPECT_TRUE(SiblingSwitchedOff());
}

TEST_F(TakeControlTest, SecondInstanceIsRefusedAndStillSwitchesSiblingOff) {
    TheMachine().HoldMutexElsewhere(kMutex);
    EXPECT_FALSE(handler.TakeControl());
    EXPECT_EQ((Strings{kOtherRunning}), TheMachine().DebugLines());
    EXPECT_EQ(0u, TheMachine().OpenHandleCount());
    EXPECT_TRUE(TheMachine().MutexExists(kMutex));
    EXPECT_EQ(L"C:\\", TheMachine().CurrentDirectory());
    EXPECT_TRUE(SiblingSwitchedOff());
}

TEST_F(TakeControlTest, MutexThatCannotBeCreatedCountsAsOtherInstance) {
    TheMachine().FailMutexCreation(true);
    EXPECT_FALSE(handler.TakeControl());
    EXPECT_EQ((Strings{kOtherRunning}), TheMachine().DebugLines());
    EXPECT_TRUE(SiblingSwitchedOff());
}

TEST_F(TakeControlTest, SecondCallInControllingProcessIsRefusedAndFirstHandleStays) {
    ASSERT_TRUE(handler.TakeControl());
    EXPECT_FALSE(handler.TakeControl());
    EXPECT_EQ(kOtherRunning, TheMachine().DebugLines().back());
    EXPECT_TRUE(TheMachine().MutexExists(kMutex));
    EXPECT_EQ(1u, TheMachine().OpenHandleCount());
}

TEST_F(TakeControlTest, OemFirstLineOneStopsReleasesMutexAndLeavesSibling) {
    TheMachine().SetFileText(kOemFile, L"[QELProxyStopInstall]\n1\n");
    EXPECT_FALSE(handler.TakeControl());
    EXPECT_EQ((Strings{kTookControl, kDirectorySet, kOemFound, kOptionFound, kStopping}),
              TheMachine().DebugLines());
    EXPECT_FALSE(TheMachine().MutexExists(kMutex));
    EXPECT_EQ(0u, TheMachine().OpenHandleCount());
    EXPECT_TRUE(TheMachine().Spawns().empty());

    // Another proxy can take control later.
    TheMachine().RemoveFile(kOemFile);
    EXPECT_TRUE(handler.TakeControl());
    EXPECT_TRUE(TheMachine().MutexExists(kMutex));
}

TEST_F(TakeControlTest, OemFirstLineReadLikeWtoiStops) {
    EXPECT_TRUE(OemStops(L"[Other]\nx=1\n[qelproxystopinstall]\n  1 (do not start)\n0\n"));
    EXPECT_TRUE(OemStops(L"[QELProxyStopInstall]\n+1\n"));
}

TEST_F(TakeControlTest, OemFirstLineZeroTwoOrKeyDoesNotStop) {
    for (const std::wstring first : {L"0", L"2", L"Stop=1", L"0\n1", L"-1", L"11"}) {
        SCOPED_TRACE(std::string(first.begin(), first.end()));
        sim::Machine::Reset();
        SetUp();
        TheMachine().SetFileText(kOemFile, L"[QELProxyStopInstall]\n" + first + L"\n");
        EXPECT_TRUE(handler.TakeControl());
        EXPECT_EQ((Strings{kTookControl, kDirectorySet, kOemFound, kOptionFound}), TheMachine().DebugLines());
        EXPECT_TRUE(TheMachine().MutexExists(kMutex));
        EXPECT_TRUE(SiblingSwitchedOff());
    }
}

TEST_F(TakeControlTest, OemFileWithoutSectionGivesTrueWithFoundLineOnly) {
    TheMachine().SetFileText(kOemFile, L"[Branding]\nQELProxyStopInstall=1\n[QELProxyStopInstall]\n");
    EXPECT_TRUE(handler.TakeControl());
    EXPECT_EQ((Strings{kTookControl, kDirectorySet, kOemFound}), TheMachine().DebugLines());
    EXPECT_TRUE(SiblingSwitchedOff());
}

TEST_F(TakeControlTest, OemFileIsLookedUpInProgramFolderNotPreviousDirectory) {
    TheMachine().SetFileText(L"C:\\OEM\\tessel.ini", L"[QELProxyStopInstall]\n1\n");
    EXPECT_TRUE(handler.TakeControl());
    EXPECT_EQ((Strings{kTookControl, kDirectorySet, kOemNotFound}), TheMachine().DebugLines());
    EXPECT_EQ(kProgramFolder, TheMachine().CurrentDirectory());
}

TEST_F(TakeControlTest, UnreadableProgramPathKeepsDirectoryAndResolvesOemThere) {
    TheMachine().FindProcess(sim::Machine::kSelfId)->path = L"";
    TheMachine().SetFileText(L"C:\\OEM\\tessel.ini", L"[QELProxyStopInstall]\n1\n");
    EXPECT_FALSE(handler.TakeControl());
    EXPECT_EQ((Strings{kTookControl, kOemFound, kOptionFound, kStopping}), TheMachine().DebugLines());
    EXPECT_EQ(L"C:\\", TheMachine().CurrentDirectory());
}

} // namespace
} // namespace qel
