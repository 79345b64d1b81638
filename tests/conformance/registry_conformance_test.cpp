// The registry half of the seam behaves as Windows does. The same tests run on the simulated machine and,
// under Wine, on the real calls.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/utf16.h"
#include "test_env.h"

namespace qel {
namespace {

constexpr os::RegKey kSentinelKey{0x5EED};
constexpr std::uint32_t kSentinel = 0xDEADBEEF;

class RegistryConformance : public ::testing::Test {
protected:
    void SetUp() override { scratch_ = testenv::FreshScratchKey(); }
    void TearDown() override {
        for (os::RegKey key : opened_)
            os::CloseRegKey(key);
    }

    // Creates (or opens) scratch\sub with every right the tests need, in the given hive.
    os::RegKey Create(const std::wstring& sub, os::Hive hive = os::Hive::CurrentUser) {
        os::RegKey key = os::kNoKey;
        const std::wstring path = sub.empty() ? scratch_ : scratch_ + L"\\" + sub;
        EXPECT_EQ(os::kSuccess,
                  os::CreateRegKey(os::HiveRoot(hive), path.c_str(), os::kKeyRead | os::kKeyWrite, &key));
        opened_.push_back(key);
        return key;
    }

    long Open(const std::wstring& sub, std::uint32_t access, os::RegKey* out) {
        const std::wstring path = sub.empty() ? scratch_ : scratch_ + L"\\" + sub;
        const long status = os::OpenRegKey(os::HiveRoot(os::Hive::CurrentUser), path.c_str(), access, out);
        if (status == os::kSuccess)
            opened_.push_back(*out);
        return status;
    }

    static void SetBytes(os::RegKey key, const wchar_t* name, std::uint32_t type,
                         const std::vector<std::uint8_t>& bytes) {
        ASSERT_EQ(os::kSuccess,
                  os::SetRegValue(key, name, type, bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    }

    std::vector<std::wstring> EnumerateAll(os::RegKey key) {
        std::vector<std::wstring> names;
        for (std::uint32_t index = 0;; ++index) {
            wchar_t name[256];
            std::uint32_t capacity = 256;
            if (os::EnumRegKey(key, index, name, &capacity) != os::kSuccess)
                break;
            names.emplace_back(name, capacity);
        }
        return names;
    }

    std::wstring scratch_;
    std::vector<os::RegKey> opened_;
};

TEST_F(RegistryConformance, OpenMissingKeyFailsWithFileNotFoundAndLeavesHandle) {
    os::RegKey key = kSentinelKey;
    EXPECT_EQ(os::kFileNotFound, Open(L"Missing\\Deeper", os::kKeyRead, &key));
    EXPECT_EQ(kSentinelKey, key);
}

TEST_F(RegistryConformance, KeyNamesIgnoreCaseAndCreateOpensExisting) {
    const os::RegKey made = Create(L"Mixed\\Case");
    SetBytes(made, L"Value", os::kRegDword, {1, 0, 0, 0});
    os::RegKey again = os::kNoKey;
    ASSERT_EQ(os::kSuccess, Open(L"MIXED\\case", os::kKeyRead, &again));
    std::uint32_t size = 4;
    std::uint8_t data[4] = {};
    EXPECT_EQ(os::kSuccess, os::QueryRegValue(again, L"VALUE", nullptr, data, &size));
    EXPECT_EQ(1, data[0]);
    const os::RegKey recreated = Create(L"mixed\\CASE");
    size = 4;
    EXPECT_EQ(os::kSuccess, os::QueryRegValue(recreated, L"value", nullptr, data, &size));
}

TEST_F(RegistryConformance, QueryWithoutBufferReportsSizeAndType) {
    const os::RegKey key = Create(L"");
    SetBytes(key, L"Text", os::kRegSz, os::Utf16LeBytes(L"abc", true));
    std::uint32_t type = kSentinel;
    std::uint32_t size = 0;
    EXPECT_EQ(os::kSuccess, os::QueryRegValue(key, L"Text", &type, nullptr, &size));
    EXPECT_EQ(os::kRegSz, type);
    EXPECT_EQ(8u, size);
}

TEST_F(RegistryConformance, QueryIntoSmallBufferGivesMoreDataAndNeededSize) {
    const os::RegKey key = Create(L"");
    SetBytes(key, L"Text", os::kRegSz, os::Utf16LeBytes(L"abcdef", true));
    std::uint8_t data[4];
    std::uint32_t size = sizeof data;
    EXPECT_EQ(os::kMoreData, os::QueryRegValue(key, L"Text", nullptr, data, &size));
    EXPECT_EQ(14u, size);
}

TEST_F(RegistryConformance, QueryMissingValueFailsAndLeavesOutputs) {
    const os::RegKey key = Create(L"");
    std::uint32_t type = kSentinel;
    std::uint32_t size = 4;
    std::uint8_t data[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_EQ(os::kFileNotFound, os::QueryRegValue(key, L"Absent", &type, data, &size));
    EXPECT_EQ(kSentinel, type);
    EXPECT_EQ(0xAA, data[0]);
}

TEST_F(RegistryConformance, StoredBytesComeBackExactlyWhateverTheType) {
    const os::RegKey key = Create(L"");
    SetBytes(key, L"OddText", os::kRegBinary, {'x', 0, 'y'});
    SetBytes(key, L"Binary", os::kRegBinary, {1, 2, 3, 4});
    SetBytes(key, L"AllOnes", os::kRegDword, {0xFF, 0xFF, 0xFF, 0xFF});
    SetBytes(key, L"Empty", os::kRegSz, {});

    std::uint8_t data[16];
    std::fill(std::begin(data), std::end(data), 0xAA);
    std::uint32_t size = sizeof data;
    ASSERT_EQ(os::kSuccess, os::QueryRegValue(key, L"OddText", nullptr, data, &size));
    EXPECT_EQ(3u, size);
    EXPECT_EQ(0xAA, data[3]) << "nothing is written past the stored bytes";

    std::uint32_t type = 0;
    size = 4;
    ASSERT_EQ(os::kSuccess, os::QueryRegValue(key, L"Binary", &type, data, &size));
    EXPECT_EQ(os::kRegBinary, type);
    EXPECT_EQ((std::vector<std::uint8_t>{1, 2, 3, 4}), std::vector<std::uint8_t>(data, data + 4));

    size = 4;
    ASSERT_EQ(os::kSuccess, os::QueryRegValue(key, L"AllOnes", nullptr, data, &size));
    EXPECT_EQ(0xFF, data[3]);

    size = sizeof data;
    ASSERT_EQ(os::kSuccess, os::QueryRegValue(key, L"Empty", nullptr, data, &size));
    EXPECT_EQ(0u, size);
}

TEST_F(RegistryConformance, TextCountedWithoutTerminatorIsStoredWithOne) {
    const os::RegKey key = Create(L"");
    // The terminator lies in the caller's buffer but outside the count, as callers that forget it pass it.
    const auto terminated = os::Utf16LeBytes(L"xyz", true);
    ASSERT_EQ(os::kSuccess, os::SetRegValue(key, L"Text", os::kRegSz, terminated.data(), 6));
    ASSERT_EQ(os::kSuccess, os::SetRegValue(key, L"Binary", os::kRegBinary, terminated.data(), 6));
    std::uint32_t size = 0;
    ASSERT_EQ(os::kSuccess, os::QueryRegValue(key, L"Text", nullptr, nullptr, &size));
    EXPECT_EQ(8u, size);
    ASSERT_EQ(os::kSuccess, os::QueryRegValue(key, L"Binary", nullptr, nullptr, &size));
    EXPECT_EQ(6u, size) << "only text types get a terminator";
}

TEST_F(RegistryConformance, ValueLongerThanBufferOfFourFails) {
    const os::RegKey key = Create(L"");
    SetBytes(key, L"Eight", os::kRegBinary, {1, 2, 3, 4, 5, 6, 7, 8});
    std::uint8_t data[4];
    std::uint32_t size = 4;
    EXPECT_EQ(os::kMoreData, os::QueryRegValue(key, L"Eight", nullptr, data, &size));
    EXPECT_EQ(8u, size);
}

TEST_F(RegistryConformance, DeleteValueRemovesItOnceOnly) {
    const os::RegKey key = Create(L"");
    SetBytes(key, L"Gone", os::kRegDword, {0, 0, 0, 0});
    EXPECT_EQ(os::kSuccess, os::DeleteRegValue(key, L"Gone"));
    EXPECT_EQ(os::kFileNotFound, os::DeleteRegValue(key, L"Gone"));
    std::uint32_t size = 0;
    EXPECT_EQ(os::kFileNotFound, os::QueryRegValue(key, L"Gone", nullptr, nullptr, &size));
}

TEST_F(RegistryConformance, SubkeysEnumerateSortedWithoutRegardToCase) {
    Create(L"Zeta");
    Create(L"alpha");
    Create(L"Beta");
    os::RegKey parent = os::kNoKey;
    ASSERT_EQ(os::kSuccess, Open(L"", os::kKeyRead, &parent));
    EXPECT_EQ((std::vector<std::wstring>{L"alpha", L"Beta", L"Zeta"}), EnumerateAll(parent));

    wchar_t name[8] = L"sentine";
    std::uint32_t capacity = 8;
    EXPECT_EQ(os::kNoMoreItems, os::EnumRegKey(parent, 3, name, &capacity));
    EXPECT_EQ(8u, capacity);
}

TEST_F(RegistryConformance, NameOfCapacityCharactersFailsWithMoreDataAtItsIndexOnly) {
    Create(L"a" + std::wstring(127, L'x'));
    Create(L"b" + std::wstring(126, L'x'));
    Create(L"c");
    os::RegKey parent = os::kNoKey;
    ASSERT_EQ(os::kSuccess, Open(L"", os::kKeyRead, &parent));
    wchar_t name[128];
    std::uint32_t capacity = 128;
    EXPECT_EQ(os::kMoreData, os::EnumRegKey(parent, 0, name, &capacity));
    capacity = 128;
    ASSERT_EQ(os::kSuccess, os::EnumRegKey(parent, 1, name, &capacity));
    EXPECT_EQ(127u, capacity);
    EXPECT_EQ(L"b" + std::wstring(126, L'x'), std::wstring(name));
    capacity = 128;
    ASSERT_EQ(os::kSuccess, os::EnumRegKey(parent, 2, name, &capacity));
    EXPECT_EQ(std::wstring(L"c"), name);
}

TEST_F(RegistryConformance, HandleRightsLimitWhatItMayDo) {
    Create(L"Child");
    os::RegKey readOnly = os::kNoKey;
    ASSERT_EQ(os::kSuccess, Open(L"", os::kKeyRead, &readOnly));
    const std::uint8_t one[4] = {1, 0, 0, 0};
    EXPECT_EQ(os::kAccessDenied, os::SetRegValue(readOnly, L"V", os::kRegDword, one, 4));

    os::RegKey writeOnly = os::kNoKey;
    ASSERT_EQ(os::kSuccess, Open(L"", os::kKeyWrite, &writeOnly));
    EXPECT_EQ(os::kSuccess, os::SetRegValue(writeOnly, L"V", os::kRegDword, one, 4));
    std::uint32_t size = 4;
    std::uint8_t data[4];
    EXPECT_EQ(os::kAccessDenied, os::QueryRegValue(writeOnly, L"V", nullptr, data, &size));
    wchar_t name[128];
    std::uint32_t capacity = 128;
    EXPECT_EQ(os::kAccessDenied, os::EnumRegKey(writeOnly, 0, name, &capacity));
}

TEST_F(RegistryConformance, CreateBelowAnOpenKeyMakesTheWholePath) {
    const os::RegKey parent = Create(L"");
    os::RegKey created = kSentinelKey;
    ASSERT_EQ(os::kSuccess, os::CreateRegKey(parent, L"One\\Two\\Three", os::kKeyWrite, &created));
    opened_.push_back(created);
    os::RegKey reopened = os::kNoKey;
    EXPECT_EQ(os::kSuccess, Open(L"One\\Two\\Three", os::kKeyRead, &reopened));
}

TEST_F(RegistryConformance, HivesAreSeparate) {
    Create(L"OnlyInMachine", os::Hive::LocalMachine);
    os::RegKey key = kSentinelKey;
    EXPECT_EQ(os::kFileNotFound, Open(L"OnlyInMachine", os::kKeyRead, &key));
    const std::wstring path = scratch_ + L"\\OnlyInMachine";
    ASSERT_EQ(os::kSuccess,
              os::OpenRegKey(os::HiveRoot(os::Hive::LocalMachine), path.c_str(), os::kKeyRead, &key));
    opened_.push_back(key);
}

} // namespace
} // namespace qel
