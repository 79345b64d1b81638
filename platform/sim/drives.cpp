// drives.cpp - the simulated drives and their media, volumes, the error mode, and folder listings.
#include <algorithm>

#include "platform/sim/machine.h"

namespace qel::sim {
namespace {

wchar_t UpperLetter(wchar_t letter) {
    return letter >= L'a' && letter <= L'z' ? static_cast<wchar_t>(letter - L'a' + L'A') : letter;
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

} // namespace

using Drive = FileState::Drive;

FileState::Drive* FileState::FindDrive(wchar_t letter) {
    const auto drive = drives.find(UpperLetter(letter));
    return drive == drives.end() ? nullptr : &drive->second;
}

const FileState::Drive* FileState::DriveOfPath(const std::wstring& fullPath) const {
    if (fullPath.size() < 2 || fullPath[1] != L':')
        return nullptr;
    const auto drive = drives.find(UpperLetter(fullPath[0]));
    return drive == drives.end() ? nullptr : &drive->second;
}

const FileState::Drive* FileState::DriveOfRoot(const wchar_t* root) const {
    const std::wstring text = root ? std::wstring(root) : currentDirectory.substr(0, 2);
    if (text.size() < 2 || text.size() > 3 || text[1] != L':' || (text.size() == 3 && text[2] != L'\\'))
        return nullptr;
    const Drive* drive = DriveOfPath(text);
    return drive && drive->present ? drive : nullptr;
}

void FileState::NoteCriticalError(const Drive& drive) {
    if (drive.type == os::kDriveRemovable && !drive.medium && !(errorMode & os::kSemFailCriticalErrors))
        ++criticalErrorBoxes;
}

void FileState::CountListingCall() {
    if (pullAfterCalls == 0 || --pullAfterCalls != 0)
        return;
    if (Drive* drive = FindDrive(pullLetter))
        drive->medium = false;
}

void Machine::AddDrive(wchar_t letter, std::uint32_t type, const std::wstring& fileSystem, bool medium) {
    files_.drives[UpperLetter(letter)] = Drive{type, fileSystem, medium, true};
    AddFolder(std::wstring(1, UpperLetter(letter)) + L":\\");
}

void Machine::RemoveDrive(wchar_t letter) {
    if (Drive* drive = files_.FindDrive(letter))
        drive->present = false;
}

void Machine::InsertMedium(wchar_t letter) {
    if (Drive* drive = files_.FindDrive(letter))
        drive->medium = true;
}

void Machine::RemoveMedium(wchar_t letter) {
    if (Drive* drive = files_.FindDrive(letter))
        drive->medium = false;
}

void Machine::RemoveMediumAfterListingCalls(wchar_t letter, std::size_t calls) {
    if (calls == 0) {
        RemoveMedium(letter);
        return;
    }
    files_.pullLetter = letter;
    files_.pullAfterCalls = calls;
}

std::uint32_t Machine::SetErrorMode(std::uint32_t mode) {
    const std::uint32_t previous = files_.errorMode;
    files_.errorMode = mode;
    return previous;
}

std::uint32_t Machine::LogicalDriveMask() const {
    std::uint32_t mask = 0;
    for (const auto& [letter, drive] : files_.drives) {
        if (drive.present && letter >= L'A' && letter <= L'Z')
            mask |= std::uint32_t{1} << (letter - L'A');
    }
    return mask;
}

std::uint32_t Machine::DriveTypeOf(const wchar_t* root) {
    const Drive* drive = files_.DriveOfRoot(root);
    if (!drive)
        return os::kDriveNoRootDir;
    files_.NoteCriticalError(*drive);
    return drive->type;
}

bool Machine::VolumeInformation(const wchar_t* root, wchar_t* volumeName, std::uint32_t volumeNameSize,
                                wchar_t* fileSystemName, std::uint32_t fileSystemNameSize) {
    const Drive* drive = files_.DriveOfRoot(root);
    if (!drive)
        return false;
    files_.NoteCriticalError(*drive);
    if (!drive->medium)
        return false;
    // Simulated volumes have no label.
    CopyTruncated(L"", volumeName, volumeNameSize);
    CopyTruncated(drive->fileSystem, fileSystemName, fileSystemNameSize);
    return true;
}

long Machine::FindFirst(const std::wstring& pattern, os::FindHandle* find, os::FindData* entry) {
    const long result = [&] {
        const auto slash = pattern.rfind(L'\\');
        if (slash == std::wstring::npos)
            return os::kFileNotFound;
        const std::wstring mask = pattern.substr(slash + 1);
        const std::wstring folder = FoldCase(files_.FullPath(pattern.substr(0, slash)));
        if (const Drive* drive = files_.DriveOfPath(folder)) {
            if (!drive->present)
                return os::kPathNotFound;
            files_.NoteCriticalError(*drive);
            if (!drive->medium)
                return os::kNotReady;
        }
        if (!files_.folders.count(folder))
            return os::kPathNotFound;
        FileState::Listing listing{folder.size() >= 2 && folder[1] == L':' ? folder[0] : L'\0', {}};
        // A drive root has no "." and ".." entries.
        if (folder.back() != L'\\' && mask == L"*")
            listing.entries = {os::FindData{L".", true}, os::FindData{L"..", true}};
        const auto entries = files_.folderEntries.find(folder);
        if (entries != files_.folderEntries.end()) {
            listing.entries.reserve(listing.entries.size() + entries->second.size());
            for (const auto& child : entries->second) {
                if (mask == L"*" || MatchesMask(child.name, mask))
                    listing.entries.push_back(os::FindData{child.name, child.directory});
            }
        }
        if (listing.entries.empty())
            return os::kFileNotFound;
        const auto handle = files_.nextListing;
        files_.nextListing += 4;
        *entry = listing.entries.front();
        files_.listings.emplace(handle, std::move(listing));
        *find = static_cast<os::FindHandle>(handle);
        return os::kSuccess;
    }();
    files_.CountListingCall();
    return result;
}

long Machine::FindNext(os::FindHandle find, os::FindData* entry) {
    const long result = [&] {
        const auto listing = files_.listings.find(static_cast<std::uintptr_t>(find));
        if (listing == files_.listings.end())
            return os::kInvalidHandle;
        const Drive* drive = listing->second.drive ? files_.FindDrive(listing->second.drive) : nullptr;
        if (drive && (!drive->present || !drive->medium))
            return os::kNotReady;
        if (listing->second.next >= listing->second.entries.size())
            return os::kNoMoreFiles;
        *entry = listing->second.entries[listing->second.next++];
        return os::kSuccess;
    }();
    files_.CountListingCall();
    return result;
}

bool Machine::CloseFind(os::FindHandle find) {
    return files_.listings.erase(static_cast<std::uintptr_t>(find)) != 0;
}

} // namespace qel::sim

namespace qel::os {

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
