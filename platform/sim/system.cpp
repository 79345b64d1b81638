// system.cpp - the process's surroundings: output, command line, version, current directory, profiles.
#include <cstdio>

#include "platform/sim/machine.h"

namespace qel::sim {
namespace {

std::wstring Trim(const std::wstring& text) {
    const auto first = text.find_first_not_of(L" \t\r");
    if (first == std::wstring::npos)
        return {};
    const auto last = text.find_last_not_of(L" \t\r");
    return text.substr(first, last - first + 1);
}

} // namespace

void Machine::RecordDebugLine(const std::wstring& line) {
    debugLines_.push_back(line);
    debugRecords_.push_back(DebugRecord{now_, CurrentThread(), line});
    Echo(line);
}

void Machine::Echo(const std::wstring& line) const {
    if (echoDebugLines_) {
        std::fprintf(stderr, "%ls\n", line.c_str());
        std::fflush(stderr);
    }
}

bool Machine::CommandLine(std::vector<std::wstring>* arguments) const {
    *arguments = processes_.commandLine;
    return true;
}

void Machine::SetVersion(std::uint32_t major, std::uint32_t minor, std::uint8_t productType,
                         std::uint32_t platformId) {
    processes_.version = os::VersionInfo{major, minor, platformId, productType};
}

void Machine::FailVersionQuery(bool extendedFails, bool basicFails) {
    processes_.failExtendedVersion = extendedFails;
    processes_.failBasicVersion = basicFails;
}

bool Machine::QueryVersion(bool extendedRecord, os::VersionInfo* version) const {
    if (extendedRecord ? processes_.failExtendedVersion : processes_.failBasicVersion)
        return false;
    *version = processes_.version;
    if (!extendedRecord)
        version->productType = 0;
    return true;
}

bool Machine::ChangeCurrentDirectory(const std::wstring& path) {
    if (!IsFolder(path))
        return false;
    files_.currentDirectory = files_.FullPath(path);
    return true;
}

std::uint32_t Machine::ProfileSection(const std::wstring& file, const std::wstring& section, wchar_t* buffer,
                                      std::uint32_t capacity) const {
    // An empty list is two nulls, as the real call writes it.
    if (capacity < 2)
        return 0;
    buffer[0] = L'\0';
    buffer[1] = L'\0';
    const auto text = files_.texts.find(FoldCase(files_.FullPath(file)));
    if (text == files_.texts.end())
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

} // namespace qel::sim

namespace qel::os {

void DebugOutput(const std::wstring& line) { sim::Machine::Current().RecordDebugLine(line); }

void ConsoleWrite(const std::wstring& text) { sim::Machine::Current().RecordConsole(text); }

bool CommandLineArguments(std::vector<std::wstring>* arguments) {
    return !sim::SeamFault() && sim::Machine::Current().CommandLine(arguments);
}

bool QueryVersion(bool extendedRecord, VersionInfo* version) {
    return !sim::SeamFault() && sim::Machine::Current().QueryVersion(extendedRecord, version);
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

} // namespace qel::os
