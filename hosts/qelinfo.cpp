// qelinfo - shows which photo applications this machine's qelboot.dll would start, and why the other
// registrations are not among them.
#include <cstdio>
#include <string>
#include <vector>

#include "hosts/utf8.h"
#include "platform/win32/windows_api.h"
#include "qelboot.h"
#include "registry/discovery.h"

namespace {

std::string Formats(const appInfo_tag& record) {
    std::string text;
    for (const auto& [extension, category] : record.fileFormats)
        text += (text.empty() ? "" : ", ") + Utf8(extension) + " (" + Utf8(category) + ")";
    return text.empty() ? "none" : text;
}

std::string WhyLeftOut(const appInfo_tag& record, qel::Listing listing) {
    switch (listing) {
    case qel::Listing::ProgramMissing:
        return record.cmdLine.empty() ? "no CmdLine value" : "program not found: " + Utf8(record.cmdLine);
    case qel::Listing::ProxyMissing:
        return record.proxyPath.empty() ? "no ProxyPath value" : "proxy not found: " + Utf8(record.proxyPath);
    case qel::Listing::NoAutoLaunch:
        return "AutoLaunchOnDeviceConnect is 1";
    case qel::Listing::Listed:
        break;
    }
    return "listed";
}

} // namespace

int main() {
    CQELBootInformationHandler handler;
    handler.LoadInformation();
    std::vector<appInfo_tag> apps;
    handler.GetAllApplicationInfo(apps);

    std::printf("Applications qelboot.dll lists: %u\n", static_cast<unsigned>(apps.size()));
    int number = 0;
    for (const auto& app : apps) {
        std::printf("  %d. %s%s\n", ++number, Utf8(app.name).c_str(), app.defaultFlag ? "  [default]" : "");
        std::printf("     key:      %s\n", Utf8(app.keyPath).c_str());
        std::printf("     program:  %s\n", Utf8(app.cmdLine).c_str());
        std::printf("     proxy:    %s\n", Utf8(app.proxyPath).c_str());
        std::printf("     formats:  %s\n", Formats(app).c_str());
    }

    std::vector<appInfo_tag> found;
    qel::DiscoverApplications(found);
    std::vector<std::string> leftOut;
    for (const auto& record : found) {
        const qel::Listing listing = qel::CheckListing(record);
        if (listing != qel::Listing::Listed)
            leftOut.push_back("  - " + Utf8(record.keyPath) + " (\"" + Utf8(record.name) +
                              "\"): " + WhyLeftOut(record, listing));
    }
    std::printf("Registrations left out: %u\n", static_cast<unsigned>(leftOut.size()));
    for (const auto& line : leftOut)
        std::printf("%s\n", line.c_str());
    return 0;
}
