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

void CreateFolder(const std::wstring& path) { sim::Machine::Current().AddFolder(path); }

void CreateTextFile(const std::wstring& path, const std::wstring& content) {
    sim::Machine::Current().AddFile(path);
    sim::Machine::Current().SetFileText(path, content);
}

void CreateLibraryFile(const std::wstring& path) {
    struct NoFunctions : sim::Machine::Library {
        void* Function(const std::string&) override { return nullptr; }
    };
    sim::Machine::Current().AddLibrary(path, std::make_shared<NoFunctions>());
}

std::wstring FreshDrive(std::uint32_t type) {
    wchar_t letter = L'R';
    while (os::LogicalDrives() >> (letter - L'A') & 1u)
        ++letter;
    sim::Machine::Current().AddDrive(letter, type, L"NTFS");
    return std::wstring(1, letter) + L":";
}

void RemoveDriveMedium(const std::wstring& root) { sim::Machine::Current().RemoveMedium(root[0]); }

void RaiseStructured(std::uint32_t code) { throw sim::RaisedException{code}; }

void WriteThroughNull() { RaiseStructured(0xC0000005); }

std::wstring OwnProgramPath() {
    const std::wstring path = L"C:\\QelbootConformance\\Programs\\qelboot_conformance_tests.exe";
    sim::Machine::Current().SetSelf(path);
    return path;
}

} // namespace qel::testenv
