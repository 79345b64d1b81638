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
// still comes back terminated, a shorter one keeps nothing of a longer one, and a longer one grows the
// buffer, which is kept for the shorter ones after it. An odd byte may give one character more.
TEST_F(RegistryKeyTest, StringValueIsReadWhateverItsTypeKeepingWholeCharactersTerminated) {
    const std::wstring longText(300, L'L');
    const struct {
        const wchar_t* name;
        std::uint32_t type;
        std::vector<std::uint8_t> bytes;
        std::wstring read;
        std::size_t slack = 0;
    } cases[] = {
        {L"Fresh", os::kRegSz, os::Utf16LeBytes(L"abcd", false), L"abcd"},
        {L"Sized", os::kRegSz, os::Utf16LeBytes(L"wxyz", true), L"wxyz"}, // 10 bytes
        {L"Exact", os::kRegSz, os::Utf16LeBytes(L"12345", false), L"12345"},
        {L"Short", os::kRegSz, os::Utf16LeBytes(L"pq", false), L"pq"},
        {L"Long", os::kRegSz, os::Utf16LeBytes(longText.c_str(), true), longText},
        {L"Shorter", os::kRegBinary, os::Utf16LeBytes(L"xyz", false), L"xyz"},
        {L"Word", os::kRegDword, {'A', 0, 'B', 0}, L"AB"},
        {L"NoBytes", os::kRegSz, {}, L""},
        {L"OnlyTerminator", os::kRegSz, {0, 0}, L""},
        {L"Odd", os::kRegSz, {'a', 0, 'b', 0, 'c'}, L"ab", 1},
        {L"OneByte", os::kRegBinary, {'z'}, L"", 1},
    };
    for (const auto& c : cases)
        TheMachine().SetValue(kHKLM, kPath, c.name, c.type, c.bytes);
    CLocalMachineKey key(kPath, os::kKeyRead);
    const wchar_t* grown = nullptr;
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        const wchar_t* const text = key.GetStringValue(c.name);
        ASSERT_NE(nullptr, text);
        EXPECT_EQ(os::kSuccess, key.status);
        EXPECT_EQ(c.read, std::wstring(text).substr(0, c.read.size()));
        EXPECT_LE(std::wcslen(text), c.read.size() + c.slack);
        EXPECT_TRUE(!grown || grown == text) << "the grown buffer is kept";
        grown = c.read == longText ? text : grown;
    }
    EXPECT_EQ(nullptr, key.GetStringValue(L"Missing"));
    EXPECT_EQ(os::kFileNotFound, key.status);
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
