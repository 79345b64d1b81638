#include "deviceconnect/os_class.h"

#include "platform/os.h"

namespace qel {

OSClass GetOSClass() {
    os::VersionInfo version;
    // Systems that do not know the extended record answer the basic one, without a product type.
    if (!os::QueryVersion(true, &version) && !os::QueryVersion(false, &version))
        return OSClassOther;
    if (version.platformId != os::kPlatformNt)
        return OSClassOther;
    if (version.major == 5 && version.minor == 1)
        return OSClassXP;
    if (version.major == 5 && version.minor == 0)
        return OSClass2000;
    if (version.major == 6 && version.minor == 0 && version.productType == os::kWorkstation)
        return OSClassVista;
    return OSClassOther;
}

} // namespace qel
