// files.cpp - the simulated files and folders: adding, removing and finding them, and full paths.
#include <algorithm>

#include "platform/sim/machine.h"

namespace qel::sim {
namespace {

// The folded path of the folder holding `full` (a full path), a drive root keeping its backslash; empty for
// a root itself.
std::wstring ParentOf(const std::wstring& full) {
    const auto slash = full.rfind(L'\\');
    if (slash == std::wstring::npos || slash + 1 == full.size())
        return {};
    return slash > 0 && full[slash - 1] == L':' ? full.substr(0, slash + 1) : full.substr(0, slash);
}

} // namespace

std::wstring FileState::FullPath(const std::wstring& path) const {
    const bool absolute = (path.size() >= 2 && path[1] == L':') || (!path.empty() && path[0] == L'\\');
    const std::wstring joined = absolute ? path : currentDirectory + L"\\" + path;
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

void FileState::AddEntry(const std::wstring& path, bool directory) {
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
        if ((isFolder ? folders : files).insert(here).second && !parent.empty())
            folderEntries[parent].push_back(
                FolderEntry{full.substr(start, last ? std::wstring::npos : slash - start), isFolder});
        if (last)
            return;
        parent = here;
        start = slash + 1;
    }
}

bool FileState::Readable(const std::wstring& fullPath) const {
    const Drive* drive = DriveOfPath(fullPath);
    return !drive || (drive->present && drive->medium);
}

void Machine::AddFile(const std::wstring& path) { files_.AddEntry(path, false); }

void Machine::AddFolder(const std::wstring& path) { files_.AddEntry(path, true); }

void Machine::SetFileText(const std::wstring& path, const std::wstring& text) {
    AddFile(path);
    files_.texts[FoldCase(files_.FullPath(path))] = text;
}

void Machine::RemoveFile(const std::wstring& path) {
    const std::wstring folded = FoldCase(files_.FullPath(path));
    files_.texts.erase(folded);
    if (!files_.files.erase(folded))
        return;
    auto& entries = files_.folderEntries[ParentOf(folded)];
    const std::wstring name = folded.substr(folded.rfind(L'\\') + 1);
    const auto entry =
        std::find_if(entries.begin(), entries.end(), [&](const FileState::FolderEntry& candidate) {
            return !candidate.directory && FoldCase(candidate.name) == name;
        });
    if (entry != entries.end())
        entries.erase(entry);
}

bool Machine::FileExists(const std::wstring& path) const {
    if (path.empty())
        return false;
    const std::wstring full = FoldCase(files_.FullPath(path));
    return (files_.files.count(full) != 0 || files_.folders.count(full) != 0) && files_.Readable(full);
}

bool Machine::IsFolder(const std::wstring& path) const {
    if (path.empty())
        return false;
    const std::wstring full = FoldCase(files_.FullPath(path));
    return files_.folders.count(full) != 0 && files_.Readable(full);
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

} // namespace qel::os
