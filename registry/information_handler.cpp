// The list queries of the exported information handler.
#include "qelboot.h"

#include "registry/discovery.h"

namespace qel {

CQELBootInformationHandler& LibraryHandler() {
    static CQELBootInformationHandler handler;
    return handler;
}

} // namespace qel

void CQELBootInformationHandler::LoadInformation() {
    try {
        std::vector<appInfo_tag> found;
        qel::DiscoverApplications(found);
        apps.clear();
        for (auto& record : found) {
            if (qel::CheckListing(record) == qel::Listing::Listed)
                apps.push_back(std::move(record));
        }
    } catch (...) {
    }
}

bool CQELBootInformationHandler::GetAllApplicationInfo(std::vector<appInfo_tag>& out) {
    try {
        out = apps;
        return true;
    } catch (...) {
        return false;
    }
}

bool CQELBootInformationHandler::GetDefaultApplicationInfo(std::vector<appInfo_tag>& out) const {
    try {
        for (const auto& record : apps) {
            if (record.defaultFlag != 0)
                out.push_back(record);
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool CQELBootInformationHandler::GetApplicationInfo(const std::wstring& name, appInfo_tag& out) const {
    try {
        for (const auto& record : apps) {
            if (record.name == name) {
                out = record;
                return true;
            }
        }
        return false;
    } catch (...) {
        return false;
    }
}
