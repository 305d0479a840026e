#include "core/panel_model.h"

#include <gtest/gtest.h>

namespace tov {
namespace {

TEST(PanelModelTest, LinkStateTexts) {
    const char* texts[] = {"stopped", "no adb",          "no device", "unauthorized",
                           "ready",   "waiting for app", "live"};
    for (int i = 0; i <= 6; ++i) {
        EXPECT_STREQ(linkStateText(static_cast<LinkState>(i)), texts[i]) << i;
    }
    EXPECT_STREQ(linkStateText(static_cast<LinkState>(7)), "?");
}

TEST(PanelModelTest, CopiesCarryListsAndTextsIndependently) {
    PanelModel a;
    a.presets.push_back({"sharp", "Sharp", 60, 1920, 1080});
    a.phones.push_back({"usb:1", "Pixel", true, false});
    a.shortcutTexts.push_back({L"Back", L"Ctrl+B"});
    a.updater.message = "ready";
    PanelModel b = a;
    a.presets[0].fps = 30;
    a.phones.clear();
    a.updater.message.clear();
    ASSERT_EQ(b.presets.size(), 1u);
    EXPECT_EQ(b.presets[0].fps, 60);
    ASSERT_EQ(b.phones.size(), 1u);
    EXPECT_EQ(b.phones[0].name, "Pixel");
    EXPECT_EQ(b.shortcutTexts[0].keyText, L"Ctrl+B");
    EXPECT_EQ(b.updater.message, "ready");
}

}  // namespace
}  // namespace tov
