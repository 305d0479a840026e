// The forms real adb versions and phones answer in, beyond the one the simulator speaks.
#include "wifi/wifi_answers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "wifi/pairing_code.h"

namespace tov {
namespace {

TEST(WifiAnswers, DiscoveryListsOfOlderAdbAndForeignServices) {
    // Bonjour-era adb: a trailing dot on the type; other services and junk lines in between.
    const auto services = parseMdnsServices(
        "List of discovered mdns services\n"
        "adb-R5CT-AbCdEf\t_adb-tls-connect._tcp.\t192.168.1.20:37001\r\n"
        "studio-xyz\t_adb-tls-pairing._tcp.\t192.168.1.20:41234\n"
        "Living room\t_googlecast._tcp.\t192.168.1.9:8009\n"
        "adb-R5CT-AbCdEf (2)\t_adb-tls-connect._tcp\t192.168.1.20:notaport\n"
        "garbage\n\n");
    ASSERT_EQ(services.size(), 3u);
    EXPECT_EQ(services[0].type, kConnectServiceType);
    EXPECT_EQ(services[0].address, "192.168.1.20:37001");
    EXPECT_EQ(services[1].name, "studio-xyz");
    EXPECT_EQ(services[1].type, kPairingServiceType);
    EXPECT_TRUE(discoveryAvailable("mdns daemon version [10970002]\n"));
    EXPECT_FALSE(discoveryAvailable("ERROR: mdns daemon unavailable\n"));
}

TEST(WifiAnswers, PairingAndConnectingAreReadFromTheTextNotTheExitCode) {
    // adb before 34 exits with 0 after a failed pairing and after a failed connect.
    EXPECT_FALSE(readPairAnswer("Failed: Wrong password or connection was dropped.\n").ok);
    const PairAnswer paired =
        readPairAnswer("Successfully paired to 192.168.1.20:41234 [guid=adb-R5CT-AbCdEf]\n");
    EXPECT_TRUE(paired.ok);
    EXPECT_EQ(paired.guid, "adb-R5CT-AbCdEf");
    // The code given on adb's standard input: its question comes first, on the same line.
    EXPECT_TRUE(
        readPairAnswer("Enter pairing code: Successfully paired to 192.168.1.20:41234\n").ok);
    EXPECT_EQ(adbWords("Enter pairing code: error: Failed: Wrong password.\n"),
              "Failed: Wrong password.");
    EXPECT_FALSE(readConnectAnswer("failed to connect to 192.168.1.20:5555\n").ok);
    EXPECT_FALSE(readConnectAnswer("failed to authenticate to 192.168.1.20:37001\n").ok);
    EXPECT_EQ(readConnectAnswer("* daemon started successfully\nalready connected to 10.0.0.5:5555")
                  .serial,
              "10.0.0.5:5555");
    EXPECT_TRUE(readConnectAnswer("already connected to 10.0.0.5:5555\n").already);
    EXPECT_FALSE(readConnectAnswer("connected to 10.0.0.5:5555\n").already);
    EXPECT_EQ(adbWords("error: Failed: Wrong password or connection was dropped.\n"),
              "Failed: Wrong password or connection was dropped.");
    EXPECT_EQ(adbWords(""), "adb gave no reason");
    EXPECT_EQ(adbWords(std::string(400, 'x')).size(), 160u + std::string("…").size());
}

TEST(WifiAnswers, TheWifiAddressIsTheWlanOneWhateverElseThePhoneHas) {
    const char* phone =
        "1: lo: <LOOPBACK,UP,LOWER_UP> mtu 65536 qdisc noqueue state UNKNOWN group default\n"
        "    inet 127.0.0.1/8 scope host lo\n"
        "12: rmnet_data0: <UP,LOWER_UP> mtu 1500 qdisc mq state UNKNOWN group default\n"
        "    inet 10.113.42.7/30 scope global rmnet_data0\n"
        "25: swlan0: <BROADCAST,MULTICAST> mtu 1500 qdisc mq state DOWN group default\n"
        "31: wlan1@wlan0: <BROADCAST,MULTICAST,UP,LOWER_UP> mtu 1500 qdisc mq state UP\n"
        "    inet 192.168.43.120/24 brd 192.168.43.255 scope global wlan1\n"
        "       valid_lft forever preferred_lft forever\n";
    EXPECT_EQ(wifiAddressFromIp(phone), "192.168.43.120");
    EXPECT_EQ(wifiAddressFromIp("Device \"wlan0\" does not exist.\n"), "");
    EXPECT_EQ(wifiAddressFromIp("30: wlan0: <BROADCAST,MULTICAST> mtu 1500 state DOWN\n"
                                "    link/ether 9a:3c:52:0e:71:d4 brd ff:ff:ff:ff:ff:ff\n"),
              "");
}

TEST(WifiAnswers, TypedAndDiscoveredAddressesNeverCarryMoreThanOneArgument) {
    std::string host;
    int port = 0;
    EXPECT_TRUE(splitAddress("192.168.1.20:37123", host, port));
    EXPECT_EQ(port, 37123);
    for (const char* bad : {"192.168.1.20", "192.168.1.20:0", "192.168.1.20:65536", ":5555",
                            "192.168.1.20 :5555", "a\"b:5555", "-s:5555", "x;y:5555"}) {
        EXPECT_FALSE(splitAddress(bad, host, port)) << bad;
    }
    EXPECT_TRUE(isPairingCode("012345"));
    EXPECT_FALSE(isPairingCode("12345a"));
}

TEST(PairingCode, EachCardHasItsOwnNameAndPasswordAndNoneWithoutRandomness) {
    uint8_t counter = 0;
    const RandomSource counting = [&](void* buffer, size_t size) {
        for (size_t i = 0; i < size; ++i) static_cast<uint8_t*>(buffer)[i] = counter++;
        return true;
    };
    PairingSecret a, b;
    ASSERT_TRUE(makePairingSecret(counting, a));
    ASSERT_TRUE(makePairingSecret(counting, b));
    EXPECT_NE(a.name, b.name);
    EXPECT_NE(a.password, b.password);
    EXPECT_EQ(a.name.size(), 9u + 10u);
    EXPECT_EQ(pairingText(a), "WIFI:T:ADB;S:" + a.name + ";P:" + a.password + ";;");
    EXPECT_FALSE(makePairingSecret([](void*, size_t) { return false; }, a));
    // A source stuck on bytes the alphabets never take gives up rather than loop.
    EXPECT_FALSE(makePairingSecret(
        [](void* buffer, size_t size) {
            std::fill_n(static_cast<uint8_t*>(buffer), size, uint8_t{255});
            return true;
        },
        a));
}

}  // namespace
}  // namespace tov
