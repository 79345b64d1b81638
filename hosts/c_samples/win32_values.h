/* win32_values.h - what the C samples take from Windows, for builds without the SDK's headers: how kernel32's
 * functions are declared, and the few values they pass (the Windows tests compare each with the SDK's own). */
#ifndef QELBOOT_C_SAMPLES_WIN32_VALUES_H
#define QELBOOT_C_SAMPLES_WIN32_VALUES_H

#define KERNEL32 __declspec(dllimport)
#if defined(_WIN64)
#define WINAPI_C
#else
#define WINAPI_C __stdcall
#endif

#define SAMPLE_STD_OUTPUT_HANDLE ((unsigned long)-11)
#define SAMPLE_GENERIC_WRITE 0x40000000UL
#define SAMPLE_CREATE_ALWAYS 2UL

#endif
