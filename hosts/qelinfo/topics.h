// topics.h - what qelinfo can tell, one topic per file; each returns the program's exit code.
#ifndef QELBOOT_HOSTS_QELINFO_TOPICS_H
#define QELBOOT_HOSTS_QELINFO_TOPICS_H

#include <string>

namespace qel::info {

// The application list as the library sees it, and why each other registration was left out.
int ListApplications();
// Whether a volume in `root` would be reported, and why; nothing is launched and no setting is written.
int CheckVolume(const std::wstring& root);
// The .mox plug-ins of `folder`\moxplugins (the current folder when empty), loaded as the tracker loads them.
int ListPlugins(const std::wstring& folder);
// What STI, TWAIN and WIA report on this machine.
int ListImaging();

} // namespace qel::info

#endif // QELBOOT_HOSTS_QELINFO_TOPICS_H
