// dll_main.cpp - the DLL's entry point, called by the runtime's own entry code; compiled into the DLL alone.
#include "platform/win32/windows_api.h"

// The library has nothing to do per thread, and its threads run until the process ends: the loader need not
// call in for every thread that starts or ends.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH)
        ::DisableThreadLibraryCalls(instance);
    return TRUE;
}
