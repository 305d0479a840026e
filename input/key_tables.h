// The fixed translations of PC keys: key ids, modifier masks, Android key codes and meta states
// (Touch mode), and USB HID keyboard usages (Device mode).
#pragma once

#include <cstdint>

namespace tov {

// A key is named by its set-1 scan code plus 0x100 for extended keys, as bits 16 to 24 of a key
// message's lParam carry it.
inline uint16_t keyIdFromLParam(int64_t lParam) {
    return static_cast<uint16_t>((static_cast<uint64_t>(lParam) >> 16) & 0x1FF);
}
inline bool isExtendedKey(uint16_t keyId) {
    return (keyId & 0x100) != 0;
}

// Modifier mask bits, one per modifier key.
enum ModifierBit : uint8_t {
    kLeftCtrl = 0x01,
    kRightCtrl = 0x02,
    kLeftShift = 0x04,
    kRightShift = 0x08,
    kLeftAlt = 0x10,
    kRightAlt = 0x20,
    kLeftWin = 0x40,
    kRightWin = 0x80,
};

// The mask bit of a modifier key, 0 for every other key id.
uint8_t modifierBit(uint16_t keyId);
inline bool isModifierKey(uint16_t keyId) {
    return modifierBit(keyId) != 0;
}

// Windows virtual-key numbers used by the translation (the values are Windows' own).
namespace vk {
constexpr unsigned kShift = 0x10, kControl = 0x11, kMenu = 0x12;
constexpr unsigned kLShift = 0xA0, kRShift = 0xA1, kLControl = 0xA2, kRControl = 0xA3;
constexpr unsigned kLMenu = 0xA4, kRMenu = 0xA5;
}  // namespace vk

// Generic Shift, Ctrl and Alt become their left or right key; `shiftFromScan` names the Shift key
// the scan code belongs to (the keyboard layout decides, so the caller asks Windows).
unsigned normaliseVirtualKey(unsigned virtualKey, uint16_t keyId, unsigned shiftFromScan);

// Android key code for a (normalised) virtual key in Touch mode; 0 when the key is not sent.
int32_t androidKeyCode(unsigned virtualKey, bool extended);

// Android meta state of a modifier mask plus the lock keys that are toggled on.
int32_t androidMetaState(uint8_t modifiers, bool capsLockOn, bool numLockOn);

// USB HID usage (Keyboard/Keypad page) for a key id in Device mode; 0 when there is none.
uint8_t hidUsage(uint16_t keyId);

// Android key codes the program sends on its own.
namespace android_key {
constexpr int32_t kHome = 3, kBack = 4, kVolumeUp = 24, kVolumeDown = 25, kPower = 26;
constexpr int32_t kNotification = 83, kAppSwitch = 187;
}  // namespace android_key

}  // namespace tov
