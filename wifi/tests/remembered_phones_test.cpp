#include "wifi/remembered_phones.h"

#include <gtest/gtest.h>

#include "platform/ini.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

// Keys and names are the phone's: in any script, and with whatever bytes a phone puts there.
TEST(RememberedPhones, KeysAndNamesReadBackWholeAndStayOnOneLine) {
    test::TempDir dir;
    const std::wstring path = dir.file(L"settings.ini");
    WifiRemembered red{
        "R\xc3\xa9"
        "D1",
        "Xiaomi \xe7\xba\xa2\xe7\xb1\xb3", "192.168.1.20:5555", "", false};
    WifiRemembered odd{"ODD1", "name\r\n[phone]\r\nwifi=1", "192.168.1.21:5555", "", false};
    writeRememberedPhones(path, {red, odd});
    const std::vector<WifiRemembered> back = readRememberedPhones(path);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].key, red.key);
    EXPECT_EQ(back[0].name, red.name);
    EXPECT_EQ(back[1].name, "name??[phone]??wifi=1");
    EXPECT_EQ(ini::getInt(path, L"phone", L"wifi", 7), 7);
}

}  // namespace
}  // namespace tov
