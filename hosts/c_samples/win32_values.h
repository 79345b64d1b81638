/* win32_values.h - the few Windows values the C samples use, for builds without the SDK's headers. The
 * Windows tests compare each with the SDK's own. */
#ifndef QELBOOT_C_SAMPLES_WIN32_VALUES_H
#define QELBOOT_C_SAMPLES_WIN32_VALUES_H

#define SAMPLE_STD_OUTPUT_HANDLE ((unsigned long)-11)
#define SAMPLE_GENERIC_WRITE 0x40000000UL
#define SAMPLE_CREATE_ALWAYS 2UL

#endif
