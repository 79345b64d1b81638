#include "registry/discovery.h"

#include <cwchar>
#include <deque>
#include <memory>

#include "registry/app_records.h"
#include "registry/registry_key.h"

namespace qel {

void DiscoverApplications(std::vector<appInfo_tag>& found) {
    try {
        auto root = std::make_unique<CLocalMachineKey>(kMakerKey, os::kKeyRead);
        if (root->status != os::kSuccess)
            return;
        std::deque<std::unique_ptr<CRegistryKey>> queue;
        queue.push_back(std::move(root));
        while (!queue.empty()) {
            CRegistryKey& parent = *queue.front();
            const std::wstring base = parent.path + L"\\";
            for (std::uint32_t index = 0;; ++index) {
                const wchar_t* name = parent.EnumSubKey(index);
                if (!name)
                    break;
                // A name that begins with a null (the native API can make one) reads as empty and would
                // open the parent again: the walk would never end.
                if (!*name)
                    continue;
                std::wstring full = base + name;
                if (std::wcscmp(name, kRegistrationKeyName) == 0) {
                    appInfo_tag record;
                    ReadApplicationRecord(full, record);
                    found.push_back(std::move(record));
                    continue;
                }
                auto child = std::make_unique<CLocalMachineKey>(full, os::kKeyRead);
                if (child->status == os::kSuccess)
                    queue.push_back(std::move(child));
            }
            queue.pop_front();
        }
    } catch (...) {
    }
}

Listing CheckListing(const appInfo_tag& record) {
    if (!os::FileExists(record.cmdLine))
        return Listing::ProgramMissing;
    if (!os::FileExists(record.proxyPath))
        return Listing::ProxyMissing;
    if (!IsAutoLaunchCandidate(record.keyPath))
        return Listing::NoAutoLaunch;
    return Listing::Listed;
}

} // namespace qel
