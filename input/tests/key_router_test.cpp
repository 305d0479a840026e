#include "input/key_router.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/key_tables.h"

namespace tov {
namespace {

// lParam of a key message: scan code, extended bit, previous-state bit.
int64_t keyParam(uint16_t keyId, bool previouslyDown = false) {
    int64_t p = int64_t{keyId & 0xFF} << 16;
    if (keyId & 0x100) p |= int64_t{1} << 24;
    if (previouslyDown) p |= int64_t{1} << 30;
    return p | 1;
}

struct AndroidKey {
    bool down;
    int32_t code, meta;
    uint32_t repeat;
    bool operator==(const AndroidKey&) const = default;
};

class KeyRouterTest : public ::testing::Test {
  protected:
    KeyRouterTest() {
        KeyTargets t;
        t.androidKey = [this](bool d, int32_t c, int32_t m, uint32_t r) {
            android.push_back({d, c, m, r});
        };
        t.pressKey = [this](int32_t c) { pressed.push_back(c); };
        t.hidKey = [this](uint8_t u, bool p) { hid.push_back({u, p}); };
        t.releaseMouse = [this] { events.push_back("release mouse"); };
        t.toggleFullscreen = [this] { events.push_back("fullscreen"); };
        t.switchMode = [this](bool device) { events.push_back(device ? "device" : "touch"); };
        t.forwarding = [this] { return forwarding; };
        router = std::make_unique<KeyRouter>(t);
    }
    bool key(bool down, unsigned vk, uint16_t keyId, uint8_t modifiers = 0,
             bool previouslyDown = false) {
        return router->onKey(down, vk, keyParam(keyId, previouslyDown), {modifiers, false, false});
    }

    bool forwarding = true;
    std::unique_ptr<KeyRouter> router;
    std::vector<AndroidKey> android;
    std::vector<int32_t> pressed;
    std::vector<std::pair<uint8_t, bool>> hid;
    std::vector<std::string> events;
};

TEST_F(KeyRouterTest, RightAltReleasesTheMouseAndRightAltHSendsHomeOnly) {
    EXPECT_TRUE(key(true, vk::kMenu, 0x138, kRightAlt));
    EXPECT_TRUE(key(true, vk::kMenu, 0x138, kRightAlt, true));  // repeat: no second release
    EXPECT_EQ(events, (std::vector<std::string>{"release mouse"}));
    EXPECT_TRUE(key(true, 'H', 0x23, kRightAlt));
    EXPECT_TRUE(key(true, 'H', 0x23, kRightAlt, true));  // auto-repeat runs nothing
    EXPECT_TRUE(key(false, 'H', 0x23, kRightAlt));
    EXPECT_TRUE(key(false, vk::kMenu, 0x138, 0));
    EXPECT_EQ(pressed, (std::vector<int32_t>{3}));
    EXPECT_TRUE(android.empty());  // neither the H nor Right Alt reached the phone
    // With an AltGr layout Windows adds a Left Ctrl.
    EXPECT_TRUE(key(true, 'B', 0x30, kRightAlt | kLeftCtrl));
    EXPECT_EQ(pressed, (std::vector<int32_t>{3, 4}));
}

TEST_F(KeyRouterTest, EveryShortcutRunsItsAction) {
    const std::pair<uint16_t, int32_t> phoneKeys[] = {
        {0x23, 3}, {0x30, 4}, {0x1F, 187}, {0x31, 83}, {0x19, 26}, {0x148, 24}, {0x150, 25}};
    for (auto [keyId, code] : phoneKeys) {
        pressed.clear();
        EXPECT_TRUE(key(true, 0, keyId, kRightAlt));
        EXPECT_EQ(pressed, (std::vector<int32_t>{code})) << std::hex << keyId;
    }
    key(true, 'F', 0x21, kRightAlt);
    key(true, 'D', 0x20, kRightAlt);
    router->setDeviceMode(true);
    key(true, 'D', 0x20, kRightAlt);
    EXPECT_EQ(events, (std::vector<std::string>{"fullscreen", "device", "touch"}));
}

TEST_F(KeyRouterTest, WithoutForwardingOnlyLocalShortcutsWork) {
    forwarding = false;
    EXPECT_FALSE(key(true, 'H', 0x23, kRightAlt));
    EXPECT_TRUE(pressed.empty());
    EXPECT_FALSE(key(false, 'H', 0x23, kRightAlt));
    EXPECT_TRUE(key(true, 'F', 0x21, kRightAlt));
    EXPECT_EQ(events, (std::vector<std::string>{"fullscreen"}));
    EXPECT_TRUE(key(false, 'F', 0x21, kRightAlt));  // its key-up is swallowed too
    EXPECT_FALSE(key(true, 'A', 0x1E));
    EXPECT_TRUE(android.empty());
}

TEST_F(KeyRouterTest, TouchModeSendsRepeatsWithAGrowingCount) {
    EXPECT_TRUE(key(true, 'A', 0x1E, kLeftShift));
    EXPECT_TRUE(key(true, 'A', 0x1E, kLeftShift, true));
    EXPECT_TRUE(key(true, 'A', 0x1E, kLeftShift, true));
    EXPECT_TRUE(key(false, 'A', 0x1E, kLeftShift));
    EXPECT_TRUE(key(true, 'A', 0x1E, 0));
    EXPECT_EQ(android, (std::vector<AndroidKey>{{true, 29, 0x41, 0},
                                                {true, 29, 0x41, 1},
                                                {true, 29, 0x41, 2},
                                                {false, 29, 0x41, 0},
                                                {true, 29, 0, 0}}));
}

TEST_F(KeyRouterTest, TouchModeMetaLeavesOutTheTovenmarKeyAndAddsLocks) {
    router->onKey(true, 'K', keyParam(0x25), {kRightAlt | kLeftCtrl, true, true});
    ASSERT_EQ(android.size(), 1u);
    EXPECT_EQ(android[0].meta, 0x3000 | 0x100000 | 0x200000);
    Shortcuts table = shortcuts::defaults();
    table.tovenmarKey = 0x15C;  // Right Win
    router->setShortcuts(table);
    router->onKey(true, 'K', keyParam(0x25), {kRightAlt | kRightWin, false, false});
    EXPECT_EQ(android[1].meta, 0x22);
}

TEST_F(KeyRouterTest, TouchModeNormalisesGenericModifiersAndSkipsUnknownKeys) {
    EXPECT_TRUE(key(true, vk::kControl, 0x11D));
    EXPECT_TRUE(key(true, vk::kShift, 0x36));
    EXPECT_TRUE(key(true, vk::kMenu, 0x38));
    EXPECT_TRUE(key(true, 0x0D, 0x11C));  // keypad Enter
    EXPECT_FALSE(key(true, 0x13, 0x45));  // Pause: no Android key
    ASSERT_EQ(android.size(), 4u);
    EXPECT_EQ(android[0].code, 114);
    EXPECT_EQ(android[1].code, 60);
    EXPECT_EQ(android[2].code, 57);
    EXPECT_EQ(android[3].code, 160);
}

TEST_F(KeyRouterTest, DeviceModeSendsOnePressAndOneReleasePerHold) {
    router->setDeviceMode(true);
    EXPECT_TRUE(key(true, 'A', 0x1E));
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(key(true, 'A', 0x1E, 0, true));
    EXPECT_TRUE(key(false, 'A', 0x1E));
    EXPECT_TRUE(key(true, vk::kControl, 0x11D));
    EXPECT_FALSE(key(true, 0, 0x54));  // no usage
    EXPECT_EQ(hid,
              (std::vector<std::pair<uint8_t, bool>>{{0x04, true}, {0x04, false}, {0xE4, true}}));
    EXPECT_TRUE(android.empty());
}

TEST_F(KeyRouterTest, ReleaseAllKeysLetsGoOfEverythingHeld) {
    key(true, 'A', 0x1E);
    key(true, 'B', 0x30);
    key(false, 'B', 0x30);
    router->setDeviceMode(true);
    key(true, 'C', 0x2E);
    key(true, 'H', 0x23, kRightAlt);  // a shortcut key held down
    android.clear();
    hid.clear();
    router->releaseAllKeys();
    EXPECT_EQ(android, (std::vector<AndroidKey>{{false, 29, 0, 0}}));
    EXPECT_EQ(hid, (std::vector<std::pair<uint8_t, bool>>{{0x06, false}}));
    EXPECT_EQ(router->heldCount(), 0u);
    // The shortcut's key-up is no longer swallowed: it goes to the phone as a plain key-up.
    EXPECT_TRUE(key(false, 'H', 0x23));
    EXPECT_EQ(hid.back(), (std::pair<uint8_t, bool>{0x0B, false}));
    router->releaseAllKeys();
    EXPECT_EQ(hid.size(), 2u);
}

TEST_F(KeyRouterTest, ARepeatCountStartsAgainAfterRelease) {
    key(true, 'A', 0x1E);
    key(true, 'A', 0x1E, 0, true);
    router->releaseAllKeys();
    android.clear();
    key(true, 'A', 0x1E, 0, true);  // Windows still says "previously down"
    ASSERT_EQ(android.size(), 1u);
    EXPECT_EQ(android[0].repeat, 1u);
}

}  // namespace
}  // namespace tov
