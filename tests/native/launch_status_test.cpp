// The calling proxy's own per-user launch switch and its application's locale.

#include "sim_fixture.h"

namespace qel::simtest {
namespace {

const std::wstring kAppKey = L"SOFTWARE\\Quorl\\Viewer";

class LaunchStatusTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        AddRunKey();
        AddApp(L"Viewer", L"Viewer");
        TheMachine().SetSelf(ProxyFile(L"Viewer"));
    }
    static std::optional<std::uint32_t> Stored() { return DwordValue(kHKCU, kAppKey, L"qellaunchstatus"); }
    static void Store(std::uint32_t value) {
        TheMachine().SetDword(kHKCU, kAppKey, L"qellaunchstatus", value);
    }
    std::wstring Locale(bool expected) {
        std::wstring locale = L"<locale>";
        EXPECT_EQ(expected, handler.GetQELLocaleString(locale));
        return locale;
    }
    CQELBootInformationHandler handler;
};

// On unless stored as 0; a first read stores 1; both only in a user's key that exists and can be written.
TEST_F(LaunchStatusTest, SwitchIsOnUnlessStoredZeroStartsAtOneAndIsSetWhereUserKeyIsWritable) {
    EXPECT_TRUE(handler.GetQELLaunchStatus()); // the application's key only in the machine hive
    EXPECT_FALSE(handler.SetQELLaunchStatus(0));
    EXPECT_FALSE(TheMachine().KeyExists(kHKCU, kMaker));

    TheMachine().CreateKey(kHKCU, kAppKey);
    EXPECT_TRUE(handler.GetQELLaunchStatus());
    EXPECT_EQ(1u, Stored());
    const struct {
        long status;
        std::uint32_t stored;
        bool on;
    } sets[] = {{0, 0, false}, {5, 5, true}, {-2, 0xFFFFFFFEu, true}};
    for (const auto& set : sets) {
        EXPECT_TRUE(handler.SetQELLaunchStatus(set.status));
        EXPECT_EQ(set.stored, Stored());
        EXPECT_EQ(set.on, handler.GetQELLaunchStatus());
    }
    Store(0xFFFFFFFFu); // reads like a missing value and is rewritten
    EXPECT_TRUE(handler.GetQELLaunchStatus());
    EXPECT_EQ(1u, Stored());
    Store(0);
    TheMachine().DenyRead(kHKCU, kAppKey);
    EXPECT_TRUE(handler.GetQELLaunchStatus());
    EXPECT_EQ(0u, Stored());

    Fresh();
    TheMachine().CreateKey(kHKCU, kAppKey);
    TheMachine().DenyWrite(kHKCU, kAppKey);
    EXPECT_TRUE(handler.GetQELLaunchStatus());
    EXPECT_FALSE(handler.SetQELLaunchStatus(0));
    EXPECT_EQ(std::nullopt, Stored());
}

TEST_F(LaunchStatusTest, LocaleIsMachineValueExactlyAsStoredElseEnUsAsForAnyUnlistedCaller) {
    TheMachine().SetString(kHKCU, kAppKey, L"locale", L"fr_fr"); // the user's hive is not asked
    EXPECT_EQ(L"en_us", Locale(false));
    TheMachine().SetString(kHKLM, kAppKey, L"locale", L"");
    EXPECT_EQ(L"en_us", Locale(false));
    TheMachine().SetString(kHKLM, kAppKey, L"locale", L"De_CH ");
    EXPECT_EQ(L"De_CH ", Locale(true));

    TheMachine().SetSelf(L"C:\\Apps\\Viewer\\Other.exe"); // not a listed proxy: defaults, nothing written
    Store(0);
    EXPECT_EQ(L"en_us", Locale(false));
    EXPECT_TRUE(handler.GetQELLaunchStatus());
    EXPECT_FALSE(handler.SetQELLaunchStatus(5));
    EXPECT_EQ(0u, Stored());
}

// The application's own key, where the switch and the locale are kept, is the registration's keyPath cut
// before its first "\Quorl Vandrel".
TEST_F(LaunchStatusTest, ApplicationKeyIsRegistrationPathCutAtFirstExactOccurrence) {
    const struct {
        const wchar_t* appKey;
        std::wstring ownKey, otherKey;
    } cases[] = {
        {L"Quorl Vandrel Suite", kMaker, kMaker + L"\\Quorl Vandrel Suite"},
        {L"Tools\\quorl vandrel kit", kMaker + L"\\Tools\\quorl vandrel kit", kMaker + L"\\Tools"},
        {L"", kMaker, RegistrationPath(L"")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.appKey));
        sim::Machine::Reset();
        AddApp(c.appKey, L"Own");
        TheMachine().SetSelf(ProxyFile(L"Own"));
        TheMachine().SetString(kHKLM, c.ownKey, L"locale", L"xx_own");
        TheMachine().SetString(kHKLM, c.otherKey, L"locale", L"xx_other");
        EXPECT_EQ(L"xx_own", Locale(true));
    }
}

TEST_F(LaunchStatusTest, ExhaustedMemoryGivesOnForBothSwitchCallsAndEnUs) {
    Store(0);
    TheMachine().SetString(kHKLM, kAppKey, L"locale", L"de_de");
    EXPECT_FALSE(handler.GetQELLaunchStatus()); // settles the machine

    // Each query maintains the order first: the next registry call after one maintenance is its own first
    // one.
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

} // namespace
} // namespace qel::simtest
