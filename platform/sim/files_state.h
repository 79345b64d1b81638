// files_state.h - the simulated file system's state: files, folders and their order, drives, open listings.
#ifndef QELBOOT_PLATFORM_SIM_FILES_STATE_H
#define QELBOOT_PLATFORM_SIM_FILES_STATE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/os.h"

namespace qel::sim {

struct FileState {
    struct Drive {
        std::uint32_t type = os::kDriveFixed;
        std::wstring fileSystem;
        bool medium = true;
        bool present = true;
    };
    struct FolderEntry {
        std::wstring name;
        bool directory;
    };
    struct Listing {
        wchar_t drive;
        std::vector<os::FindData> entries;
        std::size_t next = 1;
    };

    // `path` made absolute from the current directory, with "." and ".." resolved.
    std::wstring FullPath(const std::wstring& path) const;
    void AddEntry(const std::wstring& path, bool directory);
    // Whether a folded full path can be read now: its drive, if it is one, is there with its medium.
    bool Readable(const std::wstring& fullPath) const;
    Drive* FindDrive(wchar_t letter);
    const Drive* DriveOfPath(const std::wstring& fullPath) const;
    // The present drive a root such as "E:" or "E:\" names; null: the current directory's drive.
    const Drive* DriveOfRoot(const wchar_t* root) const;
    void NoteCriticalError(const Drive& drive);
    // Counts one FindFirst/FindNext call, and pulls the scripted card once its count is reached.
    void CountListingCall();

    std::set<std::wstring> files;                                   // folded full paths of files
    std::set<std::wstring> folders;                                 // folded full paths of folders
    std::map<std::wstring, std::wstring> texts;                     // folded full path -> content
    std::map<std::wstring, std::vector<FolderEntry>> folderEntries; // folded folder path -> its entries
    std::wstring currentDirectory = L"C:\\";
    std::map<wchar_t, Drive> drives; // by upper-case letter, removed ones included
    std::uint32_t errorMode = 0;
    std::size_t criticalErrorBoxes = 0;
    std::map<std::uintptr_t, Listing> listings;
    std::uintptr_t nextListing = 0x3000;
    wchar_t pullLetter = 0;
    std::size_t pullAfterCalls = 0;
};

} // namespace qel::sim

#endif // QELBOOT_PLATFORM_SIM_FILES_STATE_H
