// CRegistryKey: one open key, failures as status codes and "none" results, buffers that grow and are reused.
#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/utf16.h"
#include "registry/registry_key.h"
#include "sim_fixture.h"

namespace qel {
namespace {

using namespace simtest;

const std::wstring kPath = L"SOFTWARE\\Quorl\\Viewer";

class RegistryKeyTest : public SimTest {};

TEST_F(RegistryKeyTest, OpeningMissingKeyGivesStatusAndKeepsNoPath) {
    CLocalMachineKey key(kPath, os::kKeyRead);
    EXPECT_EQ(os::kFileNotFound, key.status);
    EXPECT_FALSE(key.IsOpen());
    EXPECT_TRUE(key.path.empty());
}

TEST_F(RegistryKeyTest, OpeningUnreadableKeyGivesAccessDenied) {
    TheMachine().DenyRead(kHKLM, kPath);
    CLocalMachineKey key(kPath, os::kKeyRead);
    EXPECT_EQ(os::kAccessDenied, key.status);
    EXPECT_FALSE(key.IsOpen());
}

TEST_F(RegistryKeyTest, OpeningExistingKeyKeepsPathAndHiveAndIsClosedOnDestruction) {
    TheMachine().CreateKey(kHKCU, kPath);
    {
        CCurrentUserKey user(kPath, os::kKeyRead);
        EXPECT_EQ(os::kSuccess, user.status);
        EXPECT_EQ(kPath, user.path);
        EXPECT_EQ(1u, TheMachine().OpenKeyCount());
        CLocalMachineKey machine(kPath, os::kKeyRead); // only the user's hive has it
        EXPECT_EQ(os::kFileNotFound, machine.status);
    }
    EXPECT_EQ(0u, TheMachine().OpenKeyCount());
}

TEST_F(RegistryKeyTest, KeyThatDidNotOpenMakesNoRegistryCall) {
    CLocalMachineKey key(kPath, os::kKeyRead | os::kKeyWrite);
    const std::size_t calls = TheMachine().RegistryCallCount();

    EXPECT_EQ(nullptr, key.GetStringValue(L"Name"));
    EXPECT_EQ(-1, key.GetDWORDValue(L"DefaultFlag"));
    EXPECT_EQ(nullptr, key.EnumSubKey(0));
    key.SetDWORDValue(L"DefaultFlag", 1);
    key.SetStringValue(L"Name", L"text");
    EXPECT_FALSE(key.DeleteValue(L"Name"));
    EXPECT_FALSE(key.CreateSubKey(L"Sub", L"Name", L"text"));

    EXPECT_EQ(calls, TheMachine().RegistryCallCount());
    EXPECT_EQ(os::kFileNotFound, key.status);
    EXPECT_FALSE(TheMachine().KeyExists(kHKLM, kPath));
}

TEST_F(RegistryKeyTest, DwordReadsStoredBits) {
    TheMachine().SetDword(kHKLM, kPath, L"Small", 7);
    TheMachine().SetDword(kHKLM, kPath, L"High", 0x80000000u);
    CLocalMachineKey key(kPath, os::kKeyRead);
    EXPECT_EQ(7, key.GetDWORDValue(L"Small"));
    EXPECT_EQ(INT32_MIN, key.GetDWORDValue(L"High"));
    EXPECT_EQ(os::kSuccess, key.status);
}

TEST_F(RegistryKeyTest, DwordOfAllOnesReadsLikeMissingValue) {
    TheMachine().SetDword(kHKLM, kPath, L"AllOnes", 0xFFFFFFFFu);
    CLocalMachineKey key(kPath, os::kKeyRead);
    EXPECT_EQ(-1, key.GetDWORDValue(L"AllOnes"));
    EXPECT_EQ(-1, key.GetDWORDValue(L"Missing"));
    EXPECT_EQ(os::kFileNotFound, key.status);
}

TEST_F(RegistryKeyTest, DwordOfValueLongerThanFourBytesFails) {
    TheMachine().SetValue(kHKLM, kPath, L"Five", os::kRegBinary, {1, 0, 0, 0, 0});
    TheMachine().SetValue(kHKLM, kPath, L"Eight", os::kRegDword, {1, 0, 0, 0, 0, 0, 0, 0});
    CLocalMachineKey key(kPath, os::kKeyRead);
    EXPECT_EQ(-1, key.GetDWORDValue(L"Five"));
    EXPECT_EQ(os::kMoreData, key.status);
    EXPECT_EQ(-1, key.GetDWORDValue(L"Eight"));
}

TEST_F(RegistryKeyTest, DwordOfFourByteBinaryIsItsRawBits) {
    TheMachine().SetValue(kHKLM, kPath, L"Raw", os::kRegBinary, {0x78, 0x56, 0x34, 0x12});
    TheMachine().SetString(kHKLM, kPath, L"Text", L"1"); // '1' and the terminator: four bytes
    CLocalMachineKey key(kPath, os::kKeyRead);
    EXPECT_EQ(0x12345678, key.GetDWORDValue(L"Raw"));
    EXPECT_EQ(0x31, key.GetDWORDValue(L"Text"));
}

TEST_F(RegistryKeyTest, StringValueIsReadWhateverItsType) {
    TheMachine().SetString(kHKLM, kPath, L"Name", L"Quorl Viewer");
    TheMachine().SetDword(kHKLM, kPath, L"Word", 0x00420041u); // "AB" without terminator
    CLocalMachineKey key(kPath, os::kKeyRead);
    EXPECT_STREQ(L"Quorl Viewer", key.GetStringValue(L"Name"));
    EXPECT_STREQ(L"AB", key.GetStringValue(L"Word"));
    EXPECT_EQ(nullptr, key.GetStringValue(L"Missing"));
    EXPECT_EQ(os::kFileNotFound, key.status);
}

TEST_F(RegistryKeyTest, StringBufferGrowsForLongerValueAndIsReusedForShorter) {
    const std::wstring longText(300, L'L');
    TheMachine().SetString(kHKLM, kPath, L"Short", L"ab");
    TheMachine().SetString(kHKLM, kPath, L"Long", longText);
    TheMachine().SetString(kHKLM, kPath, L"Shorter", L"xyz");
    CLocalMachineKey key(kPath, os::kKeyRead);

    EXPECT_STREQ(L"ab", key.GetStringValue(L"Short"));
    EXPECT_EQ(6u, key.valueBufferSize);
    EXPECT_EQ(longText, key.GetStringValue(L"Long"));
    EXPECT_EQ(602u, key.valueBufferSize);
    const wchar_t* const grown = key.valueBuffer.get();

    EXPECT_STREQ(L"xyz", key.GetStringValue(L"Shorter"));
    EXPECT_EQ(grown, key.valueBuffer.get());
    EXPECT_EQ(602u, key.valueBufferSize);
}

TEST_F(RegistryKeyTest, UnterminatedStringThatFillsBufferComesBackTerminated) {
    TheMachine().SetUnterminatedString(kHKLM, kPath, L"Fresh", L"abcd");
    TheMachine().SetString(kHKLM, kPath, L"Sized", L"wxyz");              // 10 bytes
    TheMachine().SetUnterminatedString(kHKLM, kPath, L"Exact", L"12345"); // 10 bytes, no terminator
    TheMachine().SetUnterminatedString(kHKLM, kPath, L"Short", L"pq");
    CLocalMachineKey key(kPath, os::kKeyRead);
    EXPECT_STREQ(L"abcd", key.GetStringValue(L"Fresh"));

    CLocalMachineKey again(kPath, os::kKeyRead);
    EXPECT_STREQ(L"wxyz", again.GetStringValue(L"Sized"));
    EXPECT_STREQ(L"12345", again.GetStringValue(L"Exact"));
    EXPECT_STREQ(L"pq", again.GetStringValue(L"Short")); // after a longer one, nothing of it remains
}

TEST_F(RegistryKeyTest, OddLengthValueKeepsItsWholeCharacters) {
    TheMachine().SetValue(kHKLM, kPath, L"Odd", os::kRegSz, {'a', 0, 'b', 0, 'c'});
    TheMachine().SetValue(kHKLM, kPath, L"OneByte", os::kRegBinary, {'z'});
    CLocalMachineKey key(kPath, os::kKeyRead);
    const std::wstring odd = key.GetStringValue(L"Odd");
    EXPECT_EQ(L"ab", odd.substr(0, 2));
    EXPECT_LE(odd.size(), 3u);
    const wchar_t* const oneByte = key.GetStringValue(L"OneByte");
    ASSERT_NE(nullptr, oneByte);
    EXPECT_LE(std::wcslen(oneByte), 1u);
}

TEST_F(RegistryKeyTest, EmptyValueReadsAsEmptyText) {
    TheMachine().SetValue(kHKLM, kPath, L"NoBytes", os::kRegSz, {});
    TheMachine().SetString(kHKLM, kPath, L"OnlyTerminator", L"");
    CLocalMachineKey key(kPath, os::kKeyRead);
    EXPECT_STREQ(L"", key.GetStringValue(L"NoBytes"));
    EXPECT_STREQ(L"", key.GetStringValue(L"OnlyTerminator"));
    EXPECT_EQ(os::kSuccess, key.status);
}

TEST_F(RegistryKeyTest, SetOperationsWriteDwordAndTerminatedString) {
    TheMachine().CreateKey(kHKCU, kPath);
    CCurrentUserKey key(kPath, os::kKeyWrite);
    key.SetDWORDValue(L"DefaultFlag", 0x01020304u);
    key.SetStringValue(L"Name", L"Viewer");
    EXPECT_EQ(os::kSuccess, key.status);

    const auto word = TheMachine().GetValue(kHKCU, kPath, L"DefaultFlag");
    ASSERT_TRUE(word.has_value());
    EXPECT_EQ(os::kRegDword, word->type);
    EXPECT_EQ((std::vector<std::uint8_t>{4, 3, 2, 1}), word->bytes);
    const auto text = TheMachine().GetValue(kHKCU, kPath, L"Name");
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(os::kRegSz, text->type);
    EXPECT_EQ(os::Utf16LeBytes(L"Viewer", true), text->bytes); // 14 bytes: six characters and the null
}

TEST_F(RegistryKeyTest, DeleteValueReportsWhetherValueWasDeleted) {
    TheMachine().SetDword(kHKCU, kPath, L"Status", 1);
    CCurrentUserKey key(kPath, os::kKeyWrite);
    EXPECT_TRUE(key.DeleteValue(L"Status"));
    EXPECT_FALSE(TheMachine().GetValue(kHKCU, kPath, L"Status").has_value());
    EXPECT_FALSE(key.DeleteValue(L"Status"));
    EXPECT_EQ(os::kFileNotFound, key.status);
}

TEST_F(RegistryKeyTest, EnumSubKeyListsNamesInRegistryOrderUntilNoMoreItems) {
    for (const wchar_t* name : {L"gamma", L"Alpha", L"Beta"})
        TheMachine().CreateKey(kHKLM, kPath + L"\\" + name);
    CLocalMachineKey key(kPath, os::kKeyRead);
    EXPECT_STREQ(L"Alpha", key.EnumSubKey(0));
    EXPECT_STREQ(L"Beta", key.EnumSubKey(1));
    EXPECT_STREQ(L"gamma", key.EnumSubKey(2));
    EXPECT_EQ(nullptr, key.EnumSubKey(3));
    EXPECT_EQ(os::kNoMoreItems, key.status);
}

TEST_F(RegistryKeyTest, EnumSubKeyReturnsNameOf127Characters) {
    const std::wstring name = L"A" + std::wstring(126, L'x');
    TheMachine().CreateKey(kHKLM, kPath + L"\\" + name);
    CLocalMachineKey key(kPath, os::kKeyRead);
    EXPECT_EQ(name, key.EnumSubKey(0));
}

TEST_F(RegistryKeyTest, EnumSubKeyStopsAtNameOf128Characters) {
    TheMachine().CreateKey(kHKLM, kPath + L"\\A");
    TheMachine().CreateKey(kHKLM, kPath + L"\\B" + std::wstring(127, L'x'));
    TheMachine().CreateKey(kHKLM, kPath + L"\\C");
    CLocalMachineKey key(kPath, os::kKeyRead);
    EXPECT_STREQ(L"A", key.EnumSubKey(0));
    EXPECT_EQ(nullptr, key.EnumSubKey(1));
    EXPECT_NE(os::kSuccess, key.status);
}

TEST_F(RegistryKeyTest, CreateSubKeyReturnsOpenKeyForCallerAndWritesText) {
    TheMachine().CreateKey(kHKCU, kMaker);
    CCurrentUserKey maker(kMaker, os::kKeyWrite);
    {
        RegKeyCloser created = maker.CreateSubKey(L"Viewer\\Quorl Vandrel\\Preferences", L"Label", L"hello");
        ASSERT_TRUE(created);
        EXPECT_EQ(os::kSuccess, maker.status);
        EXPECT_EQ(2u, TheMachine().OpenKeyCount()); // the caller's until it is closed
    }
    EXPECT_EQ(1u, TheMachine().OpenKeyCount());
    const auto text =
        TheMachine().GetValue(kHKCU, kMaker + L"\\Viewer\\Quorl Vandrel\\Preferences", L"Label");
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(os::kRegSz, text->type);
    EXPECT_EQ(os::Utf16LeBytes(L"hello", true), text->bytes);
    EXPECT_FALSE(TheMachine().GetValue(kHKCU, kMaker, L"Label").has_value()); // not on the parent
}

TEST_F(RegistryKeyTest, CreateSubKeyOpensExistingKeyAndWritesNothingWithoutText) {
    TheMachine().SetDword(kHKCU, kMaker + L"\\Viewer", L"Kept", 3);
    CCurrentUserKey maker(kMaker, os::kKeyWrite);
    EXPECT_TRUE(maker.CreateSubKey(L"Viewer", nullptr, nullptr));
    EXPECT_TRUE(maker.CreateSubKey(L"Fresh", L"Name", nullptr));
    EXPECT_EQ(3u, TheMachine().GetDword(kHKCU, kMaker + L"\\Viewer", L"Kept"));
    EXPECT_TRUE(TheMachine().KeyExists(kHKCU, kMaker + L"\\Fresh"));
    EXPECT_FALSE(TheMachine().GetValue(kHKCU, kMaker + L"\\Fresh", L"Name").has_value());
}

TEST_F(RegistryKeyTest, CreateSubKeyWithoutValueNameWritesDefaultValue) {
    TheMachine().CreateKey(kHKCU, kMaker);
    CCurrentUserKey maker(kMaker, os::kKeyWrite);
    EXPECT_TRUE(maker.CreateSubKey(L"Viewer", nullptr, L"text"));
    const auto text = TheMachine().GetValue(kHKCU, kMaker + L"\\Viewer", L"");
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(os::Utf16LeBytes(L"text", true), text->bytes);
}

TEST_F(RegistryKeyTest, CreateSubKeyUnderWriteDeniedKeyFails) {
    TheMachine().DenyWrite(kHKCU, kMaker);
    CCurrentUserKey maker(kMaker, os::kKeyRead);
    ASSERT_EQ(os::kSuccess, maker.status);
    EXPECT_FALSE(maker.CreateSubKey(L"Viewer", L"Name", L"text"));
    EXPECT_EQ(os::kAccessDenied, maker.status);
    EXPECT_FALSE(TheMachine().KeyExists(kHKCU, kMaker + L"\\Viewer"));
}

} // namespace
} // namespace qel
