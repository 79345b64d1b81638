// Starting a compatible application, or the sibling's proxy, for a device.
#include "deviceconnect/os_class.h"
#include "launch/command_handler.h"
#include "launch/order.h"
#include "platform/os.h"
#include "platform/unique_handles.h"
#include "qelboot.h"
#include "registry/text.h"

namespace qel {
namespace {

const wchar_t kModeNotSetLine[] = L"<QELBoot><!!! Mode not set. Unable to launch QEL.>";
const wchar_t kUnableToLaunchLine[] = L"<QELBoot><!!! Unable to launch QEL.>";
const wchar_t kNoApplicationLine[] =
    L"<QELBoot><!!! No QEL Compatible application found. This situation should be avoided.>";
const wchar_t kNoOwnApplicationLine[] =
    L"<QELBoot><!!! No QEL application found for this QEL proxy. This situation should be avoided.>";
const wchar_t kUnableToStartLine[] = L"<QELBoot><!!! Unable to start the process.>";

const wchar_t kDirectMode[] = L"direct";
const wchar_t kSelectMode[] = L"select";

// The sibling's proxy is told the kind of device by a prefix of its identifier.
const wchar_t* SiblingDevicePrefix(const std::wstring& devType) {
    if (EqualsIgnoringCase(devType, L"volume"))
        return L"V|";
    if (EqualsIgnoringCase(devType, L"scanner"))
        return L"S|";
    return L"C|";
}

} // namespace

bool IsProcessInConsoleSession(std::uint32_t processId) {
    try {
        ModuleFreer kernel(os::LoadModule(L"kernel32.dll"));
        if (!kernel)
            return false;
        // Looked up at run time: Windows 2000 has no console sessions to ask about.
        const auto consoleSession = reinterpret_cast<os::ConsoleSessionFunction>(
            os::ModuleFunction(kernel.get(), "WTSGetActiveConsoleSessionId"));
        if (!consoleSession)
            return false;
        const std::uint32_t console = consoleSession();
        std::uint32_t session = 0;
        return os::ProcessSession(processId, &session) && session == console;
    } catch (...) {
        return false;
    }
}

} // namespace qel

void CQELBootCommandHandler::LaunchQEL(std::wstring& appPath, std::wstring& mode, std::wstring& devType,
                                       std::wstring& devId) {
    using namespace qel;
    try {
        const std::wstring modeArgument = L"mode=" + mode;
        const std::wstring devTypeArgument = L"devType=" + devType;
        if (mode.empty()) {
            os::DebugOutput(kModeNotSetLine);
            return;
        }
        std::vector<std::wstring> arguments{QuoteArgument(appPath), L"module=vandrel", L"params",
                                            modeArgument};
        const OSClass osClass = GetOSClass();
        // A launch for a device must show on the screen of the user at the console; XP also wants that for a
        // launch without one.
        const bool sessionMatters =
            devId.empty() ? osClass == OSClassXP : (osClass == OSClassXP || osClass == OSClassVista);
        if (sessionMatters && !IsProcessInConsoleSession(os::CurrentProcessId())) {
            os::DebugOutput(kUnableToLaunchLine);
            return;
        }
        if (!devId.empty()) {
            arguments.push_back(devTypeArgument);
            arguments.push_back(L"priDevId=" + QuoteArgument(devId));
        }
        os::Spawn(os::SpawnMode::NoWait, appPath, arguments);
        os::DebugOutput(JoinArguments(arguments));
    } catch (...) {
    }
}

void CQELBootCommandHandler::LaunchDefaultQEL(std::wstring& devType, std::wstring& devId) {
    using namespace qel;
    try {
        MaintainOrder();
        std::vector<appInfo_tag> defaults;
        GetDefaultApplicationInfo(defaults);
        std::wstring mode = kDirectMode;
        if (defaults.size() == 1) {
            LaunchQEL(defaults.front().cmdLine, mode, devType, devId);
            return;
        }
        std::vector<appInfo_tag> all;
        GetAllApplicationInfo(all);
        if (all.empty()) {
            os::DebugOutput(kNoApplicationLine);
            return;
        }
        if (all.size() > 1) {
            mode = kSelectMode;
        } else {
            // A single application still leaves a choice when the sibling is installed too.
            appInfo_tag sibling;
            if (GetOST3Info(sibling))
                mode = kSelectMode;
        }
        LaunchQEL(all.front().cmdLine, mode, devType, devId);
    } catch (...) {
    }
}

void CQELBootCommandHandler::LaunchOwnQEL(std::wstring& mode, std::wstring& devType, std::wstring& devId) {
    using namespace qel;
    try {
        MaintainOrder();
        processInfo_tag self;
        GetCurrentProcessInfo(self);
        std::vector<appInfo_tag> all;
        GetAllApplicationInfo(all);
        for (auto& record : all) {
            if (EqualsIgnoringCase(record.proxyPath, self.modulePath)) {
                LaunchQEL(record.cmdLine, mode, devType, devId);
                return;
            }
        }
        os::DebugOutput(kNoOwnApplicationLine);
    } catch (...) {
    }
}

void CQELBootCommandHandler::LaunchOST3Proxy(std::wstring& legacyProxyPath, std::wstring& devType,
                                             std::wstring& devId) {
    using namespace qel;
    try {
        const std::vector<std::wstring> arguments{QuoteArgument(legacyProxyPath), L"-d",
                                                  L"\"" + std::wstring(SiblingDevicePrefix(devType)) + devId +
                                                      L"\""};
        if (os::Spawn(os::SpawnMode::NoWait, legacyProxyPath, arguments) == -1) {
            os::DebugOutput(kUnableToStartLine);
            return;
        }
        os::DebugOutput(JoinArguments(arguments));
    } catch (...) {
    }
}
