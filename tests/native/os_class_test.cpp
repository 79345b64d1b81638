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

using OSClassTest = SimTest;

// NT 5.1 is XP and 5.0 is 2000 whatever the product type; 6.0 is Vista on a workstation only; everything
// else, and every platform other than NT, is "other". When the extended record fails the basic one serves,
// which has no product type; without either record the class is "other".
TEST_F(OSClassTest, ClassFollowsPlatformVersionAndProductTypeOfTheRecordThatAnswers) {
    const struct {
        std::uint32_t major, minor;
        std::uint8_t productType;
        std::uint32_t platformId;
        int failing; // 1: the extended record fails, 2: both fail
        OSClass expected;
    } cases[] = {
        {5, 1, kWorkstation, kNt, 0, OSClassXP},         {5, 1, kServer, kNt, 0, OSClassXP},
        {5, 0, kWorkstation, kNt, 0, OSClass2000},       {5, 0, kDomainController, kNt, 0, OSClass2000},
        {6, 0, kWorkstation, kNt, 0, OSClassVista},      {6, 0, kServer, kNt, 0, OSClassOther},
        {6, 0, kDomainController, kNt, 0, OSClassOther}, {5, 2, kWorkstation, kNt, 0, OSClassOther},
        {6, 1, kWorkstation, kNt, 0, OSClassOther},      {10, 0, kWorkstation, kNt, 0, OSClassOther},
        {4, 0, kWorkstation, kNt, 0, OSClassOther},      {5, 1, kWorkstation, kWindows9x, 0, OSClassOther},
        {5, 0, kWorkstation, 0, 0, OSClassOther},        {6, 0, kWorkstation, 3, 0, OSClassOther},
        {5, 1, kWorkstation, kNt, 1, OSClassXP},         {5, 0, kWorkstation, kNt, 1, OSClass2000},
        {6, 0, kWorkstation, kNt, 1, OSClassOther},      {5, 1, kWorkstation, kNt, 2, OSClassOther},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        TheMachine().SetVersion(c.major, c.minor, c.productType, c.platformId);
        TheMachine().FailVersionQuery(c.failing > 0, c.failing > 1);
        EXPECT_EQ(c.expected, GetOSClass());
    }
}

} // namespace
} // namespace qel::simtest
