// env_sim.cpp - the conformance tests' machine: a fresh simulated one for every test.
#include "platform/sim/machine.h"
#include "test_env.h"

namespace qel::testenv {

std::wstring FreshScratchKey() {
    sim::Machine::Reset();
    sim::Machine::Current().CreateKey(os::Hive::CurrentUser, L"Software\\QelbootConformance");
    sim::Machine::Current().CreateKey(os::Hive::LocalMachine, L"SOFTWARE\\QelbootConformance");
    return L"Software\\QelbootConformance";
}

std::wstring FreshScratchFolder() { return L"C:\\QelbootConformance"; }

void CreateEmptyFile(const std::wstring& path) { sim::Machine::Current().AddFile(path); }

void CreateFolder(const std::wstring& path) { sim::Machine::Current().AddFolder(path); }

void CreateTextFile(const std::wstring& path, const std::wstring& content) {
    sim::Machine::Current().AddFile(path);
    sim::Machine::Current().SetFileText(path, content);
}

wchar_t FreshDrive(std::uint32_t type) {
    const std::uint32_t present = os::LogicalDrives();
    wchar_t letter = L'R';
    while (letter < L'Z' && (present & (1u << (letter - L'A'))) != 0)
        ++letter;
    sim::Machine::Current().AddDrive(letter, type, L"NTFS");
    return letter;
}

void RemoveDriveMedium(wchar_t letter) { sim::Machine::Current().RemoveMedium(letter); }

std::wstring OwnProgramPath() {
    const std::wstring path = L"C:\\QelbootConformance\\Programs\\qelboot_conformance_tests.exe";
    sim::Machine::Current().SetSelf(path);
    return path;
}

} // namespace qel::testenv
