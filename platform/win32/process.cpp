// process.cpp - kernel objects and processes: handles, named mutexes, process lookup, sessions, spawning.
#include <process.h>

#include <vector>

#include "platform/win32/windows_api.h"

namespace qel::os {

bool CloseKernelHandle(Handle handle) { return ::CloseHandle(ToNativeHandle(handle)) != FALSE; }

Handle CreateNamedMutex(const std::wstring& name, bool* alreadyExisted) {
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
    // Read at once: nothing may run between the call and the error it leaves behind.
    const DWORD error = ::GetLastError();
    if (mutex != nullptr && alreadyExisted != nullptr)
        *alreadyExisted = error == ERROR_ALREADY_EXISTS;
    return FromNativeHandle(mutex);
}

std::uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }

Handle OpenProcess(std::uint32_t id, std::uint32_t access) {
    return FromNativeHandle(::OpenProcess(access, FALSE, id));
}

bool FirstModulePath(Handle process, std::uint32_t maxChars, std::wstring* path) {
    HMODULE first = nullptr;
    DWORD needed = 0;
    if (!::EnumProcessModules(ToNativeHandle(process), &first, sizeof first, &needed))
        return false;
    std::vector<wchar_t> buffer(maxChars + std::size_t{1});
    const DWORD length = ::GetModuleFileNameExW(ToNativeHandle(process), first, buffer.data(), maxChars);
    if (length == 0)
        return false;
    path->assign(buffer.data(), length);
    return true;
}

bool ProcessIds(std::vector<std::uint32_t>* ids) {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    if (!::Process32FirstW(snapshot, &entry)) {
        ::CloseHandle(snapshot);
        return false;
    }
    std::vector<std::uint32_t> found;
    do
        found.push_back(entry.th32ProcessID);
    while (::Process32NextW(snapshot, &entry));
    ::CloseHandle(snapshot);
    *ids = std::move(found);
    return true;
}

bool TerminateProcess(Handle process, std::uint32_t exitCode) {
    return ::TerminateProcess(ToNativeHandle(process), exitCode) != FALSE;
}

void ExitProcess(std::uint32_t exitCode) { ::ExitProcess(exitCode); }

bool ProcessSession(std::uint32_t id, std::uint32_t* session) {
    DWORD found = 0;
    if (!::ProcessIdToSessionId(id, &found))
        return false;
    *session = found;
    return true;
}

std::intptr_t Spawn(SpawnMode mode, const std::wstring& program, const std::vector<std::wstring>& argv) {
    std::vector<const wchar_t*> arguments;
    arguments.reserve(argv.size() + 1);
    for (const std::wstring& argument : argv)
        arguments.push_back(argument.c_str());
    arguments.push_back(nullptr);
    const std::intptr_t result = ::_wspawnvp(static_cast<int>(mode), program.c_str(), arguments.data());
    // Nobody waits for the started program: its process handle would only leak.
    if (mode == SpawnMode::NoWait && result != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(result));
    return result;
}

} // namespace qel::os
