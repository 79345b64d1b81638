// The media content check of a newly arrived volume.
#include "deviceconnect/media_check.h"

#include <cwctype>
#include <deque>
#include <utility>

#include "platform/unique_handles.h"
#include "registry/discovery.h"
#include "registry/own_application.h"
#include "registry/registry_key.h"
#include "registry/text.h"

namespace qel {
namespace {

const wchar_t kUnsupportedVolumeLine[] = L"<***DeviceConnect***><Unsupported volume found.>";
const wchar_t kTryingAgainLine[] =
    L"<***DeviceConnect***><Supported media content check fails...Trying again.>";
const wchar_t kNoSupportedContentLine[] =
    L"<***DeviceConnect***><Volume does not contain supported media content.>";
const wchar_t kSuppressingLine[] = L"<***DeviceConnect***><Suppressing auto launch...>";
const wchar_t kEntryLine[] = L"<***DeviceConnect***><%d><%s><%s>\n";
const wchar_t kFoundLine[] = L"<***DeviceConnect***><Supported file format is found on device.>";

// The text after the last dot of a file name; a name without a dot has no extension and is never tested.
bool IsSupportedFile(const std::wstring& name, const FileFormatList& formats) {
    const auto dot = name.find_last_of(L'.');
    if (dot == std::wstring::npos)
        return false;
    const std::wstring_view extension = std::wstring_view(name).substr(dot + 1);
    // Documents never make a card worth importing, whatever an application declares.
    if (EqualsIgnoringCase(extension, L"pdf"))
        return false;
    for (const auto& format : formats) {
        if (EqualsIgnoringCase(extension, format.first))
            return true;
    }
    return false;
}

void LogEntry(std::uint32_t level, const wchar_t* kind, const std::wstring& text) {
    os::DebugOutput(FormatLine(kEntryLine, {std::to_wstring(level), kind, text}, kSearchLineCapacity));
}

} // namespace

bool NamesKodak(const wchar_t* fileSystem) {
    std::wstring lowered = fileSystem;
    for (wchar_t& c : lowered)
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    return lowered.find(L"kodak") != std::wstring::npos;
}

bool IsSupportedVolume(const std::wstring& root) {
    try {
        std::uint32_t type = os::kDriveUnknown;
        {
            CriticalErrorsFailed quiet;
            type = os::DriveType(root.c_str());
        }
        if (type == os::kDriveRemovable)
            return true;
        if (type != os::kDriveFixed)
            return false;
        wchar_t volumeName[kPathCapacity] = {};
        wchar_t fileSystem[kPathCapacity] = {};
        bool read = false;
        {
            CriticalErrorsFailed quiet;
            read = os::VolumeInformation(root.c_str(), volumeName, kPathCapacity, fileSystem, kPathCapacity);
        }
        // It is the file system's name, not the volume label, that a camera's own drive carries.
        return read && NamesKodak(fileSystem);
    } catch (...) {
        return false;
    }
}

std::uint32_t ReadSniffDepth(const std::wstring& keyPath) {
    try {
        // Per user, at the registration's own path; an empty path is the hive's root.
        CCurrentUserKey settings(keyPath, os::kKeyRead);
        if (settings.status != os::kSuccess)
            return kDefaultSniffDepth;
        const std::int32_t depth = settings.GetDWORDValue(L"SniffDepth");
        return depth < 0 ? kDefaultSniffDepth : static_cast<std::uint32_t>(depth);
    } catch (...) {
        return kDefaultSniffDepth;
    }
}

std::uint32_t GetSniffDepth() {
    try {
        appInfo_tag own;
        GetOwnApplicationInfo(LibraryHandler(), own);
        return ReadSniffDepth(own.keyPath);
    } catch (...) {
        return kDefaultSniffDepth;
    }
}

void GetSupportedFileFormats(CQELBootInformationHandler& handler, FileFormatList& out) {
    try {
        std::vector<appInfo_tag> sources;
        handler.GetDefaultApplicationInfo(sources);
        if (sources.empty()) {
            handler.GetAllApplicationInfo(sources);
            appInfo_tag sibling;
            handler.GetOST3Info(sibling);
            sources.push_back(std::move(sibling));
        }
        for (const auto& record : sources) {
            for (const auto& format : record.fileFormats) {
                if (!EqualsIgnoringCase(format.second, L"Audio"))
                    out.push_back(format);
            }
        }
    } catch (...) {
    }
}

SearchOutcome SearchVolume(const std::wstring& root, std::uint32_t depth, const FileFormatList& formats) {
    SearchOutcome outcome;
    std::wstring folder = root.substr(0, kPathCapacity - 1);
    // Breadth first: levels only grow along the queue, so the first folder too deep ends the search.
    std::deque<std::pair<std::wstring, std::uint32_t>> queue;
    for (std::uint32_t level = 1; level <= depth;) {
        os::FindHandle found = os::kNoFind;
        os::FindData entry;
        // A folder that cannot be listed ends the whole attempt, queued folders and all.
        outcome.error = os::FindFirstEntry(folder + L"\\*", &found, &entry);
        if (outcome.error != os::kSuccess) {
            outcome.unlistedFolder = folder;
            return outcome;
        }
        ++outcome.foldersListed;
        FindCloser listing(found);
        do {
            if (entry.name == L"." || entry.name == L"..")
                continue;
            if (entry.directory) {
                std::wstring path = folder + L"\\" + entry.name;
                LogEntry(level, L"FOLDER", path);
                queue.emplace_back(std::move(path), level + 1);
                continue;
            }
            LogEntry(level, L"FILE", entry.name);
            if (IsSupportedFile(entry.name, formats)) {
                listing.reset();
                os::DebugOutput(kFoundLine);
                outcome.match = folder + L"\\" + entry.name;
                return outcome;
            }
        } while (os::FindNextEntry(listing.get(), &entry) == os::kSuccess);
        listing.reset();
        if (queue.empty())
            return outcome;
        folder = std::move(queue.front().first);
        level = queue.front().second;
        queue.pop_front();
    }
    outcome.deeperFolders = true;
    return outcome;
}

bool SniffMediaContent(const std::wstring& root) {
    try {
        const std::uint32_t depth = GetSniffDepth();
        if (depth == 0) {
            os::DebugOutput(kSuppressingLine);
            return false;
        }
        FileFormatList formats;
        GetSupportedFileFormats(LibraryHandler(), formats);
        CriticalErrorsFailed quiet;
        return !SearchVolume(root, depth, formats).match.empty();
    } catch (...) {
        return false;
    }
}

bool CheckMediaContent(const std::wstring& root) {
    try {
        if (!IsSupportedVolume(root)) {
            os::DebugOutput(kUnsupportedVolumeLine);
            return false;
        }
        for (int attempt = 0; attempt < kSniffAttempts; ++attempt) {
            if (SniffMediaContent(root))
                return true;
            // The pause follows the last failed attempt too.
            os::DebugOutput(kTryingAgainLine);
            os::SleepFor(kSniffRetryPauseMs);
        }
        os::DebugOutput(kNoSupportedContentLine);
        return false;
    } catch (...) {
        return false;
    }
}

} // namespace qel
