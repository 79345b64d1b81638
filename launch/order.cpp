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

// All access to a process, in the mask the running system knows.
std::uint32_t ProcessAllAccess() {
    os::VersionInfo version;
    const bool known = os::QueryVersion(true, &version) || os::QueryVersion(false, &version);
    return known && version.major >= 6 ? os::kProcessAllAccess : os::kProcessAllAccessBeforeVista;
}

// The program path of an open process, or nothing.
bool ReadProgramPath(os::Handle process, std::wstring& path) {
    return os::FirstModulePath(process, kModulePathLimit, &path);
}

} // namespace

bool GetCurrentProcessInfo(processInfo_tag& info) {
    try {
        const std::uint32_t id = os::CurrentProcessId();
        HandleCloser process(os::OpenProcess(id, ProcessAllAccess()));
        if (!process)
            return false;
        std::wstring path;
        if (ReadProgramPath(process.get(), path)) {
            info.processId = id;
            info.modulePath = std::move(path);
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool GetOwnApplicationInfo(CQELBootInformationHandler& handler, appInfo_tag& out) {
    try {
        handler.MaintainOrder();
        processInfo_tag self;
        GetCurrentProcessInfo(self);
        for (const auto& record : handler.apps) {
            if (EqualsIgnoringCase(record.proxyPath, self.modulePath)) {
                out = record;
                return true;
            }
        }
        return false;
    } catch (...) {
        return false;
    }
}

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
