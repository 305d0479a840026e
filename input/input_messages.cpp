#include "input/input_messages.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "session/packet.h"

namespace tov {
namespace {

void put16(EventRecord& r, size_t at, uint16_t v) {
    r.payload[at] = static_cast<uint8_t>(v >> 8);
    r.payload[at + 1] = static_cast<uint8_t>(v);
}

void put32(EventRecord& r, size_t at, uint32_t v) {
    writeU32(r.payload.data() + at, v);
}

EventRecord record(uint8_t type, uint8_t length) {
    EventRecord r;
    r.type = type;
    r.length = length;
    return r;
}

// Rounds half away from zero into [lo, hi]; not-a-number gives `fallback`.
long roundedWithin(double v, long lo, long hi, long fallback) {
    if (std::isnan(v)) return fallback;
    if (v <= static_cast<double>(lo)) return lo;
    if (v >= static_cast<double>(hi)) return hi;
    return std::lround(v);
}

}  // namespace

uint16_t screenFraction(float v) {
    if (std::isnan(v)) return 0;
    const double clamped = v < 0 ? 0.0 : (v > 1 ? 1.0 : static_cast<double>(v));
    return static_cast<uint16_t>(std::lround(clamped * 65535.0));
}

int16_t scrollUnits(float amount) {
    return static_cast<int16_t>(
        roundedWithin(static_cast<double>(amount) * 120.0, -32768, 32767, 0));
}

uint16_t speedField(float speed) {
    double s = std::isnan(speed) ? 1.0 : static_cast<double>(speed);
    s = s < 0.05 ? 0.05 : (s > 60 ? 60 : s);
    return static_cast<uint16_t>(std::lround(s * 1000.0));
}

EventRecord touchRecord(TouchAction action, uint8_t pointer, float x, float y) {
    EventRecord r = record(input_msg::kTouch, 6);
    r.payload[0] = static_cast<uint8_t>(action);
    r.payload[1] = pointer;
    put16(r, 2, screenFraction(x));
    put16(r, 4, screenFraction(y));
    return r;
}

EventRecord scrollRecord(float x, float y, float horizontal, float vertical) {
    EventRecord r = record(input_msg::kScroll, 8);
    put16(r, 0, screenFraction(x));
    put16(r, 2, screenFraction(y));
    put16(r, 4, static_cast<uint16_t>(scrollUnits(horizontal)));
    put16(r, 6, static_cast<uint16_t>(scrollUnits(vertical)));
    return r;
}

EventRecord androidKeyRecord(bool down, int32_t keyCode, int32_t meta, uint32_t repeat) {
    EventRecord r = record(input_msg::kAndroidKey, 11);
    r.payload[0] = down ? 0 : 1;
    put32(r, 1, static_cast<uint32_t>(keyCode));
    put32(r, 5, static_cast<uint32_t>(meta));
    put16(r, 9, static_cast<uint16_t>(repeat > 65535 ? 65535 : repeat));
    return r;
}

EventRecord hidKeyRecord(uint8_t usage, bool pressed) {
    EventRecord r = record(input_msg::kKeyboardKey, 2);
    r.payload[0] = usage;
    r.payload[1] = pressed ? 1 : 0;
    return r;
}

EventRecord mouseReportRecord(uint8_t buttons, int16_t dx, int16_t dy, int8_t wheel,
                              int8_t hWheel) {
    EventRecord r = record(input_msg::kMouseReport, 7);
    r.payload[0] = buttons;
    put16(r, 1, static_cast<uint16_t>(dx));
    put16(r, 3, static_cast<uint16_t>(dy));
    r.payload[5] = static_cast<uint8_t>(wheel);
    r.payload[6] = static_cast<uint8_t>(hWheel);
    return r;
}

EventRecord deviceModeOnRecord(uint8_t modeBits, bool exactRequested, float speed) {
    EventRecord r = record(input_msg::kDeviceModeOn, 4);
    r.payload[0] = modeBits;
    r.payload[1] = exactRequested ? 1 : 0;
    put16(r, 2, speedField(speed));
    return r;
}

EventRecord deviceModeOffRecord() {
    return record(input_msg::kDeviceModeOff, 0);
}

EventRecord pingRecord(int64_t micros) {
    EventRecord r = record(input_msg::kPing, 8);
    writeU64(r.payload.data(), static_cast<uint64_t>(micros));
    return r;
}

bool isTouchMove(const EventRecord& r) {
    return r.type == input_msg::kTouch && r.payload[0] == static_cast<uint8_t>(TouchAction::Move);
}

uint8_t touchPointer(const EventRecord& r) {
    return r.payload[1];
}

std::vector<uint8_t> frameMessage(uint8_t type, const void* payload, size_t size) {
    return buildOutgoingPacket(static_cast<PacketType>(type), payload, size);
}

std::vector<uint8_t> frameRecord(const EventRecord& r) {
    return frameMessage(r.type, r.payload.data(), r.length);
}

std::vector<std::vector<uint8_t>> clipMessages(const ClipItem& item) {
    std::vector<std::vector<uint8_t>> out;
    std::string header(6, '\0');
    header[0] = static_cast<char>(item.kind);
    header[1] = item.isPrivate ? 1 : 0;
    writeU32(reinterpret_cast<uint8_t*>(header.data()) + 2,
             static_cast<uint32_t>(item.data.size()));
    header += item.mime;
    out.push_back(frameMessage(input_msg::kClipHeader, header.data(), header.size()));
    for (size_t at = 0; at < item.data.size(); at += kClipChunkSize) {
        const size_t n = std::min(kClipChunkSize, item.data.size() - at);
        out.push_back(frameMessage(input_msg::kClipChunk, item.data.data() + at, n));
    }
    return out;
}

uint32_t helperPayloadLimit(uint8_t type) {
    return type == input_msg::kClipHeader || type == input_msg::kClipChunk ? 65536 : 4096;
}

int32_t textNumber(const TextMap& map, const std::string& key) {
    const auto it = map.find(key);
    if (it == map.end() || it->second.empty()) return 0;
    const std::string& s = it->second;
    size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (i == s.size()) return 0;
    int64_t value = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return 0;
        value = value * 10 + (s[i] - '0');
        if (value > INT32_MAX) return 0;
    }
    return static_cast<int32_t>(s[0] == '-' ? -value : value);
}

}  // namespace tov
