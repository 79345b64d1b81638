// Whether a volume would be reported, and why: the kind of drive, the depth searched, the formats searched
// for, and the first match or why none.
#include <cstdint>
#include <string>
#include <vector>

#include "deviceconnect/media_check.h"
#include "hosts/qelinfo/print.h"
#include "hosts/qelinfo/topics.h"
#include "launch/order.h"
#include "qelboot.h"
#include "registry/registry_key.h"
#include "registry/text.h"
#include "trackers/volume_tracker.h"

namespace qel::info {
namespace {

const char* DriveKind(std::uint32_t type) {
    switch (type) {
    case os::kDriveRemovable:
        return "removable";
    case os::kDriveFixed:
        return "fixed";
    case os::kDriveRemote:
        return "network";
    case os::kDriveCdrom:
        return "CD-ROM";
    case os::kDriveRamdisk:
        return "RAM disk";
    case os::kDriveNoRootDir:
        return "no such drive";
    default:
        return "unknown";
    }
}

// The application whose proxy starts at log-on runs the service, so its depth is the one in force.
const appInfo_tag* ServiceApplication(const std::vector<appInfo_tag>& apps) {
    CLocalMachineKey run(kRunKey, os::kKeyRead);
    const wchar_t* entry = run.status == os::kSuccess ? run.GetStringValue(kRunValue) : nullptr;
    for (const auto& app : apps) {
        if (entry && EqualsIgnoringCase(QuoteArgument(app.proxyPath), entry))
            return &app;
    }
    return apps.empty() ? nullptr : &apps.front();
}

} // namespace

int CheckVolume(const std::wstring& root) {
    Line("Volume ", root, ", as the library would check it (nothing is launched)");
    std::uint32_t type = os::kDriveUnknown;
    wchar_t label[kPathCapacity] = {};
    wchar_t fileSystem[kPathCapacity] = {};
    bool readable = false;
    {
        CriticalErrorsFailed quiet;
        type = os::DriveType(root.c_str());
        readable = os::VolumeInformation(root.c_str(), label, kPathCapacity, fileSystem, kPathCapacity);
    }
    Line("  drive:          ", DriveKind(type), ", ",
         readable ? "file system " + Piece(fileSystem) : "no readable volume (no card?)");
    const bool reportable = IsReportableDrive(root.c_str());
    if (!reportable || !IsSupportedVolume(root)) {
        Verdict("not reported: ", !reportable
                                      ? "only readable drives other than A: and B: that are removable or "
                                        "whose file system is named \"kodak\" are reported"
                                      : "only removable drives, and fixed drives whose file system is "
                                        "named \"kodak\", are accepted");
        return 1;
    }
    CQELBootInformationHandler handler;
    handler.LoadInformation();
    const appInfo_tag* service = ServiceApplication(handler.apps);
    const std::uint32_t depth = ReadSniffDepth(service ? service->keyPath : std::wstring());
    Line("  depth:          ", depth, " folder level(s), the root being level 1 (SniffDepth of ",
         service ? Quoted(service->name) : "no registered application", ")");
    FileFormatList formats;
    GetSupportedFileFormats(handler, formats);
    std::string list;
    for (const auto& format : formats)
        list += (list.empty() ? "" : " ") + Piece(format.first);
    Line("  formats:        ", list.empty() ? "none" : list);
    if (depth == 0) {
        Verdict("not reported: SniffDepth 0 turns the search off");
        return 1;
    }
    SearchOutcome outcome;
    {
        CriticalErrorsFailed quiet;
        outcome = SearchVolume(root, depth, formats);
    }
    if (!outcome.match.empty()) {
        Line("  first match:    ", outcome.match);
        Verdict("reported as \"volume\" ", Quoted(root));
        return 0;
    }
    if (!outcome.unlistedFolder.empty())
        Verdict("not reported: ", outcome.unlistedFolder, " could not be listed (error ", outcome.error,
                outcome.error == os::kFileNotFound ? ": the folder is empty" : "", ")");
    else
        Verdict("not reported: no supported file in ", outcome.foldersListed, " folder(s) searched",
                outcome.deeperFolders ? ", deeper folders left unsearched" : "", " (pdf never counts)");
    return 1;
}

} // namespace qel::info
