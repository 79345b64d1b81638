// The older sibling application: its record, built from its installation folder, and switching its own
// launching on device arrival on and off.

#include "registry/app_records.h"
#include "sim_fixture.h"

namespace qel::simtest {
namespace {

Formats SiblingFormats() {
    Formats formats;
    SplitExtensionList(
        L"jpg jpe jpeg png tif tiff psd wbmp wbm tga vda icb vst pxr pcx jpf jpx jp2 j2c j2k jpc gif "
        L"crw nef raf orf mrw dcr mos raw pef srf dnf x3f cr2",
        L"Image", formats);
    SplitExtensionList(L"wma mp3 wav", L"Audio", formats);
    SplitExtensionList(L"3gp 3g2 avi mov mpg mpe mpeg mp4 wmv", L"Video", formats);
    return formats;
}

class SiblingTest : public SimTest {
protected:
    CQELBootInformationHandler handler;
};

TEST_F(SiblingTest, NotInstalledOrExhaustedMemoryGivesFalseLeavesRecordAndStartsNothing) {
    TheMachine().SetString(kHKLM, kSiblingAutoplayKey, L"Action", L"Open pictures");
    TheMachine().AddFile(kSiblingDeviceConnect);
    appInfo_tag record = SentinelRecord();
    EXPECT_FALSE(handler.GetOST3Info(record));
    handler.StartOST3AutoLaunch();
    handler.StopOST3AutoLaunch();
    InstallSibling();
    TheMachine().ThrowOnRegistryCall(1);
    EXPECT_FALSE(handler.GetOST3Info(record));
    TheMachine().ThrowOnRegistryCall(1);
    handler.StartOST3AutoLaunch();
    EXPECT_EQ(Fields(SentinelRecord()), Fields(record));
    EXPECT_TRUE(TheMachine().Spawns().empty());
}

TEST_F(SiblingTest, InstalledFillsNameProgramsIconActionAnd47FormatsAndKeepsTheRest) {
    InstallSibling(L"D:\\Programs\\Ostrand");
    appInfo_tag record = SentinelRecord();
    ASSERT_TRUE(handler.GetOST3Info(record));
    EXPECT_EQ(L"Organize and edit pictures using", record.desc); // without an Action
    TheMachine().SetString(kHKLM, kSiblingAutoplayKey, L"Action", L"");
    ASSERT_TRUE(handler.GetOST3Info(record));
    EXPECT_EQ(L"Organize and edit pictures using", record.desc);
    TheMachine().SetString(kHKLM, kSiblingAutoplayKey, L"Action", L"Open pictures with Ostrand");
    record = SentinelRecord();
    ASSERT_TRUE(handler.GetOST3Info(record));
    const std::wstring folder = L"D:\\Programs\\Ostrand\\";
    EXPECT_EQ(Fields({L"Quorl Ostrand 3.0", folder + L"OstrandDeviceConnect.exe",
                      L"Open pictures with Ostrand", folder + L"OstProxy.exe",
                      folder + L"OstrandOrganizer.exe, 111", L"<keypath>", 0x5EED, 0xBEEF, SiblingFormats()}),
              Fields(record));
    EXPECT_EQ(47u, record.fileFormats.size());
    EXPECT_TRUE(TheMachine().Spawns().empty());
}

TEST_F(SiblingTest, StartAndStopRunDeviceConnectProgramDetachedWithIOrD) {
    const struct {
        void (CQELBootInformationHandler::*call)();
        const wchar_t* argument;
    } cases[] = {{&CQELBootInformationHandler::StartOST3AutoLaunch, L"-i"},
                 {&CQELBootInformationHandler::StopOST3AutoLaunch, L"-d"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.argument));
        Fresh();
        InstallSibling();
        (handler.*c.call)();
        ExpectSpawns({SiblingCommand(c.argument)}, os::SpawnMode::Detach);
        EXPECT_NE(-1, TheMachine().Spawns().at(0).result);
        EXPECT_TRUE(TheMachine().DebugLines().empty());
    }
}

TEST_F(SiblingTest, FolderStartingWithQuoteIsPassedAsArgumentZeroUnchangedAndFailedStartIsIgnored) {
    TheMachine().SetString(kHKLM, kSiblingInstallKey, L"", L"\"C:\\Ostrand");
    appInfo_tag record;
    ASSERT_TRUE(handler.GetOST3Info(record));
    EXPECT_EQ(L"\"C:\\Ostrand\\OstrandDeviceConnect.exe", record.proxyPath);
    handler.StopOST3AutoLaunch();
    EXPECT_EQ((std::vector<Strings>{{record.proxyPath, record.proxyPath, L"-d"}}), SpawnedCommands());
    EXPECT_EQ(-1, TheMachine().Spawns()[0].result); // no such program
    EXPECT_TRUE(TheMachine().DebugLines().empty());
}

} // namespace
} // namespace qel::simtest
