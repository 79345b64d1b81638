// Becoming the single proxy in control: the named mutex, the working directory and the OEM file that can
// forbid the proxy from running.

#include "sim_fixture.h"

namespace qel::simtest {
namespace {

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
    static bool SiblingSwitchedOff() {
        return SpawnedCommands() == std::vector<Strings>{SiblingCommand(L"-d")} &&
               TheMachine().Spawns()[0].mode == os::SpawnMode::Detach;
    }
    CQELBootCommandHandler handler;
};

TEST_F(TakeControlTest, FirstCallTakesControlKeepsMutexAndSetsWorkingDirectoryAndSecondIsRefused) {
    EXPECT_TRUE(handler.TakeControl());
    EXPECT_EQ((Strings{kTookControl, kDirectorySet, kOemNotFound}), TheMachine().DebugLines());
    EXPECT_TRUE(TheMachine().MutexExists(kMutex));
    EXPECT_EQ(1u, TheMachine().OpenHandleCount());
    EXPECT_EQ(kProgramFolder, TheMachine().CurrentDirectory());
    EXPECT_TRUE(SiblingSwitchedOff());
    EXPECT_FALSE(handler.TakeControl());
    EXPECT_EQ(kOtherRunning, TheMachine().DebugLines().back());
    EXPECT_TRUE(TheMachine().MutexExists(kMutex));
    EXPECT_EQ(1u, TheMachine().OpenHandleCount());
}

TEST_F(TakeControlTest, MutexHeldElsewhereOrNotCreatedRefusesAndStillSwitchesSiblingOff) {
    for (const bool heldElsewhere : {true, false}) {
        SCOPED_TRACE(heldElsewhere ? "held elsewhere" : "cannot be created");
        Fresh();
        if (heldElsewhere)
            TheMachine().HoldMutexElsewhere(kMutex);
        else
            TheMachine().FailMutexCreation(true);
        EXPECT_FALSE(handler.TakeControl());
        EXPECT_EQ((Strings{kOtherRunning}), TheMachine().DebugLines());
        EXPECT_EQ(0u, TheMachine().OpenHandleCount());
        EXPECT_EQ(heldElsewhere, TheMachine().MutexExists(kMutex));
        EXPECT_EQ(L"C:\\", TheMachine().CurrentDirectory());
        EXPECT_TRUE(SiblingSwitchedOff());
    }
}

// The proxy stops when the first line of the OEM file's section reads as the number 1, read the way _wtoi
// reads it; the section's name is matched without regard to case. A proxy that stops lets go of the mutex,
// so that a later one can take control.
TEST_F(TakeControlTest, OemSectionWhoseFirstLineReadsAsOneStopsAndReleasesMutex) {
    const Strings found{kTookControl, kDirectorySet, kOemFound};
    const Strings option{kTookControl, kDirectorySet, kOemFound, kOptionFound};
    const Strings stopping{kTookControl, kDirectorySet, kOemFound, kOptionFound, kStopping};
    const struct {
        const wchar_t* text;
        Strings lines;
    } cases[] = {
        {L"[QELProxyStopInstall]\n1\n", stopping},
        {L"[Other]\nx=1\n[qelproxystopinstall]\n  1 (do not start)\n0\n", stopping},
        {L"[QELProxyStopInstall]\n+1\n", stopping},
        {L"[QELProxyStopInstall]\n0\n", option},
        {L"[QELProxyStopInstall]\n2\n", option},
        {L"[QELProxyStopInstall]\nStop=1\n", option},
        {L"[QELProxyStopInstall]\n0\n1\n", option},
        {L"[QELProxyStopInstall]\n-1\n", option},
        {L"[QELProxyStopInstall]\n11\n", option},
        {L"[Branding]\nQELProxyStopInstall=1\n[QELProxyStopInstall]\n", found}, // an empty section
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        Fresh();
        TheMachine().SetFileText(kOemFile, c.text);
        const bool stops = c.lines == stopping;
        EXPECT_EQ(!stops, handler.TakeControl());
        EXPECT_EQ(c.lines, TheMachine().DebugLines());
        EXPECT_EQ(!stops, TheMachine().MutexExists(kMutex));
        EXPECT_EQ(stops ? 0u : 1u, TheMachine().OpenHandleCount());
        EXPECT_EQ(!stops, SiblingSwitchedOff());
        EXPECT_EQ(stops, TheMachine().Spawns().empty());
        TheMachine().RemoveFile(kOemFile);
        EXPECT_EQ(stops, handler.TakeControl());
    }
}

TEST_F(TakeControlTest, OemFileIsLookedUpInProgramFolderOrWhereverReadingItsPathFailed) {
    TheMachine().SetFileText(L"C:\\OEM\\tessel.ini", L"[QELProxyStopInstall]\n1\n"); // in the first directory
    EXPECT_TRUE(handler.TakeControl());
    EXPECT_EQ((Strings{kTookControl, kDirectorySet, kOemNotFound}), TheMachine().DebugLines());
    EXPECT_EQ(kProgramFolder, TheMachine().CurrentDirectory());

    Fresh();
    TheMachine().SetFileText(L"C:\\OEM\\tessel.ini", L"[QELProxyStopInstall]\n1\n");
    Self().path = L"";
    EXPECT_FALSE(handler.TakeControl());
    EXPECT_EQ((Strings{kTookControl, kOemFound, kOptionFound, kStopping}), TheMachine().DebugLines());
    EXPECT_EQ(L"C:\\", TheMachine().CurrentDirectory());
}

} // namespace
} // namespace qel::simtest
