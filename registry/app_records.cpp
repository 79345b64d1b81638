#include "registry/app_records.h"

#include "registry/registry_key.h"
#include "registry/text.h"

namespace qel {
namespace {

constexpr std::uint32_t kUnreadDword = 0xFFFFFFFF;

// Copies a string value into `field` when it is present.
void ReadStringInto(CRegistryKey& key, const wchar_t* name, std::wstring& field) {
    if (const wchar_t* text = key.GetStringValue(name))
        field = text;
}

} // namespace

void ReadApplicationRecord(const std::wstring& keyPath, appInfo_tag& record) {
    try {
        {
            CLocalMachineKey registration(keyPath, os::kKeyRead);
            if (registration.status == os::kSuccess) {
                record.keyPath = keyPath;
                ReadStringInto(registration, L"Name", record.name);
                ReadStringInto(registration, L"ProxyPath", record.proxyPath);
                ReadStringInto(registration, L"Desc", record.desc);
                ReadStringInto(registration, L"CmdLine", record.cmdLine);
                ReadStringInto(registration, L"Icon", record.icon);
            }
        }
        record.fileFormats.clear();
        ReadFileFormats(JoinKeyPath(keyPath, L"File Formats"), record.fileFormats);

        std::uint32_t flag = 0;
        ReadDefaultFlag(PreferencesPath(keyPath), flag);
        record.defaultFlag = flag;
        record.reserved = 0;
    } catch (...) {
    }
}

void ReadFileFormats(const std::wstring& formatsPath, FileFormatList& formats) {
    try {
        for (const wchar_t* category : {L"Image", L"Audio", L"Video"}) {
            CLocalMachineKey key(formatsPath, os::kKeyRead);
            if (key.status != os::kSuccess)
                continue;
            if (const wchar_t* list = key.GetStringValue(category))
                SplitExtensionList(list, category, formats);
        }
    } catch (...) {
    }
}

void SplitExtensionList(std::wstring_view text, std::wstring_view category, FileFormatList& formats) {
    try {
        std::wstring::size_type start = 0;
        while (start < text.size()) {
            auto end = text.find(L' ', start);
            if (end == std::wstring_view::npos)
                end = text.size();
            if (end > start)
                formats.emplace_back(std::wstring(text.substr(start, end - start)), std::wstring(category));
            start = end + 1;
        }
    } catch (...) {
    }
}

void ReadDefaultFlag(const std::wstring& prefsPath, std::uint32_t& flag) {
    try {
        {
            CCurrentUserKey userPrefs(prefsPath, os::kKeyRead);
            if (userPrefs.status == os::kSuccess) {
                const auto value = static_cast<std::uint32_t>(userPrefs.GetDWORDValue(L"DefaultFlag"));
                if (value != kUnreadDword)
                    flag = value;
                return;
            }
        }
        // First sight of this application for this user: make the user's own key, not a default.
        const std::wstring makerPrefix = std::wstring(kMakerKey) + L"\\";
        if (prefsPath.compare(0, makerPrefix.size(), makerPrefix) == 0) {
            CCurrentUserKey maker(kMakerKey, os::kKeyWrite);
            if (maker.status == os::kSuccess) {
                const bool created = static_cast<bool>(
                    maker.CreateSubKey(prefsPath.c_str() + makerPrefix.size(), nullptr, nullptr));
                if (created) {
                    CCurrentUserKey userPrefs(prefsPath, os::kKeyWrite);
                    if (userPrefs.status == os::kSuccess) {
                        userPrefs.SetDWORDValue(L"DefaultFlag", 0);
                        flag = 0;
                        return;
                    }
                }
            }
        }
        CLocalMachineKey machinePrefs(prefsPath, os::kKeyRead);
        if (machinePrefs.status == os::kSuccess) {
            const auto value = static_cast<std::uint32_t>(machinePrefs.GetDWORDValue(L"DefaultFlag"));
            if (value != kUnreadDword)
                flag = value;
        }
    } catch (...) {
    }
}

std::wstring PreferencesPath(const std::wstring& keyPath) { return JoinKeyPath(keyPath, L"Preferences"); }

bool IsAutoLaunchCandidate(const std::wstring& keyPath) {
    try {
        const std::wstring prefsPath = PreferencesPath(keyPath);
        {
            CCurrentUserKey userPrefs(prefsPath, os::kKeyRead);
            if (userPrefs.status == os::kSuccess) {
                const auto value =
                    static_cast<std::uint32_t>(userPrefs.GetDWORDValue(L"AutoLaunchOnDeviceConnect"));
                if (value != kUnreadDword)
                    return value != 1;
            }
        }
        CLocalMachineKey machinePrefs(prefsPath, os::kKeyRead);
        if (machinePrefs.status != os::kSuccess)
            return true;
        return static_cast<std::uint32_t>(machinePrefs.GetDWORDValue(L"AutoLaunchOnDeviceConnect")) != 1;
    } catch (...) {
        return false;
    }
}

} // namespace qel
