// What the built files tell about themselves: each one's version resource, and how the programs answer a
// request for help, an option they do not know, and a folder named outside the ANSI code page.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "host_runner.h"
#include "hosts/utf8.h"

namespace qel {
namespace {

using namespace testhost;

// One text of a version resource, in the language and code page its translation table names first.
std::string VersionText(const std::vector<char>& info, const std::wstring& name) {
    WORD* translation = nullptr;
    UINT size = 0;
    if (!::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                          &size) ||
        size < 4)
        return "<no translation>";
    wchar_t prefix[40];
    std::swprintf(prefix, 40, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
    wchar_t* text = nullptr;
    if (!::VerQueryValueW(info.data(), (prefix + name).c_str(), reinterpret_cast<void**>(&text), &size))
        return "<no " + Utf8(name) + ">";
    return Utf8(text);
}

TEST(VersionResource, EveryFileCarriesTheProjectVersionAndItsOwnName) {
    for (const wchar_t* file : {L"qelboot.dll", L"qelboot.exe", L"qelproxy.exe", L"qelapp.exe",
                                L"qelinfo.exe", L"dbgrec.exe", L"qelmount.exe"}) {
        SCOPED_TRACE(Utf8(file));
        const std::wstring path = BinPath(file);
        std::vector<char> info(::GetFileVersionInfoSizeW(path.c_str(), nullptr));
        ASSERT_FALSE(info.empty());
        ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
        for (const wchar_t* name : {L"FileVersion", L"ProductVersion"})
            EXPECT_EQ(QELBOOT_VERSION, VersionText(info, name));
        EXPECT_EQ("qelboot", VersionText(info, L"ProductName"));
        EXPECT_EQ(Utf8(file), VersionText(info, L"OriginalFilename"));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT size = 0;
        ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
        char numbers[40];
        std::snprintf(numbers, sizeof numbers, "%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
                      LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                      LOWORD(fixed->dwFileVersionLS));
        EXPECT_EQ(std::string(QELBOOT_VERSION) + ".0", numbers);
        EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
        EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
        EXPECT_EQ(std::wstring(file).find(L".dll") != std::wstring::npos ? VFT_DLL : VFT_APP,
                  fixed->dwFileType);
    }
}

// Asked for, the usage goes to standard output with code 0; after a mistake to standard error with code 2,
// and the program does nothing else.
TEST(ProgramUsage, HelpIsOutputAndAMistakeIsAnErrorWithCode2) {
    const struct {
        const wchar_t* program;
        std::vector<const wchar_t*> mistakes;
    } cases[] = {
        {L"qelinfo.exe", {L"--no-such-option", L"--check-volume"}},
        {L"qelproxy.exe",
         {L"--no-such-option", L"--no-control --service 1 many", L"--launch-own direct volume"}},
        {L"qelmount.exe", {L"--no-such-option", L"remove"}},
        {L"dbgrec.exe", {L"--no-such-option"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.program));
        const RunResult help = testhost::Run(c.program, L"--help", 20000);
        EXPECT_EQ(0u, help.exitCode);
        EXPECT_EQ("", help.errors);
        const std::string name = Utf8(c.program).substr(0, Utf8(c.program).find('.'));
        EXPECT_EQ("usage: " + name + " ", help.output.substr(0, name.size() + 8));
        for (const wchar_t* alias : {L"-h", L"/?"}) {
            const RunResult run = testhost::Run(c.program, alias, 20000);
            EXPECT_EQ(0u, run.exitCode) << Utf8(alias);
            EXPECT_EQ(help.output, run.output) << Utf8(alias);
        }
        for (const wchar_t* mistake : c.mistakes) {
            const RunResult run = testhost::Run(c.program, mistake, 20000);
            EXPECT_EQ(2u, run.exitCode) << Utf8(mistake);
            EXPECT_EQ("", run.output) << Utf8(mistake);
            EXPECT_EQ(help.output, run.errors) << Utf8(mistake);
        }
    }
    const RunResult version = testhost::Run(L"qelinfo.exe", L"--version");
    EXPECT_EQ(0u, version.exitCode);
    EXPECT_EQ(std::string("qelinfo ") + QELBOOT_VERSION + "\n", version.output);
}

TEST(ProgramUsage, QelinfoListsThePluginsOfAFolderNamedOutsideTheAnsiCodePage) {
    const std::wstring folder = BinPath(L"plug-ins \u00e9t\u00e9 \u0141\u00fcb");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder + L"\\moxplugins");
    std::filesystem::copy_file(BinPath(L"sample_phone.mox"), folder + L"\\moxplugins\\nokiamanager.mox");
    const RunResult run = testhost::Run(L"qelinfo.exe", L"--plugins \"" + folder + L"\"");
    std::filesystem::remove_all(folder);
    EXPECT_EQ(0u, run.exitCode) << run.output;
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ("Plug-ins of " + Utf8(folder) + "\\moxplugins, as the library would load them", run.lines[0]);
    EXPECT_EQ(1u, Count(run.output, "  - \"Sample Phone Manager\" ")) << run.output;
}

} // namespace
} // namespace qel
