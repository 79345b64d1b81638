// The sibling application's record and its own launching on device arrival.
#include "registry/legacy_sibling.h"

#include "qelboot.h"
#include "registry/app_records.h"
#include "registry/registry_key.h"
#include "registry/text.h"

namespace qel {
namespace {

void SwitchSiblingAutoLaunch(CQELBootInformationHandler& handler, const wchar_t* argument) {
    appInfo_tag sibling;
    if (!handler.GetOST3Info(sibling) || sibling.proxyPath.empty())
        return;
    // Whether the program started is not looked at: the sibling may be half removed.
    os::Spawn(os::SpawnMode::Detach, sibling.proxyPath, {QuoteArgument(sibling.proxyPath), argument});
}

} // namespace
} // namespace qel

bool CQELBootInformationHandler::GetOST3Info(appInfo_tag& out) {
    using namespace qel;
    try {
        std::wstring folder;
        {
            CLocalMachineKey install(kSiblingInstallKey, os::kKeyRead);
            if (install.status != os::kSuccess)
                return false;
            // Without a default value the folder is taken as empty.
            if (const wchar_t* text = install.GetStringValue(nullptr))
                folder = text;
        }
        std::wstring action;
        {
            CLocalMachineKey autoplay(kSiblingAutoplayKey, os::kKeyRead);
            if (autoplay.status == os::kSuccess) {
                if (const wchar_t* text = autoplay.GetStringValue(L"Action"))
                    action = text;
            }
        }
        FileFormatList formats;
        SplitExtensionList(kSiblingImageFormats, L"Image", formats);
        SplitExtensionList(kSiblingAudioFormats, L"Audio", formats);
        SplitExtensionList(kSiblingVideoFormats, L"Video", formats);

        out.proxyPath = folder + kSiblingDeviceConnectProgram;
        out.desc = action.empty() ? kSiblingDescription : action;
        out.icon = folder + kSiblingIcon;
        out.cmdLine = folder + kSiblingProxyProgram;
        out.name = kSiblingName;
        out.fileFormats = std::move(formats);
        return true;
    } catch (...) {
        return false;
    }
}

void CQELBootInformationHandler::StartOST3AutoLaunch() {
    try {
        qel::SwitchSiblingAutoLaunch(*this, L"-i");
    } catch (...) {
    }
}

void CQELBootInformationHandler::StopOST3AutoLaunch() {
    try {
        qel::SwitchSiblingAutoLaunch(*this, L"-d");
    } catch (...) {
    }
}
