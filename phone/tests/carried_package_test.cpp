#include "phone/carried_package.h"

#include <gtest/gtest.h>

#include "phone/app_installer.h"
#include "platform/sha256.h"

namespace tov {
namespace {

// This program is built with the stand-in package: as its resource on Windows, as the file
// beside it natively.
TEST(CarriedPackage, TheBuildsOwnPackageIsFoundAndDigested) {
    const std::string expected =
        std::string("PK\x03\x04", 4) + " a stand-in phone package for the carried-package test\n";
    EXPECT_EQ(loadCarriedPackage(), expected);
    AppInstaller installer;
    EXPECT_EQ(installer.packageDigest(), sha256Hex(expected));
}

}  // namespace
}  // namespace tov
