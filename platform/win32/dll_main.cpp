// dll_main.cpp - the DLL's entry point, called by the runtime's own entry code. Compiled into the DLL alone,
// apart from the seam's objects and their include paths, it needs nothing of the seam.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// The library has nothing to do per thread, and its threads run until the process ends: the loader need not
// call in for every thread that starts or ends.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH)
        ::DisableThreadLibraryCalls(instance);
    return TRUE;
}
