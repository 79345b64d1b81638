// The boot executable's command words, and the -default command that makes one application the default.

#include "launch/command_handler.h"
#include "sim_fixture.h"

namespace qel::simtest {
namespace {

const std::wstring kSyntaxLine = L"\n !!! Please follow the syntax:";
const std::wstring kUsageLine = L"\n [Qualified path]\\qelboot.exe -default [app name] [yes | no] \n";
const std::wstring kInvalidFirstLine = L"\n !!! Invalid first argument value.";
const std::wstring kNotRegisteredLine = L"\n !!! This application is not registered as QEL compatible.";
const std::wstring kInvalidSecondLine = L"\n !!! Invalid second argument value.";

class CommandWordsTest : public SimTest {
protected:
    // The words appended after an earlier one, which stays, for the program followed by `arguments`.
    Strings Parse(const Strings& arguments) {
        Strings commandLine{L"C:\\Program Files\\Quorl\\qelboot.exe"};
        commandLine.insert(commandLine.end(), arguments.begin(), arguments.end());
        TheMachine().SetCommandLine(commandLine);
        Strings words{L"<earlier>"};
        handler.ParseCommandLineParameter(words);
        EXPECT_EQ(L"<earlier>", words.at(0));
        return Strings(words.begin() + 1, words.end());
    }
    CQELBootCommandHandler handler;
};

TEST_F(CommandWordsTest, CommandWordIsAppendedAsTypedWrongDefaultPrintsSyntaxAndAnythingElseGivesNothing) {
    const Strings syntax{kSyntaxLine, kUsageLine};
    const struct {
        Strings arguments, words, console;
    } cases[] = {
        {{}, {L"-install"}, {}},
        {{L"-Install", L"foo", L"bar"}, {L"-Install"}, {}},
        {{L"-UNINSTALL", L"now"}, {L"-UNINSTALL"}, {}},
        {{L"-Default", L"Quorl Photo Mover", L"YES"}, {L"-Default", L"Quorl Photo Mover", L"YES"}, {}},
        {{L"-default"}, {}, syntax},
        {{L"-default", L"Viewer"}, {}, syntax},
        {{L"-DEFAULT", L"Viewer", L"yes", L"now"}, {}, syntax},
        {{L"/install"}, {}, {}},
        {{L"install"}, {}, {}},
        {{L"-installer"}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        Fresh();
        EXPECT_EQ(c.words, Parse(c.arguments));
        EXPECT_EQ(c.console, TheMachine().ConsoleLines());
    }
    Fresh();
    TheMachine().FailSeamCall(1, sim::Machine::FaultKind::Error); // splitting the command line
    EXPECT_TRUE(Parse({}).empty());
    EXPECT_TRUE(TheMachine().ConsoleLines().empty());
}

using Flags = std::vector<std::optional<std::uint32_t>>; // Alpha's user and machine flag, then Bravo's

class DefaultStatusTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        AddRunKey();
        alpha = AddApp(L"A", L"Alpha");
        bravo = AddApp(L"B", L"Bravo");
    }
    void SetFlags(const Flags& flags) {
        for (std::size_t i = 0; i < 4; ++i)
            SetPref(i % 2 ? kHKLM : kHKCU, i < 2 ? alpha : bravo, L"DefaultFlag", *flags[i]);
    }
    Flags AllFlags() {
        return {Flag(kHKCU, alpha), Flag(kHKLM, alpha), Flag(kHKCU, bravo), Flag(kHKLM, bravo)};
    }
    bool Set(std::wstring name, std::wstring status) {
        return handler.SetApplicationDefaultStatus(name, status);
    }
    Strings Defaults() {
        std::vector<appInfo_tag> defaults;
        handler.GetDefaultApplicationInfo(defaults);
        return Names(defaults);
    }
    CQELBootCommandHandler handler;
    std::wstring alpha, bravo;
};

// "yes" clears every application's flag and sets the named one's; "no" clears only the named one's; both
// in both hives, silently, and the list is loaded again afterwards.
TEST_F(DefaultStatusTest, YesOrNoInAnyCaseWritesFlagsInBothHivesAndReloads) {
    const struct {
        const wchar_t* name;
        const wchar_t* status;
        Flags after;
        Strings defaults;
    } steps[] = {
        {L"Bravo", L"yes", {0, 0, 1, 1}, {L"Bravo"}},
        {L"Alpha", L"YES", {1, 1, 0, 0}, {L"Alpha"}},
        {L"Bravo", L"yes", {0, 0, 1, 1}, {L"Bravo"}},
        {L"Bravo", L"No", {0, 0, 0, 0}, {}},
    };
    SetFlags({1, 1, 0, 0});
    for (const auto& step : steps) {
        SCOPED_TRACE(Narrow(step.name + std::wstring(L" ") + step.status));
        EXPECT_TRUE(Set(step.name, step.status));
        EXPECT_EQ(step.after, AllFlags());
        EXPECT_EQ(step.defaults, Defaults());
    }
    SetFlags({1, 1, 1, 1});
    EXPECT_TRUE(Set(L"Alpha", L"NO"));
    EXPECT_EQ((Flags{0, 0, 1, 1}), AllFlags());
    EXPECT_TRUE(TheMachine().ConsoleLines().empty());
}

// A refused call makes the registry calls of one order maintenance, which it does first, and no other.
TEST_F(DefaultStatusTest, UnknownNameOrStatusWordIsRefusedWithItsLinesAfterMaintainingOrderAndNothingElse) {
    const Flags flags{1, 7, 3, 5};
    SetFlags(flags);
    const std::size_t oneMaintenance = MaintainOrderRegistryCalls(); // the user's keys exist: nothing is made
    SetRunEntry(L"<run>");
    const Strings unknownName{kInvalidFirstLine, kNotRegisteredLine};
    const struct {
        const wchar_t* name;
        const wchar_t* status;
        Strings lines;
    } cases[] = {
        {L"alpha", L"bogus", unknownName},         {L"Zulu", L"yes", unknownName},
        {L"Bravo", L"y", {kInvalidSecondLine}},    {L"Bravo", L"1", {kInvalidSecondLine}},
        {L"Bravo", L"true", {kInvalidSecondLine}}, {L"Bravo", L"", {kInvalidSecondLine}},
        {L"Bravo", L"yes ", {kInvalidSecondLine}}, {L"Bravo", L"nope", {kInvalidSecondLine}},
    };
    std::size_t printed = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(std::wstring(c.name) + L" " + c.status));
        const std::size_t before = TheMachine().RegistryCallCount();
        EXPECT_FALSE(Set(c.name, c.status));
        EXPECT_EQ(oneMaintenance, TheMachine().RegistryCallCount() - before);
        const auto& console = TheMachine().ConsoleLines();
        EXPECT_EQ(c.lines, Strings(console.begin() + static_cast<std::ptrdiff_t>(printed), console.end()));
        printed = console.size();
        EXPECT_EQ(flags, AllFlags());
    }
    EXPECT_EQ(Quoted(ProxyFile(L"Alpha")), RunEntry());
    EXPECT_EQ((Strings{L"Alpha", L"Bravo"}), Names(handler.apps));
}

TEST_F(DefaultStatusTest, SetDefaultFlagWritesEachHiveWhereKeyOpensForWriting) {
    const std::wstring prefs = alpha + L"\\Preferences";
    SetFlags({9, 9, 9, 9});
    SetDefaultFlag(prefs, 4);
    EXPECT_EQ((Flags{4, 4, 9, 9}), AllFlags());
    TheMachine().DenyWrite(kHKLM, prefs);
    SetDefaultFlag(prefs, 0);
    EXPECT_EQ((Flags{0, 4, 9, 9}), AllFlags());
    TheMachine().DenyWrite(kHKCU, bravo + L"\\Preferences");
    SetDefaultFlag(bravo + L"\\Preferences", 1);
    EXPECT_EQ((Flags{0, 4, 9, 1}), AllFlags());

    const std::wstring missing = RegistrationPath(L"C") + L"\\Preferences";
    SetDefaultFlag(missing, 1);
    EXPECT_FALSE(TheMachine().KeyExists(kHKCU, missing));
    EXPECT_FALSE(TheMachine().KeyExists(kHKLM, missing));
}

} // namespace
} // namespace qel::simtest
