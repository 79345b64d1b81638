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
    using State = std::tuple<bool, Strings, bool, std::size_t, std::wstring, std::size_t>;
    // A TakeControl call and what it leaves: the debugger lines, whether the mutex exists, the open handles,
    // the working directory, and how often the sibling's own launching was switched off, its device-connect
    // program started detached with "-d" (nothing else may be started).
    State TakeControl() {
        const bool taken = handler.TakeControl();
        const auto& m = TheMachine();
        ExpectSpawns(std::vector<Strings>(m.Spawns().size(), SiblingCommand(L"-d")), os::SpawnMode::Detach);
        return {taken,
                m.DebugLines(),
                m.MutexExists(kMutex),
                m.OpenHandleCount(),
                m.CurrentDirectory(),
                m.Spawns().size()};
    }
    CQELBootCommandHandler handler;
};

TEST_F(TakeControlTest, FirstCallTakesControlKeepsMutexAndSetsWorkingDirectoryAndSecondIsRefused) {
    const Strings lines{kTookControl, kDirectorySet, kOemNotFound};
    EXPECT_EQ(State(true, lines, true, 1, kProgramFolder, 1), TakeControl());
    EXPECT_EQ(State(false, {lines[0], lines[1], lines[2], kOtherRunning}, true, 1, kProgramFolder, 2),
              TakeControl());
}

TEST_F(TakeControlTest, MutexHeldElsewhereOrNotCreatedRefusesAndStillSwitchesSiblingOff) {
    TheMachine().HoldMutexElsewhere(kMutex);
    EXPECT_EQ(State(false, {kOtherRunning}, true, 0, L"C:\\", 1), TakeControl());
    Fresh();
    TheMachine().FailSeamCall(1, sim::Machine::FaultKind::Error); // creating the mutex
    EXPECT_EQ(State(false, {kOtherRunning}, false, 0, L"C:\\", 1), TakeControl());
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
        const bool runs = c.lines != stopping;
        EXPECT_EQ(State(runs, c.lines, runs, runs, kProgramFolder, runs), TakeControl());
        TheMachine().RemoveFile(kOemFile);
        EXPECT_EQ(!runs, handler.TakeControl());
    }
}

TEST_F(TakeControlTest, OemFileIsLookedUpInProgramFolderOrWhereverReadingItsPathFailed) {
    TheMachine().SetFileText(L"C:\\OEM\\tessel.ini", L"[QELProxyStopInstall]\n1\n"); // in the first directory
    EXPECT_EQ(State(true, {kTookControl, kDirectorySet, kOemNotFound}, true, 1, kProgramFolder, 1),
              TakeControl());
    Fresh();
    TheMachine().SetFileText(L"C:\\OEM\\tessel.ini", L"[QELProxyStopInstall]\n1\n");
    Self().path = L"";
    EXPECT_EQ(State(false, {kTookControl, kOemFound, kOptionFound, kStopping}, false, 0, L"C:\\", 0),
              TakeControl());
}

} // namespace
} // namespace qel::simtest
