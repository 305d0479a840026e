#include <gtest/gtest.h>

#include "platform/socket.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    tov::initSockets();
    const int rc = RUN_ALL_TESTS();
    tov::cleanupSockets();
    return rc;
}
