#include "panel/update_texts.h"

#include <gtest/gtest.h>

namespace tov::panel {
namespace {

std::tm at(int year, int yday, int mday, int mon, int hour, int min) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_yday = yday;
    t.tm_mday = mday;
    t.tm_mon = mon;
    t.tm_hour = hour;
    t.tm_min = min;
    return t;
}

TEST(UpdateTexts, EachStateHasItsText) {
    PanelModel m;
    std::tm now = at(2026, 341, 8, 11, 10, 0);
    EXPECT_EQ(updateStatusText(m, nullptr, now), L"Tovenmar will look for a new version shortly.");
    m.autoUpdate = false;
    EXPECT_EQ(updateStatusText(m, nullptr, now), L"Not checked yet.");
    m.updater.state = 1;
    EXPECT_EQ(updateStatusText(m, nullptr, now), L"Checking for a new version\u2026");
    m.updater.state = 2;
    m.updater.version = "1.2.0";
    m.updater.percent = 37;
    EXPECT_EQ(updateStatusText(m, nullptr, now), L"Downloading version 1.2.0\u2026 37%");
    m.updater.state = 3;
    EXPECT_EQ(updateStatusText(m, nullptr, now),
              L"Version 1.2.0 is downloaded. Restart Tovenmar to start using it.");
}

TEST(UpdateTexts, CheckTimeIsAppendedOnlyToFinishedChecks) {
    PanelModel m;
    std::tm now = at(2026, 341, 8, 11, 10, 0);
    std::tm sameDay = at(2026, 341, 8, 11, 9, 5);
    std::tm earlier = at(2026, 336, 3, 11, 21, 41);
    m.updater.state = 4;
    EXPECT_EQ(updateStatusText(m, &sameDay, now),
              L"You have the newest version. Checked today at 09:05.");
    EXPECT_EQ(updateStatusText(m, &earlier, now),
              L"You have the newest version. Checked on 3 Dec at 21:41.");
    EXPECT_EQ(updateStatusText(m, nullptr, now), L"You have the newest version.");
    m.updater.state = 5;
    m.updater.message = "The download failed.";
    EXPECT_EQ(updateStatusText(m, &sameDay, now), L"The download failed. Checked today at 09:05.");
    // The same day of another year is not today.
    std::tm lastYear = at(2025, 341, 8, 11, 9, 5);
    EXPECT_EQ(checkedSuffix(lastYear, now), L" Checked on 8 Dec at 09:05.");
    m.updater.state = 3;
    m.updater.version = "1.2.0";
    EXPECT_EQ(updateStatusText(m, &sameDay, now).find(L"Checked"), std::wstring::npos);
}

TEST(UpdateTexts, PhoneConnections) {
    EXPECT_EQ(phoneConnectionText({"k", "n", true, true}, true), L"USB and Wi-Fi");
    EXPECT_EQ(phoneConnectionText({"k", "n", true, true}, false), L"USB (Wi-Fi not used)");
    EXPECT_EQ(phoneConnectionText({"k", "n", true, false}, false), L"USB");
    EXPECT_EQ(phoneConnectionText({"k", "n", false, true}, true), L"Wi-Fi");
    EXPECT_EQ(phoneConnectionText({"k", "n", false, true}, false), L"Wi-Fi (not used)");
    EXPECT_EQ(phoneConnectionText({"k", "n", false, false}, true), L"Not connected");
}

TEST(UpdateTexts, PhoneHelp) {
    PanelModel m;
    EXPECT_EQ(phoneHelp(m),
              L"No phone connected. With more than one phone, Automatic sticks to the one in use.");
    m.phones = {{"key-a", "Pixel 8", true, true}};
    m.chosenKey = "key-a";
    m.chosenWifi = true;
    EXPECT_EQ(
        phoneHelp(m),
        L"Using Pixel 8 over Wi-Fi. With more than one phone, Automatic sticks to the one in use.");
    m.pinned = "key-a";
    m.chosenWifi = false;
    EXPECT_EQ(phoneHelp(m), L"Using Pixel 8 over USB.");
    m.chosenKey.clear();
    EXPECT_EQ(phoneHelp(m),
              L"Waiting for this phone. Tovenmar won't use another one while it's picked.");
}

}  // namespace
}  // namespace tov::panel
