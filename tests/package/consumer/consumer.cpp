// Lists the applications through an installed qelboot.dll.
#include <cstdio>

#include "qelboot.h"

int main() {
    CQELBootInformationHandler handler;
    handler.LoadInformation();
    std::printf("applications: %zu\n", handler.apps.size());
}
