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

// Both sides widened alike, so that negative codes compare as they are.
struct Value {
    template <typename Ours, typename Sdk>
    Value(const char* label, Ours mine, Sdk theirs)
        : name(label), ours(static_cast<unsigned long long>(mine)),
          sdk(static_cast<unsigned long long>(theirs)) {}
    const char* name;
    unsigned long long ours, sdk;
};
// Named after the SDK's macro.
#define SDK_VALUE(ours, sdk) Value(#sdk, ours, sdk)

TEST(SdkValues, NumbersAreTheSdks) {
    const Value values[] = {
        SDK_VALUE(os::kSuccess, ERROR_SUCCESS),
        SDK_VALUE(os::kFileNotFound, ERROR_FILE_NOT_FOUND),
        SDK_VALUE(os::kPathNotFound, ERROR_PATH_NOT_FOUND),
        SDK_VALUE(os::kAccessDenied, ERROR_ACCESS_DENIED),
        SDK_VALUE(os::kInvalidHandle, ERROR_INVALID_HANDLE),
        SDK_VALUE(os::kNotEnoughMemory, ERROR_NOT_ENOUGH_MEMORY),
        SDK_VALUE(os::kNoMoreFiles, ERROR_NO_MORE_FILES),
        SDK_VALUE(os::kNotReady, ERROR_NOT_READY),
        SDK_VALUE(os::kInvalidParameter, ERROR_INVALID_PARAMETER),
        SDK_VALUE(os::kInsufficientBuffer, ERROR_INSUFFICIENT_BUFFER),
        SDK_VALUE(os::kMoreData, ERROR_MORE_DATA),
        SDK_VALUE(os::kNoMoreItems, ERROR_NO_MORE_ITEMS),
        SDK_VALUE(os::kNotFound, ERROR_NOT_FOUND),
        SDK_VALUE(os::kRegSz, REG_SZ),
        SDK_VALUE(os::kRegBinary, REG_BINARY),
        SDK_VALUE(os::kRegDword, REG_DWORD),
        SDK_VALUE(os::kKeyQueryValue, KEY_QUERY_VALUE),
        SDK_VALUE(os::kKeySetValue, KEY_SET_VALUE),
        SDK_VALUE(os::kKeyCreateSubKey, KEY_CREATE_SUB_KEY),
        SDK_VALUE(os::kKeyEnumerateSubKeys, KEY_ENUMERATE_SUB_KEYS),
        SDK_VALUE(os::kKeyRead, KEY_READ),
        SDK_VALUE(os::kKeyWrite, KEY_WRITE),
        SDK_VALUE(os::kKeyAllAccess, KEY_ALL_ACCESS),
        // winnt.h defines PROCESS_ALL_ACCESS one way or the other by the Windows version built for.
        Value("PROCESS_ALL_ACCESS (Vista)", os::kProcessAllAccess,
              STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0xFFFF),
        Value("PROCESS_ALL_ACCESS (before Vista)", os::kProcessAllAccessBeforeVista,
              STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0xFFF),
        SDK_VALUE(os::SpawnMode::NoWait, _P_NOWAIT),
        SDK_VALUE(os::SpawnMode::Detach, _P_DETACH),
        // The C samples, built without the SDK.
        SDK_VALUE(SAMPLE_STD_OUTPUT_HANDLE, STD_OUTPUT_HANDLE),
        SDK_VALUE(SAMPLE_GENERIC_WRITE, GENERIC_WRITE),
        SDK_VALUE(SAMPLE_CREATE_ALWAYS, CREATE_ALWAYS),
        SDK_VALUE(os::kWmQuit, WM_QUIT),
        SDK_VALUE(os::kWmClose, WM_CLOSE),
        SDK_VALUE(os::kWmDeviceChange, WM_DEVICECHANGE),
        SDK_VALUE(os::kDbtDevNodesChanged, DBT_DEVNODES_CHANGED),
        SDK_VALUE(os::kDbtDeviceArrival, DBT_DEVICEARRIVAL),
        SDK_VALUE(os::kDbtDeviceRemoveComplete, DBT_DEVICEREMOVECOMPLETE),
        SDK_VALUE(os::kWsPopup, WS_POPUP),
        SDK_VALUE(os::kSemFailCriticalErrors, SEM_FAILCRITICALERRORS),
        SDK_VALUE(os::kSemNoOpenFileErrorBox, SEM_NOOPENFILEERRORBOX),
        SDK_VALUE(os::kDriveUnknown, DRIVE_UNKNOWN),
        SDK_VALUE(os::kDriveNoRootDir, DRIVE_NO_ROOT_DIR),
        SDK_VALUE(os::kDriveRemovable, DRIVE_REMOVABLE),
        SDK_VALUE(os::kDriveFixed, DRIVE_FIXED),
        SDK_VALUE(os::kDriveRemote, DRIVE_REMOTE),
        SDK_VALUE(os::kDriveCdrom, DRIVE_CDROM),
        SDK_VALUE(os::kDriveRamdisk, DRIVE_RAMDISK),
        SDK_VALUE(os::kPlatformNt, VER_PLATFORM_WIN32_NT),
        SDK_VALUE(os::kWorkstation, VER_NT_WORKSTATION),
        SDK_VALUE(os::kSOk, S_OK),
        SDK_VALUE(os::kSFalse, S_FALSE),
        SDK_VALUE(os::kENoInterface, E_NOINTERFACE),
        SDK_VALUE(os::kEFail, E_FAIL),
        SDK_VALUE(kStiVersion, STI_VERSION),
        SDK_VALUE(os::kStiDeviceTypeScanner, StiDeviceTypeScanner),
        SDK_VALUE(os::kStiDeviceTypeDigitalCamera, StiDeviceTypeDigitalCamera),
    };
    for (const Value& value : values)
        EXPECT_EQ(value.sdk, value.ours) << value.name;
}

// The TWAIN values, each list expanded here with the library's constants.
#define OUR_VALUE(name) twain::name
#define OUR_FIELD(field) offsetof(twain::TW_IDENTITY, field)
#define NAME(name) #name
TEST(SdkValues, TwainValuesAreTheStandards) {
    const unsigned long long ours[] = {QEL_TWAIN_VALUES(OUR_VALUE), QEL_TWAIN_FIELDS(OUR_FIELD),
                                       sizeof(twain::TW_IDENTITY)};
    const char* const names[] = {QEL_TWAIN_VALUES(NAME), QEL_TWAIN_FIELDS(NAME), "sizeof(TW_IDENTITY)"};
    for (std::size_t i = 0; i < std::size(ours); ++i)
        EXPECT_EQ(kSdkTwain[i], ours[i]) << names[i];
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
