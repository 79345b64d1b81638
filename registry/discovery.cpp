#include "registry/discovery.h"

#include <algorithm>
#include <cwchar>
#include <deque>

#include "registry/app_records.h"
#include "registry/registry_key.h"
#include "registry/text.h"

namespace qel {

namespace {

// Empties a record's strings, keeping their memory. The rest a reading always writes.
void ClearStrings(appInfo_tag& record) {
    for (std::wstring* field :
         {&record.name, &record.proxyPath, &record.desc, &record.cmdLine, &record.icon, &record.keyPath})
        field->clear();
}

} // namespace

void DiscoverApplications(std::vector<appInfo_tag>& found) { DiscoverApplications(found, found.size()); }

void DiscoverApplications(std::vector<appInfo_tag>& found, std::size_t from) {
    std::size_t written = std::min(from, found.size());
    try {
        // Keys are made in place: a walk of a large registry opens thousands of them.
        std::deque<CLocalMachineKey> queue;
        queue.emplace_back(kMakerKey, os::kKeyRead);
        if (queue.back().status != os::kSuccess)
            return;
        while (!queue.empty()) {
            CRegistryKey& parent = queue.front();
            for (std::uint32_t index = 0;; ++index) {
                const wchar_t* name = parent.EnumSubKey(index);
                if (!name)
                    break;
                // A name that begins with a null (the native API can make one) reads as empty and would
                // open the parent again: the walk would never end.
                if (!*name)
                    continue;
                std::wstring full = JoinKeyPath(parent.path, name);
                if (std::wcscmp(name, kRegistrationKeyName) == 0) {
                    if (written < found.size())
                        ClearStrings(found[written]);
                    else
                        found.emplace_back();
                    ReadApplicationRecord(full, found[written++]);
                    continue;
                }
                queue.emplace_back(std::move(full), os::kKeyRead);
                if (queue.back().status != os::kSuccess)
                    queue.pop_back();
            }
            queue.pop_front();
        }
    } catch (...) {
    }
    found.erase(found.begin() + static_cast<std::ptrdiff_t>(written), found.end());
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
