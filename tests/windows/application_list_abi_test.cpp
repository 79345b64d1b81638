#include <gtest/gtest.h>
#include "qelboot.h"
TEST(Abi, Links) { CQELBootInformationHandler h; h.LoadInformation(); }
