#include "input/key_tables.h"

#include <gtest/gtest.h>

namespace tov {
namespace {

TEST(KeyTables, KeyIdComesFromTheScanCodeAndExtendedBit) {
    EXPECT_EQ(keyIdFromLParam(0x00230001), 0x23);     // H
    EXPECT_EQ(keyIdFromLParam(0x01380001), 0x138);    // Right Alt
    EXPECT_EQ(keyIdFromLParam(0xC1480001LL), 0x148);  // Up, released: the top bits are not part
    EXPECT_EQ(keyIdFromLParam(-1), 0x1FF);
}

TEST(KeyTables, ModifierKeysAndTheirBits) {
    const std::pair<uint16_t, uint8_t> modifiers[] = {{0x1D, 0x01},  {0x11D, 0x02}, {0x2A, 0x04},
                                                      {0x36, 0x08},  {0x38, 0x10},  {0x138, 0x20},
                                                      {0x15B, 0x40}, {0x15C, 0x80}};
    for (auto [key, bit] : modifiers) {
        EXPECT_EQ(modifierBit(key), bit) << std::hex << key;
        EXPECT_TRUE(isModifierKey(key));
    }
    for (uint16_t key : {0x00, 0x23, 0x136, 0x12A, 0x5B, 0x148}) EXPECT_EQ(modifierBit(key), 0);
}

TEST(KeyTables, GenericModifiersBecomeTheirSide) {
    EXPECT_EQ(normaliseVirtualKey(vk::kControl, 0x1D, 0), vk::kLControl);
    EXPECT_EQ(normaliseVirtualKey(vk::kControl, 0x11D, 0), vk::kRControl);
    EXPECT_EQ(normaliseVirtualKey(vk::kMenu, 0x38, 0), vk::kLMenu);
    EXPECT_EQ(normaliseVirtualKey(vk::kMenu, 0x138, 0), vk::kRMenu);
    EXPECT_EQ(normaliseVirtualKey(vk::kShift, 0x36, vk::kRShift), vk::kRShift);
    EXPECT_EQ(normaliseVirtualKey(0x41, 0x1E, vk::kRShift), 0x41u);
}

TEST(KeyTables, AndroidKeyCodesForRangesAndSingleKeys) {
    for (unsigned v = 0; v < 10; ++v) EXPECT_EQ(androidKeyCode(0x30 + v, false), 7 + int(v));
    for (unsigned v = 0; v < 26; ++v) EXPECT_EQ(androidKeyCode(0x41 + v, false), 29 + int(v));
    for (unsigned v = 0; v < 10; ++v) EXPECT_EQ(androidKeyCode(0x60 + v, false), 144 + int(v));
    for (unsigned v = 0; v < 12; ++v) EXPECT_EQ(androidKeyCode(0x70 + v, false), 131 + int(v));
    const std::pair<unsigned, int> singles[] = {
        {0x08, 67},  {0x09, 61},  {0x0D, 66},  {0x14, 115}, {0x1B, 111}, {0x20, 62},  {0x21, 92},
        {0x22, 93},  {0x23, 123}, {0x24, 122}, {0x25, 21},  {0x26, 19},  {0x27, 22},  {0x28, 20},
        {0x2D, 124}, {0x2E, 112}, {0x5B, 117}, {0x5C, 118}, {0x6A, 155}, {0x6B, 157}, {0x6D, 156},
        {0x6E, 158}, {0x6F, 154}, {0xA0, 59},  {0xA1, 60},  {0xA2, 113}, {0xA3, 114}, {0xA4, 57},
        {0xA5, 58},  {0xAD, 164}, {0xAE, 25},  {0xAF, 24},  {0xB0, 87},  {0xB1, 88},  {0xB3, 85},
        {0xBA, 74},  {0xBB, 70},  {0xBC, 55},  {0xBD, 69},  {0xBE, 56},  {0xBF, 76},  {0xC0, 68},
        {0xDB, 71},  {0xDC, 73},  {0xDD, 72},  {0xDE, 75}};
    for (auto [v, code] : singles) EXPECT_EQ(androidKeyCode(v, false), code) << std::hex << v;
    EXPECT_EQ(androidKeyCode(0x0D, true), 160);  // keypad Enter
    // Keys outside the table are not sent, also the generic modifiers and the gaps of the ranges.
    for (unsigned v : {0x00u, 0x10u, 0x11u, 0x12u, 0x2Fu, 0x3Au, 0x40u, 0x5Du, 0x6Cu, 0x7Cu, 0x90u,
                       0xB2u, 0xC1u, 0xDFu, 0xFFu, 0x1000u})
        EXPECT_EQ(androidKeyCode(v, false), 0) << std::hex << v;
}

TEST(KeyTables, AndroidMetaState) {
    EXPECT_EQ(androidMetaState(0, false, false), 0);
    EXPECT_EQ(androidMetaState(kLeftCtrl, false, false), 0x3000);
    EXPECT_EQ(androidMetaState(kRightCtrl, false, false), 0x5000);
    EXPECT_EQ(androidMetaState(kLeftShift | kRightShift, false, false), 0xC1);
    EXPECT_EQ(androidMetaState(kLeftAlt, false, false), 0x12);
    EXPECT_EQ(androidMetaState(kRightAlt, false, false), 0x22);
    EXPECT_EQ(androidMetaState(kLeftWin, false, false), 0x10000);
    EXPECT_EQ(androidMetaState(kLeftWin | kRightWin, false, false), 0x10000);
    EXPECT_EQ(androidMetaState(kLeftShift, true, true), 0x41 | 0x100000 | 0x200000);
}

TEST(KeyTables, HidUsagesOfPlainScanCodes) {
    const std::pair<uint16_t, uint8_t> plain[] = {
        {0x01, 0x29}, {0x02, 0x1E}, {0x0B, 0x27}, {0x0C, 0x2D}, {0x0E, 0x2A}, {0x0F, 0x2B},
        {0x10, 0x14}, {0x19, 0x13}, {0x1C, 0x28}, {0x1D, 0xE0}, {0x1E, 0x04}, {0x23, 0x0B},
        {0x2A, 0xE1}, {0x2B, 0x31}, {0x2C, 0x1D}, {0x32, 0x10}, {0x35, 0x38}, {0x36, 0xE5},
        {0x37, 0x55}, {0x38, 0xE2}, {0x39, 0x2C}, {0x3A, 0x39}, {0x3B, 0x3A}, {0x44, 0x43},
        {0x45, 0x53}, {0x46, 0x47}, {0x56, 0x64}, {0x57, 0x44}, {0x58, 0x45}};
    for (auto [key, usage] : plain) EXPECT_EQ(hidUsage(key), usage) << std::hex << key;
    const uint8_t keypad[] = {0x5F, 0x60, 0x61, 0x56, 0x5C, 0x5D, 0x5E,
                              0x57, 0x59, 0x5A, 0x5B, 0x62, 0x63};
    for (uint16_t i = 0; i < 13; ++i) EXPECT_EQ(hidUsage(0x47 + i), keypad[i]);
    for (uint16_t key : {0x00, 0x54, 0x55, 0x59, 0x7F, 0xFF}) EXPECT_EQ(hidUsage(key), 0);
}

TEST(KeyTables, HidUsagesOfExtendedScanCodes) {
    const std::pair<uint16_t, uint8_t> extended[] = {
        {0x11C, 0x58}, {0x11D, 0xE4}, {0x135, 0x54}, {0x137, 0x46}, {0x138, 0xE6}, {0x147, 0x4A},
        {0x148, 0x52}, {0x149, 0x4B}, {0x14B, 0x50}, {0x14D, 0x4F}, {0x14F, 0x4D}, {0x150, 0x51},
        {0x151, 0x4E}, {0x152, 0x49}, {0x153, 0x4C}, {0x15B, 0xE3}, {0x15C, 0xE7}, {0x15D, 0x65}};
    for (auto [key, usage] : extended) EXPECT_EQ(hidUsage(key), usage) << std::hex << key;
    // An extended code never falls through to the plain table.
    for (uint16_t key : {0x101, 0x11E, 0x130, 0x14A, 0x15E, 0x1FF, 0x200, 0x21C})
        EXPECT_EQ(hidUsage(key), 0) << std::hex << key;
}

}  // namespace
}  // namespace tov
