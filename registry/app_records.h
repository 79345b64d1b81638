// app_records.h - turning one registration key into one appInfo_tag.
#ifndef QELBOOT_REGISTRY_APP_RECORDS_H
#define QELBOOT_REGISTRY_APP_RECORDS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "qelboot.h"

namespace qel {

using FileFormatList = std::vector<std::pair<std::wstring, std::wstring>>;

// Every registration key lies below this key of the machine hive.
inline constexpr wchar_t kMakerKey[] = L"SOFTWARE\\Quorl";
// The name of a registration key, compared exactly.
inline constexpr wchar_t kRegistrationKeyName[] = L"Quorl Vandrel";

// Fills `record` from the registration key at `keyPath` (below the machine hive): its strings, its formats
// and its default flag. Values that are missing leave their fields as they were.
void ReadApplicationRecord(const std::wstring& keyPath, appInfo_tag& record);

// Appends the "Image", "Audio" and "Video" extensions of a "File Formats" key, in that order.
void ReadFileFormats(const std::wstring& formatsPath, FileFormatList& formats);

// Appends each space-separated token of `text` paired with `category`.
void SplitExtensionList(std::wstring_view text, std::wstring_view category, FileFormatList& formats);

// Updates `flag` from the user's "DefaultFlag" under `prefsPath`, creating the user's key with 0 on first
// sight; the machine's value counts only when the user's key can be neither read nor created.
void ReadDefaultFlag(const std::wstring& prefsPath, std::uint32_t& flag);

// The registration's "Preferences" key, below keyPath in either hive.
std::wstring PreferencesPath(const std::wstring& keyPath);

// False when "AutoLaunchOnDeviceConnect" is exactly 1 for the user, or, without a user value, for the
// machine.
bool IsAutoLaunchCandidate(const std::wstring& keyPath);

} // namespace qel

#endif // QELBOOT_REGISTRY_APP_RECORDS_H
