// The registry layer on the simulated machine: CRegistryKey, one registration read into an appInfo_tag,
// discovering and listing registrations, the older sibling's record, and the calling proxy's launch switch
// and locale.

#include <cwchar>

#include "platform/utf16.h"
#include "registry/app_records.h"
#include "registry/discovery.h"
#include "registry/registry_key.h"
#include "sim_fixture.h"

namespace qel::simtest {
namespace {

// CRegistryKey: one open key, failures as status codes and "none" results, buffers that grow and are reused.

const std::wstring kPath = L"SOFTWARE\\Quorl\\Viewer";

// A stored value as its type and bytes, and a text as the key stores it.
auto Stored(os::Hive hive, const std::wstring& path, const wchar_t* name) {
    const auto value = TheMachine().GetValue(hive, path, name);
    return value ? std::optional(std::pair(value->type, value->bytes)) : std::nullopt;
}
auto Text(const wchar_t* text) { return std::pair(os::kRegSz, os::Utf16LeBytes(text, true)); }

using RegistryKeyTest = SimTest;

// A key that did not open keeps its code, has no path and makes no registry call, whatever it is asked; the
// fixture sees that one that did is closed when it goes.
TEST_F(RegistryKeyTest, OpeningGivesStatusKeepsPathOfOpenKeyOnlyAndClosesOnDestruction) {
    TheMachine().CreateKey(kHKCU, kPath);
    CCurrentUserKey user(kPath, os::kKeyRead);
    EXPECT_EQ(std::make_tuple(os::kSuccess, kPath), std::tie(user.status, user.path));
    CLocalMachineKey missing(kPath, os::kKeyRead | os::kKeyWrite); // only the user's hive has it
    const std::size_t calls = TheMachine().RegistryCallCount();
    EXPECT_TRUE(!missing.GetStringValue(L"Name") && missing.GetDWORDValue(L"DefaultFlag") == -1 &&
                !missing.EnumSubKey(0));
    missing.SetDWORDValue(L"DefaultFlag", 1);
    missing.SetStringValue(L"Name", L"text");
    EXPECT_FALSE(missing.DeleteValue(L"Name") || missing.CreateSubKey(L"Sub", L"Name", L"text"));
    EXPECT_EQ(calls, TheMachine().RegistryCallCount());
    EXPECT_EQ(std::make_tuple(os::kFileNotFound, false, L""),
              std::make_tuple(missing.status, missing.IsOpen(), missing.path));
    EXPECT_FALSE(TheMachine().KeyExists(kHKLM, kPath));
    TheMachine().DenyRead(kHKCU, kPath);
    EXPECT_EQ(os::kAccessDenied, CCurrentUserKey(kPath, os::kKeyRead).status);
}

// Any value reads both ways, whatever its type. As a DWORD, up to four bytes are its raw bits, all ones
// reading like a missing value. As text, whatever the buffer held before: an unterminated text that fills the
// buffer exactly still comes back terminated, a shorter one keeps nothing of a longer one, and a longer one
// grows the buffer, which is kept for the shorter ones after it; an odd byte may give one character more.
TEST_F(RegistryKeyTest, ValueIsRawBitsOfAtMostFourBytesOrTextOfWholeCharactersTerminated) {
    const std::wstring longText(300, L'L');
    constexpr std::uint32_t kBin = os::kRegBinary, kDw = os::kRegDword;
    const auto sz = [](const std::wstring& text, bool terminated = false) {
        return os::Utf16LeBytes(text, terminated);
    };
    const struct {
        std::vector<std::uint8_t> bytes;
        std::wstring text;
        std::int32_t dword = -1; // more than four bytes: refused with kMoreData
        std::uint32_t type = os::kRegSz;
        std::size_t slack = 0;
    } cases[] = {
        {sz(L"abcd"), L"abcd"},         {sz(L"wxyz", true), L"wxyz"},
        {sz(L"12345"), L"12345"},       {sz(L"pq"), L"pq", 0x00710070},
        {sz(longText, true), longText}, {{'A', 0, 'B', 0}, L"AB", 0x00420041, kDw},
        {sz(L"xyz"), L"xyz", -1, kBin}, {{0x78, 0x56, 0x34, 0x12}, L"\x5678\x1234", 0x12345678, kBin},
        {{'z'}, L"", 'z', kBin, 1},     {{0, 0, 0, 0x80}, L"", INT32_MIN, kDw},
        {{}, L"", 0, os::kRegSz},       {{0xFF, 0xFF, 0xFF, 0xFF}, L"\xFFFF\xFFFF", -1, kDw},
        {{0, 0}, L"", 0, os::kRegSz},   {{'a', 0, 'b', 0, 'c'}, L"ab", -1, os::kRegSz, 1},
    };
    for (const auto& c : cases)
        TheMachine().SetValue(kHKLM, kPath, std::to_wstring(&c - cases), c.type, c.bytes);
    CLocalMachineKey key(kPath, os::kKeyRead);
    const wchar_t* grown = nullptr;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        const std::wstring name = std::to_wstring(&c - cases);
        EXPECT_EQ(c.dword, key.GetDWORDValue(name.c_str()));
        EXPECT_EQ(c.bytes.size() > 4 ? os::kMoreData : os::kSuccess, key.status);
        const wchar_t* const text = key.GetStringValue(name.c_str());
        ASSERT_NE(nullptr, text);
        EXPECT_EQ(os::kSuccess, key.status);
        EXPECT_EQ(c.text, std::wstring(text).substr(0, c.text.size()));
        EXPECT_LE(std::wcslen(text), c.text.size() + c.slack);
        EXPECT_TRUE(!grown || grown == text) << "the grown buffer is kept";
        grown = c.text == longText ? text : grown;
    }
    EXPECT_TRUE(key.GetDWORDValue(L"Missing") == -1 && key.status == os::kFileNotFound);
    EXPECT_TRUE(key.GetStringValue(L"Missing") == nullptr && key.status == os::kFileNotFound);
}

TEST_F(RegistryKeyTest, CreateSubKeyReturnsOpenKeyForCallerAndWritesTextOnItUnlessWriteIsDenied) {
    TheMachine().CreateKey(kHKCU, kMaker);
    CCurrentUserKey maker(kMaker, os::kKeyWrite);
    // The created key is the caller's until it is closed, which the fixture sees.
    const RegKeyCloser created = maker.CreateSubKey(L"Viewer\\Prefs", L"Label", L"hello");
    EXPECT_EQ(std::make_tuple(true, os::kSuccess, 2u),
              std::make_tuple(static_cast<bool>(created), maker.status, TheMachine().OpenKeyCount()));
    EXPECT_EQ(Text(L"hello"), Stored(kHKCU, kMaker + L"\\Viewer\\Prefs", L"Label"));
    EXPECT_EQ(std::nullopt, Stored(kHKCU, kMaker, L"Label")); // not on the parent

    TheMachine().SetDword(kHKCU, kPath, L"Kept", 3);
    EXPECT_TRUE(maker.CreateSubKey(L"Viewer", nullptr, L"text")); // existing; no name: the default value
    EXPECT_TRUE(maker.CreateSubKey(L"Fresh", L"Name", nullptr));  // no text: nothing written
    EXPECT_EQ(3u, TheMachine().GetDword(kHKCU, kPath, L"Kept"));
    EXPECT_EQ(Text(L"text"), Stored(kHKCU, kPath, L""));
    EXPECT_TRUE(TheMachine().KeyExists(kHKCU, kMaker + L"\\Fresh") &&
                !Stored(kHKCU, kMaker + L"\\Fresh", L"Name"));

    TheMachine().DenyWrite(kHKCU, kMaker);
    EXPECT_FALSE(maker.CreateSubKey(L"Denied", L"Name", L"text") ||
                 TheMachine().KeyExists(kHKCU, kMaker + L"\\Denied"));
    EXPECT_EQ(os::kAccessDenied, maker.status);
}

// One registration key read into an appInfo_tag: strings, formats, the default flag, the auto-launch filter.

const std::wstring kKeyPath = RegistrationPath(L"Viewer");
const std::wstring kPrefs = kKeyPath + L"\\Preferences";
const std::wstring kFormatsPath = kKeyPath + L"\\File Formats";
constexpr std::uint32_t kUntouched = 0x5EED;

using ApplicationRecordTest = SimTest;

// Without a key, formats and flags are reset all the same; strings are taken only from values that are there.
// The formats are the Image, Audio and Video lists in that order, other categories not; only spaces separate
// extensions, each appended as written, repeats too.
TEST_F(ApplicationRecordTest, FillsFieldOfEveryValueThereReplacingEarlierFormatsAndLeavesOtherStrings) {
    const auto read = [] {
        appInfo_tag record = SentinelRecord();
        ReadApplicationRecord(kKeyPath, record);
        return Fields(record);
    };
    appInfo_tag expected = SentinelRecord();
    expected.fileFormats.clear();
    expected.defaultFlag = expected.reserved = 0;
    EXPECT_EQ(Fields(expected), read());
    TheMachine().SetString(kHKLM, kKeyPath, L"Desc", L"Only a description");
    expected.desc = L"Only a description";
    expected.keyPath = kKeyPath;
    EXPECT_EQ(Fields(expected), read());
    AddApp(L"Viewer", L"Quorl Viewer");
    SetFormat(kKeyPath, L"Video", L"  mp4   wmv ");
    SetFormat(kKeyPath, L"Other", L"txt");
    SetFormat(kKeyPath, L"Audio", L"wav MP3 wav");
    SetFormat(kKeyPath, L"Image", L"png\tjpg \tgif tif\n");
    SetPref(kHKLM, kKeyPath, L"DefaultFlag", 1);
    const Formats formats{{L"png\tjpg", L"Image"}, {L"\tgif", L"Image"}, {L"tif\n", L"Image"},
                          {L"wav", L"Audio"},      {L"MP3", L"Audio"},   {L"wav", L"Audio"},
                          {L"mp4", L"Video"},      {L"wmv", L"Video"}};
    EXPECT_EQ(Fields(RecordOf(L"Quorl Viewer", kKeyPath, 1, formats)), read());
    TheMachine().DenyRead(kHKLM, kFormatsPath);
    EXPECT_EQ(Fields(RecordOf(L"Quorl Viewer", kKeyPath, 1, {})), read());
}

// One Preferences value in each hive (nothing, a value, or kKeyOnly for the key without the value), on a
// fresh machine whose user's keys named are denied to reading or writing, where they are not empty.
constexpr std::uint32_t kKeyOnly = 0xDEAD;
const std::nullopt_t none = std::nullopt;
struct Preferences {
    std::optional<std::uint32_t> user, machine;
    std::wstring denyRead = {}, denyWrite = {};
};
void SetPreferences(const wchar_t* name, const Preferences& p) {
    for (const auto& [hive, value] : {std::pair{kHKCU, p.user}, std::pair{kHKLM, p.machine}}) {
        if (value == kKeyOnly)
            TheMachine().CreateKey(hive, kPrefs);
        else if (value)
            SetPref(hive, kKeyPath, name, *value);
    }
    if (!p.denyRead.empty())
        TheMachine().DenyRead(kHKCU, p.denyRead);
    if (!p.denyWrite.empty())
        TheMachine().DenyWrite(kHKCU, p.denyWrite);
}

// The user's own value decides; on first sight of an application (the user has the maker key) the user's
// key is created with 0. The machine's value counts only when that key can be neither read nor created.
TEST_F(ApplicationRecordTest, UserHiveDecidesAndIsCreatedWithZeroOnFirstSight) {
    const struct {
        Preferences prefs;
        bool makerKey;
        std::uint32_t read;
        std::optional<std::uint32_t> userAfter;
    } cases[] = {
        {{1, 1, kPrefs}, false, 0, 0},           {{1, 0}, false, 1, 1},
        {{none, 1, kMaker}, true, 0, 0},         {{none, 1}, true, 0, 0},
        {{~0u, 1}, false, kUntouched, ~0u},      {{none, none}, true, 0, 0},
        {{none, ~0u}, false, kUntouched, none},  {{none, 3}, false, 3, none},
        {{none, 2, L"", kPath}, true, 2, none},  {{none, 5, L"", kMaker}, true, 5, none},
        {{none, none}, false, kUntouched, none}, {{kKeyOnly, 1}, false, kUntouched, kKeyOnly},
    };
    ForEachCase(cases, [&](const auto& c) {
        if (c.makerKey)
            TheMachine().CreateKey(kHKCU, kMaker);
        SetPreferences(L"DefaultFlag", c.prefs);
        std::uint32_t flag = kUntouched;
        ReadDefaultFlag(kPrefs, flag);
        EXPECT_EQ(c.read, flag);
        EXPECT_EQ(c.userAfter.has_value(), TheMachine().KeyExists(kHKCU, kPrefs));
        EXPECT_EQ(c.userAfter == kKeyOnly ? none : c.userAfter, DwordValue(kHKCU, kPrefs, L"DefaultFlag"));
    });
}

// AutoLaunchOnDeviceConnect = 1 turns launching off; the user's value counts before the machine's. Memory
// exhaustion (the row's user value stands for the registry call that throws) answers false.
TEST_F(ApplicationRecordTest, AutoLaunchIsOffOnlyForValueOneAndUserValueCountsFirst) {
    const struct {
        Preferences prefs;
        bool candidate;
        std::size_t throwAt = 0;
    } cases[] = {
        {{none, none}, true}, {{kKeyOnly, kKeyOnly}, true}, {{0, 1}, true},           {{1, 0}, false},
        {{2, 1}, true},       {{none, 1}, false},           {{kKeyOnly, 1}, false},   {{~0u, 1}, false},
        {{none, 2}, true},    {{0, 1, kPrefs}, false},      {{none, none}, false, 1}, {{0, none}, false, 2},
    };
    ForEachCase(cases, [&](const auto& c) {
        SetPreferences(L"AutoLaunchOnDeviceConnect", c.prefs);
        TheMachine().ThrowOnRegistryCall(c.throwAt);
        EXPECT_EQ(c.candidate, IsAutoLaunchCandidate(kKeyPath));
    });
}

// Discovering registrations below SOFTWARE\Quorl, filtering them into the list, and the queries on it.

// A fresh machine and a handler of the library's list.
struct HandlerTest : SimTest {
    CQELBootInformationHandler handler;
};
using ApplicationListTest = HandlerTest;

// Breadth first below the maker key, after the records found before: a key named exactly "Quorl Vandrel" is a
// registration, not walked into; keys that cannot be read are skipped, but an unreadable registration still
// gives a record, an empty one; a key whose name reads as empty is skipped, and one of 128 characters ends
// its parent's enumeration. Each application here is named after its key.
TEST_F(ApplicationListTest, AppendsBreadthFirstARecordPerKeyNamedExactlyAsRegistration) {
    std::vector<appInfo_tag> found{SentinelRecord()};
    DiscoverApplications(found); // without the maker key
    for (const auto& appKey : Strings{L"Alpha\\Deep\\Deeper", L"Alpha\\Deep", L"Beta\\Inner", L"Gamma",
                                      L"Gamma\\Quorl Vandrel", L"Alpha", L"", L"Lower\\quorl vandrel",
                                      L"Locked\\Inner", L"Unreadable", std::wstring(1, L'\0') + L"Null"})
        AddApp(appKey, L"@" + appKey);
    AddApp(L"Beta\\B" + std::wstring(126, L'x'), L"@Beta\\127"); // sorted before Beta\Inner, as is 128
    AddApp(L"Beta\\C" + std::wstring(127, L'x'), L"@Beta\\128");
    TheMachine().SetString(kHKLM, kMaker + L"\\Upper\\QUORL VANDREL", L"Name", L"Upper");
    TheMachine().DenyRead(kHKLM, kMaker + L"\\Locked");
    TheMachine().DenyRead(kHKLM, RegistrationPath(L"Unreadable"));
    DiscoverApplications(found);
    EXPECT_EQ((Strings{L"<name>", L"@", L"@Alpha", L"@Gamma", L"", L"@Alpha\\Deep", L"@Beta\\127",
                       L"@Lower\\quorl vandrel", L"@Alpha\\Deep\\Deeper"}),
              Names(found));
    EXPECT_EQ(Fields(SentinelRecord()), Fields(found[0]));
    EXPECT_TRUE(found.at(4).keyPath.empty() && found[4].cmdLine.empty());
}

// Listed are the registrations whose program and proxy are on disk and whose auto-launch is not off; the
// queries copy whole records from that list. A reload reads every record afresh over the memory of the last
// one: what left the registry leaves the list.
TEST_F(ApplicationListTest, OnlyRegistrationsWithProgramProxyAndAutoLaunchAreListedAndQueriesCopyThem) {
    SetPref(kHKLM, AddApp(L"A", L"Viewer"), L"DefaultFlag", 4);
    SetFormat(RegistrationPath(L"A"), L"Image", L"jpg");
    AddApp(L"B", L"Bravo");
    SetPref(kHKLM, AddApp(L"C", L"Viewer"), L"DefaultFlag", 2);
    AddApp(L"NoProgram", L"NoProgram", false);
    TheMachine().AddFile(ProxyFile(L"NoProgram"));
    AddApp(L"NoProxy", L"NoProxy", false);
    TheMachine().AddFile(ProgramFile(L"NoProxy"));
    TheMachine().SetString(kHKLM, RegistrationPath(L"NoCmdLine"), L"Name", L"NoCmdLine");
    TheMachine().SetString(kHKLM, RegistrationPath(L"NoCmdLine"), L"ProxyPath", ProxyFile(L"Bravo"));
    SetPref(kHKLM, AddApp(L"Off", L"Off"), L"AutoLaunchOnDeviceConnect", 1);
    SetPref(kHKLM, AddApp(L"Two", L"Two"), L"AutoLaunchOnDeviceConnect", 2);
    handler.LoadInformation();
    EXPECT_EQ((Strings{L"Viewer", L"Bravo", L"Viewer", L"Two"}), Names(handler.apps));
    const auto sameRecords = [](const std::vector<appInfo_tag>& a, const std::vector<appInfo_tag>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                          [](const auto& x, const auto& y) { return Fields(x) == Fields(y); });
    };
    std::vector<appInfo_tag> all(5, SentinelRecord());
    EXPECT_TRUE(handler.GetAllApplicationInfo(all));
    EXPECT_TRUE(sameRecords(all, handler.apps));

    std::vector<appInfo_tag> defaults{SentinelRecord()};
    EXPECT_TRUE(handler.GetDefaultApplicationInfo(defaults));
    EXPECT_EQ((Strings{L"<keypath>", RegistrationPath(L"A"), RegistrationPath(L"C")}),
              Names(defaults, &appInfo_tag::keyPath));

    appInfo_tag out = SentinelRecord();
    EXPECT_FALSE(handler.GetApplicationInfo(L"viewer", out) || handler.GetApplicationInfo(L"Viewer ", out));
    EXPECT_EQ(Fields(SentinelRecord()), Fields(out));
    EXPECT_TRUE(handler.GetApplicationInfo(L"Viewer", out));
    EXPECT_EQ(Fields(RecordOf(L"Viewer", RegistrationPath(L"A"), 4, {{L"jpg", L"Image"}})), Fields(out));

    // A bare registration (no Desc, Icon, formats or flag) takes the first place, and Bravo's key goes
    // unread.
    for (const auto& [value, text] :
         {std::pair(L"Name", L"Bare"), std::pair(L"ProxyPath", L"C:\\Apps\\Two\\Proxy.exe"),
          std::pair(L"CmdLine", L"C:\\Apps\\Two\\Two.exe")})
        TheMachine().SetString(kHKLM, RegistrationPath(L"0"), value, text);
    TheMachine().DenyRead(kHKLM, kMaker + L"\\B");
    CQELBootInformationHandler fresh;
    fresh.LoadInformation();
    handler.LoadInformation();
    ASSERT_EQ((Strings{L"Bare", L"Viewer", L"Viewer", L"Two"}), Names(fresh.apps));
    EXPECT_TRUE(sameRecords(fresh.apps, handler.apps));
}

// The older sibling application: its record from its installation folder, and switching its own launching.

using SiblingTest = HandlerTest;

// Its programs without its installation key are no sibling, and nothing is started for it. Without an
// Action, or with an empty one, the description is the sibling's own; its 47 formats are its own list. The
// device-connect program runs detached with "-i" or "-d"; a folder starting with a quote is passed as
// argument zero unchanged, and a start that fails is ignored.
TEST_F(SiblingTest, InstalledFillsNameProgramsIconActionAnd47FormatsAndStartsDeviceConnectWithIOrD) {
    TheMachine().AddFile(kSiblingDeviceConnect);
    appInfo_tag record = SentinelRecord();
    EXPECT_FALSE(handler.GetOST3Info(record));
    EXPECT_EQ(Fields(SentinelRecord()), Fields(record));
    handler.StartOST3AutoLaunch();
    handler.StopOST3AutoLaunch();
    InstallSibling(L"D:\\Programs\\Ostrand");
    const std::wstring folder = L"D:\\Programs\\Ostrand\\";
    for (const wchar_t* action : {static_cast<const wchar_t*>(nullptr), L"", L"Open pictures with Ostrand"}) {
        if (action)
            TheMachine().SetString(kHKLM, kSiblingAutoplayKey, L"Action", action);
        ASSERT_TRUE(handler.GetOST3Info(record));
        EXPECT_EQ(Fields({L"Quorl Ostrand 3.0", folder + L"OstrandDeviceConnect.exe",
                          action && *action ? action : L"Organize and edit pictures using",
                          folder + L"OstProxy.exe", folder + L"OstrandOrganizer.exe, 111", L"<keypath>",
                          0x5EED, 0xBEEF, record.fileFormats}),
                  Fields(record));
        EXPECT_EQ(47u, record.fileFormats.size());
    }
    handler.StartOST3AutoLaunch();
    handler.StopOST3AutoLaunch();
    TheMachine().SetString(kHKLM, kSiblingInstallKey, L"", L"\"C:\\Ostrand");
    handler.StopOST3AutoLaunch(); // no such program
    const std::wstring program = folder + L"OstrandDeviceConnect.exe",
                       quoted = L"\"C:\\Ostrand\\OstrandDeviceConnect.exe";
    ExpectSpawns(
        {{program, Quoted(program), L"-i"}, {program, Quoted(program), L"-d"}, {quoted, quoted, L"-d"}},
        os::SpawnMode::Detach);
    EXPECT_TRUE(TheMachine().DebugLines().empty());
}

// The calling proxy's own per-user launch switch and its application's locale.

class LaunchStatusTest : public HandlerTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        AddApp(L"Viewer", L"Viewer");
        TheMachine().SetSelf(ProxyFile(L"Viewer"));
    }
    static std::optional<std::uint32_t> Stored() { return DwordValue(kHKCU, kPath, L"qellaunchstatus"); }
    static void Store(std::uint32_t value) { TheMachine().SetDword(kHKCU, kPath, L"qellaunchstatus", value); }
    // A switch call's answer and the user's stored value after it.
    using Answer = std::pair<bool, std::optional<std::uint32_t>>;
    Answer Get() { return {handler.GetQELLaunchStatus(), Stored()}; }
    Answer Set(long status) { return {handler.SetQELLaunchStatus(status), Stored()}; }
    std::wstring Locale(bool expected) {
        std::wstring locale = L"<locale>";
        EXPECT_EQ(expected, handler.GetQELLocaleString(locale));
        return locale;
    }
};

// On unless stored as 0; a first read stores 1; both only in a user's key that exists and can be written.
// Exhausted memory gives on for both calls, writing nothing, and the default locale.
TEST_F(LaunchStatusTest, SwitchIsOnUnlessStoredZeroStartsAtOneAndIsSetWhereUserKeyIsWritable) {
    EXPECT_EQ(Answer(true, std::nullopt), Get()); // the application's key only in the machine hive
    EXPECT_EQ(Answer(false, std::nullopt), Set(0));
    EXPECT_FALSE(TheMachine().KeyExists(kHKCU, kMaker));

    TheMachine().CreateKey(kHKCU, kPath);
    EXPECT_EQ(Answer(true, 1), Get());
    EXPECT_EQ(Answer(true, 0), Set(0));
    EXPECT_EQ(Answer(false, 0), Get());
    EXPECT_EQ(Answer(true, 0xFFFFFFFEu), Set(-2));
    EXPECT_EQ(Answer(true, 0xFFFFFFFEu), Get());
    Store(0xFFFFFFFFu); // reads like a missing value and is rewritten
    EXPECT_EQ(Answer(true, 1), Get());
    Store(0);
    TheMachine().SetString(kHKLM, kPath, L"locale", L"de_de");
    // Each call maintains the order first: the next registry call after one maintenance is its own first.
    TheMachine().ThrowOnRegistryCall(MaintainOrderRegistryCalls() + 1);
    EXPECT_EQ(Answer(true, 0), Get());
    TheMachine().ThrowOnRegistryCall(MaintainOrderRegistryCalls() + 1);
    EXPECT_EQ(Answer(true, 0), Set(7));
    TheMachine().ThrowOnRegistryCall(MaintainOrderRegistryCalls() + 1);
    EXPECT_EQ(L"en_us", Locale(false));
    TheMachine().DenyRead(kHKCU, kPath);
    EXPECT_EQ(Answer(true, 0), Get());

    Fresh();
    TheMachine().CreateKey(kHKCU, kPath);
    TheMachine().DenyWrite(kHKCU, kPath);
    EXPECT_EQ(Answer(true, std::nullopt), Get());
    EXPECT_EQ(Answer(false, std::nullopt), Set(0));
}

// The locale is the machine's value, exactly as stored and not empty, in the application's own key, where the
// switch is kept too: the registration's keyPath cut before its first "\Quorl Vandrel". Otherwise, and for
// any caller that is no listed proxy, it is "en_us"; the user's hive is not asked.
TEST_F(LaunchStatusTest, LocaleIsMachineValueInApplicationKeyCutAtFirstExactRegistrationNameElseEnUs) {
    TheMachine().SetSelf(L"C:\\Apps\\Viewer\\Other.exe"); // not a listed proxy: defaults, nothing written
    TheMachine().SetString(kHKLM, kPath, L"locale", L"de_de");
    Store(0);
    EXPECT_EQ(L"en_us", Locale(false));
    EXPECT_EQ(Answer(true, 0), Get());
    EXPECT_EQ(Answer(false, 0), Set(5));
    const std::wstring suite = L"Quorl Vandrel Suite", kit = L"Tools\\quorl vandrel kit";
    const struct {
        std::wstring appKey, key;
        const wchar_t* text;
        bool found = true;
    } cases[] = {
        {L"Viewer", kPath, L"De_CH "},  {suite, kMaker + L"\\" + suite, L"xx_yy", false},
        {L"Viewer", kPath, L"", false}, {kit, kMaker + L"\\" + kit, L"xx_yy"},
        {suite, kMaker, L"xx_yy"},      {kit, kMaker + L"\\Tools", L"xx_yy", false},
        {L"", kMaker, L"xx_yy"},        {L"", RegistrationPath(L""), L"xx_yy", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        sim::Machine::Reset();
        AddApp(c.appKey, L"Own");
        TheMachine().SetSelf(ProxyFile(L"Own"));
        TheMachine().SetString(kHKCU, c.key, L"locale", L"fr_fr");
        TheMachine().SetString(kHKLM, c.key, L"locale", c.text);
        EXPECT_EQ(c.found ? c.text : L"en_us", Locale(c.found));
    }
}

} // namespace
} // namespace qel::simtest
