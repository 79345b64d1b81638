// Lists the applications through an installed qelboot.dll.
#include <cstdio>
#include <vector>

#include "qelboot.h"

int main() {
    CQELBootInformationHandler handler;
    handler.LoadInformation();
    std::vector<appInfo_tag> apps;
    handler.GetAllApplicationInfo(apps);
    std::printf("applications: %zu\n", apps.size());
    return 0;
}
