// The C interface: handles, records that stay valid until the next load, and Win32 buffer conventions.

#include <cwchar>

#include "qelboot_c.h"
#include "sim_fixture.h"

namespace qel::simtest {
namespace {

class CInterface : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        SetFormat(AddApp(L"Alpha", L"Alpha"), L"Image", L"jpg png");
        SetPref(kHKLM, AddApp(L"Beta", L"Beta"), L"DefaultFlag", 1);
        ASSERT_EQ(0u, QelCreateHandler(&handler));
    }
    void TearDown() override {
        EXPECT_EQ(0u, QelFreeHandler(handler));
        SimTest::TearDown();
    }
    QelAppInfo Record(unsigned int index, QelStatus expected = 0) {
        QelAppInfo info{};
        info.size = sizeof info;
        EXPECT_EQ(expected, QelGetApplication(handler, index, &info));
        return info;
    }
    QelHandler handler = nullptr;
};

TEST_F(CInterface, UnknownAndFreedHandlesAndNullPointersGetAStatus) {
    QelHandler freed = nullptr;
    ASSERT_EQ(0u, QelCreateHandler(&freed));
    EXPECT_EQ(0u, QelFreeHandler(freed));
    unsigned int count = 0x5EED;
    int made = 0;
    for (QelHandler bad : {freed, static_cast<QelHandler>(nullptr), reinterpret_cast<QelHandler>(&made)}) {
        EXPECT_EQ(6u, QelFreeHandler(bad));
        EXPECT_EQ(6u, QelLoadInformation(bad));
        EXPECT_EQ(6u, QelGetApplicationCount(bad, &count));
        EXPECT_EQ(6u, QelGetQELLaunchStatus(bad, &made));
    }
    EXPECT_EQ(87u, QelCreateHandler(nullptr));
    EXPECT_EQ(87u, QelGetApplicationCount(handler, nullptr));
    EXPECT_EQ(87u, QelGetQELLaunchStatus(handler, nullptr));
    EXPECT_EQ(87u, QelFindApplication(handler, nullptr, &count));
    EXPECT_EQ(87u, QelLaunchDefaultQEL(handler, nullptr, L"E:"));
    EXPECT_EQ(87u, QelSetApplicationDefaultStatus(handler, L"Alpha", nullptr));
    EXPECT_EQ(87u, QelParseCommandLineParameter(handler, nullptr, &count));
    EXPECT_EQ(0x5EEDu, count);
    QelAppInfo small{};
    small.size = sizeof small - 1;
    EXPECT_EQ(87u, QelGetApplication(handler, 0, &small));
    EXPECT_EQ(nullptr, small.name);
    EXPECT_EQ(1168u, QelSetQELLaunchStatus(handler, 0)) << "not called from a listed proxy";
}

TEST_F(CInterface, RecordsMatchTheListAndStayValidUntilTheNextLoad) {
    unsigned int count = 0;
    EXPECT_EQ(0u, QelLoadInformation(handler));
    EXPECT_EQ(0u, QelGetApplicationCount(handler, &count));
    ASSERT_EQ(2u, count);
    const QelAppInfo alpha = Record(0);
    EXPECT_EQ(std::make_tuple(L"Alpha", ProgramFile(L"Alpha"), RegistrationPath(L"Alpha")),
              std::make_tuple(std::wstring(alpha.name), alpha.cmdLine, alpha.keyPath));
    ASSERT_EQ(2u, alpha.fileFormatCount);
    EXPECT_EQ(std::make_tuple(L"png", L"Image"),
              std::make_tuple(std::wstring(alpha.fileFormats[1].extension),
                              std::wstring(alpha.fileFormats[1].category)));
    EXPECT_EQ(1u, Record(1).defaultFlag);
    Record(2, 259);

    unsigned int index = 0x5EED, indexes[2] = {0x5EED, 0x5EED};
    EXPECT_EQ(std::make_pair(0u, 1u), std::make_pair(QelFindApplication(handler, L"Beta", &index), index));
    EXPECT_EQ(1168u, QelFindApplication(handler, L"beta", &index)) << "names compare exactly";
    for (const unsigned int capacity : {0u, 1u}) {
        count = capacity;
        EXPECT_EQ(capacity ? 0u : 122u, QelGetDefaultApplications(handler, indexes, &count));
        EXPECT_EQ(std::make_tuple(1u, capacity ? 1u : 0x5EEDu, 0x5EEDu),
                  std::make_tuple(count, indexes[0], indexes[1]));
    }

    // Reads keep the record; the default switch reloads, and the list then says what it did.
    EXPECT_EQ(std::make_pair(alpha.name, alpha.fileFormats),
              std::make_pair(Record(0).name, Record(0).fileFormats));
    EXPECT_EQ(87u, QelSetApplicationDefaultStatus(handler, L"Gamma", L"yes"));
    EXPECT_EQ(0u, QelSetApplicationDefaultStatus(handler, L"Beta", L"no"));
    EXPECT_EQ(0u, Record(1).defaultFlag);
    EXPECT_EQ(std::wstring(L"png"), Record(0).fileFormats[1].extension) << "formats of the reloaded list";
}

// The locale is the default one, stored 0, until the application's key holds one.
TEST_F(CInterface, BuffersTooSmallAreLeftAloneAndTheSizeNeededIsGiven) {
    TheMachine().SetSelf(ProxyFile(L"Alpha"));
    // A locale call's status, its buffer of eight characters, and the size and the stored flag it gave.
    const auto locale = [this](unsigned int chars) {
        wchar_t text[8];
        std::wmemset(text, L'#', 8);
        int stored = 7;
        const QelStatus status = QelGetQELLocaleString(handler, text, &chars, &stored);
        return std::make_tuple(status, std::wstring(text, 8), chars, stored);
    };
    EXPECT_EQ(std::make_tuple(0u, std::wstring(L"en_us\0##", 8), 5u, 0), locale(8));
    TheMachine().SetString(kHKLM, L"SOFTWARE\\Quorl\\Alpha", L"locale", L"de_de_x");
    EXPECT_EQ(std::make_tuple(122u, std::wstring(8, L'#'), 8u, 7), locale(7));
    EXPECT_EQ(std::make_tuple(0u, std::wstring(L"de_de_x\0", 8), 7u, 1), locale(8));

    TheMachine().SetCommandLine({L"qelboot.exe", L"-default", L"Alpha", L"no"});
    wchar_t words[19];
    unsigned int chars = 8;
    EXPECT_EQ(std::make_pair(122u, 19u),
              std::make_pair(QelParseCommandLineParameter(handler, words, &chars), chars));
    EXPECT_EQ(std::make_pair(0u, 18u),
              std::make_pair(QelParseCommandLineParameter(handler, words, &chars), chars));
    EXPECT_EQ(std::wstring(L"-default\0Alpha\0no\0\0", 19), std::wstring(words, 19));
}

} // namespace
} // namespace qel::simtest
