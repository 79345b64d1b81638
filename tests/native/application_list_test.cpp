// Discovering registrations below SOFTWARE\Quorl, filtering them into the loaded list, and the three queries
// on that list.

#include <algorithm>

#include "registry/discovery.h"
#include "sim_fixture.h"

namespace qel::simtest {
namespace {

using DiscoveryTest = SimTest;

// Breadth first below the maker key, after the records found before: a key named exactly "Quorl Vandrel" is a
// registration, not walked into; keys that cannot be read are skipped, but an unreadable registration still
// gives a record, an empty one; a key whose name reads as empty is skipped.
TEST_F(DiscoveryTest, AppendsBreadthFirstARecordPerKeyNamedExactlyAsRegistration) {
    std::vector<appInfo_tag> found{SentinelRecord()};
    DiscoverApplications(found); // without the maker key
    AddApp(L"Alpha\\Deep\\Deeper", L"Deepest");
    AddApp(L"Alpha\\Deep", L"AlphaDeep");
    AddApp(L"Beta\\Inner", L"BetaInner");
    AddApp(L"Gamma", L"Gamma");
    AddApp(L"Gamma\\Quorl Vandrel", L"Nested");
    AddApp(L"Alpha", L"Alpha");
    AddApp(L"", L"Direct");
    AddApp(L"Lower\\quorl vandrel", L"Inside");
    TheMachine().SetString(kHKLM, kMaker + L"\\Upper\\QUORL VANDREL", L"Name", L"Upper");
    AddApp(L"Locked\\Inner", L"Hidden");
    TheMachine().DenyRead(kHKLM, kMaker + L"\\Locked");
    AddApp(L"Unreadable", L"Unreadable");
    TheMachine().DenyRead(kHKLM, RegistrationPath(L"Unreadable"));
    AddApp(std::wstring(1, L'\0') + L"Null", L"NullNamed");
    DiscoverApplications(found);
    EXPECT_EQ((Strings{L"<name>", L"Direct", L"Alpha", L"Gamma", L"", L"AlphaDeep", L"BetaInner", L"Inside",
                       L"Deepest"}),
              Names(found));
    EXPECT_EQ(Fields(SentinelRecord()), Fields(found[0]));
    EXPECT_EQ(std::make_tuple(std::wstring(), std::wstring()),
              std::tie(found.at(4).keyPath, found[4].cmdLine));
}

TEST_F(DiscoveryTest, NameOf128CharactersEndsItsParentsEnumeration) {
    AddApp(L"Aaa\\Sub", L"QueuedEarlier");
    AddApp(L"B" + std::wstring(126, L'x'), L"Name127");
    AddApp(L"C" + std::wstring(127, L'x'), L"Name128");
    AddApp(L"Ddd", L"AfterLongName");
    std::vector<appInfo_tag> found;
    DiscoverApplications(found);
    EXPECT_EQ((Strings{L"Name127", L"QueuedEarlier"}), Names(found));
}

class ApplicationListTest : public SimTest {
protected:
    Strings Load() {
        handler.LoadInformation();
        return Names(handler.apps);
    }
    CQELBootInformationHandler handler;
};

TEST_F(ApplicationListTest, OnlyRegistrationsWithProgramProxyAndAutoLaunchAreListed) {
    AddApp(L"Listed", L"Listed");
    AddApp(L"NoProgram", L"NoProgram", false);
    TheMachine().AddFile(ProxyFile(L"NoProgram"));
    AddApp(L"NoProxy", L"NoProxy", false);
    TheMachine().AddFile(ProgramFile(L"NoProxy"));
    TheMachine().SetString(kHKLM, RegistrationPath(L"NoCmdLine"), L"Name", L"NoCmdLine");
    TheMachine().SetString(kHKLM, RegistrationPath(L"NoCmdLine"), L"ProxyPath", ProxyFile(L"Listed"));
    SetPref(kHKLM, AddApp(L"Off", L"Off"), L"AutoLaunchOnDeviceConnect", 1);
    SetPref(kHKLM, AddApp(L"Two", L"Two"), L"AutoLaunchOnDeviceConnect", 2);
    EXPECT_EQ((Strings{L"Listed", L"Two"}), Load());
}

TEST_F(ApplicationListTest, QueriesCopyWholeRecordsFromListAndApplicationInfoIsFirstExactName) {
    SetPref(kHKLM, AddApp(L"A", L"Viewer"), L"DefaultFlag", 4);
    AddApp(L"B", L"Bravo");
    SetPref(kHKLM, AddApp(L"C", L"Viewer"), L"DefaultFlag", 2);
    EXPECT_EQ((Strings{L"Viewer", L"Bravo", L"Viewer"}), Load());
    std::vector<appInfo_tag> all(4, SentinelRecord());
    EXPECT_TRUE(handler.GetAllApplicationInfo(all));
    EXPECT_TRUE(std::equal(all.begin(), all.end(), handler.apps.begin(), handler.apps.end(),
                           [](const auto& a, const auto& b) { return Fields(a) == Fields(b); }));

    std::vector<appInfo_tag> defaults{SentinelRecord()};
    EXPECT_TRUE(handler.GetDefaultApplicationInfo(defaults));
    EXPECT_EQ((Strings{L"<keypath>", RegistrationPath(L"A"), RegistrationPath(L"C")}),
              Names(defaults, &appInfo_tag::keyPath));
    EXPECT_EQ(2u, defaults.back().defaultFlag);

    appInfo_tag out = SentinelRecord();
    EXPECT_FALSE(handler.GetApplicationInfo(L"viewer", out) || handler.GetApplicationInfo(L"Viewer ", out));
    EXPECT_EQ(Fields(SentinelRecord()), Fields(out));
    EXPECT_TRUE(handler.GetApplicationInfo(L"Viewer", out));
    EXPECT_EQ(Fields(RecordOf(L"Viewer", RegistrationPath(L"A"), 4, {})), Fields(out));
}

} // namespace
} // namespace qel::simtest
