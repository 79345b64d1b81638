// The TWAIN standard's values as Wine's twain.h defines them, in a file of their own: that header's macros
// bear the very names of the library's own constants.
#include <cstddef>

#include "platform/win32/windows_api.h"
#ifndef DECLSPEC_EXPORT
#define DECLSPEC_EXPORT __declspec(dllexport)
#endif
#include <twain.h>

#include "sdk_twain_values.h"

namespace qel {

const SdkTwainValues kSdkTwain = {
    DG_CONTROL,
    DG_IMAGE,
    DAT_IDENTITY,
    DAT_PARENT,
    MSG_GETFIRST,
    MSG_GETNEXT,
    MSG_OPENDSM,
    MSG_CLOSEDSM,
    TWRC_SUCCESS,
    TWRC_FAILURE,
    TWRC_ENDOFLIST,
    TWLG_USA,
    TWCY_USA,
    sizeof(TW_IDENTITY),
    offsetof(TW_IDENTITY, Version),
    offsetof(TW_IDENTITY, ProtocolMajor),
    offsetof(TW_IDENTITY, SupportedGroups),
    offsetof(TW_IDENTITY, ProductName),
};

} // namespace qel
