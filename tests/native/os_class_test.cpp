// Classifying the running Windows version.

#include "deviceconnect/os_class.h"
#include "sim_fixture.h"

namespace qel::simtest {
namespace {

constexpr std::uint8_t kWorkstation = 1;
constexpr std::uint8_t kDomainController = 2;
constexpr std::uint8_t kServer = 3;
constexpr std::uint32_t kNt = 2;
constexpr std::uint32_t kWindows9x = 1;

class OSClassTest : public SimTest {};

// NT 5.1 is XP and 5.0 is 2000 whatever the product type; 6.0 is Vista on a workstation only; everything
// else, and every platform other than NT, is "other".
TEST_F(OSClassTest, ClassFollowsPlatformVersionAndProductType) {
    const struct {
        std::uint32_t major, minor;
        std::uint8_t productType;
        std::uint32_t platformId;
        OSClass expected;
    } cases[] = {
        {5, 1, kWorkstation, kNt, OSClassXP},         {5, 1, kServer, kNt, OSClassXP},
        {5, 0, kWorkstation, kNt, OSClass2000},       {5, 0, kDomainController, kNt, OSClass2000},
        {6, 0, kWorkstation, kNt, OSClassVista},      {6, 0, kServer, kNt, OSClassOther},
        {6, 0, kDomainController, kNt, OSClassOther}, {5, 2, kWorkstation, kNt, OSClassOther},
        {6, 1, kWorkstation, kNt, OSClassOther},      {10, 0, kWorkstation, kNt, OSClassOther},
        {4, 0, kWorkstation, kNt, OSClassOther},      {5, 1, kWorkstation, kWindows9x, OSClassOther},
        {5, 0, kWorkstation, 0, OSClassOther},        {6, 0, kWorkstation, 3, OSClassOther},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor << " product " << int{c.productType}
                                        << " platform " << c.platformId);
        TheMachine().SetVersion(c.major, c.minor, c.productType, c.platformId);
        EXPECT_EQ(c.expected, GetOSClass());
    }
}

TEST_F(OSClassTest, BasicRecordServesWhenExtendedFailsButHasNoProductTypeAndNoRecordIsOther) {
    TheMachine().FailVersionQuery(true, false);
    TheMachine().SetVersion(5, 1, kWorkstation);
    EXPECT_EQ(OSClassXP, GetOSClass());
    TheMachine().SetVersion(5, 0, kWorkstation);
    EXPECT_EQ(OSClass2000, GetOSClass());
    TheMachine().SetVersion(6, 0, kWorkstation);
    EXPECT_EQ(OSClassOther, GetOSClass());
    TheMachine().FailVersionQuery(true, true);
    TheMachine().SetVersion(5, 1, kWorkstation);
    EXPECT_EQ(OSClassOther, GetOSClass());
}

} // namespace
} // namespace qel::simtest
