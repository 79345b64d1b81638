// A host that knows the library only through qelboot.h and the import library lists the applications
// registered in the real registry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/windows_api.h"
#include "qelboot.h"

namespace {

using Formats = std::vector<std::pair<std::wstring, std::wstring>>;

class ApplicationListAbi : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl");
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Quorl");
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"QelbootAbi";
        ::CreateDirectoryW(folder_.c_str(), nullptr);
    }

    void TearDown() override {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl");
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Quorl");
    }

    std::wstring File(const std::wstring& name) {
        const std::wstring path = folder_ + L"\\" + name;
        const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, file);
        ::CloseHandle(file);
        return path;
    }

    static void SetString(HKEY hive, const std::wstring& path, const wchar_t* name,
                          const std::wstring& text) {
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(hive, path.c_str(), name, REG_SZ, text.c_str(),
                                                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
    }

    static void SetDword(HKEY hive, const std::wstring& path, const wchar_t* name, DWORD value) {
        ASSERT_EQ(ERROR_SUCCESS,
                  ::RegSetKeyValueW(hive, path.c_str(), name, REG_DWORD, &value, sizeof value));
    }

    static bool ReadDword(HKEY hive, const std::wstring& path, const wchar_t* name, DWORD* value) {
        DWORD size = sizeof *value;
        return ::RegGetValueW(hive, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, value, &size) ==
               ERROR_SUCCESS;
    }

    // A registration whose programs exist.
    void Register(const std::wstring& keyPath, const std::wstring& name) {
        SetString(HKEY_LOCAL_MACHINE, keyPath, L"Name", name);
        SetString(HKEY_LOCAL_MACHINE, keyPath, L"ProxyPath", File(name + L"Proxy.exe"));
        SetString(HKEY_LOCAL_MACHINE, keyPath, L"CmdLine", File(name + L".exe"));
        SetString(HKEY_LOCAL_MACHINE, keyPath, L"Desc", name + L" downloads pictures");
        SetString(HKEY_LOCAL_MACHINE, keyPath, L"Icon", folder_ + L"\\" + name + L".exe, 1");
    }

    static std::vector<std::wstring> Names(const std::vector<appInfo_tag>& records) {
        std::vector<std::wstring> names;
        for (const auto& record : records)
            names.push_back(record.name);
        return names;
    }

    std::wstring folder_;
};

TEST_F(ApplicationListAbi, ListsUsableRegistrationsShallowerFirst) {
    Register(L"SOFTWARE\\Quorl\\Maker\\Deep\\Quorl Vandrel", L"Deep");
    Register(L"SOFTWARE\\Quorl\\Shallow\\Quorl Vandrel", L"Shallow");
    Register(L"SOFTWARE\\Quorl\\Excluded\\Quorl Vandrel", L"Excluded");
    SetDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl\\Excluded\\Quorl Vandrel\\Preferences",
             L"AutoLaunchOnDeviceConnect", 1);
    Register(L"SOFTWARE\\Quorl\\Missing\\Quorl Vandrel", L"Missing");
    SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl\\Missing\\Quorl Vandrel", L"CmdLine",
              folder_ + L"\\NotThere.exe");
    SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl\\Shallow\\Quorl Vandrel\\File Formats", L"Video",
              L"mp4  wmv");
    SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl\\Shallow\\Quorl Vandrel\\File Formats", L"Image", L"JPG");

    CQELBootInformationHandler handler;
    handler.LoadInformation();
    std::vector<appInfo_tag> all(3);
    ASSERT_TRUE(handler.GetAllApplicationInfo(all));
    EXPECT_EQ((std::vector<std::wstring>{L"Shallow", L"Deep"}), Names(all));

    const appInfo_tag& shallow = all.at(0);
    EXPECT_EQ(L"SOFTWARE\\Quorl\\Shallow\\Quorl Vandrel", shallow.keyPath);
    EXPECT_EQ(folder_ + L"\\ShallowProxy.exe", shallow.proxyPath);
    EXPECT_EQ(folder_ + L"\\Shallow.exe", shallow.cmdLine);
    EXPECT_EQ(L"Shallow downloads pictures", shallow.desc);
    EXPECT_EQ(folder_ + L"\\Shallow.exe, 1", shallow.icon);
    EXPECT_EQ(0u, shallow.defaultFlag);
    EXPECT_EQ(0u, shallow.reserved);
    EXPECT_EQ((Formats{{L"JPG", L"Image"}, {L"mp4", L"Video"}, {L"wmv", L"Video"}}), shallow.fileFormats);
}

TEST_F(ApplicationListAbi, FirstLoadGivesTheUserPreferencesOfHisOwn) {
    const std::wstring keyPath = L"SOFTWARE\\Quorl\\App\\Quorl Vandrel";
    Register(keyPath, L"App");
    SetDword(HKEY_LOCAL_MACHINE, keyPath + L"\\Preferences", L"DefaultFlag", 1);
    HKEY maker = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Quorl", 0, nullptr, 0,
                                               KEY_WRITE, nullptr, &maker, nullptr));
    ::RegCloseKey(maker);

    CQELBootInformationHandler handler;
    handler.LoadInformation();
    std::vector<appInfo_tag> defaults;
    ASSERT_TRUE(handler.GetDefaultApplicationInfo(defaults));
    EXPECT_TRUE(defaults.empty());
    DWORD userFlag = 0xDEADBEEF;
    ASSERT_TRUE(ReadDword(HKEY_CURRENT_USER, keyPath + L"\\Preferences", L"DefaultFlag", &userFlag));
    EXPECT_EQ(0u, userFlag);
}

TEST_F(ApplicationListAbi, MachineDefaultCountsForUserWithoutMakerKey) {
    const std::wstring keyPath = L"SOFTWARE\\Quorl\\App\\Quorl Vandrel";
    Register(keyPath, L"App");
    Register(L"SOFTWARE\\Quorl\\Other\\Quorl Vandrel", L"Other");
    SetDword(HKEY_LOCAL_MACHINE, keyPath + L"\\Preferences", L"DefaultFlag", 1);

    CQELBootInformationHandler handler;
    handler.LoadInformation();
    std::vector<appInfo_tag> defaults(1);
    defaults[0].name = L"kept";
    ASSERT_TRUE(handler.GetDefaultApplicationInfo(defaults));
    EXPECT_EQ((std::vector<std::wstring>{L"kept", L"App"}), Names(defaults));
    DWORD unused = 0;
    EXPECT_FALSE(ReadDword(HKEY_CURRENT_USER, keyPath + L"\\Preferences", L"DefaultFlag", &unused));
}

TEST_F(ApplicationListAbi, LooksUpByExactName) {
    Register(L"SOFTWARE\\Quorl\\App\\Quorl Vandrel", L"Photo App");
    CQELBootInformationHandler handler;
    handler.LoadInformation();

    std::wstring name = L"Photo App";
    appInfo_tag found;
    ASSERT_TRUE(handler.GetApplicationInfo(name, found));
    EXPECT_EQ(L"Photo App", found.name);

    appInfo_tag untouched;
    untouched.name = L"sentinel";
    std::wstring otherCase = L"photo app";
    EXPECT_FALSE(handler.GetApplicationInfo(otherCase, untouched));
    EXPECT_EQ(L"sentinel", untouched.name);
}

TEST_F(ApplicationListAbi, NoMakerKeyGivesAnEmptyList) {
    CQELBootInformationHandler handler;
    handler.LoadInformation();
    std::vector<appInfo_tag> all(2);
    ASSERT_TRUE(handler.GetAllApplicationInfo(all));
    EXPECT_TRUE(all.empty());
}

} // namespace
