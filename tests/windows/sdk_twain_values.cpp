// The TWAIN values as Wine's twain.h defines them, in a file of their own: that header's macros bear the very
// names of the library's own constants.
#include <cstddef>

#include "platform/win32/windows_api.h"
#ifndef DECLSPEC_EXPORT
#define DECLSPEC_EXPORT __declspec(dllexport)
#endif
#include <twain.h>

#include "sdk_twain_values.h"

#define SDK_VALUE(name) name
#define SDK_FIELD(field) offsetof(TW_IDENTITY, field)
const unsigned long long qel::kSdkTwain[] = {QEL_TWAIN_VALUES(SDK_VALUE), QEL_TWAIN_FIELDS(SDK_FIELD),
                                             sizeof(TW_IDENTITY)};
