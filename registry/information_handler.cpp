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
        // Found and listed in place, so that a reload reuses the list's storage and its records'.
        qel::DiscoverApplications(apps, 0);
        std::size_t listed = 0;
        try {
            for (std::size_t index = 0; index < apps.size(); ++index) {
                if (qel::CheckListing(apps[index]) != qel::Listing::Listed)
                    continue;
                if (listed != index)
                    apps[listed] = std::move(apps[index]);
                ++listed;
            }
        } catch (...) {
            apps.erase(apps.begin() + static_cast<std::ptrdiff_t>(listed), apps.end());
            throw;
        }
        apps.erase(apps.begin() + static_cast<std::ptrdiff_t>(listed), apps.end());
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
