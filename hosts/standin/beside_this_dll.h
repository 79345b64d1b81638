// beside_this_dll.h - the stand-ins keep their devices, data sources and call logs in text files beside them.
#ifndef QELBOOT_HOSTS_STANDIN_BESIDE_THIS_DLL_H
#define QELBOOT_HOSTS_STANDIN_BESIDE_THIS_DLL_H

#include <windows.h>

#include <string>

// The path of `name` in the folder of the DLL this is compiled into.
inline std::wstring FileBesideThisDll(const wchar_t* name) {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&FileBesideThisDll), &module);
    wchar_t path[MAX_PATH];
    const std::wstring own(path, ::GetModuleFileNameW(module, path, MAX_PATH));
    return own.substr(0, own.find_last_of(L'\\') + 1) + name;
}

#endif // QELBOOT_HOSTS_STANDIN_BESIDE_THIS_DLL_H
