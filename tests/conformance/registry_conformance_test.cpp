// The registry half of the seam behaves as Windows does. The same tests run on the simulated machine and,
// under Wine, on the real calls.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/utf16.h"
#include "test_env.h"

namespace qel {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr os::RegKey kSentinelKey{0x5EED};
constexpr std::uint32_t kSentinel = 0xDEADBEEF;
constexpr std::uint8_t kUnwritten = 0xAA;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class RegistryConformance : public ::testing::Test {
protected:
    void SetUp() override { scratch_ = testenv::FreshScratchKey(); }
    void TearDown() override {
        for (os::RegKey key : opened_)
            os::CloseRegKey(key);
    }

    std::wstring Path(const std::wstring& sub) const {
        return sub.empty() ? scratch_ : scratch_ + L"\\" + sub;
    }

    // Creates (or opens) scratch\sub with every right the tests need, in the given hive.
    os::RegKey Create(const std::wstring& sub, os::Hive hive = os::Hive::CurrentUser) {
        os::RegKey key = os::kNoKey;
        EXPECT_EQ(os::kSuccess, os::CreateRegKey(os::HiveRoot(hive), Path(sub).c_str(),
                                                 os::kKeyRead | os::kKeyWrite, &key));
        opened_.push_back(key);
        return key;
    }

    long Open(const std::wstring& sub, std::uint32_t access, os::RegKey* out,
              os::Hive hive = os::Hive::CurrentUser) {
        const long status = os::OpenRegKey(os::HiveRoot(hive), Path(sub).c_str(), access, out);
        if (status == os::kSuccess)
            opened_.push_back(*out);
        return status;
    }

    static void SetBytes(os::RegKey key, const wchar_t* name, std::uint32_t type, const Bytes& bytes) {
        ASSERT_EQ(os::kSuccess,
                  os::SetRegValue(key, name, type, bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    }

    std::wstring scratch_;
    std::vector<os::RegKey> opened_;
};

TEST_F(RegistryConformance, KeysOpenIgnoringCaseAndCreateMakesWholePathsInOneHive) {
    SetBytes(Create(L"Mixed\\Case"), L"Value", os::kRegDword, {1, 0, 0, 0});
    const os::RegKey recreated = Create(L"mixed\\CASE");
    std::uint32_t size = 0;
    EXPECT_EQ(os::kSuccess, os::QueryRegValue(recreated, L"value", nullptr, nullptr, &size))
        << "creating an existing key opens it as it is";
    os::RegKey below = os::kNoKey;
    ASSERT_EQ(os::kSuccess, os::CreateRegKey(Create(L""), L"One\\Two\\Three", os::kKeyWrite, &below));
    opened_.push_back(below);
    Create(L"OnlyInMachine", os::Hive::LocalMachine);

    const struct {
        os::Hive hive;
        const wchar_t* sub;
        long status;
    } cases[] = {
        {os::Hive::CurrentUser, L"MIXED\\case", os::kSuccess},
        {os::Hive::CurrentUser, L"One\\Two\\Three", os::kSuccess},
        {os::Hive::CurrentUser, L"Missing\\Deeper", os::kFileNotFound},
        {os::Hive::CurrentUser, L"OnlyInMachine", os::kFileNotFound},
        {os::Hive::LocalMachine, L"OnlyInMachine", os::kSuccess},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.sub));
        os::RegKey key = kSentinelKey;
        EXPECT_EQ(c.status, Open(c.sub, os::kKeyRead, &key, c.hive));
        EXPECT_EQ(c.status != os::kSuccess, key == kSentinelKey);
    }
}

TEST_F(RegistryConformance, QueriesGiveStoredBytesSizesAndCodesAndLeaveOutputsOnFailure) {
    const os::RegKey key = Create(L"");
    SetBytes(key, L"Text", os::kRegSz, os::Utf16LeBytes(L"abc", true));
    SetBytes(key, L"Eight", os::kRegBinary, {1, 2, 3, 4, 5, 6, 7, 8});
    SetBytes(key, L"OddText", os::kRegBinary, {'x', 0, 'y'});
    SetBytes(key, L"Binary", os::kRegBinary, {1, 2, 3, 4});
    SetBytes(key, L"Empty", os::kRegSz, {});
    // The terminator lies in the caller's buffer but outside the count, as callers that forget it pass it.
    const Bytes terminated = os::Utf16LeBytes(L"xyz", true);
    ASSERT_EQ(os::kSuccess, os::SetRegValue(key, L"Uncounted", os::kRegSz, terminated.data(), 6));
    ASSERT_EQ(os::kSuccess, os::SetRegValue(key, L"UncountedBinary", os::kRegBinary, terminated.data(), 6));
    SetBytes(key, L"Gone", os::kRegDword, {0, 0, 0, 0});
    EXPECT_EQ(os::kSuccess, os::DeleteRegValue(key, L"Gone"));
    EXPECT_EQ(os::kFileNotFound, os::DeleteRegValue(key, L"Gone"));

    constexpr std::uint32_t kNoBuffer = 0;
    const struct {
        const wchar_t* name;
        std::uint32_t capacity; // of the data buffer; kNoBuffer passes none
        long status;
        std::uint32_t type;
        std::uint32_t size;
        Bytes data;
    } cases[] = {
        {L"TEXT", kNoBuffer, os::kSuccess, os::kRegSz, 8, {}},
        {L"Eight", 4, os::kMoreData, os::kRegBinary, 8, {}},
        {L"OddText", 16, os::kSuccess, os::kRegBinary, 3, {'x', 0, 'y'}},
        {L"Binary", 4, os::kSuccess, os::kRegBinary, 4, {1, 2, 3, 4}},
        {L"Empty", 16, os::kSuccess, os::kRegSz, 0, {}},
        {L"Uncounted", kNoBuffer, os::kSuccess, os::kRegSz, 8, {}},
        {L"UncountedBinary", kNoBuffer, os::kSuccess, os::kRegBinary, 6, {}}, // only text gets a terminator
        {L"Gone", 4, os::kFileNotFound, kSentinel, 4, {}},
        {L"Absent", 4, os::kFileNotFound, kSentinel, 4, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        Bytes data(16, kUnwritten);
        std::uint32_t type = kSentinel;
        std::uint32_t size = c.capacity;
        EXPECT_EQ(c.status, os::QueryRegValue(key, c.name, &type, c.capacity ? data.data() : nullptr, &size));
        EXPECT_EQ(c.type, type);
        EXPECT_EQ(c.size, size);
        EXPECT_EQ(c.data, Bytes(data.begin(), data.begin() + c.data.size()));
        if (c.status != os::kMoreData) { // what a buffer too small holds afterwards is not defined
            EXPECT_EQ(kUnwritten, data[c.data.size()]) << "nothing is written past the stored bytes";
        }
    }
}

TEST_F(RegistryConformance, SubkeysEnumerateSortedWithoutRegardToCaseAndTooLongNamesFailAtTheirIndexOnly) {
    const std::wstring filled = L"b" + std::wstring(126, L'x'); // with its terminator, fills the buffer
    for (const std::wstring& sub :
         std::vector<std::wstring>{L"Zeta", L"alpha", L"a" + std::wstring(127, L'x'), L"Beta", filled})
        Create(sub);
    os::RegKey parent = os::kNoKey;
    ASSERT_EQ(os::kSuccess, Open(L"", os::kKeyRead, &parent));

    const struct {
        long status;
        std::wstring name;
    } cases[] = {{os::kSuccess, L"alpha"}, {os::kMoreData, L"sentinel"}, {os::kSuccess, L"Beta"},
                 {os::kSuccess, filled},   {os::kSuccess, L"Zeta"},      {os::kNoMoreItems, L"sentinel"}};
    for (std::uint32_t index = 0; index < std::size(cases); ++index) {
        SCOPED_TRACE(index);
        const auto& c = cases[index];
        wchar_t name[128] = L"sentinel";
        std::uint32_t capacity = 128;
        EXPECT_EQ(c.status, os::EnumRegKey(parent, index, name, &capacity));
        EXPECT_EQ(c.name, std::wstring(name));
        EXPECT_EQ(c.status == os::kSuccess ? c.name.size() : 128u, capacity);
    }
}

TEST_F(RegistryConformance, HandleRightsLimitWhatItMayDo) {
    Create(L"Child");
    os::RegKey readOnly = os::kNoKey;
    os::RegKey writeOnly = os::kNoKey;
    ASSERT_EQ(os::kSuccess, Open(L"", os::kKeyRead, &readOnly));
    ASSERT_EQ(os::kSuccess, Open(L"", os::kKeyWrite, &writeOnly));
    const std::uint8_t one[4] = {1, 0, 0, 0};
    EXPECT_EQ(os::kAccessDenied, os::SetRegValue(readOnly, L"V", os::kRegDword, one, 4));
    EXPECT_EQ(os::kSuccess, os::SetRegValue(writeOnly, L"V", os::kRegDword, one, 4));
    std::uint8_t data[4];
    std::uint32_t size = 4;
    EXPECT_EQ(os::kAccessDenied, os::QueryRegValue(writeOnly, L"V", nullptr, data, &size));
    wchar_t name[128];
    std::uint32_t capacity = 128;
    EXPECT_EQ(os::kAccessDenied, os::EnumRegKey(writeOnly, 0, name, &capacity));
}

} // namespace
} // namespace qel
