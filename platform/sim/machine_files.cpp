// machine_files.cpp - the simulated machine's files, folders, profile files, drives, volumes and folder
// listings, and the seam functions that act on them.
#include <algorithm>

#include "platform/sim/machine.h"

namespace qel::sim {
namespace {

wchar_t UpperLetter(wchar_t letter) {
    return letter >= L'a' && letter <= L'z' ? static_cast<wchar_t>(letter - L'a' + L'A') : letter;
}

// The folded path of the folder holding `full` (a full path), a drive root keeping its backslash; empty for
// a root itself.
std::wstring ParentOf(const std::wstring& full) {
    const auto slash = full.rfind(L'\\');
    if (slash == std::wstring::npos || slash + 1 == full.size())
        return {};
    return slash > 0 && full[slash - 1] == L':' ? full.substr(0, slash + 1) : full.substr(0, slash);
}

// Whether `name` matches a listing's mask of '*' and '?', letter case ignored.
bool MatchesMask(const std::wstring& name, const std::wstring& mask) {
    const std::wstring text = FoldCase(name);
    const std::wstring wild = FoldCase(mask);
    std::size_t t = 0, w = 0, starAt = std::wstring::npos, resumeAt = 0;
    while (t < text.size()) {
        if (w < wild.size() && (wild[w] == L'?' || wild[w] == text[t])) {
            ++t;
            ++w;
        } else if (w < wild.size() && wild[w] == L'*') {
            starAt = w++;
            resumeAt = t;
        } else if (starAt != std::wstring::npos) {
            w = starAt + 1;
            t = ++resumeAt;
        } else {
            return false;
        }
    }
    while (w < wild.size() && wild[w] == L'*')
        ++w;
    return w == wild.size();
}

// Cut to fit and terminated, as GetVolumeInformationW is simulated here.
void CopyTruncated(const std::wstring& text, wchar_t* buffer, std::uint32_t size) {
    if (!buffer || size == 0)
        return;
    const std::size_t length = std::min<std::size_t>(text.size(), size - 1);
    std::copy_n(text.begin(), length, buffer);
    buffer[length] = L'\0';
}

std::wstring Trim(const std::wstring& text) {
    const auto first = text.find_first_not_of(L" \t\r");
    if (first == std::wstring::npos)
        return {};
    const auto last = text.find_last_not_of(L" \t\r");
    return text.substr(first, last - first + 1);
}

} // namespace

void Machine::AddEntry(const std::wstring& path, bool directory) {
    const std::wstring full = FullPath(path);
    const std::wstring folded = FoldCase(full);
    // Each folder on the way exists too; anything new is listed once, at the end of its folder.
    std::wstring parent;
    std::size_t start = 0;
    for (auto slash = full.find(L'\\');; slash = full.find(L'\\', slash + 1)) {
        const bool last = slash == std::wstring::npos;
        const std::wstring here = last                                   ? folded
                                  : slash > 0 && full[slash - 1] == L':' ? folded.substr(0, slash + 1)
                                                                         : folded.substr(0, slash);
        const bool isFolder = !last || directory;
        if ((isFolder ? folders_ : files_).insert(here).second && !parent.empty())
            folderEntries_[parent].push_back(
                FolderEntry{full.substr(start, last ? std::wstring::npos : slash - start), isFolder});
        if (last)
            return;
        parent = here;
        start = slash + 1;
    }
}

void Machine::AddFile(const std::wstring& path) { AddEntry(path, false); }

void Machine::AddFolder(const std::wstring& path) { AddEntry(path, true); }

void Machine::SetFileText(const std::wstring& path, const std::wstring& text) {
    AddFile(path);
    fileTexts_[FoldCase(FullPath(path))] = text;
}

void Machine::RemoveFile(const std::wstring& path) {
    const std::wstring folded = FoldCase(FullPath(path));
    fileTexts_.erase(folded);
    if (!files_.erase(folded))
        return;
    auto& entries = folderEntries_[ParentOf(folded)];
    const std::wstring name = folded.substr(folded.rfind(L'\\') + 1);
    const auto entry = std::find_if(entries.begin(), entries.end(), [&](const FolderEntry& candidate) {
        return !candidate.directory && FoldCase(candidate.name) == name;
    });
    if (entry != entries.end())
        entries.erase(entry);
}

bool Machine::Readable(const std::wstring& fullPath) const {
    const Drive* drive = DriveOfPath(fullPath);
    return !drive || (drive->present && drive->medium);
}

bool Machine::FileExists(const std::wstring& path) const {
    if (path.empty())
        return false;
    const std::wstring full = FoldCase(FullPath(path));
    return (files_.count(full) != 0 || folders_.count(full) != 0) && Readable(full);
}

bool Machine::IsFolder(const std::wstring& path) const {
    if (path.empty())
        return false;
    const std::wstring full = FoldCase(FullPath(path));
    return folders_.count(full) != 0 && Readable(full);
}

std::wstring Machine::FullPath(const std::wstring& path) const {
    const bool absolute = (path.size() >= 2 && path[1] == L':') || (!path.empty() && path[0] == L'\\');
    const std::wstring joined = absolute ? path : currentDirectory_ + L"\\" + path;
    // Drive root first ("C:"), then the components with "." dropped and ".." going up.
    std::vector<std::wstring> parts;
    for (const auto& part : SplitPath(joined)) {
        if (part == L".")
            continue;
        if (part == L"..") {
            if (parts.size() > 1)
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::wstring full;
    for (std::size_t i = 0; i < parts.size(); ++i)
        full += (i ? L"\\" : L"") + parts[i];
    if (parts.size() == 1 && full.size() == 2 && full[1] == L':')
        full += L"\\";
    return full;
}

bool Machine::ChangeCurrentDirectory(const std::wstring& path) {
    if (!IsFolder(path))
        return false;
    currentDirectory_ = FullPath(path);
    return true;
}

std::uint32_t Machine::ProfileSection(const std::wstring& file, const std::wstring& section, wchar_t* buffer,
                                      std::uint32_t capacity) const {
    // An empty list is two nulls, as the real call writes it.
    if (capacity < 2)
        return 0;
    buffer[0] = L'\0';
    buffer[1] = L'\0';
    const auto text = fileTexts_.find(FoldCase(FullPath(file)));
    if (text == fileTexts_.end())
        return 0;
    std::wstring lines;
    bool inSection = false;
    std::size_t start = 0;
    const std::wstring& content = text->second;
    while (start <= content.size()) {
        auto end = content.find(L'\n', start);
        if (end == std::wstring::npos)
            end = content.size();
        const std::wstring line = Trim(content.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line.front() == L'[') {
            const auto close = line.find(L']');
            inSection =
                close != std::wstring::npos && FoldCase(Trim(line.substr(1, close - 1))) == FoldCase(section);
            continue;
        }
        if (inSection && !line.empty() && line.front() != L';') {
            lines += line;
            lines += L'\0';
        }
    }
    // The section's lines, each ended by a null, then one more null; cut to fit like the real call.
    if (lines.empty())
        return 0;
    std::uint32_t written = 0;
    for (; written < lines.size() && written + 2 < capacity; ++written)
        buffer[written] = lines[written];
    buffer[written] = L'\0';
    if (written < lines.size())
        buffer[written + 1] = L'\0';
    return written;
}

// --- Drives and volumes ----------------------------------------------------------------------------------

void Machine::AddDrive(wchar_t letter, std::uint32_t type, const std::wstring& fileSystem, bool medium) {
    drives_[UpperLetter(letter)] = Drive{type, fileSystem, medium, true};
    AddFolder(std::wstring(1, UpperLetter(letter)) + L":\\");
}

Machine::Drive* Machine::FindDrive(wchar_t letter) {
    const auto drive = drives_.find(UpperLetter(letter));
    return drive == drives_.end() ? nullptr : &drive->second;
}

void Machine::RemoveDrive(wchar_t letter) {
    if (Drive* drive = FindDrive(letter))
        drive->present = false;
}

void Machine::InsertMedium(wchar_t letter) {
    if (Drive* drive = FindDrive(letter))
        drive->medium = true;
}

void Machine::RemoveMedium(wchar_t letter) {
    if (Drive* drive = FindDrive(letter))
        drive->medium = false;
}

void Machine::RemoveMediumAfterListingCalls(wchar_t letter, std::size_t calls) {
    if (calls == 0) {
        RemoveMedium(letter);
        return;
    }
    pullLetter_ = letter;
    pullAfterCalls_ = calls;
}

const Machine::Drive* Machine::DriveOfPath(const std::wstring& fullPath) const {
    if (fullPath.size() < 2 || fullPath[1] != L':')
        return nullptr;
    const auto drive = drives_.find(UpperLetter(fullPath[0]));
    return drive == drives_.end() ? nullptr : &drive->second;
}

const Machine::Drive* Machine::DriveOfRoot(const wchar_t* root) const {
    const std::wstring text = root ? std::wstring(root) : currentDirectory_.substr(0, 2);
    if (text.size() < 2 || text.size() > 3 || text[1] != L':' || (text.size() == 3 && text[2] != L'\\'))
        return nullptr;
    const Drive* drive = DriveOfPath(text);
    return drive && drive->present ? drive : nullptr;
}

void Machine::NoteCriticalError(const Drive& drive) {
    if (drive.type == os::kDriveRemovable && !drive.medium && !(errorMode_ & os::kSemFailCriticalErrors))
        ++criticalErrorBoxes_;
}

std::uint32_t Machine::SetErrorMode(std::uint32_t mode) {
    const std::uint32_t previous = errorMode_;
    errorMode_ = mode;
    return previous;
}

std::uint32_t Machine::LogicalDriveMask() const {
    if (failLogicalDrives_)
        return 0;
    std::uint32_t mask = 0;
    for (const auto& [letter, drive] : drives_) {
        if (drive.present && letter >= L'A' && letter <= L'Z')
            mask |= std::uint32_t{1} << (letter - L'A');
    }
    return mask;
}

std::uint32_t Machine::DriveTypeOf(const wchar_t* root) {
    const Drive* drive = DriveOfRoot(root);
    if (!drive)
        return os::kDriveNoRootDir;
    NoteCriticalError(*drive);
    return drive->type;
}

bool Machine::VolumeInformation(const wchar_t* root, wchar_t* volumeName, std::uint32_t volumeNameSize,
                                wchar_t* fileSystemName, std::uint32_t fileSystemNameSize) {
    const Drive* drive = DriveOfRoot(root);
    if (!drive)
        return false;
    NoteCriticalError(*drive);
    if (!drive->medium)
        return false;
    // Simulated volumes have no label.
    CopyTruncated(L"", volumeName, volumeNameSize);
    CopyTruncated(drive->fileSystem, fileSystemName, fileSystemNameSize);
    return true;
}

// --- Folder listings -------------------------------------------------------------------------------------

void Machine::CountListingCall() {
    ++listingCalls_;
    if (pullAfterCalls_ != 0 && --pullAfterCalls_ == 0)
        RemoveMedium(pullLetter_);
}

long Machine::FindFirst(const std::wstring& pattern, os::FindHandle* find, os::FindData* entry) {
    const long result = [&] {
        const auto slash = pattern.rfind(L'\\');
        if (slash == std::wstring::npos)
            return os::kFileNotFound;
        const std::wstring mask = pattern.substr(slash + 1);
        const std::wstring folder = FoldCase(FullPath(pattern.substr(0, slash)));
        if (const Drive* drive = DriveOfPath(folder)) {
            if (!drive->present)
                return os::kPathNotFound;
            NoteCriticalError(*drive);
            if (!drive->medium)
                return os::kNotReady;
        }
        if (!folders_.count(folder))
            return os::kPathNotFound;
        Listing listing{folder.size() >= 2 && folder[1] == L':' ? folder[0] : L'\0', {}};
        // A drive root has no "." and ".." entries.
        if (folder.back() != L'\\' && mask == L"*")
            listing.entries = {os::FindData{L".", true}, os::FindData{L"..", true}};
        const auto entries = folderEntries_.find(folder);
        if (entries != folderEntries_.end()) {
            listing.entries.reserve(listing.entries.size() + entries->second.size());
            for (const auto& child : entries->second) {
                if (mask == L"*" || MatchesMask(child.name, mask))
                    listing.entries.push_back(os::FindData{child.name, child.directory});
            }
        }
        if (listing.entries.empty())
            return os::kFileNotFound;
        const auto handle = nextListing_;
        nextListing_ += 4;
        *entry = listing.entries.front();
        listings_.emplace(handle, std::move(listing));
        *find = static_cast<os::FindHandle>(handle);
        return os::kSuccess;
    }();
    CountListingCall();
    return result;
}

long Machine::FindNext(os::FindHandle find, os::FindData* entry) {
    const long result = [&] {
        const auto listing = listings_.find(static_cast<std::uintptr_t>(find));
        if (listing == listings_.end())
            return os::kInvalidHandle;
        const Drive* drive = listing->second.drive ? FindDrive(listing->second.drive) : nullptr;
        if (drive && (!drive->present || !drive->medium))
            return os::kNotReady;
        if (listing->second.next >= listing->second.entries.size())
            return os::kNoMoreFiles;
        *entry = listing->second.entries[listing->second.next++];
        return os::kSuccess;
    }();
    CountListingCall();
    return result;
}

bool Machine::CloseFind(os::FindHandle find) {
    return listings_.erase(static_cast<std::uintptr_t>(find)) != 0;
}

} // namespace qel::sim

namespace qel::os {

bool FileExists(const std::wstring& path) {
    return !sim::SeamFault() && sim::Machine::Current().FileExists(path);
}

bool IsDirectory(const std::wstring& path) {
    return !sim::SeamFault() && sim::Machine::Current().IsFolder(path);
}

std::wstring RemoveFileSpec(const std::wstring& path) {
    const auto slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return {};
    // A drive root keeps its backslash.
    if (slash == 2 && path.size() > 1 && path[1] == L':')
        return path.substr(0, 3);
    if (slash == 0)
        return path.substr(0, 1);
    return path.substr(0, slash);
}

std::wstring CurrentDirectory() {
    return sim::SeamFault() ? std::wstring() : sim::Machine::Current().CurrentDirectory();
}

bool ChangeCurrentDirectory(const std::wstring& path) {
    return !sim::SeamFault() && sim::Machine::Current().ChangeCurrentDirectory(path);
}

std::uint32_t ProfileSection(const std::wstring& file, const std::wstring& section, wchar_t* buffer,
                             std::uint32_t capacity) {
    return sim::SeamFault() ? 0 : sim::Machine::Current().ProfileSection(file, section, buffer, capacity);
}

std::uint32_t SetProcessErrorMode(std::uint32_t mode) { return sim::Machine::Current().SetErrorMode(mode); }

std::uint32_t LogicalDrives() { return sim::SeamFault() ? 0 : sim::Machine::Current().LogicalDriveMask(); }

std::uint32_t DriveType(const wchar_t* root) {
    return sim::SeamFault() ? kDriveUnknown : sim::Machine::Current().DriveTypeOf(root);
}

bool VolumeInformation(const wchar_t* root, wchar_t* volumeName, std::uint32_t volumeNameSize,
                       wchar_t* fileSystemName, std::uint32_t fileSystemNameSize) {
    return !sim::SeamFault() && sim::Machine::Current().VolumeInformation(root, volumeName, volumeNameSize,
                                                                          fileSystemName, fileSystemNameSize);
}

long FindFirstEntry(const std::wstring& pattern, FindHandle* find, FindData* entry) {
    return sim::SeamFault() ? kPathNotFound : sim::Machine::Current().FindFirst(pattern, find, entry);
}

long FindNextEntry(FindHandle find, FindData* entry) {
    return sim::SeamFault() ? kNotReady : sim::Machine::Current().FindNext(find, entry);
}

bool CloseFind(FindHandle find) { return sim::Machine::Current().CloseFind(find); }

} // namespace qel::os
