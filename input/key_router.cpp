#include "input/key_router.h"

#include "input/key_tables.h"
#include "input/keyboard_layout.h"

namespace tov {

KeyRouter::KeyRouter(KeyTargets targets) : targets_(std::move(targets)) {}

bool KeyRouter::onKey(bool down, unsigned virtualKey, int64_t lParam,
                      const KeyboardState& keyboard) {
    const uint16_t keyId = keyIdFromLParam(lParam);
    const bool previouslyDown = (lParam >> 30) & 1;
    const unsigned vk = normaliseVirtualKey(virtualKey, keyId, shiftKeyFromScan(keyId));

    if (keyId == shortcuts_.tovenmarKey) {
        if (down && !previouslyDown && targets_.releaseMouse) targets_.releaseMouse();
        return true;
    }
    if (!down && shortcutKeysHeld_.erase(keyId) > 0) return true;
    if (down && !isModifierKey(keyId)) {
        const int action = shortcuts::match(shortcuts_, keyboard.modifiers, keyId);
        if (action >= 0) {
            if (!runShortcut(action, previouslyDown)) return false;
            shortcutKeysHeld_.insert(keyId);
            return true;
        }
    }
    if (!forwarding()) return false;
    return deviceMode_ ? deviceKey(down, previouslyDown, keyId)
                       : touchKey(down, previouslyDown, vk, keyId, keyboard);
}

bool KeyRouter::runShortcut(int action, bool autoRepeat) {
    const bool local = action == kShortcutFullscreen || action == kShortcutSwitchMode ||
                       action == kShortcutRecord || action == kShortcutScreenshot;
    if (!local && !forwarding()) return false;
    if (autoRepeat) return true;
    static constexpr int32_t kPhoneKeys[] = {android_key::kHome,      android_key::kBack,
                                             android_key::kAppSwitch, android_key::kNotification,
                                             android_key::kPower,     android_key::kVolumeUp,
                                             android_key::kVolumeDown};
    if (action == kShortcutFullscreen) {
        if (targets_.toggleFullscreen) targets_.toggleFullscreen();
    } else if (action == kShortcutSwitchMode) {
        if (targets_.switchMode) targets_.switchMode(!deviceMode_);
    } else if (action == kShortcutRecord) {
        if (targets_.toggleRecording) targets_.toggleRecording();
    } else if (action == kShortcutScreenshot) {
        if (targets_.takeScreenshot) targets_.takeScreenshot();
    } else if (targets_.pressKey) {
        targets_.pressKey(kPhoneKeys[action]);
    }
    return true;
}

bool KeyRouter::touchKey(bool down, bool previouslyDown, unsigned vk, uint16_t keyId,
                         const KeyboardState& keyboard) {
    const int32_t code = androidKeyCode(vk, isExtendedKey(keyId));
    if (code == 0) return false;
    uint32_t repeat = 0;
    if (!down) {
        androidKeysHeld_.erase(code);
        repeatCount_.erase(code);
    } else {
        repeat = previouslyDown ? repeatCount_[code] + 1 : 0;
        repeatCount_[code] = repeat;
        androidKeysHeld_.insert(code);
    }
    const uint8_t modifiers =
        static_cast<uint8_t>(keyboard.modifiers & ~modifierBit(shortcuts_.tovenmarKey));
    const int32_t meta = androidMetaState(modifiers, keyboard.capsLockOn, keyboard.numLockOn);
    if (targets_.androidKey) targets_.androidKey(down, code, meta, repeat);
    return true;
}

bool KeyRouter::deviceKey(bool down, bool previouslyDown, uint16_t keyId) {
    const uint8_t usage = hidUsage(keyId);
    if (usage == 0) return false;
    if (!down) {
        if (targets_.hidKey) targets_.hidKey(usage, false);
        hidKeysHeld_.erase(usage);
        return true;
    }
    if (previouslyDown) return true;  // the phone repeats a held key by itself
    if (targets_.hidKey) targets_.hidKey(usage, true);
    hidKeysHeld_.insert(usage);
    return true;
}

void KeyRouter::releaseAllKeys() {
    shortcutKeysHeld_.clear();
    for (int32_t code : androidKeysHeld_)
        if (targets_.androidKey) targets_.androidKey(false, code, 0, 0);
    for (uint8_t usage : hidKeysHeld_)
        if (targets_.hidKey) targets_.hidKey(usage, false);
    androidKeysHeld_.clear();
    hidKeysHeld_.clear();
    repeatCount_.clear();
}

}  // namespace tov
