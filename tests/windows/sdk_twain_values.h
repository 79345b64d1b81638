// sdk_twain_values.h - the TWAIN standard's values, read from its header by sdk_twain_values.cpp.
#ifndef QELBOOT_TESTS_WINDOWS_SDK_TWAIN_VALUES_H
#define QELBOOT_TESTS_WINDOWS_SDK_TWAIN_VALUES_H

namespace qel {

struct SdkTwainValues {
    unsigned long long dgControl, dgImage, datIdentity, datParent, msgGetFirst, msgGetNext, msgOpenDsm,
        msgCloseDsm, twrcSuccess, twrcFailure, twrcEndOfList, twlgUsa, twcyUsa, identitySize, versionAt,
        protocolMajorAt, supportedGroupsAt, productNameAt;
};
extern const SdkTwainValues kSdkTwain;

} // namespace qel

#endif // QELBOOT_TESTS_WINDOWS_SDK_TWAIN_VALUES_H
