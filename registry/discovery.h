// discovery.h - finding the registration keys and deciding which of them are listed.
#ifndef QELBOOT_REGISTRY_DISCOVERY_H
#define QELBOOT_REGISTRY_DISCOVERY_H

#include <cstddef>
#include <vector>

#include "qelboot.h"

namespace qel {

// Appends a record for every registration key below the maker's key of the machine hive, shallower keys
// first, walking every readable key except the insides of registration keys.
void DiscoverApplications(std::vector<appInfo_tag>& found);
// The same, writing the records from index `from` on over those already there, and ending `found` after the
// last one written: a reload keeps the memory of the strings it reads again.
void DiscoverApplications(std::vector<appInfo_tag>& found, std::size_t from);

// Why a discovered record is or is not listed, tested in this order.
enum class Listing { Listed, ProgramMissing, ProxyMissing, NoAutoLaunch };
Listing CheckListing(const appInfo_tag& record);

// The library's own handler, used by the device-connect side; it starts empty.
CQELBootInformationHandler& LibraryHandler();

} // namespace qel

#endif // QELBOOT_REGISTRY_DISCOVERY_H
