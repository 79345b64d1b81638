// Making the calling proxy the single one in control.
#include <cwchar>

#include "launch/order.h"
#include "platform/os.h"
#include "qelboot.h"

namespace qel {
namespace {

const wchar_t kControlMutexName[] = L"Quorl Vandrel Boot";
const wchar_t kOemFile[] = L".\\OEM\\tessel.ini";
const wchar_t kOemSection[] = L"QELProxyStopInstall";
constexpr std::size_t kPathBufferChars = 260;

const wchar_t kOtherProxyRunningLine[] = L"<QELProxy><Any other QELProxy is running.>";
const wchar_t kTookControlLine[] = L"<QELProxy><Took control of the situation>";
const wchar_t kDirectorySetLine[] = L"<QELProxy><Current working directory is set.>";
const wchar_t kOemNotFoundLine[] = L"<QELProxy:OEM><OEM initialization file not found.>";
const wchar_t kOemFoundLine[] = L"<QELProxy:OEM><OEM initialization file found.>";
const wchar_t kStopOptionFoundLine[] = L"<QELProxy:OEM><QELProxyStopInstall option found.>";
const wchar_t kStoppingLine[] = L"<QELProxy:OEM><Stopping QELProxy install.>";

// Held open for the rest of the process: its existence is what tells other proxies that one is in control.
os::Handle controlMutex = os::kNoHandle;

// The OEM file asks the proxy not to run when its section's first line reads as the number 1, read the
// way _wtoi reads it.
bool OemForbidsRunning(bool& sectionFound) {
    wchar_t section[kPathBufferChars + 1] = {};
    sectionFound = os::ProfileSection(kOemFile, kOemSection, section, kPathBufferChars) != 0;
    return sectionFound && std::wcstol(section, nullptr, 10) == 1;
}

} // namespace
} // namespace qel

bool CQELBootCommandHandler::TakeControl() {
    using namespace qel;
    try {
        bool alreadyExisted = false;
        const os::Handle mutex = os::CreateNamedMutex(kControlMutexName, &alreadyExisted);
        if (mutex == os::kNoHandle || alreadyExisted) {
            if (mutex != os::kNoHandle)
                os::CloseKernelHandle(mutex);
            os::DebugOutput(kOtherProxyRunningLine);
            StopOST3AutoLaunch();
            return false;
        }
        controlMutex = mutex;
        os::DebugOutput(kTookControlLine);

        processInfo_tag self;
        GetCurrentProcessInfo(self);
        const std::wstring folder = os::RemoveFileSpec(self.modulePath.substr(0, kPathBufferChars));
        if (os::IsDirectory(folder) && os::ChangeCurrentDirectory(folder))
            os::DebugOutput(kDirectorySetLine);

        if (!os::FileExists(kOemFile)) {
            os::DebugOutput(kOemNotFoundLine);
        } else {
            os::DebugOutput(kOemFoundLine);
            bool sectionFound = false;
            const bool forbidden = OemForbidsRunning(sectionFound);
            if (sectionFound) {
                os::DebugOutput(kStopOptionFoundLine);
                if (forbidden) {
                    os::DebugOutput(kStoppingLine);
                    // Let a later proxy take control.
                    os::CloseKernelHandle(controlMutex);
                    controlMutex = os::kNoHandle;
                    return false;
                }
            }
        }
        StopOST3AutoLaunch();
        return true;
    } catch (...) {
        // A proxy that answers false quits: it must not keep other proxies out.
        if (controlMutex != os::kNoHandle)
            os::CloseKernelHandle(controlMutex);
        controlMutex = os::kNoHandle;
        return false;
    }
}
