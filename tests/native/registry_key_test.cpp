// CRegistryKey: one open key, failures as status codes and "none" results, buffers that grow and are reused.

#include <cwchar>

#include "platform/utf16.h"
#include "registry/registry_key.h"
#include "sim_fixture.h"

namespace qel::simtest {
namespace {

const std::wstring kPath = L"SOFTWARE\\Quorl\\Viewer";

// A stored value as its type and bytes.
using Raw = std::optional<std::pair<std::uint32_t, std::vector<std::uint8_t>>>;
Raw Stored(os::Hive hive, const std::wstring& path, const wchar_t* name) {
    const auto value = TheMachine().GetValue(hive, path, name);
    return value ? Raw{{value->type, value->bytes}} : std::nullopt;
}
Raw Text(const wchar_t* text) { return Raw{{os::kRegSz, os::Utf16LeBytes(text, true)}}; }

using RegistryKeyTest = SimTest;

// A key that did not open keeps its code, has no path and makes no registry call, whatever it is asked.
TEST_F(RegistryKeyTest, OpeningGivesStatusKeepsPathOfOpenKeyOnlyAndClosesOnDestruction) {
    TheMachine().CreateKey(kHKCU, kPath);
    {
        CCurrentUserKey user(kPath, os::kKeyRead);
        EXPECT_EQ(os::kSuccess, user.status);
        EXPECT_EQ(kPath, user.path);
        EXPECT_EQ(1u, TheMachine().OpenKeyCount());
        CLocalMachineKey missing(kPath, os::kKeyRead | os::kKeyWrite); // only the user's hive has it
        const std::size_t calls = TheMachine().RegistryCallCount();
        EXPECT_EQ(nullptr, missing.GetStringValue(L"Name"));
        EXPECT_EQ(-1, missing.GetDWORDValue(L"DefaultFlag"));
        EXPECT_EQ(nullptr, missing.EnumSubKey(0));
        missing.SetDWORDValue(L"DefaultFlag", 1);
        missing.SetStringValue(L"Name", L"text");
        EXPECT_FALSE(missing.DeleteValue(L"Name"));
        EXPECT_FALSE(missing.CreateSubKey(L"Sub", L"Name", L"text"));
        EXPECT_EQ(calls, TheMachine().RegistryCallCount());
        EXPECT_EQ(std::make_tuple(os::kFileNotFound, false, L""),
                  std::make_tuple(missing.status, missing.IsOpen(), missing.path));
    }
    EXPECT_EQ(0u, TheMachine().OpenKeyCount());
    EXPECT_FALSE(TheMachine().KeyExists(kHKLM, kPath));
    TheMachine().DenyRead(kHKCU, kPath);
    CCurrentUserKey unreadable(kPath, os::kKeyRead);
    EXPECT_EQ(std::make_tuple(os::kAccessDenied, false, L""),
              std::make_tuple(unreadable.status, unreadable.IsOpen(), unreadable.path));
}

// Up to four bytes of any type are the value's raw bits; all ones reads like a missing value.
TEST_F(RegistryKeyTest, DwordIsRawBitsOfAtMostFourBytesAndAllOnesOrFailureIsMinusOne) {
    auto& m = TheMachine();
    m.SetDword(kHKLM, kPath, L"Small", 7);
    m.SetDword(kHKLM, kPath, L"High", 0x80000000u);
    m.SetValue(kHKLM, kPath, L"Raw", os::kRegBinary, {0x78, 0x56, 0x34, 0x12});
    m.SetString(kHKLM, kPath, L"Text", L"1"); // '1' and the terminator: four bytes
    m.SetDword(kHKLM, kPath, L"AllOnes", 0xFFFFFFFFu);
    m.SetValue(kHKLM, kPath, L"Five", os::kRegBinary, {1, 0, 0, 0, 0});
    m.SetValue(kHKLM, kPath, L"Eight", os::kRegDword, {1, 0, 0, 0, 0, 0, 0, 0});
    CLocalMachineKey key(kPath, os::kKeyRead);
    const struct {
        const wchar_t* name;
        std::int32_t value;
        long status;
    } cases[] = {
        {L"Small", 7, os::kSuccess},        {L"High", INT32_MIN, os::kSuccess},
        {L"Raw", 0x12345678, os::kSuccess}, {L"Text", 0x31, os::kSuccess},
        {L"AllOnes", -1, os::kSuccess},     {L"Missing", -1, os::kFileNotFound},
        {L"Five", -1, os::kMoreData},       {L"Eight", -1, os::kMoreData},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        EXPECT_EQ(c.value, key.GetDWORDValue(c.name));
        EXPECT_EQ(c.status, key.status);
    }
}

// Whatever the type, and whatever the buffer held before: an unterminated text that fills the buffer exactly
// still comes back terminated, and a shorter one keeps nothing of a longer one.
TEST_F(RegistryKeyTest, StringValueIsReadWhateverItsTypeKeepingWholeCharactersTerminated) {
    auto& m = TheMachine();
    m.SetUnterminatedString(kHKLM, kPath, L"Fresh", L"abcd");
    m.SetString(kHKLM, kPath, L"Sized", L"wxyz");              // 10 bytes
    m.SetUnterminatedString(kHKLM, kPath, L"Exact", L"12345"); // 10 bytes, no terminator
    m.SetUnterminatedString(kHKLM, kPath, L"Short", L"pq");
    m.SetString(kHKLM, kPath, L"Name", L"Quorl Viewer");
    m.SetDword(kHKLM, kPath, L"Word", 0x00420041u); // "AB" without terminator
    m.SetValue(kHKLM, kPath, L"NoBytes", os::kRegSz, {});
    m.SetString(kHKLM, kPath, L"OnlyTerminator", L"");
    m.SetValue(kHKLM, kPath, L"Odd", os::kRegSz, {'a', 0, 'b', 0, 'c'});
    m.SetValue(kHKLM, kPath, L"OneByte", os::kRegBinary, {'z'});
    CLocalMachineKey key(kPath, os::kKeyRead);
    EXPECT_STREQ(L"abcd", key.GetStringValue(L"Fresh"));
    EXPECT_STREQ(L"wxyz", key.GetStringValue(L"Sized"));
    EXPECT_STREQ(L"12345", key.GetStringValue(L"Exact"));
    EXPECT_STREQ(L"pq", key.GetStringValue(L"Short"));
    EXPECT_STREQ(L"Quorl Viewer", key.GetStringValue(L"Name"));
    EXPECT_STREQ(L"AB", key.GetStringValue(L"Word"));
    EXPECT_STREQ(L"", key.GetStringValue(L"NoBytes"));
    EXPECT_STREQ(L"", key.GetStringValue(L"OnlyTerminator"));
    EXPECT_EQ(os::kSuccess, key.status);
    const std::wstring odd = key.GetStringValue(L"Odd");
    EXPECT_EQ(L"ab", odd.substr(0, 2));
    EXPECT_LE(odd.size(), 3u);
    const wchar_t* const oneByte = key.GetStringValue(L"OneByte");
    ASSERT_NE(nullptr, oneByte);
    EXPECT_LE(std::wcslen(oneByte), 1u);
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

TEST_F(RegistryKeyTest, WritesDwordAndTerminatedStringAndDeleteReportsWhetherValueWent) {
    TheMachine().CreateKey(kHKCU, kPath);
    CCurrentUserKey key(kPath, os::kKeyWrite);
    key.SetDWORDValue(L"DefaultFlag", 0x01020304u);
    key.SetStringValue(L"Name", L"Viewer");
    EXPECT_EQ(os::kSuccess, key.status);
    EXPECT_EQ((Raw{{os::kRegDword, {4, 3, 2, 1}}}), Stored(kHKCU, kPath, L"DefaultFlag"));
    EXPECT_EQ(Text(L"Viewer"), Stored(kHKCU, kPath, L"Name")); // 14 bytes: six characters and the null
    EXPECT_TRUE(key.DeleteValue(L"Name"));
    EXPECT_EQ(std::nullopt, Stored(kHKCU, kPath, L"Name"));
    EXPECT_FALSE(key.DeleteValue(L"Name"));
    EXPECT_EQ(os::kFileNotFound, key.status);
}

TEST_F(RegistryKeyTest, EnumSubKeyListsNamesInRegistryOrderUntilNoMoreItemsOrNameOf128Characters) {
    const std::wstring longest = L"D" + std::wstring(126, L'x');
    for (const std::wstring name : {L"gamma", L"Alpha", L"Beta", longest.c_str()})
        TheMachine().CreateKey(kHKLM, kPath + L"\\" + name);
    CLocalMachineKey key(kPath, os::kKeyRead);
    const std::wstring inOrder[] = {L"Alpha", L"Beta", longest, L"gamma"};
    for (std::uint32_t index = 0; index < 4; ++index)
        EXPECT_EQ(inOrder[index], key.EnumSubKey(index));
    EXPECT_EQ(nullptr, key.EnumSubKey(4));
    EXPECT_EQ(os::kNoMoreItems, key.status);

    TheMachine().CreateKey(kHKLM, kPath + L"\\C" + std::wstring(127, L'x'));
    CLocalMachineKey again(kPath, os::kKeyRead);
    EXPECT_STREQ(L"Beta", again.EnumSubKey(1));
    EXPECT_EQ(nullptr, again.EnumSubKey(2));
    EXPECT_NE(os::kSuccess, again.status);
}

TEST_F(RegistryKeyTest, CreateSubKeyReturnsOpenKeyForCallerAndWritesTextOnItUnlessWriteIsDenied) {
    const std::wstring prefs = kMaker + L"\\Viewer\\Quorl Vandrel\\Preferences";
    TheMachine().CreateKey(kHKCU, kMaker);
    CCurrentUserKey maker(kMaker, os::kKeyWrite);
    {
        RegKeyCloser created = maker.CreateSubKey(L"Viewer\\Quorl Vandrel\\Preferences", L"Label", L"hello");
        ASSERT_TRUE(created);
        EXPECT_EQ(os::kSuccess, maker.status);
        EXPECT_EQ(2u, TheMachine().OpenKeyCount()); // the caller's until it is closed
    }
    EXPECT_EQ(1u, TheMachine().OpenKeyCount());
    EXPECT_EQ(Text(L"hello"), Stored(kHKCU, prefs, L"Label"));
    EXPECT_EQ(std::nullopt, Stored(kHKCU, kMaker, L"Label")); // not on the parent

    TheMachine().SetDword(kHKCU, kMaker + L"\\Viewer", L"Kept", 3);
    EXPECT_TRUE(maker.CreateSubKey(L"Viewer", nullptr, nullptr)); // opens the existing key
    EXPECT_TRUE(maker.CreateSubKey(L"Fresh", L"Name", nullptr));  // no text: nothing written
    EXPECT_EQ(3u, TheMachine().GetDword(kHKCU, kMaker + L"\\Viewer", L"Kept"));
    EXPECT_TRUE(TheMachine().KeyExists(kHKCU, kMaker + L"\\Fresh"));
    EXPECT_EQ(std::nullopt, Stored(kHKCU, kMaker + L"\\Fresh", L"Name"));
    EXPECT_TRUE(maker.CreateSubKey(L"Viewer", nullptr, L"text")); // no name: the default value
    EXPECT_EQ(Text(L"text"), Stored(kHKCU, kMaker + L"\\Viewer", L""));

    TheMachine().DenyWrite(kHKCU, kMaker);
    EXPECT_FALSE(maker.CreateSubKey(L"Denied", L"Name", L"text"));
    EXPECT_EQ(os::kAccessDenied, maker.status);
    EXPECT_FALSE(TheMachine().KeyExists(kHKCU, kMaker + L"\\Denied"));
}

} // namespace
} // namespace qel::simtest
