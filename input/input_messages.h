// The input helper's messages: each one a 16-byte header (as on the stream link) and a payload
// whose numbers are big-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "clipboard/clip_item.h"
#include "session/text_map.h"

namespace tov {

namespace input_msg {
// Helper to PC.
constexpr uint8_t kHello = 1, kScreenSize = 2, kMouseState = 3, kPong = 4;
// PC to helper.
constexpr uint8_t kTouch = 20, kScroll = 21, kAndroidKey = 22;
constexpr uint8_t kDeviceModeOn = 30, kDeviceModeOff = 31, kMouseReport = 32, kKeyboardKey = 33;
constexpr uint8_t kPing = 40;
// Both ways for the clipboard (50 only to the helper).
constexpr uint8_t kClipOptions = 50, kClipHeader = 51, kClipChunk = 52;
}  // namespace input_msg

constexpr int32_t kInputHelperVersion = 11;
constexpr size_t kClipChunkSize = 32768;
// A phone clipboard item larger than this is not collected.
constexpr uint32_t kMaxPhoneClipSize = 20971520;

enum class TouchAction : uint8_t { Down = 0, Move = 1, Up = 2 };

// A small message as it waits in the send queue.
struct EventRecord {
    uint8_t type = 0;
    uint8_t length = 0;  // at most 16
    std::array<uint8_t, 16> payload{};
    bool operator==(const EventRecord&) const = default;
};

// A screen fraction as it travels: round(clamp(v, 0, 1) x 65535); not-a-number counts as 0.
uint16_t screenFraction(float v);
// A scroll amount x 120, rounded half away from zero and held within the 16-bit field.
int16_t scrollUnits(float amount);
// The speed field of message 30: round(clamp(speed, 0.05, 60) x 1000).
uint16_t speedField(float speed);

EventRecord touchRecord(TouchAction action, uint8_t pointer, float x, float y);
EventRecord scrollRecord(float x, float y, float horizontal, float vertical);
EventRecord androidKeyRecord(bool down, int32_t keyCode, int32_t meta, uint32_t repeat);
EventRecord hidKeyRecord(uint8_t usage, bool pressed);
EventRecord mouseReportRecord(uint8_t buttons, int16_t dx, int16_t dy, int8_t wheel, int8_t hWheel);
EventRecord deviceModeOnRecord(uint8_t modeBits, bool exactRequested, float speed);
EventRecord deviceModeOffRecord();
EventRecord pingRecord(int64_t micros);

bool isTouchMove(const EventRecord& record);
uint8_t touchPointer(const EventRecord& record);

// Header and payload in one buffer, ready for a single send.
std::vector<uint8_t> frameRecord(const EventRecord& record);
std::vector<uint8_t> frameMessage(uint8_t type, const void* payload, size_t size);

// Message 51 with the item's kind, private flag, size and MIME type, then one message 52 per
// 32,768 bytes of data.
std::vector<std::vector<uint8_t>> clipMessages(const ClipItem& item);

// The largest payload the PC accepts from the helper for a message type.
uint32_t helperPayloadLimit(uint8_t type);

// A decimal number of a key=value message; missing or not a number reads as 0.
int32_t textNumber(const TextMap& map, const std::string& key);

}  // namespace tov
