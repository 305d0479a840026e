#include "input/outgoing_queue.h"

#include <algorithm>

namespace tov {
namespace {

// Takes at most `limit` (either sign) out of an accumulator.
int32_t takeClamped(int32_t& acc, int32_t limit) {
    const int32_t part = std::clamp(acc, -limit, limit);
    acc -= part;
    return part;
}

// Adding to an accumulator never overflows: a runaway total is held at the type's end.
void addSaturated(int32_t& acc, int32_t v) {
    const int64_t sum = static_cast<int64_t>(acc) + v;
    acc = static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN + 1, INT32_MAX));
}

}  // namespace

void OutgoingQueue::queueEvent(const EventRecord& record) {
    flushMotion();
    if (isTouchMove(record) && !events_.empty() && isTouchMove(events_.back()) &&
        touchPointer(events_.back()) == touchPointer(record)) {
        events_.back() = record;
        return;
    }
    events_.push_back(record);
}

void OutgoingQueue::mouseMotion(uint8_t buttons, int32_t dx, int32_t dy, int32_t wheel,
                                int32_t hWheel) {
    const bool buttonsChanged = buttons != buttons_;
    if (motionPending_ && buttonsChanged) flushMotion();
    buttons_ = buttons;
    addSaturated(accDx_, dx);
    addSaturated(accDy_, dy);
    addSaturated(accWheel_, wheel);
    addSaturated(accHWheel_, hWheel);
    motionPending_ = true;
    if (buttonsChanged || wheel != 0 || hWheel != 0) flushMotion();
}

void OutgoingQueue::queueBulk(std::vector<uint8_t> framed) {
    bulk_.push_back(std::move(framed));
}

void OutgoingQueue::dropClipItems() {
    std::erase_if(bulk_, [](const std::vector<uint8_t>& m) {
        return m.empty() || m[0] != input_msg::kClipOptions;
    });
}

void OutgoingQueue::clear() {
    events_.clear();
    bulk_.clear();
    motionPending_ = false;
    buttons_ = 0;
    accDx_ = accDy_ = accWheel_ = accHWheel_ = 0;
}

void OutgoingQueue::flushMotion() {
    while (motionPending_) events_.push_back(takeReport());
}

EventRecord OutgoingQueue::takeReport() {
    const int32_t dx = takeClamped(accDx_, 32767);
    const int32_t dy = takeClamped(accDy_, 32767);
    const int32_t wheel = takeClamped(accWheel_, 127);
    const int32_t hWheel = takeClamped(accHWheel_, 127);
    motionPending_ = accDx_ != 0 || accDy_ != 0 || accWheel_ != 0 || accHWheel_ != 0;
    return mouseReportRecord(buttons_, static_cast<int16_t>(dx), static_cast<int16_t>(dy),
                             static_cast<int8_t>(wheel), static_cast<int8_t>(hWheel));
}

OutgoingQueue::Next OutgoingQueue::takeNext(int64_t now, int64_t nextPing) {
    Next next;
    const bool reportDue = motionPending_ && now - lastReportMicros_ >= kReportIntervalMicros;
    if (!events_.empty()) {
        next.kind = NextKind::Event;
        next.record = events_.front();
        next.isMouseReport = next.record.type == input_msg::kMouseReport;
        events_.pop_front();
    } else if (!bulk_.empty() && !reportDue) {
        next.kind = NextKind::Bulk;
        next.bulk = std::move(bulk_.front());
        bulk_.pop_front();
    } else if (reportDue) {
        next.kind = NextKind::Event;
        next.record = takeReport();
        next.isMouseReport = true;
        lastReportMicros_ = now;
    } else if (now < nextPing) {
        next.kind = NextKind::Wait;
        int64_t until = nextPing;
        if (motionPending_) until = std::min(until, lastReportMicros_ + kReportIntervalMicros);
        next.waitUntil = std::max(until, now + 100);
    } else {
        next.kind = NextKind::Ping;
    }
    return next;
}

}  // namespace tov
