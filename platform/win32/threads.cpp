// threads.cpp - threads and recursive locks.
#include <type_traits>

#include "platform/win32/windows_api.h"

namespace qel::os {
namespace {

// ThreadProc is CreateThread's routine type with fixed-width names: the same convention (QELBOOT_WINAPI is
// WINAPI), one pointer-sized argument and a 32-bit unsigned result. So a routine goes to the system as it is,
// and the system calls it exactly as the core declared it.
static_assert(std::is_same_v<ThreadProc, std::uint32_t(WINAPI*)(void*)>);
static_assert(std::is_unsigned_v<DWORD> && sizeof(DWORD) == sizeof(std::uint32_t));

LPTHREAD_START_ROUTINE ToSystemRoutine(ThreadProc proc) {
    // Through a function type without arguments, the one cast the compiler accepts between these types.
    return reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void (*)()>(proc));
}

CRITICAL_SECTION* ToSection(Lock lock) {
    return reinterpret_cast<CRITICAL_SECTION*>(static_cast<std::uintptr_t>(lock));
}

} // namespace

bool StartThread(ThreadProc proc, void* param) {
    const HANDLE thread = ::CreateThread(nullptr, 0, ToSystemRoutine(proc), param, 0, nullptr);
    if (thread == nullptr)
        return false;
    ::CloseHandle(thread);
    return true;
}

std::uint32_t CurrentThreadId() { return ::GetCurrentThreadId(); }

Lock NewRecursiveLock() {
    auto* section = new CRITICAL_SECTION;
    ::InitializeCriticalSection(section);
    return static_cast<Lock>(reinterpret_cast<std::uintptr_t>(section));
}

void EnterLock(Lock lock) { ::EnterCriticalSection(ToSection(lock)); }

void LeaveLock(Lock lock) { ::LeaveCriticalSection(ToSection(lock)); }

} // namespace qel::os
