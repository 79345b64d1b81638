// The boot executable's command line and the -default command.
#include "launch/command_handler.h"
#include "platform/os.h"
#include "qelboot.h"
#include "registry/app_records.h"
#include "registry/registry_key.h"
#include "registry/text.h"

namespace qel {
namespace {

const wchar_t kSyntaxLine[] = L"\n !!! Please follow the syntax:";
const wchar_t kSyntaxUsageLine[] = L"\n [Qualified path]\\qelboot.exe -default [app name] [yes | no] \n";
const wchar_t kInvalidFirstArgumentLine[] = L"\n !!! Invalid first argument value.";
const wchar_t kNotRegisteredLine[] = L"\n !!! This application is not registered as QEL compatible.";
const wchar_t kInvalidSecondArgumentLine[] = L"\n !!! Invalid second argument value.";

} // namespace

void SetDefaultFlag(const std::wstring& prefsPath, std::uint32_t value) {
    try {
        {
            CCurrentUserKey user(prefsPath, os::kKeyWrite);
            if (user.status == os::kSuccess)
                user.SetDWORDValue(L"DefaultFlag", value);
        }
        CLocalMachineKey machine(prefsPath, os::kKeyWrite);
        if (machine.status == os::kSuccess)
            machine.SetDWORDValue(L"DefaultFlag", value);
    } catch (...) {
    }
}

} // namespace qel

void CQELBootCommandHandler::ParseCommandLineParameter(std::vector<std::wstring>& words) {
    using namespace qel;
    try {
        std::vector<std::wstring> arguments;
        if (!os::CommandLineArguments(&arguments))
            return;
        if (arguments.size() == 1) {
            words.emplace_back(L"-install");
            return;
        }
        if (arguments.size() < 2)
            return;
        const std::wstring& command = arguments[1];
        if (EqualsIgnoringCase(command, L"-install") || EqualsIgnoringCase(command, L"-uninstall")) {
            words.push_back(command);
        } else if (EqualsIgnoringCase(command, L"-default")) {
            if (arguments.size() == 4) {
                words.insert(words.end(), arguments.begin() + 1, arguments.end());
            } else {
                os::ConsoleWrite(kSyntaxLine);
                os::ConsoleWrite(kSyntaxUsageLine);
            }
        }
    } catch (...) {
    }
}

bool CQELBootCommandHandler::SetApplicationDefaultStatus(std::wstring& name, std::wstring& status) {
    using namespace qel;
    try {
        MaintainOrder();
        appInfo_tag record;
        if (!GetApplicationInfo(name, record)) {
            os::ConsoleWrite(kInvalidFirstArgumentLine);
            os::ConsoleWrite(kNotRegisteredLine);
            return false;
        }
        std::uint32_t value = 0;
        if (EqualsIgnoringCase(status, L"yes")) {
            value = 1;
            std::vector<appInfo_tag> all;
            GetAllApplicationInfo(all);
            for (const auto& other : all)
                SetDefaultFlag(PreferencesPath(other.keyPath), 0);
        } else if (!EqualsIgnoringCase(status, L"no")) {
            os::ConsoleWrite(kInvalidSecondArgumentLine);
            return false;
        }
        SetDefaultFlag(PreferencesPath(record.keyPath), value);
        MaintainOrder();
        return true;
    } catch (...) {
        return false;
    }
}
