// The older sibling application: its record, built from its installation folder, and switching its own
// launching on device arrival on and off.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "qelboot.h"
#include "sim_fixture.h"

namespace qel {
namespace {

using namespace simtest;
using Formats = std::vector<std::pair<std::wstring, std::wstring>>;

void AppendWords(const std::wstring& words, const std::wstring& category, Formats& formats) {
    std::wistringstream in(words);
    for (std::wstring word; in >> word;)
        formats.emplace_back(word, category);
}

Formats SiblingFormats() {
    Formats formats;
    AppendWords(
        L"jpg jpe jpeg png tif tiff psd wbmp wbm tga vda icb vst pxr pcx jpf jpx jp2 j2c j2k jpc gif crw "
        L"nef raf orf mrw dcr mos raw pef srf dnf x3f cr2",
        L"Image", formats);
    AppendWords(L"wma mp3 wav", L"Audio", formats);
    AppendWords(L"3gp 3g2 avi mov mpg mpe mpeg mp4 wmv", L"Video", formats);
    return formats;
}

class SiblingTest : public SimTest {
protected:
    CQELBootInformationHandler handler;
};

TEST_F(SiblingTest, NotInstalledGivesFalseLeavesRecordAndStartsNothing) {
    TheMachine().SetString(kHKLM, kSiblingAutoplayKey, L"Action", L"Open pictures");
    TheMachine().AddFile(SiblingDeviceConnect());
    appInfo_tag record = SentinelRecord();
    EXPECT_FALSE(handler.GetOST3Info(record));
    EXPECT_TRUE(SameRecord(SentinelRecord(), record));
    handler.StartOST3AutoLaunch();
    handler.StopOST3AutoLaunch();
    EXPECT_TRUE(TheMachine().Spawns().empty());
}

TEST_F(SiblingTest, InstalledFillsNameProgramsIconAndActionText) {
    InstallSibling(L"D:\\Programs\\Ostrand");
    TheMachine().SetString(kHKLM, kSiblingAutoplayKey, L"Action", L"Open pictures with Ostrand");
    appInfo_tag record;
    ASSERT_TRUE(handler.GetOST3Info(record));
    EXPECT_EQ(L"Quorl Ostrand 3.0", record.name);
    EXPECT_EQ(L"D:\\Programs\\Ostrand\\OstrandDeviceConnect.exe", record.proxyPath);
    EXPECT_EQ(L"Open pictures with Ostrand", record.desc);
    EXPECT_EQ(L"D:\\Programs\\Ostrand\\OstProxy.exe", record.cmdLine);
    EXPECT_EQ(L"D:\\Programs\\Ostrand\\OstrandOrganizer.exe, 111", record.icon);
    EXPECT_EQ(L"", record.keyPath);
    EXPECT_EQ(0u, record.defaultFlag);
    EXPECT_EQ(0u, record.reserved);
    EXPECT_TRUE(TheMachine().Spawns().empty());
}

TEST_F(SiblingTest, MissingOrEmptyActionGivesConstantText) {
    InstallSibling();
    appInfo_tag record;
    ASSERT_TRUE(handler.GetOST3Info(record));
    EXPECT_EQ(L"Organize and edit pictures using", record.desc);
    TheMachine().SetString(kHKLM, kSiblingAutoplayKey, L"Action", L"");
    ASSERT_TRUE(handler.GetOST3Info(record));
    EXPECT_EQ(L"Organize and edit pictures using", record.desc);
}

TEST_F(SiblingTest, KeepsKeyPathFlagsAndReplacesFormatsWith47Pairs) {
    InstallSibling();
    appInfo_tag record = SentinelRecord();
    ASSERT_TRUE(handler.GetOST3Info(record));
    EXPECT_EQ(L"<keypath>", record.keyPath);
    EXPECT_EQ(0x5EEDu, record.defaultFlag);
    EXPECT_EQ(0xBEEFu, record.reserved);
    ASSERT_EQ(47u, record.fileFormats.size());
    EXPECT_EQ(SiblingFormats(), record.fileFormats);
    std::size_t image = 0, audio = 0, video = 0;
    for (const auto& [extension, category] : record.fileFormats) {
        image += category == L"Image";
        audio += category == L"Audio";
        video += category == L"Video";
    }
    EXPECT_EQ(35u, image);
    EXPECT_EQ(3u, audio);
    EXPECT_EQ(9u, video);
}

TEST_F(SiblingTest, FolderStartingWithQuoteIsPassedAsArgumentZeroUnchanged) {
    TheMachine().SetString(kHKLM, kSiblingInstallKey, L"", L"\"C:\\Ostrand");
    appInfo_tag record;
    ASSERT_TRUE(handler.GetOST3Info(record));
    EXPECT_EQ(L"\"C:\\Ostrand\\OstrandDeviceConnect.exe", record.proxyPath);
    handler.StartOST3AutoLaunch();
    EXPECT_EQ((std::vector<Strings>{{record.proxyPath, record.proxyPath, L"-i"}}), SpawnedCommands());
}

TEST_F(SiblingTest, StartRunsDeviceConnectProgramDetachedWithI) {
    InstallSibling();
    handler.StartOST3AutoLaunch();
    const std::wstring program = L"C:\\Ostrand\\OstrandDeviceConnect.exe";
    ASSERT_EQ((std::vector<Strings>{{program, Quoted(program), L"-i"}}), SpawnedCommands());
    EXPECT_EQ(os::SpawnMode::Detach, TheMachine().Spawns()[0].mode);
    EXPECT_NE(-1, TheMachine().Spawns()[0].result);
    EXPECT_TRUE(TheMachine().DebugLines().empty());
}

TEST_F(SiblingTest, StopPassesDAsOnlyArgumentAfterProgram) {
    InstallSibling();
    handler.StopOST3AutoLaunch();
    const std::wstring program = L"C:\\Ostrand\\OstrandDeviceConnect.exe";
    ASSERT_EQ((std::vector<Strings>{{program, Quoted(program), L"-d"}}), SpawnedCommands());
    EXPECT_EQ(os::SpawnMode::Detach, TheMachine().Spawns()[0].mode);
}

TEST_F(SiblingTest, FailedStartIsIgnored) {
    TheMachine().SetString(kHKLM, kSiblingInstallKey, L"", L"C:\\Removed");
    handler.StopOST3AutoLaunch();
    ASSERT_EQ(1u, TheMachine().Spawns().size());
    EXPECT_EQ(-1, TheMachine().Spawns()[0].result);
    EXPECT_TRUE(TheMachine().DebugLines().empty());
}

TEST_F(SiblingTest, ExhaustedMemoryGivesFalseAndStartsNothing) {
    InstallSibling();
    appInfo_tag record = SentinelRecord();
    TheMachine().ThrowOnRegistryCall(1);
    EXPECT_FALSE(handler.GetOST3Info(record));
    EXPECT_TRUE(SameRecord(SentinelRecord(), record));
    TheMachine().ThrowOnRegistryCall(1);
    handler.StartOST3AutoLaunch();
    EXPECT_TRUE(TheMachine().Spawns().empty());
}

} // namespace
} // namespace qel
