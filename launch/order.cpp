// Keeping the log-on entry right, and handing over on uninstall.
#include "launch/order.h"

#include "platform/unique_handles.h"
#include "registry/registry_key.h"
#include "registry/text.h"

namespace qel {
namespace {

const wchar_t kNoApplicationLine[] =
    L"<QELBoot><!!! No QEL Compatible application found. This situation should be avoided.>";
const wchar_t kDeletingRunKeyLine[] =
    L"<QELBoot><Deleting run key. Auto run is going to discontinue from now onwards.>";
const wchar_t kUninstallDeletingRunKeyLine[] =
    L"<QELBOOT><Deleting run key. Auto run is going to discontinue from now onwards.>";
const wchar_t kSwitchingLine[] = L"<QELBoot><Switching application to ...<%s><%s> >";

} // namespace

bool SetRunKey(const std::wstring& proxyPath) {
    try {
        if (!os::FileExists(proxyPath))
            return false;
        CLocalMachineKey run(kRunKey, os::kKeyWrite);
        if (run.status != os::kSuccess)
            return false;
        run.SetStringValue(kRunValue, QuoteArgument(proxyPath).c_str());
        return true;
    } catch (...) {
        return false;
    }
}

bool DeleteRunKey() {
    try {
        CLocalMachineKey run(kRunKey, os::kKeyAllAccess);
        if (run.status != os::kSuccess)
            return false;
        run.DeleteValue(kRunValue);
        return true;
    } catch (...) {
        return false;
    }
}

bool FindBootWindowProc(os::Window window, std::intptr_t) {
    // GetWindowTextW with room for 259 characters and the terminator.
    if (!EqualsIgnoringCase(os::WindowTitle(window, kModulePathLimit + 1), kBootWindowTitle))
        return true;
    os::SendWindowMessage(window, os::kWmQuit, 0, 0);
    return false;
}

} // namespace qel

void CQELBootInformationHandler::MaintainOrder() {
    using namespace qel;
    try {
        LoadInformation();
        if (apps.empty()) {
            os::DebugOutput(kNoApplicationLine);
            StartOST3AutoLaunch();
            DeleteRunKey();
            os::DebugOutput(kDeletingRunKeyLine);
            os::ExitProcess(0);
        }
        processInfo_tag self;
        GetCurrentProcessInfo(self);
        for (const auto& record : apps) {
            if (EqualsIgnoringCase(record.proxyPath, self.modulePath)) {
                SetRunKey(record.proxyPath);
                return;
            }
        }
        SetRunKey(apps.front().proxyPath);
    } catch (...) {
    }
}

void CQELBootInformationHandler::Uninstall() {
    using namespace qel;
    try {
        processInfo_tag self;
        GetCurrentProcessInfo(self);
        std::vector<std::uint32_t> ids;
        if (!os::ProcessIds(&ids))
            return;

        bool foundOtherInstance = false;
        for (const std::uint32_t id : ids) {
            HandleCloser process(os::OpenProcess(id, ProcessAllAccess()));
            if (!process)
                continue;
            std::wstring path;
            if (!ReadProgramPath(process.get(), path) || id == self.processId)
                continue;
            if (!EqualsIgnoringCase(path, self.modulePath))
                continue;
            foundOtherInstance = true;
            os::EnumTopLevelWindows(&FindBootWindowProc, 0);
            os::SleepFor(kUninstallPauseMs);
            os::TerminateProcess(process.get(), 0);
        }
        if (!foundOtherInstance)
            return;

        os::SleepFor(kUninstallPauseMs);
        MaintainOrder();
        for (const auto& record : apps) {
            if (EqualsIgnoringCase(record.proxyPath, self.modulePath) || !os::FileExists(record.proxyPath))
                continue;
            os::Spawn(os::SpawnMode::NoWait, record.proxyPath, {QuoteArgument(record.proxyPath)});
            os::DebugOutput(FormatLine(kSwitchingLine, {record.name, record.proxyPath}));
            return;
        }
        StartOST3AutoLaunch();
        DeleteRunKey();
        os::DebugOutput(kUninstallDeletingRunKeyLine);
    } catch (...) {
    }
}
