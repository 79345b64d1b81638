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
    // A switch call's answer and the user's stored value after it.
    using Answer = std::pair<bool, std::optional<std::uint32_t>>;
    Answer Get() { return {handler.GetQELLaunchStatus(), Stored()}; }
    Answer Set(long status) { return {handler.SetQELLaunchStatus(status), Stored()}; }
    std::wstring Locale(bool expected) {
        std::wstring locale = L"<locale>";
        EXPECT_EQ(expected, handler.GetQELLocaleString(locale));
        return locale;
    }
    CQELBootInformationHandler handler;
};

// On unless stored as 0; a first read stores 1; both only in a user's key that exists and can be written.
TEST_F(LaunchStatusTest, SwitchIsOnUnlessStoredZeroStartsAtOneAndIsSetWhereUserKeyIsWritable) {
    EXPECT_EQ(Answer(true, std::nullopt), Get()); // the application's key only in the machine hive
    EXPECT_EQ(Answer(false, std::nullopt), Set(0));
    EXPECT_FALSE(TheMachine().KeyExists(kHKCU, kMaker));

    TheMachine().CreateKey(kHKCU, kAppKey);
    EXPECT_EQ(Answer(true, 1), Get());
    EXPECT_EQ(Answer(true, 0), Set(0));
    EXPECT_EQ(Answer(false, 0), Get());
    EXPECT_EQ(Answer(true, 5), Set(5));
    EXPECT_EQ(Answer(true, 5), Get());
    EXPECT_EQ(Answer(true, 0xFFFFFFFEu), Set(-2));
    EXPECT_EQ(Answer(true, 0xFFFFFFFEu), Get());
    Store(0xFFFFFFFFu); // reads like a missing value and is rewritten
    EXPECT_EQ(Answer(true, 1), Get());
    Store(0);
    TheMachine().DenyRead(kHKCU, kAppKey);
    EXPECT_EQ(Answer(true, 0), Get());

    Fresh();
    TheMachine().CreateKey(kHKCU, kAppKey);
    TheMachine().DenyWrite(kHKCU, kAppKey);
    EXPECT_EQ(Answer(true, std::nullopt), Get());
    EXPECT_EQ(Answer(false, std::nullopt), Set(0));
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
    EXPECT_EQ(Answer(true, 0), Get());
    EXPECT_EQ(Answer(false, 0), Set(5));
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
    EXPECT_EQ(Answer(true, 0), Set(7));
    TheMachine().ThrowOnRegistryCall(MaintainOrderRegistryCalls() + 1);
    EXPECT_EQ(L"en_us", Locale(false));
    TheMachine().ThrowOnRegistryCall(0);
    EXPECT_EQ(L"de_de", Locale(true));
}

} // namespace
} // namespace qel::simtest
