#include "input/key_tables.h"

namespace tov {

uint8_t modifierBit(uint16_t keyId) {
    switch (keyId) {
        case 0x1D:
            return kLeftCtrl;
        case 0x11D:
            return kRightCtrl;
        case 0x2A:
            return kLeftShift;
        case 0x36:
            return kRightShift;
        case 0x38:
            return kLeftAlt;
        case 0x138:
            return kRightAlt;
        case 0x15B:
            return kLeftWin;
        case 0x15C:
            return kRightWin;
        default:
            return 0;
    }
}

unsigned normaliseVirtualKey(unsigned virtualKey, uint16_t keyId, unsigned shiftFromScan) {
    const bool extended = isExtendedKey(keyId);
    switch (virtualKey) {
        case vk::kShift:
            return shiftFromScan;
        case vk::kControl:
            return extended ? vk::kRControl : vk::kLControl;
        case vk::kMenu:
            return extended ? vk::kRMenu : vk::kLMenu;
        default:
            return virtualKey;
    }
}

int32_t androidKeyCode(unsigned virtualKey, bool extended) {
    const int32_t v = static_cast<int32_t>(virtualKey);
    if (v >= 0x30 && v <= 0x39) return v - 41;  // digits: KEYCODE_0..9
    if (v >= 0x41 && v <= 0x5A) return v - 36;  // letters: KEYCODE_A..Z
    if (v >= 0x60 && v <= 0x69) return v + 48;  // keypad digits: KEYCODE_NUMPAD_0..9
    if (v >= 0x70 && v <= 0x7B) return v + 19;  // F1..F12
    switch (v) {
        case 0x08:
            return 67;  // KEYCODE_DEL
        case 0x09:
            return 61;
        case 0x0D:
            return extended ? 160 : 66;  // keypad Enter is KEYCODE_NUMPAD_ENTER
        case 0x14:
            return 115;
        case 0x1B:
            return 111;
        case 0x20:
            return 62;
        case 0x21:
            return 92;
        case 0x22:
            return 93;
        case 0x23:
            return 123;  // KEYCODE_MOVE_END
        case 0x24:
            return 122;  // KEYCODE_MOVE_HOME
        case 0x25:
            return 21;
        case 0x26:
            return 19;
        case 0x27:
            return 22;
        case 0x28:
            return 20;
        case 0x2D:
            return 124;
        case 0x2E:
            return 112;  // KEYCODE_FORWARD_DEL
        case 0x5B:
            return 117;
        case 0x5C:
            return 118;
        case 0x6A:
            return 155;
        case 0x6B:
            return 157;
        case 0x6D:
            return 156;
        case 0x6E:
            return 158;
        case 0x6F:
            return 154;
        case 0xA0:
            return 59;
        case 0xA1:
            return 60;
        case 0xA2:
            return 113;
        case 0xA3:
            return 114;
        case 0xA4:
            return 57;
        case 0xA5:
            return 58;
        case 0xAD:
            return 164;
        case 0xAE:
            return 25;
        case 0xAF:
            return 24;
        case 0xB0:
            return 87;
        case 0xB1:
            return 88;
        case 0xB3:
            return 85;
        case 0xBA:
            return 74;
        case 0xBB:
            return 70;
        case 0xBC:
            return 55;
        case 0xBD:
            return 69;
        case 0xBE:
            return 56;
        case 0xBF:
            return 76;
        case 0xC0:
            return 68;
        case 0xDB:
            return 71;
        case 0xDC:
            return 73;
        case 0xDD:
            return 72;
        case 0xDE:
            return 75;
        default:
            return 0;
    }
}

int32_t androidMetaState(uint8_t modifiers, bool capsLockOn, bool numLockOn) {
    int32_t meta = 0;
    if (modifiers & kLeftCtrl) meta |= 0x3000;
    if (modifiers & kRightCtrl) meta |= 0x5000;
    if (modifiers & kLeftShift) meta |= 0x41;
    if (modifiers & kRightShift) meta |= 0x81;
    if (modifiers & kLeftAlt) meta |= 0x12;
    if (modifiers & kRightAlt) meta |= 0x22;
    if (modifiers & (kLeftWin | kRightWin)) meta |= 0x10000;
    if (capsLockOn) meta |= 0x100000;
    if (numLockOn) meta |= 0x200000;
    return meta;
}

namespace {

// PS/2 set 1 to USB HID for the plain scan codes 0x00..0x58 (0x54 and 0x55 have no key).
constexpr uint8_t kPlainToHid[0x59] = {
    0x00, 0x29, 0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23,  // 00-07
    0x24, 0x25, 0x26, 0x27, 0x2D, 0x2E, 0x2A, 0x2B,  // 08-0F
    0x14, 0x1A, 0x08, 0x15, 0x17, 0x1C, 0x18, 0x0C,  // 10-17
    0x12, 0x13, 0x2F, 0x30, 0x28, 0xE0, 0x04, 0x16,  // 18-1F
    0x07, 0x09, 0x0A, 0x0B, 0x0D, 0x0E, 0x0F, 0x33,  // 20-27
    0x34, 0x35, 0xE1, 0x31, 0x1D, 0x1B, 0x06, 0x19,  // 28-2F
    0x05, 0x11, 0x10, 0x36, 0x37, 0x38, 0xE5, 0x55,  // 30-37
    0xE2, 0x2C, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E,  // 38-3F
    0x3F, 0x40, 0x41, 0x42, 0x43, 0x53, 0x47, 0x5F,  // 40-47
    0x60, 0x61, 0x56, 0x5C, 0x5D, 0x5E, 0x57, 0x59,  // 48-4F
    0x5A, 0x5B, 0x62, 0x63, 0x00, 0x00, 0x64, 0x44,  // 50-57
    0x45,                                            // 58
};

uint8_t extendedToHid(uint8_t scan) {
    switch (scan) {
        case 0x1C:
            return 0x58;
        case 0x1D:
            return 0xE4;
        case 0x35:
            return 0x54;
        case 0x37:
            return 0x46;
        case 0x38:
            return 0xE6;
        case 0x47:
            return 0x4A;
        case 0x48:
            return 0x52;
        case 0x49:
            return 0x4B;
        case 0x4B:
            return 0x50;
        case 0x4D:
            return 0x4F;
        case 0x4F:
            return 0x4D;
        case 0x50:
            return 0x51;
        case 0x51:
            return 0x4E;
        case 0x52:
            return 0x49;
        case 0x53:
            return 0x4C;
        case 0x5B:
            return 0xE3;
        case 0x5C:
            return 0xE7;
        case 0x5D:
            return 0x65;
        default:
            return 0;
    }
}

}  // namespace

uint8_t hidUsage(uint16_t keyId) {
    if (keyId > 0x1FF) return 0;
    const uint8_t scan = static_cast<uint8_t>(keyId & 0xFF);
    if (isExtendedKey(keyId)) return extendedToHid(scan);
    if (keyId >= sizeof(kPlainToHid)) return 0;
    return kPlainToHid[scan];
}

}  // namespace tov
