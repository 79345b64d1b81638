// A host that knows the library only through qelboot.h and the import library lists the applications
// registered in the real registry. Which registrations are listed, and how each hive's preferences count, is
// for the simulated machine's tests; here the records cross the library's boundary.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "host_runner.h"
#include "qelboot.h"

namespace qel::testhost {
namespace {

using Formats = std::vector<std::pair<std::wstring, std::wstring>>;

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
};

// The list replaces what the caller's vector held; a record found by name is copied whole.
TEST_F(ApplicationListAbi, ListsRegistrationsShallowerFirstAndCopiesOneWholeByName) {
    Add(L"Maker\\Deep", L"Deep");
    Add(L"Shallow", L"Shallow");
    const std::wstring formats = L"SOFTWARE\\Quorl\\Shallow\\Quorl Vandrel\\File Formats";
    SetString(HKEY_LOCAL_MACHINE, formats, L"Video", L"mp4  wmv");
    SetString(HKEY_LOCAL_MACHINE, formats, L"Image", L"JPG");
    CQELBootInformationHandler handler;
    handler.LoadInformation();
    std::vector<appInfo_tag> all(3);
    ASSERT_TRUE(handler.GetAllApplicationInfo(all));
    ASSERT_EQ(2u, all.size());
    EXPECT_EQ(std::make_tuple(L"Shallow", L"Deep"), std::tie(all[0].name, all[1].name));

    appInfo_tag shallow;
    ASSERT_TRUE(handler.GetApplicationInfo(L"Shallow", shallow));
    EXPECT_EQ(std::make_tuple(std::wstring(L"SOFTWARE\\Quorl\\Shallow\\Quorl Vandrel"),
                              kFolder + L"\\ShallowProxy.exe", kFolder + L"\\Shallow.exe",
                              std::wstring(L"Shallow downloads pictures"), kFolder + L"\\Shallow.exe, 1", 0u,
                              0u, Formats{{L"JPG", L"Image"}, {L"mp4", L"Video"}, {L"wmv", L"Video"}}),
              std::tie(shallow.keyPath, shallow.proxyPath, shallow.cmdLine, shallow.desc, shallow.icon,
                       shallow.defaultFlag, shallow.reserved, shallow.fileFormats));
}

} // namespace
} // namespace qel::testhost
