// The calling proxy's own per-user launch switch and its application's locale.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "qelboot.h"
#include "sim_fixture.h"

namespace qel {
namespace {

using namespace simtest;

const std::wstring kAppKey = L"SOFTWARE\\Quorl\\Viewer";

class LaunchStatusTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        AddRunKey();
        AddApp(L"Viewer", L"Viewer");
        TheMachine().SetSelf(ProxyFile(L"Viewer"));
    }
    std::optional<std::uint32_t> Stored(const std::wstring& appKey = kAppKey) {
        return TheMachine().GetDword(kHKCU, appKey, L"qellaunchstatus");
    }
    std::wstring Locale(bool expected) {
        std::wstring locale = L"<locale>";
        EXPECT_EQ(expected, handler.GetQELLocaleString(locale));
        return locale;
    }
    CQELBootInformationHandler handler;
};

TEST_F(LaunchStatusTest, NotAListedProxyGivesDefaultsAndWritesNothing) {
    TheMachine().SetSelf(L"C:\\Apps\\Viewer\\Other.exe");
    TheMachine().SetDword(kHKCU, kAppKey, L"qellaunchstatus", 0);
    TheMachine().SetString(kHKLM, kAppKey, L"locale", L"de_de");
    EXPECT_TRUE(handler.GetQELLaunchStatus());
    EXPECT_FALSE(handler.SetQELLaunchStatus(5));
    EXPECT_EQ(0u, Stored());
    EXPECT_EQ(L"en_us", Locale(false));
}

TEST_F(LaunchStatusTest, ApplicationKeyOnlyInMachineHiveCreatesNoUserKey) {
    EXPECT_TRUE(handler.GetQELLaunchStatus());
    EXPECT_FALSE(handler.SetQELLaunchStatus(0));
    EXPECT_FALSE(TheMachine().KeyExists(kHKCU, kAppKey));
    EXPECT_FALSE(TheMachine().KeyExists(kHKCU, kMaker));
}

TEST_F(LaunchStatusTest, SetZeroTurnsOffAndFiveTurnsOn) {
    TheMachine().CreateKey(kHKCU, kAppKey);
    EXPECT_TRUE(handler.SetQELLaunchStatus(0));
    EXPECT_EQ(0u, Stored());
    EXPECT_FALSE(handler.GetQELLaunchStatus());
    EXPECT_TRUE(handler.SetQELLaunchStatus(5));
    EXPECT_EQ(5u, Stored());
    EXPECT_TRUE(handler.GetQELLaunchStatus());
    const auto stored = TheMachine().GetValue(kHKCU, kAppKey, L"qellaunchstatus");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(os::kRegDword, stored->type);
}

TEST_F(LaunchStatusTest, SetStoresTheBitsOfNegativeStatus) {
    TheMachine().CreateKey(kHKCU, kAppKey);
    EXPECT_TRUE(handler.SetQELLaunchStatus(-2));
    EXPECT_EQ(0xFFFFFFFEu, Stored());
    EXPECT_TRUE(handler.GetQELLaunchStatus());
}

TEST_F(LaunchStatusTest, FirstReadCreatesValueWithOne) {
    TheMachine().CreateKey(kHKCU, kAppKey);
    EXPECT_TRUE(handler.GetQELLaunchStatus());
    EXPECT_EQ(1u, Stored());
    const auto stored = TheMachine().GetValue(kHKCU, kAppKey, L"qellaunchstatus");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(os::kRegDword, stored->type);
}

TEST_F(LaunchStatusTest, AllOnesReadsLikeMissingValueAndIsRewritten) {
    TheMachine().SetDword(kHKCU, kAppKey, L"qellaunchstatus", 0xFFFFFFFFu);
    EXPECT_TRUE(handler.GetQELLaunchStatus());
    EXPECT_EQ(1u, Stored());
}

TEST_F(LaunchStatusTest, UnwritableUserKeyStillReadsOnAndCannotBeSet) {
    TheMachine().CreateKey(kHKCU, kAppKey);
    TheMachine().DenyWrite(kHKCU, kAppKey);
    EXPECT_TRUE(handler.GetQELLaunchStatus());
    EXPECT_FALSE(Stored().has_value());
    EXPECT_FALSE(handler.SetQELLaunchStatus(0));
    EXPECT_FALSE(Stored().has_value());
}

TEST_F(LaunchStatusTest, UnreadableUserKeyReadsOn) {
    TheMachine().SetDword(kHKCU, kAppKey, L"qellaunchstatus", 0);
    TheMachine().DenyRead(kHKCU, kAppKey);
    EXPECT_TRUE(handler.GetQELLaunchStatus());
    EXPECT_EQ(0u, Stored());
}

TEST_F(LaunchStatusTest, LocaleIsReturnedExactlyAsStored) {
    TheMachine().SetString(kHKLM, kAppKey, L"locale", L"De_CH ");
    EXPECT_EQ(L"De_CH ", Locale(true));
}

TEST_F(LaunchStatusTest, EmptyOrMissingLocaleGivesEnUs) {
    TheMachine().SetString(kHKCU, kAppKey, L"locale", L"fr_fr"); // the user's hive is not asked
    EXPECT_EQ(L"en_us", Locale(false));
    TheMachine().SetString(kHKLM, kAppKey, L"locale", L"");
    EXPECT_EQ(L"en_us", Locale(false));
}

TEST_F(LaunchStatusTest, KeyPathWithTwoOccurrencesIsCutAtFirst) {
    sim::Machine::Reset();
    AddApp(L"Quorl Vandrel Suite", L"Suite");
    TheMachine().SetSelf(ProxyFile(L"Suite"));
    TheMachine().SetString(kHKLM, kMaker + L"\\Quorl Vandrel Suite", L"locale", L"xx_suite");
    TheMachine().SetString(kHKLM, kMaker, L"locale", L"xx_maker");
    EXPECT_EQ(L"xx_maker", Locale(true));
}

TEST_F(LaunchStatusTest, CutIsCaseSensitive) {
    sim::Machine::Reset();
    AddApp(L"Tools\\quorl vandrel kit", L"Kit");
    TheMachine().SetSelf(ProxyFile(L"Kit"));
    TheMachine().SetString(kHKLM, kMaker + L"\\Tools\\quorl vandrel kit", L"locale", L"xx_kit");
    TheMachine().SetString(kHKLM, kMaker + L"\\Tools", L"locale", L"xx_tools");
    EXPECT_EQ(L"xx_kit", Locale(true));
}

TEST_F(LaunchStatusTest, RegistrationDirectlyBelowMakerUsesMakerKey) {
    sim::Machine::Reset();
    AddApp(L"", L"Direct");
    TheMachine().SetSelf(ProxyFile(L"Direct"));
    TheMachine().SetString(kHKLM, kMaker, L"locale", L"ja_jp");
    EXPECT_EQ(L"ja_jp", Locale(true));
    TheMachine().CreateKey(kHKCU, kMaker);
    EXPECT_TRUE(handler.SetQELLaunchStatus(0));
    EXPECT_EQ(0u, Stored(kMaker));
}

TEST_F(LaunchStatusTest, EachQueryMaintainsOrderFirst) {
    AddApp(L"Alpha", L"Alpha");
    EXPECT_TRUE(handler.GetQELLaunchStatus());
    EXPECT_EQ(Quoted(ProxyFile(L"Viewer")), RunEntry());
    TheMachine().SetString(kHKLM, kRunKeyPath, kRunValueName, L"<run>");
    std::wstring locale;
    handler.GetQELLocaleString(locale);
    EXPECT_EQ(Quoted(ProxyFile(L"Viewer")), RunEntry());
    EXPECT_EQ((Strings{L"Alpha", L"Viewer"}), Names(handler.apps));
}

TEST_F(LaunchStatusTest, ExhaustedMemoryGivesOnForBothSwitchCallsAndEnUs) {
    TheMachine().SetDword(kHKCU, kAppKey, L"qellaunchstatus", 0);
    TheMachine().SetString(kHKLM, kAppKey, L"locale", L"de_de");
    EXPECT_FALSE(handler.GetQELLaunchStatus()); // settles the machine

    // The next registry call after one maintenance is the call's own first one.
    TheMachine().ThrowOnRegistryCall(MaintainOrderRegistryCalls() + 1);
    EXPECT_TRUE(handler.GetQELLaunchStatus());
    TheMachine().ThrowOnRegistryCall(MaintainOrderRegistryCalls() + 1);
    EXPECT_TRUE(handler.SetQELLaunchStatus(7));
    EXPECT_EQ(0u, Stored());
    TheMachine().ThrowOnRegistryCall(MaintainOrderRegistryCalls() + 1);
    EXPECT_EQ(L"en_us", Locale(false));
    TheMachine().ThrowOnRegistryCall(0);
    EXPECT_EQ(L"de_de", Locale(true));
}

using LaunchStatusDeathTest = LaunchStatusTest;

TEST_F(LaunchStatusDeathTest, NoApplicationRegisteredEndsProcessInsteadOfAnswering) {
    sim::Machine::Reset();
    ExpectEndsProcessForNoApplication([this] { handler.GetQELLaunchStatus(); });
}

} // namespace
} // namespace qel
