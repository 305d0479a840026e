// How much the clipboard sync reads from the PC clipboard and sends to the phone.
#pragma once

#include <cstddef>

namespace tov {

// A CF_UNICODETEXT block larger than this reads as empty.
inline constexpr size_t kMaxTextBlockBytes = 0x400000;
// Text sent to the phone: 1 byte up to this many bytes of UTF-8.
inline constexpr size_t kMaxSentTextBytes = 0x100000;
// A "PNG" block larger than this reads as empty.
inline constexpr size_t kMaxPngBlockBytes = 0x1400000;
// A CF_DIB block larger than this reads as empty.
inline constexpr size_t kMaxDibBlockBytes = 0x10000000;
// A picture sent to the phone: 1 byte up to this many bytes of PNG.
inline constexpr size_t kMaxSentPictureBytes = 0x1400000;
// "CanIncludeInClipboardHistory" is read only when its block is 1 to 16 bytes.
inline constexpr size_t kMaxHistoryBlockBytes = 16;
// A decoded picture whose 32-bit pixels would take more than this is refused: a small PNG can
// claim an enormous size, and the largest DIB accepted from the PC is no bigger.
inline constexpr size_t kMaxBitmapBytes = kMaxDibBlockBytes;

// Two copies of the same data closer together than this are sent once.
inline constexpr unsigned kDuplicateWindowMs = 1500;

}  // namespace tov
