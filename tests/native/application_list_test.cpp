// Discovering registrations below SOFTWARE\Quorl, filtering them into the loaded list, and the three queries
// on that list.

#include <algorithm>

#include "registry/app_records.h"
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

TEST_F(ApplicationListTest, EveryLoadGivesFreshListWithoutDuplicatesEvenWithoutMakerKey) {
    handler.apps.push_back(SentinelRecord());
    EXPECT_TRUE(Load().empty());
    const std::wstring keyPath = AddApp(L"One", L"One");
    AddApp(L"Two\\Deep", L"Two");
    for (int load = 0; load < 2; ++load)
        EXPECT_EQ((Strings{L"One", L"Two"}), Load());
    TheMachine().SetString(kHKLM, keyPath, L"CmdLine", L"C:\\Gone\\One.exe");
    EXPECT_EQ((Strings{L"Two"}), Load());
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

TEST_F(ApplicationListTest, MemoryExhaustionKeepsRecordsAppendedSoFarAndNeverThrows) {
    const auto build = [] {
        TheMachine().CreateKey(kHKCU, kMaker);
        SetFormat(AddApp(L"A", L"Alpha"), L"Image", L"jpg png");
        AddApp(L"B\\Deep", L"Deep");
        SetPref(kHKLM, AddApp(L"C", L"Gamma"), L"DefaultFlag", 1);
    };
    build();
    Load();
    const std::vector<appInfo_tag> full = handler.apps;
    ASSERT_EQ((Strings{L"Alpha", L"Gamma", L"Deep"}), Names(full));
    const std::size_t calls = TheMachine().RegistryCallCount();

    bool keptFirstOnly = false;
    for (std::size_t n = 1; n <= calls + 1; ++n) {
        SCOPED_TRACE(n);
        sim::Machine::Reset();
        build();
        handler.apps = {SentinelRecord()};
        TheMachine().ThrowOnRegistryCall(n);
        EXPECT_NO_THROW(handler.LoadInformation());
        ExpectNoOpenKey();

        // Every listed record is one of the full list, in the same order.
        auto next = full.begin();
        for (const auto& record : handler.apps) {
            next = std::find_if(next, full.end(), [&](const auto& r) { return r.keyPath == record.keyPath; });
            ASSERT_NE(full.end(), next) << "unexpected or out-of-order record";
            EXPECT_EQ(std::tie(next->name, next->proxyPath, next->cmdLine),
                      std::tie(record.name, record.proxyPath, record.cmdLine));
            ++next;
        }
        keptFirstOnly =
            keptFirstOnly || (handler.apps.size() == 1 && Fields(full[0]) == Fields(handler.apps[0]));
    }
    EXPECT_EQ(Names(full), Names(handler.apps)); // the last call had no exhaustion point left
    EXPECT_TRUE(keptFirstOnly) << "no exhaustion point kept the first record and stopped the walk";
}

// Values of every type and size, and texts far beyond any buffer: nothing crashes, and each record holds the
// whole code units of its registration's values.
TEST_F(DiscoveryTest, SurvivesHostileRegistrationsAndReadsWhatTheySay) {
    // Bytes never 0, so no code unit is a null or a space.
    const auto junk = [](std::size_t size, unsigned seed) {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>(1 + (i * 37 + seed * 11) % 254);
        return bytes;
    };
    // An odd last byte may give one character more.
    const auto expectJunk = [&junk](const std::wstring& value, std::size_t size, unsigned seed) {
        const auto bytes = junk(size, seed);
        std::wstring text;
        for (std::size_t i = 0; i + 1 < size; i += 2)
            text.push_back(static_cast<wchar_t>(bytes[i] | bytes[i + 1] << 8));
        EXPECT_EQ(text, value.substr(0, size / 2));
        EXPECT_LE(value.size(), size / 2 + size % 2);
    };
    const auto junkKey = [](std::size_t size) { return L"Junk" + std::to_wstring(1000 + size); };
    auto& m = TheMachine();
    constexpr std::size_t kMaxSize = 300;
    for (std::size_t size = 0; size <= kMaxSize; ++size) {
        const std::wstring keyPath = AddApp(junkKey(size), junkKey(size));
        m.SetValue(kHKLM, keyPath, L"Name", os::kRegBinary, junk(size, 1));
        m.SetValue(kHKLM, keyPath, L"Desc", os::kRegDword, junk(size, 2));
        m.SetValue(kHKLM, keyPath, L"ProxyPath", os::kRegBinary, junk(size, 3));
        m.SetValue(kHKLM, keyPath + L"\\File Formats", L"Image", os::kRegBinary, junk(size, 4));
        m.SetValue(kHKLM, keyPath + L"\\Preferences", L"DefaultFlag", os::kRegBinary, junk(size, 5));
    }
    const std::wstring huge(100000, L'h');
    m.SetString(kHKLM, AddApp(L"Huge", L"Huge"), L"Name", huge);
    m.SetUnterminatedString(kHKLM, RegistrationPath(L"Huge"), L"Icon", std::wstring(70000, L'i'));

    std::vector<appInfo_tag> found;
    DiscoverApplications(found);
    ASSERT_EQ(kMaxSize + 2, found.size());
    EXPECT_EQ(huge, found[0].name);
    EXPECT_EQ(std::wstring(70000, L'i'), found[0].icon);
    for (std::size_t size = 0; size <= kMaxSize; ++size) {
        SCOPED_TRACE(size);
        const appInfo_tag& record = found[size + 1];
        ASSERT_EQ(RegistrationPath(junkKey(size)), record.keyPath);
        expectJunk(record.name, size, 1);
        expectJunk(record.desc, size, 2);
        expectJunk(record.proxyPath, size, 3);
        if (size >= 2) {
            ASSERT_EQ(1u, record.fileFormats.size());
            expectJunk(record.fileFormats[0].first, size, 4);
        }
        EXPECT_EQ(0u, record.reserved);
    }
    CQELBootInformationHandler handler; // no junk proxy exists
    handler.LoadInformation();
    EXPECT_EQ(Strings{huge}, Names(handler.apps));
}

} // namespace
} // namespace qel::simtest
