#include <gtest/gtest.h>

#include "phone/device_feed_parser.h"
#include "phone/device_list.h"
#include "phone/output_text.h"
#include "phone/phone_identity.h"

namespace tov {
namespace {

TEST(OutputText, NumbersReadLikeScanfButNeverOverflow) {
    std::string_view text = "  -42x7";
    EXPECT_EQ(readDecimal32(text), -42);
    EXPECT_EQ(text, "x7");
    EXPECT_EQ(decimalOrZero("2147483647"), 2147483647);
    EXPECT_EQ(decimalOrZero("2147483648"), 0);
    EXPECT_EQ(decimalOrZero("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(decimal64OrZero("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(decimal64OrZero("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(decimal64OrZero("9223372036854775808"), 0);
    EXPECT_EQ(decimalOrZero("abc"), 0);
    EXPECT_EQ(decimalOrZero("-"), 0);
    EXPECT_EQ(decimalOrZero("120Hz"), 120);

    ASSERT_TRUE(readSize("1080x2400"));
    EXPECT_EQ(readSize(" 1080x2400\r")->height, 2400);
    EXPECT_FALSE(readSize("1080 x2400"));
    EXPECT_FALSE(readSize("1080x"));
    EXPECT_FALSE(readSize("99999999999x1"));
    EXPECT_EQ(sizeText(1080, 1920), "1080x1920");
}

TEST(OutputText, LinesDropOneCarriageReturnAndExcerptsStayOnOneLine) {
    const auto lines = splitLines("a\r\nb\r\r\n\nc");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "a");
    EXPECT_EQ(lines[1], "b\r");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "c");
    EXPECT_EQ(trimTrailing("Success \r\n \n"), "Success");
    EXPECT_EQ(logExcerpt("one\ntwo\r\tthree", 9), "one two  ");
}

TEST(DeviceList, ReadsStatesModelsAndTransports) {
    const std::string output =
        "* daemon not running; starting now at tcp:5037\n"
        "* daemon started successfully\n"
        "List of devices attached\r\n"
        "R58N12ABCDE            device usb:1-1 product:a52q model:SM_A525F device:a52q "
        "transport_id:3\r\n"
        "192.168.1.20:5555      device product:a52q model:Old model:SM_A525F_5G transport_id:4\n"
        "adb-R58N12ABCDE-x9Yz._adb-tls-connect._tcp  unauthorized transport_id:5\n"
        "lonely\n"
        "\n"
        "emulator-5554\toffline\n";
    const auto devices = parseDeviceList(output);
    ASSERT_EQ(devices.size(), 4u);
    EXPECT_EQ(devices[0].serial, "R58N12ABCDE");
    EXPECT_EQ(devices[0].state, "device");
    EXPECT_EQ(devices[0].model, "SM A525F");
    EXPECT_FALSE(devices[0].wifi);
    EXPECT_TRUE(devices[1].wifi);
    EXPECT_EQ(devices[1].model, "SM A525F 5G");  // the last model word wins
    EXPECT_EQ(devices[2].state, "unauthorized");
    EXPECT_TRUE(devices[2].wifi);
    EXPECT_EQ(devices[2].model, "");
    EXPECT_EQ(devices[3].serial, "emulator-5554");
    EXPECT_EQ(devices[3].state, "offline");
}

TEST(DeviceList, WifiNamesNeedAPortOrTheWholeServiceName) {
    EXPECT_TRUE(isWifiSerial("10.0.0.5:37001"));
    EXPECT_TRUE(isWifiSerial("adb-1._adb-tls-connect._tcp"));  // 27 characters
    EXPECT_FALSE(isWifiSerial("._adb-tls-connect._tc"));       // the name cut short
    EXPECT_FALSE(isWifiSerial("adb-tls-connect"));
    EXPECT_FALSE(isWifiSerial("R58N12ABCDE"));
}

// adb's change feed arrives in pieces of any size: a list is whole only with all its bytes, and
// the empty list is a list.
TEST(DeviceFeedParser, ListsSplitAnywhereComeOutWholeAndInOrder) {
    const std::string first = "R58M123ABC             device usb:1-1 model:SM_G973F\n";
    const std::string feed =
        "* daemon not running; starting now at tcp:5037\n"
        "* daemon started successfully\n" +
        std::string("0035") + first + "0000" + "0018192.168.1.7:5555\tdevice\n";
    ASSERT_EQ(first.size(), 0x35u);
    for (size_t cut = 0; cut <= feed.size(); ++cut) {
        DeviceFeedParser parser;
        std::vector<std::string> lists;
        ASSERT_TRUE(parser.add(feed.substr(0, cut), lists));
        ASSERT_TRUE(parser.add(feed.substr(cut), lists));
        ASSERT_EQ(lists.size(), 3u) << cut;
        EXPECT_EQ(lists[0], first);
        EXPECT_EQ(lists[1], "");
        EXPECT_EQ(parseDeviceList(lists[2])[0].serial, "192.168.1.7:5555");
    }

    // A console in text mode writes "\r\n" where adb counted "\n".
    DeviceFeedParser parser;
    std::vector<std::string> lists;
    ASSERT_TRUE(parser.add("000ePIX123\tdevice\r\n000", lists));
    ASSERT_TRUE(parser.add("0", lists));
    EXPECT_EQ(lists, (std::vector<std::string>{"PIX123\tdevice\n", ""}));
}

// What is not a list length ends the feed at once, even before four characters came; lists
// before it still count, and nothing after it is taken.
TEST(DeviceFeedParser, AGarbledLengthIsAnErrorNotAWait) {
    DeviceFeedParser parser;
    std::vector<std::string> lists;
    EXPECT_FALSE(parser.add("0004ab\n\nadb: error: cannot connect", lists));
    EXPECT_EQ(lists, (std::vector<std::string>{"ab\n\n"}));
    EXPECT_NE(parser.error().find("adb: error"), std::string::npos) << parser.error();
    EXPECT_FALSE(parser.add("0000", lists));
    EXPECT_EQ(lists.size(), 1u);

    DeviceFeedParser early;
    EXPECT_FALSE(early.add("0x", lists));
    DeviceFeedParser endless;  // a "notice" that never ends its line
    EXPECT_FALSE(endless.add("*" + std::string(5000, 'z'), lists));
}

TEST(PhoneIdentity, KeyComesFromTheSerialNumberThenTheWirelessIdThenTheAdbName) {
    const std::string wireless = "adb-R58N12ABCDE-x9Yz._adb-tls-connect._tcp";
    EXPECT_EQ(identityFromAnswer("R58N\nsamsung\nSM-A525F\n", wireless, "").key, "R58N");
    // A failed query: adb's error message is no serial number.
    const PhoneIdentity failed =
        identityFromAnswer("error: device offline\n", wireless, "SM A525F");
    EXPECT_EQ(failed.key, "R58N12ABCDE");
    EXPECT_EQ(failed.name, "SM A525F");
    EXPECT_EQ(identityFromAnswer("", "adb-abc.local", "").key, "adb-abc.local");
    EXPECT_EQ(identityFromAnswer("", "adb--x.y", "").key, "adb--x.y");
    EXPECT_EQ(identityFromAnswer("", "192.168.1.20:5555", "").name, "192.168.1.20:5555");
    // The id is cut at the last dash before the first dot.
    EXPECT_EQ(wirelessId("adb-a-b-c.d-e"), "a-b");
}

TEST(PhoneIdentity, NameDropsAManufacturerTheModelAlreadyStartsWith) {
    EXPECT_EQ(identityFromAnswer("1\nGoogle\nPixel 7\n", "s", "").name, "Google Pixel 7");
    EXPECT_EQ(identityFromAnswer("1\nsamsung\nSM-A525F\n", "s", "").name, "Samsung SM-A525F");
    EXPECT_EQ(identityFromAnswer("1\nXiaomi\nxiaomi 13T\n", "s", "").name, "xiaomi 13T");
    EXPECT_EQ(identityFromAnswer("1\n\nPixel\n", "s", "").name, "Pixel");
    // adb on Windows hands the shell's lines back with CR LF.
    EXPECT_EQ(identityFromAnswer("1\r\nGoogle\r\nPixel 7\r\n", "s", "").name, "Google Pixel 7");
    // Without getprop's model the listed one is used; without any the key.
    EXPECT_EQ(identityFromAnswer("1\nGoogle\n\n", "s", "Pixel 7").name, "Google Pixel 7");
    EXPECT_EQ(identityFromAnswer("1\n\n\n", "s", "").name, "1");
    EXPECT_EQ(identityFromAnswer("1\nfairphone\n\n", "s", "").name, "Fairphone");
}

}  // namespace
}  // namespace tov
