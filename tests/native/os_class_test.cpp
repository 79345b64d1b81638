// Classifying the running Windows version.
#include <gtest/gtest.h>

#include <cstdint>

#include "deviceconnect/os_class.h"
#include "sim_fixture.h"

namespace qel {
namespace {

using namespace simtest;

constexpr std::uint8_t kWorkstation = 1;
constexpr std::uint8_t kDomainController = 2;
constexpr std::uint8_t kServer = 3;
constexpr std::uint32_t kPlatformWindows9x = 1;

class OSClassTest : public SimTest {
protected:
    OSClass ClassOf(std::uint32_t major, std::uint32_t minor, std::uint8_t productType = kWorkstation,
                    std::uint32_t platformId = 2) {
        TheMachine().SetVersion(major, minor, productType, platformId);
        return GetOSClass();
    }
};

TEST_F(OSClassTest, Nt51IsXpAndNt50Is2000WhateverProductType) {
    EXPECT_EQ(OSClassXP, ClassOf(5, 1));
    EXPECT_EQ(OSClassXP, ClassOf(5, 1, kServer));
    EXPECT_EQ(OSClass2000, ClassOf(5, 0));
    EXPECT_EQ(OSClass2000, ClassOf(5, 0, kDomainController));
}

TEST_F(OSClassTest, Nt60WorkstationIsVistaAndServerIsOther) {
    EXPECT_EQ(OSClassVista, ClassOf(6, 0, kWorkstation));
    EXPECT_EQ(OSClassOther, ClassOf(6, 0, kServer));
    EXPECT_EQ(OSClassOther, ClassOf(6, 0, kDomainController));
}

TEST_F(OSClassTest, OtherNtVersionsAreOther) {
    EXPECT_EQ(OSClassOther, ClassOf(5, 2));
    EXPECT_EQ(OSClassOther, ClassOf(6, 1));
    EXPECT_EQ(OSClassOther, ClassOf(10, 0));
    EXPECT_EQ(OSClassOther, ClassOf(4, 0));
}

TEST_F(OSClassTest, NonNtPlatformIsOtherEvenWithXpNumbers) {
    EXPECT_EQ(OSClassOther, ClassOf(5, 1, kWorkstation, kPlatformWindows9x));
    EXPECT_EQ(OSClassOther, ClassOf(5, 0, kWorkstation, 0));
    EXPECT_EQ(OSClassOther, ClassOf(6, 0, kWorkstation, 3));
}

TEST_F(OSClassTest, BasicRecordServesWhenExtendedFailsButHasNoProductType) {
    TheMachine().FailVersionQuery(true, false);
    EXPECT_EQ(OSClassXP, ClassOf(5, 1));
    EXPECT_EQ(OSClass2000, ClassOf(5, 0));
    EXPECT_EQ(OSClassOther, ClassOf(6, 0, kWorkstation));
}

TEST_F(OSClassTest, UnreadableVersionIsOther) {
    TheMachine().FailVersionQuery(true, true);
    EXPECT_EQ(OSClassOther, ClassOf(5, 1));
}

} // namespace
} // namespace qel
