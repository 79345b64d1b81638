// The benchmark's machine: a fresh simulated one.
#include <string>

#include "platform/sim/machine.h"

std::wstring PrepareBenchMachine() {
    qel::sim::Machine::Reset();
    return L"C:\\bench";
}

void CreateBenchFile(const std::wstring& path) { qel::sim::Machine::Current().AddFile(path); }

void CreateBenchFolder(const std::wstring& path) { qel::sim::Machine::Current().AddFolder(path); }
