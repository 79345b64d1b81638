// Every value the library's portable core keeps for Windows (error and HRESULT codes, registry types and
// rights, access masks, messages and device-change events, flags, drive types, version fields, GUIDs, STI and
// TWAIN values and records), compared with the SDK's own: mingw-w64's headers, and Wine's twain.h for TWAIN,
// which mingw-w64 lacks.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <process.h>

#include "platform/win32/windows_api.h"
// After windows.h: the WIA and STI identifiers are defined here, in this test.
#include <initguid.h>
#include <sti.h>
#include <wia.h>

#include "hosts/c_samples/win32_values.h"
#include "platform/twain.h"
#include "sdk_twain_values.h"
#include "trackers/sti_tracker.h"

namespace qel {
namespace {

struct Value {
    const char* name;
    unsigned long long ours;
    unsigned long long sdk;
};

TEST(SdkValues, NumbersAreTheSdks) {
    const Value values[] = {
        {"ERROR_SUCCESS", os::kSuccess, ERROR_SUCCESS},
        {"ERROR_FILE_NOT_FOUND", os::kFileNotFound, ERROR_FILE_NOT_FOUND},
        {"ERROR_PATH_NOT_FOUND", os::kPathNotFound, ERROR_PATH_NOT_FOUND},
        {"ERROR_ACCESS_DENIED", os::kAccessDenied, ERROR_ACCESS_DENIED},
        {"ERROR_INVALID_HANDLE", os::kInvalidHandle, ERROR_INVALID_HANDLE},
        {"ERROR_NOT_ENOUGH_MEMORY", os::kNotEnoughMemory, ERROR_NOT_ENOUGH_MEMORY},
        {"ERROR_NO_MORE_FILES", os::kNoMoreFiles, ERROR_NO_MORE_FILES},
        {"ERROR_NOT_READY", os::kNotReady, ERROR_NOT_READY},
        {"ERROR_INVALID_PARAMETER", os::kInvalidParameter, ERROR_INVALID_PARAMETER},
        {"ERROR_INSUFFICIENT_BUFFER", os::kInsufficientBuffer, ERROR_INSUFFICIENT_BUFFER},
        {"ERROR_MORE_DATA", os::kMoreData, ERROR_MORE_DATA},
        {"ERROR_NO_MORE_ITEMS", os::kNoMoreItems, ERROR_NO_MORE_ITEMS},
        {"ERROR_NOT_FOUND", os::kNotFound, ERROR_NOT_FOUND},
        {"REG_SZ", os::kRegSz, REG_SZ},
        {"REG_BINARY", os::kRegBinary, REG_BINARY},
        {"REG_DWORD", os::kRegDword, REG_DWORD},
        {"KEY_QUERY_VALUE", os::kKeyQueryValue, KEY_QUERY_VALUE},
        {"KEY_SET_VALUE", os::kKeySetValue, KEY_SET_VALUE},
        {"KEY_CREATE_SUB_KEY", os::kKeyCreateSubKey, KEY_CREATE_SUB_KEY},
        {"KEY_ENUMERATE_SUB_KEYS", os::kKeyEnumerateSubKeys, KEY_ENUMERATE_SUB_KEYS},
        {"KEY_READ", os::kKeyRead, KEY_READ},
        {"KEY_WRITE", os::kKeyWrite, KEY_WRITE},
        {"KEY_ALL_ACCESS", os::kKeyAllAccess, KEY_ALL_ACCESS},
        // winnt.h defines PROCESS_ALL_ACCESS one way or the other by the Windows version built for.
        {"PROCESS_ALL_ACCESS (Vista)", os::kProcessAllAccess,
         STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0xFFFF},
        {"PROCESS_ALL_ACCESS (before Vista)", os::kProcessAllAccessBeforeVista,
         STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0xFFF},
        {"_P_NOWAIT", static_cast<unsigned>(os::SpawnMode::NoWait), _P_NOWAIT},
        {"_P_DETACH", static_cast<unsigned>(os::SpawnMode::Detach), _P_DETACH},
        // The C samples, built without the SDK.
        {"STD_OUTPUT_HANDLE", SAMPLE_STD_OUTPUT_HANDLE, STD_OUTPUT_HANDLE},
        {"GENERIC_WRITE", SAMPLE_GENERIC_WRITE, GENERIC_WRITE},
        {"CREATE_ALWAYS", SAMPLE_CREATE_ALWAYS, CREATE_ALWAYS},
        {"WM_QUIT", os::kWmQuit, WM_QUIT},
        {"WM_CLOSE", os::kWmClose, WM_CLOSE},
        {"WM_DEVICECHANGE", os::kWmDeviceChange, WM_DEVICECHANGE},
        {"DBT_DEVNODES_CHANGED", os::kDbtDevNodesChanged, DBT_DEVNODES_CHANGED},
        {"DBT_DEVICEARRIVAL", os::kDbtDeviceArrival, DBT_DEVICEARRIVAL},
        {"DBT_DEVICEREMOVECOMPLETE", os::kDbtDeviceRemoveComplete, DBT_DEVICEREMOVECOMPLETE},
        {"WS_POPUP", os::kWsPopup, WS_POPUP},
        {"SEM_FAILCRITICALERRORS", os::kSemFailCriticalErrors, SEM_FAILCRITICALERRORS},
        {"SEM_NOOPENFILEERRORBOX", os::kSemNoOpenFileErrorBox, SEM_NOOPENFILEERRORBOX},
        {"DRIVE_UNKNOWN", os::kDriveUnknown, DRIVE_UNKNOWN},
        {"DRIVE_NO_ROOT_DIR", os::kDriveNoRootDir, DRIVE_NO_ROOT_DIR},
        {"DRIVE_REMOVABLE", os::kDriveRemovable, DRIVE_REMOVABLE},
        {"DRIVE_FIXED", os::kDriveFixed, DRIVE_FIXED},
        {"DRIVE_REMOTE", os::kDriveRemote, DRIVE_REMOTE},
        {"DRIVE_CDROM", os::kDriveCdrom, DRIVE_CDROM},
        {"DRIVE_RAMDISK", os::kDriveRamdisk, DRIVE_RAMDISK},
        {"VER_PLATFORM_WIN32_NT", os::kPlatformNt, VER_PLATFORM_WIN32_NT},
        {"VER_NT_WORKSTATION", os::kWorkstation, VER_NT_WORKSTATION},
        {"S_OK", static_cast<unsigned long>(os::kSOk), static_cast<unsigned long>(S_OK)},
        {"S_FALSE", static_cast<unsigned long>(os::kSFalse), static_cast<unsigned long>(S_FALSE)},
        {"E_NOINTERFACE", static_cast<unsigned long>(os::kENoInterface),
         static_cast<unsigned long>(E_NOINTERFACE)},
        {"E_FAIL", static_cast<unsigned long>(os::kEFail), static_cast<unsigned long>(E_FAIL)},
        {"STI_VERSION", kStiVersion, STI_VERSION},
        {"StiDeviceTypeScanner", os::kStiDeviceTypeScanner, StiDeviceTypeScanner},
        {"StiDeviceTypeDigitalCamera", os::kStiDeviceTypeDigitalCamera, StiDeviceTypeDigitalCamera},
        {"DG_CONTROL", twain::DG_CONTROL, kSdkTwain.dgControl},
        {"DG_IMAGE", twain::DG_IMAGE, kSdkTwain.dgImage},
        {"DAT_IDENTITY", twain::DAT_IDENTITY, kSdkTwain.datIdentity},
        {"DAT_PARENT", twain::DAT_PARENT, kSdkTwain.datParent},
        {"MSG_GETFIRST", twain::MSG_GETFIRST, kSdkTwain.msgGetFirst},
        {"MSG_GETNEXT", twain::MSG_GETNEXT, kSdkTwain.msgGetNext},
        {"MSG_OPENDSM", twain::MSG_OPENDSM, kSdkTwain.msgOpenDsm},
        {"MSG_CLOSEDSM", twain::MSG_CLOSEDSM, kSdkTwain.msgCloseDsm},
        {"TWRC_SUCCESS", twain::TWRC_SUCCESS, kSdkTwain.twrcSuccess},
        {"TWRC_FAILURE", twain::TWRC_FAILURE, kSdkTwain.twrcFailure},
        {"TWRC_ENDOFLIST", twain::TWRC_ENDOFLIST, kSdkTwain.twrcEndOfList},
        {"TWLG_USA", twain::TWLG_USA, kSdkTwain.twlgUsa},
        {"TWCY_USA", twain::TWCY_USA, kSdkTwain.twcyUsa},
        {"sizeof(TW_IDENTITY)", sizeof(twain::TW_IDENTITY), kSdkTwain.identitySize},
        {"TW_IDENTITY.Version", offsetof(twain::TW_IDENTITY, Version), kSdkTwain.versionAt},
        {"TW_IDENTITY.ProtocolMajor", offsetof(twain::TW_IDENTITY, ProtocolMajor), kSdkTwain.protocolMajorAt},
        {"TW_IDENTITY.SupportedGroups", offsetof(twain::TW_IDENTITY, SupportedGroups),
         kSdkTwain.supportedGroupsAt},
        {"TW_IDENTITY.ProductName", offsetof(twain::TW_IDENTITY, ProductName), kSdkTwain.productNameAt},
    };
    for (const Value& value : values)
        EXPECT_EQ(value.sdk, value.ours) << value.name;
}

TEST(SdkValues, GuidsAreTheSdks) {
    const struct {
        const char* name;
        os::Guid ours;
        GUID sdk;
    } guids[] = {
        {"IID_IUnknown", os::kIidUnknown, IID_IUnknown},
        {"IID_IWiaEventCallback", os::kIidWiaEventCallback, IID_IWiaEventCallback},
        {"WIA_EVENT_DEVICE_CONNECTED", os::kWiaEventDeviceConnected, WIA_EVENT_DEVICE_CONNECTED},
    };
    static_assert(sizeof(os::Guid) == sizeof(GUID));
    for (const auto& guid : guids)
        EXPECT_EQ(0, std::memcmp(&guid.ours, &guid.sdk, sizeof(GUID))) << guid.name;
}

} // namespace
} // namespace qel
