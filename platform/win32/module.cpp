// module.cpp - the program's module; loading DLLs and finding their functions at run time.
#include "platform/win32/windows_api.h"

namespace qel::os {

Module LoadModule(const std::wstring& path) { return FromHmodule(::LoadLibraryW(path.c_str())); }

void* ModuleFunction(Module module, const char* name) {
    return reinterpret_cast<void*>(::GetProcAddress(ToHmodule(module), name));
}

bool FreeModule(Module module) { return ::FreeLibrary(ToHmodule(module)) != FALSE; }

Module LoadModuleAsData(const std::wstring& path) {
    return FromHmodule(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

Module LoadedModule(const std::wstring& path) { return FromHmodule(::GetModuleHandleW(path.c_str())); }

Module ProgramModule() { return FromHmodule(::GetModuleHandleW(nullptr)); }

bool PinModuleOf(ThreadProc code) {
    // Found at run time, so that the library still loads on Windows 2000, whose kernel32 lacks it.
    using ModuleHandleEx = decltype(&::GetModuleHandleExW);
    const auto moduleHandleEx = reinterpret_cast<ModuleHandleEx>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetModuleHandleExW")));
    HMODULE module = nullptr;
    return moduleHandleEx &&
           moduleHandleEx(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCWSTR>(code), &module) != FALSE;
}

} // namespace qel::os
