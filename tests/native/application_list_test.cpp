// Discovering registrations below SOFTWARE\Quorl, filtering them into the loaded list, and the three queries
// on that list.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "qelboot.h"
#include "registry/app_records.h"
#include "registry/discovery.h"
#include "sim_fixture.h"

namespace qel {
namespace {

using namespace simtest;
using Strings = std::vector<std::wstring>;

class DiscoveryTest : public SimTest {
protected:
    static Strings Discovered() {
        std::vector<appInfo_tag> found;
        DiscoverApplications(found);
        return KeyPaths(found);
    }
};

TEST_F(DiscoveryTest, WithoutMakerKeyFindsNothingAndKeepsList) {
    std::vector<appInfo_tag> found{SentinelRecord()};
    DiscoverApplications(found);
    ASSERT_EQ(1u, found.size());
    EXPECT_TRUE(SameRecord(SentinelRecord(), found[0]));
}

TEST_F(DiscoveryTest, AppendsAfterEarlierRecords) {
    AddApp(L"Viewer", L"Viewer");
    std::vector<appInfo_tag> found{SentinelRecord()};
    DiscoverApplications(found);
    EXPECT_EQ((Strings{L"<keypath>", RegistrationPath(L"Viewer")}), KeyPaths(found));
}

TEST_F(DiscoveryTest, RegistrationDirectlyBelowMakerKeyIsFound) {
    AddApp(L"", L"Direct");
    EXPECT_EQ((Strings{L"SOFTWARE\\Quorl\\Quorl Vandrel"}), Discovered());
}

TEST_F(DiscoveryTest, WalksBreadthFirstWithShallowerRegistrationsFirst) {
    AddApp(L"Alpha\\Deep\\Deeper", L"Deepest");
    AddApp(L"Alpha\\Deep", L"AlphaDeep");
    AddApp(L"Beta\\Inner", L"BetaInner");
    AddApp(L"Gamma", L"Gamma");
    AddApp(L"Alpha", L"Alpha");
    AddApp(L"", L"Direct");
    std::vector<appInfo_tag> found;
    DiscoverApplications(found);
    EXPECT_EQ((Strings{L"Direct", L"Alpha", L"Gamma", L"AlphaDeep", L"BetaInner", L"Deepest"}), Names(found));
}

TEST_F(DiscoveryTest, RegistrationNameIsComparedWithCase) {
    AddApp(L"Lower\\quorl vandrel", L"Inside");
    TheMachine().SetString(kHKLM, kMaker + L"\\Lower\\quorl vandrel", L"Name", L"Lower");
    TheMachine().SetString(kHKLM, kMaker + L"\\Upper\\QUORL VANDREL", L"Name", L"Upper");
    EXPECT_EQ((Strings{kMaker + L"\\Lower\\quorl vandrel\\Quorl Vandrel"}), Discovered());
}

TEST_F(DiscoveryTest, RegistrationKeyIsNotDescendedInto) {
    AddApp(L"Outer", L"Outer");
    AddApp(L"Outer\\Quorl Vandrel", L"Nested");
    AddApp(L"Outer\\Quorl Vandrel\\Sub", L"NestedDeeper");
    EXPECT_EQ((Strings{RegistrationPath(L"Outer")}), Discovered());
}

TEST_F(DiscoveryTest, UnreadableKeyIsSkippedAndSiblingsAreWalked) {
    AddApp(L"Aaa", L"Aaa");
    AddApp(L"Bbb", L"Bbb");
    AddApp(L"Ccc\\Open", L"Open");
    AddApp(L"Ccc\\Locked\\Inner", L"Hidden");
    TheMachine().DenyRead(kHKLM, kMaker + L"\\Bbb");
    TheMachine().DenyRead(kHKLM, kMaker + L"\\Ccc\\Locked");
    EXPECT_EQ((Strings{RegistrationPath(L"Aaa"), RegistrationPath(L"Ccc\\Open")}), Discovered());
}

TEST_F(DiscoveryTest, UnreadableRegistrationKeyGivesEmptyRecord) {
    AddApp(L"Viewer", L"Viewer");
    TheMachine().DenyRead(kHKLM, RegistrationPath(L"Viewer"));
    std::vector<appInfo_tag> found;
    DiscoverApplications(found);
    ASSERT_EQ(1u, found.size());
    EXPECT_EQ(L"", found[0].keyPath);
    EXPECT_EQ(L"", found[0].name);
    EXPECT_EQ(L"", found[0].cmdLine);
}

TEST_F(DiscoveryTest, NameOf128CharactersEndsItsParentsEnumeration) {
    AddApp(L"Aaa\\Sub", L"QueuedEarlier");
    AddApp(L"B" + std::wstring(126, L'x'), L"Name127");
    AddApp(L"C" + std::wstring(127, L'x'), L"Name128");
    AddApp(L"Ddd", L"AfterLongName");
    EXPECT_EQ((Strings{RegistrationPath(L"B" + std::wstring(126, L'x')), RegistrationPath(L"Aaa\\Sub")}),
              Discovered());
}

class ApplicationListTest : public SimTest {
protected:
    Strings Load() {
        handler.LoadInformation();
        return Names(handler.apps);
    }
    CQELBootInformationHandler handler;
};

TEST_F(ApplicationListTest, WithoutMakerKeyListIsEmptyAndQueriesAnswer) {
    handler.apps.push_back(SentinelRecord());
    EXPECT_TRUE(Load().empty());
    std::vector<appInfo_tag> all{SentinelRecord()};
    EXPECT_TRUE(handler.GetAllApplicationInfo(all));
    EXPECT_TRUE(all.empty());
    std::vector<appInfo_tag> defaults{SentinelRecord()};
    EXPECT_TRUE(handler.GetDefaultApplicationInfo(defaults));
    EXPECT_EQ(1u, defaults.size());
    appInfo_tag out = SentinelRecord();
    EXPECT_FALSE(handler.GetApplicationInfo(L"<name>", out));
}

TEST_F(ApplicationListTest, ListedRecordCarriesEveryField) {
    const std::wstring keyPath = AddApp(L"Viewer", L"Viewer");
    SetFormat(keyPath, L"Video", L"mp4  wmv");
    SetPref(kHKLM, keyPath, L"DefaultFlag", 4);
    Load();
    ASSERT_EQ(1u, handler.apps.size());
    const appInfo_tag& record = handler.apps[0];
    EXPECT_EQ(L"Viewer", record.name);
    EXPECT_EQ(ProxyFile(L"Viewer"), record.proxyPath);
    EXPECT_EQ(L"Viewer description", record.desc);
    EXPECT_EQ(ProgramFile(L"Viewer"), record.cmdLine);
    EXPECT_EQ(ProgramFile(L"Viewer") + L", 1", record.icon);
    EXPECT_EQ(keyPath, record.keyPath);
    EXPECT_EQ(4u, record.defaultFlag);
    EXPECT_EQ(0u, record.reserved);
    EXPECT_EQ((FileFormatList{{L"mp4", L"Video"}, {L"wmv", L"Video"}}), record.fileFormats);
}

TEST_F(ApplicationListTest, MissingProgramFileIsNotListed) {
    AddApp(L"Listed", L"Listed");
    AddApp(L"NoProgram", L"NoProgram", false);
    TheMachine().AddFile(ProxyFile(L"NoProgram"));
    EXPECT_EQ((Strings{L"Listed"}), Load());
}

TEST_F(ApplicationListTest, MissingProxyFileIsNotListed) {
    AddApp(L"Listed", L"Listed");
    AddApp(L"NoProxy", L"NoProxy", false);
    TheMachine().AddFile(ProgramFile(L"NoProxy"));
    EXPECT_EQ((Strings{L"Listed"}), Load());
}

TEST_F(ApplicationListTest, MissingCmdLineValueIsNotListed) {
    AddApp(L"Listed", L"Listed");
    TheMachine().SetString(kHKLM, RegistrationPath(L"NoCmdLine"), L"Name", L"NoCmdLine");
    TheMachine().SetString(kHKLM, RegistrationPath(L"NoCmdLine"), L"ProxyPath", ProxyFile(L"Listed"));
    EXPECT_EQ((Strings{L"Listed"}), Load());
}

TEST_F(ApplicationListTest, AutoLaunchOffIsNotListed) {
    AddApp(L"Listed", L"Listed");
    SetPref(kHKLM, AddApp(L"Off", L"Off"), L"AutoLaunchOnDeviceConnect", 1);
    SetPref(kHKLM, AddApp(L"Two", L"Two"), L"AutoLaunchOnDeviceConnect", 2);
    EXPECT_EQ((Strings{L"Listed", L"Two"}), Load());
}

TEST_F(ApplicationListTest, LoadingTwiceGivesSameListWithoutDuplicates) {
    AddApp(L"One", L"One");
    AddApp(L"Two\\Deep", L"Two");
    const Strings first = Load();
    EXPECT_EQ((Strings{L"One", L"Two"}), first);
    EXPECT_EQ(first, Load());
}

TEST_F(ApplicationListTest, ReloadDropsApplicationWhoseProgramWentAway) {
    const std::wstring keyPath = AddApp(L"One", L"One");
    AddApp(L"Two", L"Two");
    Load();
    TheMachine().SetString(kHKLM, keyPath, L"CmdLine", L"C:\\Gone\\One.exe");
    EXPECT_EQ((Strings{L"Two"}), Load());
}

TEST_F(ApplicationListTest, FirstLoadGivesUserWithMakerKeyNoDefault) {
    TheMachine().CreateKey(kHKCU, kMaker);
    const std::wstring keyPath = AddApp(L"Viewer", L"Viewer");
    SetPref(kHKLM, keyPath, L"DefaultFlag", 1);
    Load();
    ASSERT_EQ(1u, handler.apps.size());
    EXPECT_EQ(0u, handler.apps[0].defaultFlag);
    EXPECT_EQ(std::optional<std::uint32_t>(0),
              TheMachine().GetDword(kHKCU, keyPath + L"\\Preferences", L"DefaultFlag"));
}

TEST_F(ApplicationListTest, GetAllReplacesOutWithCopyOfList) {
    AddApp(L"One", L"One");
    AddApp(L"Two", L"Two");
    Load();
    std::vector<appInfo_tag> out{SentinelRecord(), SentinelRecord(), SentinelRecord()};
    EXPECT_TRUE(handler.GetAllApplicationInfo(out));
    ASSERT_EQ(2u, out.size());
    EXPECT_TRUE(SameRecord(handler.apps[0], out[0]));
    EXPECT_TRUE(SameRecord(handler.apps[1], out[1]));
}

TEST_F(ApplicationListTest, GetDefaultAppendsEveryDefaultAfterEarlierElements) {
    SetPref(kHKLM, AddApp(L"A", L"A"), L"DefaultFlag", 1);
    AddApp(L"B", L"B");
    SetPref(kHKLM, AddApp(L"C", L"C"), L"DefaultFlag", 2);
    Load();
    std::vector<appInfo_tag> out{SentinelRecord()};
    EXPECT_TRUE(handler.GetDefaultApplicationInfo(out));
    EXPECT_EQ((Strings{L"<name>", L"A", L"C"}), Names(out));
    EXPECT_EQ(2u, out[2].defaultFlag);
}

TEST_F(ApplicationListTest, GetDefaultWithoutDefaultsLeavesOut) {
    AddApp(L"A", L"A");
    Load();
    std::vector<appInfo_tag> out{SentinelRecord()};
    EXPECT_TRUE(handler.GetDefaultApplicationInfo(out));
    ASSERT_EQ(1u, out.size());
    EXPECT_TRUE(SameRecord(SentinelRecord(), out[0]));
}

TEST_F(ApplicationListTest, GetApplicationInfoFindsFirstExactName) {
    AddApp(L"First", L"Viewer");
    TheMachine().SetString(kHKLM, AddApp(L"Second", L"Second"), L"Name", L"Viewer");
    Load();
    appInfo_tag out = SentinelRecord();
    EXPECT_TRUE(handler.GetApplicationInfo(L"Viewer", out));
    EXPECT_TRUE(SameRecord(handler.apps[0], out));
    EXPECT_EQ(RegistrationPath(L"First"), out.keyPath);
}

TEST_F(ApplicationListTest, GetApplicationInfoIsCaseSensitiveAndLeavesOutOnMiss) {
    AddApp(L"Viewer", L"Viewer");
    Load();
    appInfo_tag out = SentinelRecord();
    EXPECT_FALSE(handler.GetApplicationInfo(L"viewer", out));
    EXPECT_FALSE(handler.GetApplicationInfo(L"Viewer ", out));
    EXPECT_TRUE(SameRecord(SentinelRecord(), out));
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
        CQELBootInformationHandler loader;
        loader.apps.push_back(SentinelRecord());
        TheMachine().ThrowOnRegistryCall(n);
        EXPECT_NO_THROW(loader.LoadInformation());
        EXPECT_EQ(0u, TheMachine().OpenKeyCount());

        // Every listed record is one of the full list, in the same order.
        std::size_t next = 0;
        for (const auto& record : loader.apps) {
            while (next < full.size() && full[next].keyPath != record.keyPath)
                ++next;
            ASSERT_LT(next, full.size()) << "unexpected or out-of-order record";
            EXPECT_EQ(full[next].name, record.name);
            EXPECT_EQ(full[next].proxyPath, record.proxyPath);
            EXPECT_EQ(full[next].cmdLine, record.cmdLine);
            ++next;
        }
        if (loader.apps.size() == 1 && SameRecord(full[0], loader.apps[0]))
            keptFirstOnly = true;
        if (n > calls) {
            EXPECT_EQ(Names(full), Names(loader.apps));
        }
    }
    EXPECT_TRUE(keptFirstOnly) << "no exhaustion point kept the first record and stopped the walk";
}

// Values of every type and size, names at and beyond the enumeration limit, and keys that cannot be read:
// nothing crashes and each record is what its registration says.
class RobustnessTest : public SimTest {
protected:
    // Bytes never 0, so no code unit is a null or a space.
    static std::vector<std::uint8_t> Junk(std::size_t size, unsigned seed) {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>(1 + (i * 37 + seed * 11) % 254);
        return bytes;
    }
    // The text of the whole code units of Junk(size, seed).
    static std::wstring JunkText(std::size_t size, unsigned seed) {
        const auto bytes = Junk(size, seed);
        std::wstring text;
        for (std::size_t i = 0; i + 1 < size; i += 2)
            text.push_back(static_cast<wchar_t>(bytes[i] | bytes[i + 1] << 8));
        return text;
    }
    static void ExpectJunkText(const std::wstring& value, std::size_t size, unsigned seed) {
        EXPECT_EQ(JunkText(size, seed), value.substr(0, size / 2));
        EXPECT_LE(value.size(), size / 2 + size % 2);
    }
    static std::wstring JunkKey(std::size_t size) {
        const std::wstring digits = std::to_wstring(size);
        return L"Junk" + std::wstring(3 - digits.size(), L'0') + digits;
    }
};

TEST_F(RobustnessTest, LoadSurvivesHostileRegistrationsAndReadsWhatTheySay) {
    auto& m = TheMachine();
    constexpr std::size_t kMaxSize = 300;
    for (std::size_t size = 0; size <= kMaxSize; ++size) {
        const std::wstring keyPath = AddApp(JunkKey(size), JunkKey(size));
        m.SetValue(kHKLM, keyPath, L"Name", os::kRegBinary, Junk(size, 1));
        m.SetValue(kHKLM, keyPath, L"Desc", os::kRegDword, Junk(size, 2));
        if (size % 2 == 1)
            m.SetValue(kHKLM, keyPath, L"ProxyPath", os::kRegBinary, Junk(size, 3));
        m.SetValue(kHKLM, keyPath + L"\\File Formats", L"Image", os::kRegBinary, Junk(size, 4));
        m.SetValue(kHKLM, keyPath + L"\\Preferences", L"DefaultFlag", os::kRegBinary, Junk(size, 5));
        std::vector<std::uint8_t> off(size);
        if (size > 0)
            off[0] = 1;
        m.SetValue(kHKLM, keyPath + L"\\Preferences", L"AutoLaunchOnDeviceConnect", os::kRegBinary, off);
    }
    const std::wstring huge(100000, L'h');
    m.SetString(kHKLM, AddApp(L"Huge", L"Huge"), L"Name", huge);
    m.SetUnterminatedString(kHKLM, RegistrationPath(L"Huge"), L"Icon", std::wstring(70000, L'i'));
    AddApp(L"Hidden", L"Hidden");
    m.DenyRead(kHKLM, RegistrationPath(L"Hidden"));
    AddApp(L"Locked\\Inner", L"Locked");
    m.DenyRead(kHKLM, kMaker + L"\\Locked");
    AddApp(L"Names\\A" + std::wstring(126, L'x'), L"Name127");
    AddApp(L"Names\\B" + std::wstring(127, L'x'), L"Name128");
    AddApp(L"Names\\C" + std::wstring(199, L'x'), L"Name200");
    AddApp(L"Names\\D", L"AfterLongNames");
    AddApp(L"Wide\\E" + std::wstring(199, L'x'), L"Name200");
    AddApp(L"Wide\\F", L"AfterName200");

    std::vector<appInfo_tag> found;
    DiscoverApplications(found);
    EXPECT_EQ(0u, m.OpenKeyCount());
    ASSERT_EQ(kMaxSize + 4, found.size());
    EXPECT_EQ(L"", found[0].keyPath); // the unreadable registration
    EXPECT_EQ(L"", found[0].name);
    EXPECT_EQ(huge, found[1].name);
    EXPECT_EQ(std::wstring(70000, L'i'), found[1].icon);
    EXPECT_EQ(L"Name127", found.back().name);
    for (std::size_t size = 0; size <= kMaxSize; ++size) {
        SCOPED_TRACE(size);
        const appInfo_tag& record = found[size + 2];
        ASSERT_EQ(RegistrationPath(JunkKey(size)), record.keyPath);
        ExpectJunkText(record.name, size, 1);
        ExpectJunkText(record.desc, size, 2);
        if (size % 2 == 1)
            ExpectJunkText(record.proxyPath, size, 3);
        if (size >= 2) {
            ASSERT_EQ(1u, record.fileFormats.size());
            ExpectJunkText(record.fileFormats[0].first, size, 4);
            EXPECT_EQ(L"Image", record.fileFormats[0].second);
        }
        if (size == 4) {
            const auto raw = Junk(4, 5);
            EXPECT_EQ(raw[0] | raw[1] << 8 | raw[2] << 16 | static_cast<std::uint32_t>(raw[3]) << 24,
                      record.defaultFlag);
        }
        if (size > 4) {
            EXPECT_EQ(0u, record.defaultFlag);
        }
        EXPECT_EQ(0u, record.reserved);
    }

    CQELBootInformationHandler handler;
    handler.LoadInformation();
    EXPECT_EQ(0u, m.OpenKeyCount());
    Strings expected{huge};
    for (std::size_t size = 6; size <= kMaxSize; size += 2)
        expected.push_back(JunkText(size, 1));
    expected.push_back(L"Name127");
    Strings listed;
    for (const auto& record : handler.apps) {
        const bool unsettled =
            record.keyPath == RegistrationPath(JunkKey(0)) || record.keyPath == RegistrationPath(JunkKey(2));
        if (!unsettled)
            listed.push_back(record.name);
    }
    EXPECT_EQ(expected, listed);
}

} // namespace
} // namespace qel
