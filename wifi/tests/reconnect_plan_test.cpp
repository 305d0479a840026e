#include "wifi/reconnect_plan.h"

#include <gtest/gtest.h>

namespace tov {
namespace {

// An address where another phone answered is that phone's: the remembered phone waits for
// discovery to show it elsewhere instead of being tried there again.
TEST(ReconnectPlan, AnAddressAnotherPhoneHoldsWaitsForDiscovery) {
    ReconnectPlan plan(300, 1000);
    const WifiRemembered phone{"R5CT100", "Pixel", "192.168.1.20:5555", "", false};
    const std::vector<WifiRemembered> missing = {phone};
    std::optional<ReconnectTry> attempt = plan.next(missing, 0);
    ASSERT_TRUE(attempt);
    EXPECT_EQ(attempt->address, "192.168.1.20:5555");
    plan.failed(*attempt, 0, true);
    EXPECT_FALSE(plan.next(missing, 1000000));
    EXPECT_EQ(plan.nextDueMs(missing), UINT64_MAX);

    // Discovery shows it at the taken address (the other phone's announcement): still not.
    plan.observe(missing, {{"adb-x", kPlainServiceType, "192.168.1.20:5555"}});
    EXPECT_FALSE(plan.next(missing, 1000000));
    // Discovery shows it elsewhere: due at once, there.
    plan.observe(missing, {{"adb-x", kPlainServiceType, "192.168.1.20:40001"}});
    attempt = plan.next(missing, 1);
    ASSERT_TRUE(attempt);
    EXPECT_EQ(attempt->address, "192.168.1.20:40001");

    // A plain failure only pauses.
    ReconnectPlan other(300, 1000);
    other.failed(ReconnectTry{"R5CT100", "Pixel", "192.168.1.20:5555"}, 0);
    EXPECT_FALSE(other.next(missing, 299));
    EXPECT_TRUE(other.next(missing, 300));
}

}  // namespace
}  // namespace tov
