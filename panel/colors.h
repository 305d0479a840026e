// The panel's colours (0xRRGGBB).
#pragma once

#include <cstdint>

namespace tov::panel::colors {

inline constexpr uint32_t kPrimaryText = 0xEDEBE8;
inline constexpr uint32_t kSecondaryText = 0xA2A2A9;
inline constexpr uint32_t kHelpText = 0x6E6E75;
inline constexpr uint32_t kDisabledText = 0x4E4E55;
inline constexpr uint32_t kSidebar = 0x1A1A1D;
inline constexpr uint32_t kSeparator = 0x29292E;
inline constexpr uint32_t kCardFill = 0x1E1E22;
inline constexpr uint32_t kCardBorder = 0x2A2A2F;  // also the fill of an off control
inline constexpr uint32_t kControlOff = 0x2A2A2F;
inline constexpr uint32_t kControlOffHover = 0x323238;
inline constexpr uint32_t kControlBorder = 0x37373D;  // also the scrollbar thumb
inline constexpr uint32_t kAccent = 0x3D7EF0;
inline constexpr uint32_t kAccentHover = 0x4F8BF3;
inline constexpr uint32_t kAccentDisabled = 0x2B3F63;
inline constexpr uint32_t kDisabledOnKnob = 0x8A8A92;
inline constexpr uint32_t kDropdownFill = 0x26262B;
inline constexpr uint32_t kWhite = 0xFFFFFF;
inline constexpr uint32_t kBlack = 0x000000;
inline constexpr uint32_t kContentBackground = 0x141416;
inline constexpr uint32_t kHoveredItemSecond = 0xDCE6FB;
inline constexpr uint32_t kInvalid = 0xFF5A4E;
inline constexpr uint32_t kLive = 0xFF5A4E;
inline constexpr uint32_t kAmber = 0xE9A23B;
inline constexpr uint32_t kReady = 0x5BC37A;
inline constexpr uint32_t kStop = 0xFF7A6B;
inline constexpr uint32_t kCurrentPage = 0x2A2A30;
inline constexpr uint32_t kHoveredPage = 0x222226;
inline constexpr uint32_t kUpdateCardFill = 0x1C2638;
inline constexpr uint32_t kUpdateCardBorder = 0x2D4470;

}  // namespace tov::panel::colors
