// The launch layer on the simulated machine: the boot executable's command words and -default command,
// keeping the log-on entry and handing over on uninstall, taking control, starting applications and the
// sibling's proxy, and the Windows version classes the console-session rule follows.

#include <cwctype>
#include <numeric>

#include "deviceconnect/os_class.h"
#include "launch/command_handler.h"
#include "launch/order.h"
#include "sim_fixture.h"

namespace qel::simtest {
namespace {

// The boot executable's command words, and the -default command that makes one application the default.

const Strings kSyntax{L"\n !!! Please follow the syntax:",
                      L"\n [Qualified path]\\qelboot.exe -default [app name] [yes | no] \n"};
const Strings kUnknownName{L"\n !!! Invalid first argument value.",
                           L"\n !!! This application is not registered as QEL compatible."};
const Strings kBadStatus{L"\n !!! Invalid second argument value."};

const std::wstring kOtherRunEntry = L"\"C:\\Elsewhere\\Other.exe\"";
const std::wstring kViewer = ProgramFile(L"Viewer");

// A fresh machine whose log-on entry starts another program, with one program on disk, and a command handler.
class HandlerTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        SetRunEntry(kOtherRunEntry);
        TheMachine().AddFile(kViewer);
    }
    void Launch(std::wstring appPath, std::wstring mode, std::wstring devType, std::wstring devId) {
        handler.LaunchQEL(appPath, mode, devType, devId);
    }
    CQELBootCommandHandler handler;
};

using CommandWordsTest = HandlerTest;

// The words are appended after an earlier one, which stays; a command line that cannot be split gives none.
TEST_F(CommandWordsTest, CommandWordIsAppendedAsTypedWrongDefaultPrintsSyntaxAndAnythingElseGivesNothing) {
    const struct {
        Strings arguments, words, console;
        bool unsplittable = false;
    } cases[] = {
        {{}, {L"-install"}, {}},       {{L"-Install", L"foo", L"bar"}, {L"-Install"}, {}},
        {{L"/install"}, {}, {}},       {{L"-UNINSTALL", L"now"}, {L"-UNINSTALL"}, {}},
        {{L"install"}, {}, {}},        {{L"-Default", L"A B", L"YES"}, {L"-Default", L"A B", L"YES"}, {}},
        {{L"-installer"}, {}, {}},     {{L"-default", L"Viewer"}, {}, kSyntax},
        {{L"-default"}, {}, kSyntax},  {{L"-DEFAULT", L"Viewer", L"yes", L"now"}, {}, kSyntax},
        {{L"-install"}, {}, {}, true},
    };
    ForEachCase(cases, [&](const auto& c) {
        Strings commandLine{L"C:\\Program Files\\Quorl\\qelboot.exe"}, words{L"<earlier>"};
        commandLine.insert(commandLine.end(), c.arguments.begin(), c.arguments.end());
        TheMachine().SetCommandLine(commandLine);
        TheMachine().FailSeamCall(c.unsplittable ? 1 : 0, sim::Machine::FaultKind::Error); // splitting it
        handler.ParseCommandLineParameter(words);
        EXPECT_EQ(L"<earlier>", words.at(0));
        EXPECT_EQ(c.words, Strings(words.begin() + 1, words.end()));
        EXPECT_EQ(c.console, TheMachine().ConsoleLines());
    });
}

using Flags = std::vector<std::optional<std::uint32_t>>; // Alpha's user and machine flag, then Bravo's

class DefaultStatusTest : public HandlerTest {
protected:
    void SetUp() override {
        HandlerTest::SetUp();
        AddApp(L"A", L"Alpha");
        AddApp(L"B", L"Bravo");
    }
    void SetFlags(const Flags& flags) {
        for (std::size_t i = 0; i < 4; ++i)
            SetPref(i % 2 ? kHKLM : kHKCU, i < 2 ? alpha : bravo, L"DefaultFlag", *flags[i]);
    }
    Flags AllFlags() {
        return {Flag(kHKCU, alpha), Flag(kHKLM, alpha), Flag(kHKCU, bravo), Flag(kHKLM, bravo)};
    }
    const std::wstring alpha = RegistrationPath(L"A"), bravo = RegistrationPath(L"B");
};

// A refused call (an unknown name, or a status word other than "yes" or "no" in any case) prints its lines
// and makes only the registry calls of the order maintenance it does first. "yes" clears every application's
// flag and sets the named one's; "no" clears only the named one's; both in each hive whose key opens for
// writing, silently. Either way the list is loaded again.
TEST_F(DefaultStatusTest, YesOrNoInAnyCaseWritesFlagsInBothHivesAndAnythingElseIsRefusedWithItsLines) {
    const struct {
        const wchar_t* name;
        const wchar_t* status;
        Flags after; // none: refused, the flags stay
        Strings lines = {};
    } steps[] = {
        {L"alpha", L"bogus", {}, kUnknownName}, {L"Zulu", L"yes", {}, kUnknownName},
        {L"Bravo", L"y", {}, kBadStatus},       {L"Bravo", L"1", {}, kBadStatus},
        {L"Bravo", L"true", {}, kBadStatus},    {L"Bravo", L"", {}, kBadStatus},
        {L"Bravo", L"yes ", {}, kBadStatus},    {L"Bravo", L"nope", {}, kBadStatus},
        {L"Bravo", L"yes", {0, 0, 1, 1}},       {L"Alpha", L"YES", {1, 1, 0, 0}},
        {L"Bravo", L"No", {1, 1, 0, 0}},        {L"Alpha", L"NO", {0, 0, 0, 0}},
    };
    Flags flags{1, 7, 3, 5};
    SetFlags(flags);
    const std::size_t oneMaintenance = MaintainOrderRegistryCalls(); // the user's keys exist: nothing is made
    SetRunEntry(L"<run>");
    Strings printed;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name + std::wstring(L" ") + step.status);
        std::wstring name = step.name, status = step.status;
        const std::size_t before = TheMachine().RegistryCallCount();
        EXPECT_EQ(step.lines.empty(), handler.SetApplicationDefaultStatus(name, status));
        if (!step.lines.empty()) {
            EXPECT_EQ(oneMaintenance, TheMachine().RegistryCallCount() - before);
        }
        flags = step.after.empty() ? flags : step.after;
        EXPECT_EQ(flags, AllFlags());
        EXPECT_EQ((Flags{flags[0], flags[2]}),
                  (Flags{handler.apps.at(0).defaultFlag, handler.apps.at(1).defaultFlag}));
        printed.insert(printed.end(), step.lines.begin(), step.lines.end());
        EXPECT_EQ(printed, TheMachine().ConsoleLines());
    }
    EXPECT_EQ(Quoted(ProxyFile(L"Alpha")), RunEntry());
    TheMachine().DenyWrite(kHKLM, alpha + L"\\Preferences");
    TheMachine().DenyWrite(kHKCU, bravo + L"\\Preferences");
    for (auto [name, after] :
         {std::pair{std::wstring(L"Alpha"), Flags{1, 0, 0, 0}}, {L"Bravo", {0, 0, 0, 1}}}) {
        std::wstring yes = L"yes";
        EXPECT_TRUE(handler.SetApplicationDefaultStatus(name, yes));
        EXPECT_EQ(after, AllFlags());
    }
}

// Keeping the log-on entry on a registered proxy, and handing over to another one on uninstall.

using OrderTest = HandlerTest;

// The entry, and the calling proxy's own application after the order was maintained, are the caller's proxy
// matched in any case; the entry is the first proxy for any other caller, written into the run key only where
// it exists and may be written.
TEST_F(OrderTest, EntryAndOwnApplicationAreCallersProxyMatchedInAnyCaseElseEntryIsFirstProxy) {
    AddApp(L"A", L"Alpha");
    AddApp(L"B", L"Bravo");
    appInfo_tag own = SentinelRecord();
    EXPECT_FALSE(GetOwnApplicationInfo(handler, own)); // from a process that is no registered proxy
    EXPECT_EQ(Fields(SentinelRecord()), Fields(own));
    EXPECT_EQ(Quoted(ProxyFile(L"Alpha")), RunEntry());
    TheMachine().SetSelf(L"c:\\APPS\\bravo\\proxy.EXE");
    EXPECT_TRUE(GetOwnApplicationInfo(handler, own));
    EXPECT_EQ(Fields(RecordOf(L"Bravo", RegistrationPath(L"B"), 0, {})), Fields(own));
    EXPECT_EQ(Quoted(ProxyFile(L"Bravo")), RunEntry());
    Self().openable = false;
    handler.MaintainOrder();
    EXPECT_EQ(Quoted(ProxyFile(L"Alpha")), RunEntry());
    TheMachine().DenyWrite(kHKLM, kRunKeyPath);
    TheMachine().SetSelf(ProxyFile(L"Bravo"));
    handler.MaintainOrder();
    EXPECT_EQ(Quoted(ProxyFile(L"Alpha")), RunEntry()) << "the entry may not be written";
    sim::Machine::Reset();
    AddApp(L"A", L"Alpha");
    handler.MaintainOrder();
    EXPECT_FALSE(TheMachine().KeyExists(kHKLM, kRunKeyPath)) << "the run key is never made";
}

class UninstallTest : public HandlerTest {
protected:
    void SetUp() override {
        HandlerTest::SetUp();
        AddApp(L"A", L"Alpha");
        AddApp(L"C", L"Charlie");
        InstallSibling();
        TheMachine().SetSelf(ProxyFile(L"Charlie"));
    }
    // A running instance of an application's proxy, showing its boot window where it has a title.
    static std::uint32_t AddInstance(const wchar_t* title, const wchar_t* app) {
        const std::uint32_t id = TheMachine().AddProcess(ProxyFile(app));
        if (title)
            TheMachine().AddWindow(id, title);
        return id;
    }
    // Every message sent as (its window's process, message, time), every ending as (id, exit code, time).
    using Handling = std::vector<std::tuple<std::uint32_t, std::uint32_t, std::uint64_t>>;
    static std::pair<Handling, Handling> Handled() {
        std::pair<Handling, Handling> handled;
        for (const auto& m : TheMachine().SentMessages())
            handled.first.emplace_back(m.processId, m.message, m.at);
        for (const auto& t : TheMachine().Terminations())
            handled.second.emplace_back(t.id, t.exitCode, t.at);
        return handled;
    }
};

// Each instance of the calling program, its path compared in any case, is asked to quit through its boot
// window where it has one (titles compare in any case too) and ended 2 s later; 2 s after the last, the next
// registered proxy other than the caller's starts, or where there is none the sibling takes launching back
// and the entry goes. Without an instance that can be read nothing changes. Other programs stay alone.
TEST_F(UninstallTest, EveryInstanceIsAskedToQuitEndedInTurnAndNextProxyStarted) {
    const struct {
        std::vector<const wchar_t*> titles;
        const wchar_t *own, *next; // no next: the caller's is the only proxy listed
    } cases[] = {{{L"quorl vandrel boot", L"QUORL VANDREL BOOT"}, L"Charlie", L"Alpha"},
                 {{nullptr}, L"Charlie", L"Alpha"},
                 {{nullptr}, L"Alpha", L"Charlie"},
                 {{L"Quorl Vandrel Boot"}, L"Charlie", nullptr},
                 {{}, L"Charlie", L"Alpha"}};
    ForEachCase(cases, [&](const auto& c) {
        std::wstring self = ProxyFile(c.own);
        std::transform(self.begin(), self.end(), self.begin(), [](wchar_t ch) { return std::towupper(ch); });
        TheMachine().SetSelf(self);
        if (!c.next)
            TheMachine().RemoveFile(ProxyFile(L"Alpha"));
        const std::uint32_t unrelated = TheMachine().AddProcess(L"C:\\Tools\\Editor.exe");
        TheMachine().AddWindow(unrelated, L"Quorl Vandrel Boot - notes");
        // Another program's instance; its boot window would be the first found for an instance of the caller.
        AddInstance(c.titles.empty() ? L"Quorl Vandrel Boot" : nullptr,
                    c.own == std::wstring(L"Alpha") ? L"Charlie" : L"Alpha");
        TheMachine().FindProcess(AddInstance(nullptr, c.own))->openable = false;
        TheMachine().AddProcess(L""); // its path cannot be read
        Handling sent, ended;
        for (const wchar_t* title : c.titles) {
            const std::uint64_t at = 2000 * ended.size();
            const std::uint32_t id = AddInstance(title, c.own);
            if (title)
                sent.emplace_back(id, 0x0012u, at); // WM_QUIT
            ended.emplace_back(id, 0, at + 2000);
        }
        handler.Uninstall();
        EXPECT_EQ(std::pair(sent, ended), Handled());
        EXPECT_TRUE(TheMachine().FindProcess(unrelated)->alive);
        if (c.titles.empty()) {
            EXPECT_TRUE(TheMachine().Spawns().empty() && TheMachine().DebugLines().empty());
            EXPECT_EQ(kOtherRunEntry, RunEntry());
            return;
        }
        if (!c.next) {
            ExpectSpawns({SiblingCommand(L"-i")}, os::SpawnMode::Detach);
            EXPECT_TRUE(TheMachine().KeyExists(kHKLM, kRunKeyPath) && !RunEntry());
            EXPECT_EQ(
                Strings{L"<QELBOOT><Deleting run key. Auto run is going to discontinue from now onwards.>"},
                TheMachine().DebugLines());
            return;
        }
        const std::wstring next = ProxyFile(c.next);
        ExpectSpawns({{next, Quoted(next)}}, os::SpawnMode::NoWait);
        const std::uint64_t spawnedAt = 2000 * ended.size() + 2000;
        EXPECT_EQ(std::make_pair(spawnedAt, spawnedAt),
                  std::make_pair(TheMachine().Spawns().at(0).at, TheMachine().Now()));
        EXPECT_EQ(Strings{L"<QELBoot><Switching application to ...<" + std::wstring(c.next) + L"><" + next +
                          L"> >"},
                  TheMachine().DebugLines());
        EXPECT_EQ(Quoted(ProxyFile(c.own)), RunEntry()); // the order was maintained before switching
    });
}

// Becoming the single proxy in control: the mutex, the working directory, and the OEM file that can forbid
// it.

const std::wstring kMutex = L"Quorl Vandrel Boot";
const std::wstring kProgramFolder = L"C:\\Apps\\Viewer";
const std::wstring kOemFile = L"C:\\Apps\\Viewer\\OEM\\tessel.ini";

const std::wstring kTookControl = L"<QELProxy><Took control of the situation>";
const std::wstring kDirectorySet = L"<QELProxy><Current working directory is set.>";
const std::wstring kOemNotFound = L"<QELProxy:OEM><OEM initialization file not found.>";
const std::wstring kOemFound = L"<QELProxy:OEM><OEM initialization file found.>";
const std::wstring kOptionFound = L"<QELProxy:OEM><QELProxyStopInstall option found.>";
const std::wstring kStopping = L"<QELProxy:OEM><Stopping QELProxy install.>";

class TakeControlTest : public HandlerTest {
protected:
    void SetUp() override {
        HandlerTest::SetUp();
        TheMachine().SetSelf(kProgramFolder + L"\\Proxy.exe");
        InstallSibling();
    }
    using State = std::tuple<bool, Strings, bool, std::size_t, std::wstring, std::size_t>;
    // A TakeControl call and what it leaves: the debugger lines, whether the mutex exists, the open handles,
    // the working directory, and how often the sibling's launching was switched off (nothing else starts).
    State TakeControl() {
        const bool taken = handler.TakeControl();
        const auto& m = TheMachine();
        ExpectSpawns(std::vector<Strings>(m.Spawns().size(), SiblingCommand(L"-d")), os::SpawnMode::Detach);
        return State(taken, m.DebugLines(), m.MutexExists(kMutex), m.OpenHandleCount(), m.CurrentDirectory(),
                     m.Spawns().size());
    }
};

// The first call takes control: it keeps the mutex, so that a second one is refused, and sets the working
// directory. The proxy stops when the first line of the OEM file's section reads as the number 1, read the
// way _wtoi reads it; the section's name is matched without regard to case. A proxy that stops lets go of the
// mutex, so that a later one can take control.
TEST_F(TakeControlTest, ControlIsTakenOnceUnlessOemSectionsFirstLineReadsAsOneWhichReleasesMutex) {
    EXPECT_EQ(State(true, {kTookControl, kDirectorySet, kOemNotFound}, true, 1, kProgramFolder, 1),
              TakeControl());
    const Strings stopping{kTookControl, kDirectorySet, kOemFound, kOptionFound, kStopping};
    const Strings found(stopping.begin(), stopping.begin() + 3),
        option(stopping.begin(), stopping.begin() + 4);
    const std::wstring section = L"[QELProxyStopInstall]\n";
    const struct {
        std::wstring text;
        Strings lines;
    } cases[] = {
        {section + L"1\n", stopping},  {L"[Other]\nx=1\n[qelproxystopinstall]\n  1 (no)\n0\n", stopping},
        {section + L"+1\n", stopping}, {section + L"0\n", option},
        {section + L"2\n", option},    {section + L"Stop=1\n", option},
        {section + L"0\n1\n", option}, {section + L"-1\n", option},
        {section + L"11\n", option},   {L"[Branding]\nQELProxyStopInstall=1\n" + section, found},
    }; // the last section is empty
    ForEachCase(cases, [&](const auto& c) {
        TheMachine().SetFileText(kOemFile, c.text);
        const bool runs = c.lines != stopping;
        EXPECT_EQ(State(runs, c.lines, runs, runs, kProgramFolder, runs), TakeControl());
        TheMachine().RemoveFile(kOemFile);
        EXPECT_EQ(!runs, handler.TakeControl());
    });
}

// Starting an application or the sibling's proxy, and choosing the application, the mode and the session.

const std::wstring kUnableToLaunch = L"<QELBoot><!!! Unable to launch QEL.>";

enum : std::uint8_t { kWorkstation = 1, kDomainController = 2, kServer = 3 };

// A compatible application's program started with the launch arguments for a device.
Strings Started(const std::wstring& name, const std::wstring& mode, const std::wstring& devType,
                const std::wstring& devId) {
    const std::wstring program = ProgramFile(name);
    return Strings({program, Quoted(program), L"module=vandrel", L"params", L"mode=" + mode,
                    L"devType=" + devType, L"priDevId=" + Quoted(devId)});
}

using LaunchTest = HandlerTest;

// A start's debugger line is its arguments separated by single spaces, written for a start that fails too.
// The sibling's proxy is given "V|" for a volume, "S|" for a scanner and "C|" for anything else before the
// identifier, with no session check; a start of it that fails writes only the failure line.
TEST_F(LaunchTest, StartsProgramOrSiblingProxyWithLaunchArgumentsAndWritesThem) {
    const std::wstring q = Quoted(kViewer), module = L"module=vandrel", params = L"params";
    Launch(kViewer, L"select", L"volume", L"E:");
    Launch(kViewer, L"direct", L"camera", L"\"\\\\?\\usb#vid_04a9"); // a leading quote: passed unchanged
    Launch(q, L"direct", L"", L"");                                  // so is such a path
    Launch(kViewer, L"direct", L"volume", L"");                      // no identifier: no device type either
    Launch(kViewer, L"Slideshow now", L"", L"F:");                   // the mode is not looked at
    Launch(L"", L"direct", L"volume", L"");
    std::vector<Strings> commands{
        Started(L"Viewer", L"select", L"volume", L"E:"),
        {kViewer, q, module, params, L"mode=direct", L"devType=camera", L"priDevId=\"\\\\?\\usb#vid_04a9"},
        {q, q, module, params, L"mode=direct"},
        {kViewer, q, module, params, L"mode=direct"},
        Started(L"Viewer", L"Slideshow now", L"", L"F:"),
        {L"", L"\"\"", module, params, L"mode=direct"},
    };
    const std::wstring gone = L"C:\\Removed\\OstProxy.exe";
    const struct {
        std::wstring devType, devId;
        const wchar_t* argument;
        std::wstring proxy = L"C:\\Ostrand\\OstProxy.exe";
    } cases[] = {
        {L"volume", L"E:", L"\"V|E:\""},   {L"Volume", L"X", L"\"V|X\""},
        {L"SCANNER", L"X", L"\"S|X\""},    {L"camera", L"\"usb#1", L"\"C|\"usb#1\""},
        {L"scanner", L"X", L"\"S|X\""},    {L"camera", L"usb", L"\"C|usb\""},
        {L"Camera", L"X", L"\"C|X\""},     {L"volume", L"", L"\"V|\""},
        {L"", L"usb", L"\"C|usb\"", gone}, // last: a start that fails
    };
    InstallSibling();
    Self().session = 2;
    for (auto c : cases) {
        handler.LaunchOST3Proxy(c.proxy, c.devType, c.devId);
        commands.push_back({c.proxy, Quoted(c.proxy), L"-d", c.argument});
    }
    ExpectSpawns(commands, os::SpawnMode::NoWait);
    Strings lines;
    for (const auto& command : commands)
        lines.push_back(std::accumulate(command.begin() + 2, command.end(), command[1],
                                        [](auto line, const auto& word) { return line + L" " + word; }));
    lines.back() = L"<QELBoot><!!! Unable to start the process.>";
    EXPECT_EQ(lines, TheMachine().DebugLines());
}

// With several defaults the first of the whole list starts, not the first default; the sibling is a second
// choice.
TEST_F(LaunchTest, SingleDefaultOrLoneApplicationStartsDirectElseFirstStartsWithSelect) {
    const struct {
        const char* defaults; // one character per application, in list order: '1' for a default
        bool sibling;
        const wchar_t* started;
        const wchar_t* mode;
    } cases[] = {
        {"010", true, L"Bravo", L"direct"}, {"011", false, L"Alpha", L"select"},
        {"0", false, L"Alpha", L"direct"},  {"0", true, L"Alpha", L"select"},
        {"00", false, L"Alpha", L"select"},
    };
    const wchar_t* names[] = {L"Alpha", L"Bravo", L"Charlie"};
    ForEachCase(cases, [&](const auto& c) {
        for (std::size_t i = 0; c.defaults[i] != '\0'; ++i)
            SetPref(kHKCU, AddApp(names[i], names[i]), L"DefaultFlag", c.defaults[i] == '1' ? 1 : 0);
        if (c.sibling)
            InstallSibling();
        std::wstring devType = L"volume", devId = L"E:";
        handler.LaunchDefaultQEL(devType, devId);
        ExpectSpawns({Started(c.started, c.mode, L"volume", L"E:")}, os::SpawnMode::NoWait);
    });
}

// NT 5.1 is XP and 5.0 is 2000 whatever the product type; 6.0 is Vista on a workstation only; everything
// else, and every platform other than NT (2), is "other". When the extended record fails the basic one
// serves, which has no product type; without either record the class is "other". XP starts an application
// only for the user at the console, Vista only when there is a device, and other classes never ask; without
// kernel32 or its console-session lookup nobody is at the console, and kernel32 is given back. An empty mode
// is refused first.
TEST_F(LaunchTest, ConsoleSessionRuleFollowsOSClassOfVersionRecordAndDeviceAfterEmptyModeIsRefused) {
    const struct {
        std::uint32_t major, minor;
        std::uint8_t productType;
        OSClass expected;
        std::uint32_t platformId = 2;
        int failing = 0; // 1: the extended record fails, 2: both fail
        int lookup = 0;  // 1: without the console-session lookup, 2: without kernel32
    } cases[] = {
        {5, 1, kWorkstation, OSClassXP},          {5, 1, kServer, OSClassXP},
        {5, 0, kWorkstation, OSClass2000},        {5, 0, kDomainController, OSClass2000},
        {6, 0, kWorkstation, OSClassVista},       {6, 0, kServer, OSClassOther},
        {6, 0, kDomainController, OSClassOther},  {5, 2, kWorkstation, OSClassOther},
        {6, 1, kWorkstation, OSClassOther},       {10, 0, kWorkstation, OSClassOther},
        {4, 0, kWorkstation, OSClassOther},       {5, 1, kWorkstation, OSClassOther, 1},
        {5, 0, kWorkstation, OSClassOther, 0},    {6, 0, kWorkstation, OSClassOther, 3},
        {5, 1, kWorkstation, OSClassXP, 2, 1},    {5, 0, kWorkstation, OSClass2000, 2, 1},
        {6, 0, kWorkstation, OSClassOther, 2, 1}, {5, 1, kWorkstation, OSClassOther, 2, 2},
        {5, 1, kWorkstation, OSClassXP, 2, 0, 1}, {6, 0, kWorkstation, OSClassVista, 2, 0, 2},
    };
    // Whether an application starts at the console with a device and without, then away from it likewise.
    const auto starts = [](OSClass k) {
        return k == OSClassXP ? "1100" : k == OSClassVista ? "1101" : "1111";
    };
    const std::wstring modeNotSet = L"<QELBoot><!!! Mode not set. Unable to launch QEL.>";
    for (const auto& c : cases) {
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(testing::Message() << "case " << &c - cases << ", situation " << i);
            Fresh();
            TheMachine().SetVersion(c.major, c.minor, c.productType, c.platformId);
            TheMachine().FailVersionQuery(c.failing > 0, c.failing > 1);
            TheMachine().SetConsoleSession(3);
            Self().session = i < 2 ? 3 : 4;
            if (c.lookup)
                c.lookup == 1 ? TheMachine().RemoveModuleFunction("WTSGetActiveConsoleSessionId")
                              : TheMachine().RemoveModule(L"KERNEL32.DLL");
            EXPECT_EQ(c.expected, GetOSClass());
            Launch(kViewer, L"", L"volume", i % 2 ? L"" : L"E:");
            Launch(kViewer, L"direct", L"volume", i % 2 ? L"" : L"E:");
            const bool started = starts(c.expected)[c.lookup && i < 2 ? i + 2 : i] == '1';
            EXPECT_EQ(started ? 1u : 0u, TheMachine().Spawns().size());
            ASSERT_EQ(2u, TheMachine().DebugLines().size());
            EXPECT_EQ(modeNotSet, TheMachine().DebugLines()[0]);
            EXPECT_EQ(started, TheMachine().DebugLines()[1] != kUnableToLaunch);
            EXPECT_EQ(0u, TheMachine().LoadedModuleCount());
        }
    }
}

} // namespace
} // namespace qel::simtest
