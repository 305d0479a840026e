#include "app/bitrate_meter.h"

#include <gtest/gtest.h>

namespace tov {
namespace {

TEST(BitrateMeter, ReportsOnceAWindowOfMoreThan999MsHasClosed) {
    BitrateMeter meter;
    double mbps = -1;
    meter.add(1000, 100, &mbps);
    EXPECT_EQ(mbps, -1);  // the first window is still open
    meter.add(5000, 1500, &mbps);
    EXPECT_EQ(mbps, 0.0);  // the first window began at 0 and reports nothing

    meter.add(500000, 2000, &mbps);
    meter.add(500000, 2499, &mbps);
    EXPECT_EQ(mbps, 0.0);  // 999 ms in: the window stays open and keeps counting
    meter.add(250000, 2500, &mbps);
    // 1,250,000 bytes over 1000 ms = 10 Mbit/s.
    EXPECT_DOUBLE_EQ(mbps, 10.0);

    meter.add(0, 4500, &mbps);
    EXPECT_DOUBLE_EQ(mbps, 0.0);  // a quiet window reads 0, not the last rate
}

}  // namespace
}  // namespace tov
