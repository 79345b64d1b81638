// media_check.h - whether a newly arrived volume is worth launching an application for: an accepted kind of
// drive holding a picture or a video within a few folder levels.
#ifndef QELBOOT_DEVICECONNECT_MEDIA_CHECK_H
#define QELBOOT_DEVICECONNECT_MEDIA_CHECK_H

#include <cstdint>
#include <string>

#include "platform/os.h"
#include "qelboot.h"
#include "registry/app_records.h"

namespace qel {

inline constexpr std::uint32_t kDefaultSniffDepth = 4;
inline constexpr int kSniffAttempts = 3;
inline constexpr std::uint32_t kSniffRetryPauseMs = 1000;
// Paths and names copied into fixed buffers are cut to this many characters, the terminator included.
inline constexpr std::size_t kPathCapacity = 260;
// The folder and file lines of a search are formatted into a buffer of this many characters.
inline constexpr std::size_t kSearchLineCapacity = 1024;

// True when `root` ("E:") is an accepted kind of drive and a supported file lies within the search depth; the
// search is made up to three times, one second apart.
bool CheckMediaContent(const std::wstring& root);

// A removable drive, or a fixed drive whose file-system name contains "kodak" in any letter case.
bool IsSupportedVolume(const std::wstring& root);
// A camera's own drive carries this in its file system's name, in any letter case.
bool NamesKodak(const wchar_t* fileSystem);

// One breadth-first search of the volume for a file of a supported format, at the calling application's
// depth.
bool SniffMediaContent(const std::wstring& root);

struct SearchOutcome {
    std::wstring match;          // the first supported file's path; empty when none was found
    std::wstring unlistedFolder; // the folder whose listing failed and ended the search
    long error = 0;              // why it failed (a Win32 code)
    std::uint32_t foldersListed = 0;
    bool deeperFolders = false; // folders below the depth were left unsearched
};
// The search itself, writing a line for every entry it meets.
SearchOutcome SearchVolume(const std::wstring& root, std::uint32_t depth, const FileFormatList& formats);

// The calling application's per-user "SniffDepth": folder levels searched, the root being level 1; 0 turns
// the search off. Reading it reloads the library's own application list.
std::uint32_t GetSniffDepth();
// "SniffDepth" under the user's key at `keyPath`; 4 when it is missing, unreadable or negative.
std::uint32_t ReadSniffDepth(const std::wstring& keyPath);

// Appends the image and video formats of the default applications, or, when there is none, of every listed
// application and the older sibling; audio formats never count.
void GetSupportedFileFormats(CQELBootInformationHandler& handler, FileFormatList& out);

// The process error mode that fails critical errors instead of asking the user (a "no disk" box for an empty
// card reader), for as long as the object lives.
class CriticalErrorsFailed {
public:
    explicit CriticalErrorsFailed(std::uint32_t mode = os::kSemFailCriticalErrors)
        : previous_(os::SetProcessErrorMode(mode)) {}
    ~CriticalErrorsFailed() { os::SetProcessErrorMode(previous_); }
    CriticalErrorsFailed(const CriticalErrorsFailed&) = delete;
    CriticalErrorsFailed& operator=(const CriticalErrorsFailed&) = delete;

private:
    std::uint32_t previous_;
};

} // namespace qel

#endif // QELBOOT_DEVICECONNECT_MEDIA_CHECK_H
