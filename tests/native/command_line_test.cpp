// The boot executable's command words, and the -default command that makes one application the default.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "launch/command_handler.h"
#include "qelboot.h"
#include "sim_fixture.h"

namespace qel {
namespace {

using namespace simtest;

const std::wstring kSyntaxLine = L"\n !!! Please follow the syntax:";
const std::wstring kUsageLine = L"\n [Qualified path]\\qelboot.exe -default [app name] [yes | no] \n";
const std::wstring kInvalidFirstLine = L"\n !!! Invalid first argument value.";
const std::wstring kNotRegisteredLine = L"\n !!! This application is not registered as QEL compatible.";
const std::wstring kInvalidSecondLine = L"\n !!! Invalid second argument value.";
const std::wstring kBoot = L"C:\\Program Files\\Quorl\\qelboot.exe";

class CommandWordsTest : public SimTest {
protected:
    Strings Parse(Strings arguments) {
        TheMachine().SetCommandLine(std::move(arguments));
        Strings words{L"<earlier>"};
        handler.ParseCommandLineParameter(words);
        return words;
    }
    CQELBootCommandHandler handler;
};

TEST_F(CommandWordsTest, NoArgumentsGiveInstallAfterEarlierWords) {
    EXPECT_EQ((Strings{L"<earlier>", L"-install"}), Parse({kBoot}));
    EXPECT_TRUE(TheMachine().ConsoleLines().empty());
}

TEST_F(CommandWordsTest, InstallAndUninstallKeepTypedCaseAndIgnoreFurtherArguments) {
    EXPECT_EQ((Strings{L"<earlier>", L"-Install"}), Parse({kBoot, L"-Install", L"foo", L"bar"}));
    EXPECT_EQ((Strings{L"<earlier>", L"-UNINSTALL"}), Parse({kBoot, L"-UNINSTALL", L"now"}));
}

TEST_F(CommandWordsTest, DefaultWithTwoWordsGivesThreeWordsAsTyped) {
    EXPECT_EQ((Strings{L"<earlier>", L"-Default", L"Quorl Photo Mover", L"YES"}),
              Parse({kBoot, L"-Default", L"Quorl Photo Mover", L"YES"}));
    EXPECT_TRUE(TheMachine().ConsoleLines().empty());
}

TEST_F(CommandWordsTest, DefaultWithOtherWordCountPrintsSyntaxAndGivesNothing) {
    const std::vector<Strings> wrong{{kBoot, L"-default"},
                                     {kBoot, L"-default", L"Viewer"},
                                     {kBoot, L"-DEFAULT", L"Viewer", L"yes", L"now"}};
    std::size_t lines = 0;
    for (const auto& arguments : wrong) {
        SCOPED_TRACE(arguments.size());
        EXPECT_EQ((Strings{L"<earlier>"}), Parse(arguments));
        const auto& console = TheMachine().ConsoleLines();
        ASSERT_EQ(lines + 2, console.size());
        EXPECT_EQ(kSyntaxLine, console[lines]);
        EXPECT_EQ(kUsageLine, console[lines + 1]);
        lines += 2;
    }
}

TEST_F(CommandWordsTest, UnrecognisedFirstWordGivesNothingAndPrintsNothing) {
    EXPECT_EQ((Strings{L"<earlier>"}), Parse({kBoot, L"/install"}));
    EXPECT_EQ((Strings{L"<earlier>"}), Parse({kBoot, L"install"}));
    EXPECT_EQ((Strings{L"<earlier>"}), Parse({kBoot, L"-installer"}));
    EXPECT_TRUE(TheMachine().ConsoleLines().empty());
}

TEST_F(CommandWordsTest, FailedSplitGivesNothingAndPrintsNothing) {
    TheMachine().FailCommandLineSplit(true);
    EXPECT_EQ((Strings{L"<earlier>"}), Parse({kBoot}));
    EXPECT_TRUE(TheMachine().ConsoleLines().empty());
}

// --- -default ------------------------------------------------------------------------------------------

class DefaultStatusTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        AddRunKey();
        alpha = AddApp(L"A", L"Alpha");
        bravo = AddApp(L"B", L"Bravo");
    }
    void SetFlags(const std::wstring& keyPath, std::uint32_t user, std::uint32_t machine) {
        SetPref(kHKCU, keyPath, L"DefaultFlag", user);
        SetPref(kHKLM, keyPath, L"DefaultFlag", machine);
    }
    std::optional<std::uint32_t> Flag(os::Hive hive, const std::wstring& keyPath) {
        return TheMachine().GetDword(hive, keyPath + L"\\Preferences", L"DefaultFlag");
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

TEST_F(DefaultStatusTest, YesForBClearsAInBothHivesAndSetsB) {
    SetFlags(alpha, 1, 1);
    SetFlags(bravo, 0, 0);
    EXPECT_TRUE(Set(L"Bravo", L"yes"));
    EXPECT_EQ(0u, Flag(kHKCU, alpha));
    EXPECT_EQ(0u, Flag(kHKLM, alpha));
    EXPECT_EQ(1u, Flag(kHKCU, bravo));
    EXPECT_EQ(1u, Flag(kHKLM, bravo));
    EXPECT_EQ((Strings{L"Bravo"}), Defaults()); // the list was reloaded afterwards
    EXPECT_TRUE(TheMachine().ConsoleLines().empty());
}

TEST_F(DefaultStatusTest, UpperCaseYesIsAccepted) {
    SetFlags(alpha, 1, 1);
    SetFlags(bravo, 0, 0);
    EXPECT_TRUE(Set(L"Bravo", L"YES"));
    EXPECT_EQ(0u, Flag(kHKCU, alpha));
    EXPECT_EQ(1u, Flag(kHKCU, bravo));
    EXPECT_EQ(1u, Flag(kHKLM, bravo));
}

TEST_F(DefaultStatusTest, NoTakesStatusFromNamedApplicationOnly) {
    SetFlags(alpha, 1, 1);
    SetFlags(bravo, 1, 1);
    EXPECT_TRUE(Set(L"Alpha", L"NO"));
    EXPECT_EQ(0u, Flag(kHKCU, alpha));
    EXPECT_EQ(0u, Flag(kHKLM, alpha));
    EXPECT_EQ(1u, Flag(kHKCU, bravo));
    EXPECT_EQ(1u, Flag(kHKLM, bravo));
}

TEST_F(DefaultStatusTest, NoForOnlyDefaultLeavesNoneDefault) {
    SetFlags(alpha, 1, 1);
    SetFlags(bravo, 0, 0);
    EXPECT_TRUE(Set(L"Alpha", L"No"));
    EXPECT_TRUE(Defaults().empty());
    EXPECT_EQ(0u, Flag(kHKLM, alpha));
}

TEST_F(DefaultStatusTest, MissingMachinePreferencesAreNotCreated) {
    SetPref(kHKCU, bravo, L"DefaultFlag", 0);
    EXPECT_TRUE(Set(L"Bravo", L"yes"));
    EXPECT_EQ(1u, Flag(kHKCU, bravo));
    EXPECT_FALSE(TheMachine().KeyExists(kHKLM, bravo + L"\\Preferences"));
    EXPECT_FALSE(TheMachine().KeyExists(kHKLM, alpha + L"\\Preferences"));
}

TEST_F(DefaultStatusTest, UnwritableUserKeyIsSkippedAndMachineIsWritten) {
    SetFlags(bravo, 0, 0);
    TheMachine().DenyWrite(kHKCU, bravo + L"\\Preferences");
    EXPECT_TRUE(Set(L"Bravo", L"yes"));
    EXPECT_EQ(0u, Flag(kHKCU, bravo));
    EXPECT_EQ(1u, Flag(kHKLM, bravo));
}

TEST_F(DefaultStatusTest, NameDifferingInCaseIsRefusedWithBothLines) {
    SetFlags(alpha, 3, 5);
    EXPECT_FALSE(Set(L"alpha", L"bogus"));
    EXPECT_EQ((Strings{kInvalidFirstLine, kNotRegisteredLine}), TheMachine().ConsoleLines());
    EXPECT_EQ(3u, Flag(kHKCU, alpha));
    EXPECT_EQ(5u, Flag(kHKLM, alpha));
}

TEST_F(DefaultStatusTest, StatusWordsOtherThanYesOrNoAreRefusedWithNothingWritten) {
    SetFlags(alpha, 1, 7);
    SetFlags(bravo, 3, 5);
    std::size_t lines = 0;
    for (const std::wstring word : {L"y", L"1", L"true", L"", L"yes ", L"nope"}) {
        SCOPED_TRACE(std::string(word.begin(), word.end()));
        EXPECT_FALSE(Set(L"Bravo", word));
        ASSERT_EQ(++lines, TheMachine().ConsoleLines().size());
        EXPECT_EQ(kInvalidSecondLine, TheMachine().ConsoleLines().back());
    }
    EXPECT_EQ(1u, Flag(kHKCU, alpha));
    EXPECT_EQ(7u, Flag(kHKLM, alpha));
    EXPECT_EQ(3u, Flag(kHKCU, bravo));
    EXPECT_EQ(5u, Flag(kHKLM, bravo));
}

TEST_F(DefaultStatusTest, RefusalComesAfterOneOrderMaintenanceAndNothingElse) {
    TheMachine().CreateKey(kHKCU, kMaker);
    SetPref(kHKLM, bravo, L"DefaultFlag", 5);
    TheMachine().SetString(kHKLM, kRunKeyPath, kRunValueName, L"<run>");
    EXPECT_FALSE(Set(L"Bravo", L"maybe"));
    // The first maintenance loaded the list, which creates the user's keys, and pointed the entry at the
    // first proxy.
    EXPECT_EQ(Quoted(ProxyFile(L"Alpha")), RunEntry());
    EXPECT_EQ(0u, Flag(kHKCU, bravo));
    EXPECT_EQ(5u, Flag(kHKLM, bravo));
    EXPECT_EQ((Strings{L"Alpha", L"Bravo"}), Names(handler.apps));

    // On the now settled machine, a refused call makes exactly the registry calls of one maintenance.
    const std::size_t oneMaintenance = MaintainOrderRegistryCalls();
    const std::size_t before = TheMachine().RegistryCallCount();
    EXPECT_FALSE(Set(L"Bravo", L"maybe"));
    EXPECT_EQ(oneMaintenance, TheMachine().RegistryCallCount() - before);
    const std::size_t beforeUnknown = TheMachine().RegistryCallCount();
    EXPECT_FALSE(Set(L"Zulu", L"yes"));
    EXPECT_EQ(oneMaintenance, TheMachine().RegistryCallCount() - beforeUnknown);
}

TEST_F(DefaultStatusTest, SetDefaultFlagWritesEachHiveWhereKeyOpensForWriting) {
    SetFlags(alpha, 9, 9);
    SetDefaultFlag(alpha + L"\\Preferences", 4);
    EXPECT_EQ(4u, Flag(kHKCU, alpha));
    EXPECT_EQ(4u, Flag(kHKLM, alpha));
    TheMachine().DenyWrite(kHKLM, alpha + L"\\Preferences");
    SetDefaultFlag(alpha + L"\\Preferences", 0);
    EXPECT_EQ(0u, Flag(kHKCU, alpha));
    EXPECT_EQ(4u, Flag(kHKLM, alpha));
    SetDefaultFlag(bravo + L"\\Preferences", 1);
    EXPECT_FALSE(TheMachine().KeyExists(kHKCU, bravo + L"\\Preferences"));
    EXPECT_FALSE(TheMachine().KeyExists(kHKLM, bravo + L"\\Preferences"));
}

using DefaultStatusDeathTest = DefaultStatusTest;

TEST_F(DefaultStatusDeathTest, NoApplicationRegisteredEndsProcessBeforeAnyCheck) {
    sim::Machine::Reset();
    ExpectEndsProcessForNoApplication([this] { Set(L"Alpha", L"bogus"); });
}

} // namespace
} // namespace qel
