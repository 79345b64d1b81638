// A host that knows the library only through qelboot.h and the import library lists the applications
// registered in the real registry.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "host_runner.h"
#include "qelboot.h"

namespace qel::testhost {
namespace {

using Formats = std::vector<std::pair<std::wstring, std::wstring>>;
using Names = std::vector<std::wstring>;

const std::wstring kFolder = BinPath(L"abi");

class ApplicationListAbi : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRegistrations();
        ::CreateDirectoryW(kFolder.c_str(), nullptr);
    }
    void TearDown() override { ResetRegistrations(); }

    // A registration below the machine's maker key whose programs exist.
    static void Add(const std::wstring& key, const std::wstring& name) {
        for (const std::wstring& file : {name + L"Proxy.exe", name + L".exe"})
            WriteTextFile(kFolder + L"\\" + file, "");
        const std::wstring keyPath = L"SOFTWARE\\Quorl\\" + key + L"\\Quorl Vandrel";
        Register(key, name, kFolder + L"\\" + name + L"Proxy.exe", kFolder + L"\\" + name + L".exe");
        SetString(HKEY_LOCAL_MACHINE, keyPath, L"Desc", name + L" downloads pictures");
        SetString(HKEY_LOCAL_MACHINE, keyPath, L"Icon", kFolder + L"\\" + name + L".exe, 1");
    }

    static Names NamesOf(const std::vector<appInfo_tag>& records) {
        Names names;
        for (const auto& record : records)
            names.push_back(record.name);
        return names;
    }
};

TEST_F(ApplicationListAbi, ListsUsableRegistrationsShallowerFirstAndLooksThemUpByExactName) {
    CQELBootInformationHandler handler;
    handler.LoadInformation();
    std::vector<appInfo_tag> all(3);
    ASSERT_TRUE(handler.GetAllApplicationInfo(all));
    EXPECT_TRUE(all.empty()) << "no maker key";

    Add(L"Maker\\Deep", L"Deep");
    Add(L"Shallow", L"Shallow");
    Add(L"Excluded", L"Excluded");
    SetDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl\\Excluded\\Quorl Vandrel\\Preferences",
             L"AutoLaunchOnDeviceConnect", 1);
    Add(L"Missing", L"Missing");
    SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl\\Missing\\Quorl Vandrel", L"CmdLine",
              kFolder + L"\\NotThere.exe");
    const std::wstring formats = L"SOFTWARE\\Quorl\\Shallow\\Quorl Vandrel\\File Formats";
    SetString(HKEY_LOCAL_MACHINE, formats, L"Video", L"mp4  wmv");
    SetString(HKEY_LOCAL_MACHINE, formats, L"Image", L"JPG");
    handler.LoadInformation();
    ASSERT_TRUE(handler.GetAllApplicationInfo(all));
    EXPECT_EQ((Names{L"Shallow", L"Deep"}), NamesOf(all));

    appInfo_tag shallow;
    ASSERT_TRUE(handler.GetApplicationInfo(L"Shallow", shallow));
    EXPECT_EQ(std::make_tuple(std::wstring(L"SOFTWARE\\Quorl\\Shallow\\Quorl Vandrel"),
                              kFolder + L"\\ShallowProxy.exe", kFolder + L"\\Shallow.exe",
                              std::wstring(L"Shallow downloads pictures"), kFolder + L"\\Shallow.exe, 1", 0u,
                              0u, Formats{{L"JPG", L"Image"}, {L"mp4", L"Video"}, {L"wmv", L"Video"}}),
              std::tie(shallow.keyPath, shallow.proxyPath, shallow.cmdLine, shallow.desc, shallow.icon,
                       shallow.defaultFlag, shallow.reserved, shallow.fileFormats));
    appInfo_tag untouched;
    untouched.name = L"sentinel";
    EXPECT_FALSE(handler.GetApplicationInfo(L"shallow", untouched));
    EXPECT_EQ(L"sentinel", untouched.name);
}

TEST_F(ApplicationListAbi, MachineDefaultCountsUntilTheUserHasAMakerKeyThenHeGetsPreferencesOfHisOwn) {
    const std::wstring prefs = L"SOFTWARE\\Quorl\\App\\Quorl Vandrel\\Preferences";
    Add(L"App", L"App");
    Add(L"Other", L"Other");
    SetDword(HKEY_LOCAL_MACHINE, prefs, L"DefaultFlag", 1);
    CQELBootInformationHandler handler;
    handler.LoadInformation();
    std::vector<appInfo_tag> defaults(1);
    defaults[0].name = L"kept";
    ASSERT_TRUE(handler.GetDefaultApplicationInfo(defaults));
    EXPECT_EQ((Names{L"kept", L"App"}), NamesOf(defaults));
    DWORD flag = 0xDEADBEEF;
    EXPECT_FALSE(ReadDword(HKEY_CURRENT_USER, prefs, L"DefaultFlag", &flag));

    CreateKey(HKEY_CURRENT_USER, L"SOFTWARE\\Quorl");
    handler.LoadInformation();
    defaults.clear();
    ASSERT_TRUE(handler.GetDefaultApplicationInfo(defaults));
    EXPECT_TRUE(defaults.empty());
    ASSERT_TRUE(ReadDword(HKEY_CURRENT_USER, prefs, L"DefaultFlag", &flag));
    EXPECT_EQ(0u, flag);
}

} // namespace
} // namespace qel::testhost
