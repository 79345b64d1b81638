// The application list as the library sees it, and why each other registration was left out.
#include <string>
#include <vector>

#include "hosts/qelinfo/print.h"
#include "hosts/qelinfo/topics.h"
#include "qelboot.h"
#include "registry/discovery.h"

namespace qel::info {
namespace {

std::string Formats(const appInfo_tag& record) {
    std::string text;
    for (const auto& [extension, category] : record.fileFormats)
        text += (text.empty() ? "" : ", ") + Piece(extension) + " (" + Piece(category) + ")";
    return text.empty() ? "none" : text;
}

std::string WhyLeftOut(const appInfo_tag& record, Listing listing) {
    switch (listing) {
    case Listing::ProgramMissing:
        return record.cmdLine.empty() ? "no CmdLine value" : "program not found: " + Piece(record.cmdLine);
    case Listing::ProxyMissing:
        return record.proxyPath.empty() ? "no ProxyPath value"
                                        : "proxy not found: " + Piece(record.proxyPath);
    case Listing::NoAutoLaunch:
        return "AutoLaunchOnDeviceConnect is 1";
    case Listing::Listed:
        break;
    }
    return "listed";
}

} // namespace

int ListApplications() {
    CQELBootInformationHandler handler;
    handler.LoadInformation();
    std::vector<appInfo_tag> apps;
    handler.GetAllApplicationInfo(apps);
    Line("Applications qelboot.dll lists: ", apps.size());
    int number = 0;
    for (const auto& app : apps) {
        Line("  ", ++number, ". ", app.name, app.defaultFlag ? "  [default]" : "");
        Line("     key:      ", app.keyPath);
        Line("     program:  ", app.cmdLine);
        Line("     proxy:    ", app.proxyPath);
        Line("     formats:  ", Formats(app));
    }

    std::vector<appInfo_tag> found;
    DiscoverApplications(found);
    std::vector<std::pair<const appInfo_tag*, Listing>> leftOut;
    for (const auto& record : found) {
        if (const Listing listing = CheckListing(record); listing != Listing::Listed)
            leftOut.emplace_back(&record, listing);
    }
    Line("Registrations left out: ", leftOut.size());
    for (const auto& [record, listing] : leftOut)
        Line("  - ", record->keyPath, " (", Quoted(record->name), "): ", WhyLeftOut(*record, listing));
    return 0;
}

} // namespace qel::info
