// machine.cpp - the current machine, its start-up state and retirement, failing seam calls, name folding.
#include <new>

#include "platform/sim/machine.h"

namespace qel::sim {
namespace {

// Neither is ever destroyed: at exit, the threads of retired machines still wait on those machines.
std::unique_ptr<Machine>& CurrentSlot() {
    static auto* const machine = new std::unique_ptr<Machine>(std::make_unique<Machine>());
    return *machine;
}

std::vector<std::unique_ptr<Machine>>& RetiredMachines() {
    static auto* const retired = new std::vector<std::unique_ptr<Machine>>();
    return *retired;
}

std::intptr_t QELBOOT_WINAPI StaticWindowProc(os::Window window, std::uint32_t message, std::uintptr_t wParam,
                                              std::intptr_t lParam) {
    return os::DefaultWindowProc(window, message, wParam, lParam);
}

} // namespace

std::vector<std::wstring> SplitPath(const std::wstring& path) {
    std::vector<std::wstring> parts;
    std::wstring::size_type start = 0;
    while (start <= path.size()) {
        const auto end = path.find(L'\\', start);
        const auto part = path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (!part.empty())
            parts.push_back(part);
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    return parts;
}

std::wstring FoldCase(const std::wstring& text) {
    std::wstring folded = text;
    for (wchar_t& c : folded) {
        if ((c >= L'a' && c <= L'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
            c = static_cast<wchar_t>(c - 0x20);
    }
    return folded;
}

Machine::Machine() {
    processes_.byId[kSelfId] = Process{kSelfId, L"C:\\host.exe"};
    AddDrive(L'C', os::kDriveFixed, L"NTFS");
    AddFile(L"C:\\host.exe");
    windows_.classes[L"STATIC"] = WindowState::Class{L"Static", &StaticWindowProc};
}

Machine& Machine::Current() { return *CurrentSlot(); }

void Machine::Reset() {
    // A machine whose threads have not all ended is parked rather than freed: its threads never run again,
    // but they still wait on its scheduler.
    std::unique_ptr<Machine>& slot = CurrentSlot();
    if (!slot->scheduler_.AllEnded())
        RetiredMachines().push_back(std::move(slot));
    slot = std::make_unique<Machine>();
}

bool Machine::SeamCallFails() {
    ++seamCalls_;
    if (faultCountdown_ == 0 || --faultCountdown_ != 0)
        return false;
    if (faultKind_ == FaultKind::Throw)
        throw std::bad_alloc();
    return true;
}

} // namespace qel::sim
