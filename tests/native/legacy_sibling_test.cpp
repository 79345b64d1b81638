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

// Its programs and autoplay handler without its installation key are no sibling.
TEST_F(SiblingTest, NotInstalledGivesFalseLeavesRecordAndStartsNothing) {
    TheMachine().SetString(kHKLM, kSiblingAutoplayKey, L"Action", L"Open pictures");
    TheMachine().AddFile(kSiblingDeviceConnect);
    appInfo_tag record = SentinelRecord();
    EXPECT_FALSE(handler.GetOST3Info(record));
    handler.StartOST3AutoLaunch();
    handler.StopOST3AutoLaunch();
    EXPECT_EQ(Fields(SentinelRecord()), Fields(record));
    EXPECT_TRUE(TheMachine().Spawns().empty());
}

// Without an Action, or with an empty one, the description is the sibling's own.
TEST_F(SiblingTest, InstalledFillsNameProgramsIconActionAnd47FormatsAndKeepsTheRest) {
    InstallSibling(L"D:\\Programs\\Ostrand");
    const std::wstring folder = L"D:\\Programs\\Ostrand\\";
    for (const wchar_t* action : {static_cast<const wchar_t*>(nullptr), L"", L"Open pictures with Ostrand"}) {
        if (action)
            TheMachine().SetString(kHKLM, kSiblingAutoplayKey, L"Action", action);
        appInfo_tag record = SentinelRecord();
        ASSERT_TRUE(handler.GetOST3Info(record));
        EXPECT_EQ(Fields({L"Quorl Ostrand 3.0", folder + L"OstrandDeviceConnect.exe",
                          action && *action ? action : L"Organize and edit pictures using",
                          folder + L"OstProxy.exe", folder + L"OstrandOrganizer.exe, 111", L"<keypath>",
                          0x5EED, 0xBEEF, SiblingFormats()}),
                  Fields(record));
        EXPECT_EQ(47u, record.fileFormats.size());
    }
    EXPECT_TRUE(TheMachine().Spawns().empty());
}

// The device-connect program runs detached with "-i" or "-d"; a folder starting with a quote is passed as
// argument zero unchanged, and a start that fails is ignored.
TEST_F(SiblingTest, StartAndStopRunDeviceConnectProgramDetachedWithIOrD) {
    const struct {
        void (CQELBootInformationHandler::*call)();
        const wchar_t* folder;
        const wchar_t* argument;
    } cases[] = {{&CQELBootInformationHandler::StartOST3AutoLaunch, L"C:\\Ostrand", L"-i"},
                 {&CQELBootInformationHandler::StopOST3AutoLaunch, L"C:\\Ostrand", L"-d"},
                 {&CQELBootInformationHandler::StopOST3AutoLaunch, L"\"C:\\Ostrand", L"-d"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.folder + std::wstring(c.argument)));
        Fresh();
        if (*c.folder == L'"')
            TheMachine().SetString(kHKLM, kSiblingInstallKey, L"", c.folder);
        else
            InstallSibling(c.folder);
        (handler.*c.call)();
        const std::wstring program = c.folder + std::wstring(L"\\OstrandDeviceConnect.exe");
        ExpectSpawns({{program, *c.folder == L'"' ? program : Quoted(program), c.argument}},
                     os::SpawnMode::Detach);
        EXPECT_EQ(*c.folder == L'"', TheMachine().Spawns().at(0).result == -1); // no such program
        EXPECT_TRUE(TheMachine().DebugLines().empty());
    }
}

} // namespace
} // namespace qel::simtest
