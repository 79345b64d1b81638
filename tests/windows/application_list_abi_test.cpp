// A host that knows the library only through qelboot.h and the import library lists the applications
// registered in the real registry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/windows_api.h"
#include "qelboot.h"

namespace {

using Formats = std::vector<std::pair<std::wstring, std::wstring>>;
using Names = std::vector<std::wstring>;

class ApplicationListAbi : public ::testing::Test {
protected:
    void SetUp() override {
        TearDown();
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

    static void SetString(const std::wstring& path, const wchar_t* name, const std::wstring& text) {
        ASSERT_EQ(ERROR_SUCCESS,
                  ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, REG_SZ, text.c_str(),
                                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
    }

    static void SetDword(const std::wstring& path, const wchar_t* name, DWORD value) {
        ASSERT_EQ(ERROR_SUCCESS,
                  ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, REG_DWORD, &value, sizeof value));
    }

    // A registration below the machine's maker key whose programs exist.
    void Register(const std::wstring& folder, const std::wstring& name) {
        const std::wstring keyPath = L"SOFTWARE\\Quorl\\" + folder + L"\\Quorl Vandrel";
        SetString(keyPath, L"Name", name);
        SetString(keyPath, L"ProxyPath", File(name + L"Proxy.exe"));
        SetString(keyPath, L"CmdLine", File(name + L".exe"));
        SetString(keyPath, L"Desc", name + L" downloads pictures");
        SetString(keyPath, L"Icon", folder_ + L"\\" + name + L".exe, 1");
    }

    static Names NamesOf(const std::vector<appInfo_tag>& records) {
        Names names;
        for (const auto& record : records)
            names.push_back(record.name);
        return names;
    }

    std::wstring folder_;
};

TEST_F(ApplicationListAbi, ListsUsableRegistrationsShallowerFirstAndLooksThemUpByExactName) {
    CQELBootInformationHandler handler;
    handler.LoadInformation();
    std::vector<appInfo_tag> all(3);
    ASSERT_TRUE(handler.GetAllApplicationInfo(all));
    EXPECT_TRUE(all.empty()) << "no maker key";

    Register(L"Maker\\Deep", L"Deep");
    Register(L"Shallow", L"Shallow");
    Register(L"Excluded", L"Excluded");
    SetDword(L"SOFTWARE\\Quorl\\Excluded\\Quorl Vandrel\\Preferences", L"AutoLaunchOnDeviceConnect", 1);
    Register(L"Missing", L"Missing");
    SetString(L"SOFTWARE\\Quorl\\Missing\\Quorl Vandrel", L"CmdLine", folder_ + L"\\NotThere.exe");
    SetString(L"SOFTWARE\\Quorl\\Shallow\\Quorl Vandrel\\File Formats", L"Video", L"mp4  wmv");
    SetString(L"SOFTWARE\\Quorl\\Shallow\\Quorl Vandrel\\File Formats", L"Image", L"JPG");
    handler.LoadInformation();
    ASSERT_TRUE(handler.GetAllApplicationInfo(all));
    EXPECT_EQ((Names{L"Shallow", L"Deep"}), NamesOf(all));

    appInfo_tag shallow;
    ASSERT_TRUE(handler.GetApplicationInfo(L"Shallow", shallow));
    EXPECT_EQ(L"SOFTWARE\\Quorl\\Shallow\\Quorl Vandrel", shallow.keyPath);
    EXPECT_EQ(folder_ + L"\\ShallowProxy.exe", shallow.proxyPath);
    EXPECT_EQ(folder_ + L"\\Shallow.exe", shallow.cmdLine);
    EXPECT_EQ(L"Shallow downloads pictures", shallow.desc);
    EXPECT_EQ(folder_ + L"\\Shallow.exe, 1", shallow.icon);
    EXPECT_EQ(0u, shallow.defaultFlag);
    EXPECT_EQ(0u, shallow.reserved);
    EXPECT_EQ((Formats{{L"JPG", L"Image"}, {L"mp4", L"Video"}, {L"wmv", L"Video"}}), shallow.fileFormats);

    appInfo_tag untouched;
    untouched.name = L"sentinel";
    EXPECT_FALSE(handler.GetApplicationInfo(L"shallow", untouched));
    EXPECT_EQ(L"sentinel", untouched.name);
}

TEST_F(ApplicationListAbi, MachineDefaultCountsUntilTheUserHasAMakerKeyThenHeGetsPreferencesOfHisOwn) {
    const std::wstring prefs = L"SOFTWARE\\Quorl\\App\\Quorl Vandrel\\Preferences";
    Register(L"App", L"App");
    Register(L"Other", L"Other");
    SetDword(prefs, L"DefaultFlag", 1);
    auto userFlag = [&](DWORD* value) {
        DWORD size = sizeof *value;
        return ::RegGetValueW(HKEY_CURRENT_USER, prefs.c_str(), L"DefaultFlag", RRF_RT_REG_DWORD, nullptr,
                              value, &size) == ERROR_SUCCESS;
    };

    CQELBootInformationHandler handler;
    handler.LoadInformation();
    std::vector<appInfo_tag> defaults(1);
    defaults[0].name = L"kept";
    ASSERT_TRUE(handler.GetDefaultApplicationInfo(defaults));
    EXPECT_EQ((Names{L"kept", L"App"}), NamesOf(defaults));
    DWORD flag = 0xDEADBEEF;
    EXPECT_FALSE(userFlag(&flag));

    HKEY maker = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Quorl", 0, nullptr, 0,
                                               KEY_WRITE, nullptr, &maker, nullptr));
    ::RegCloseKey(maker);
    handler.LoadInformation();
    defaults.clear();
    ASSERT_TRUE(handler.GetDefaultApplicationInfo(defaults));
    EXPECT_TRUE(defaults.empty());
    ASSERT_TRUE(userFlag(&flag));
    EXPECT_EQ(0u, flag);
}

} // namespace
