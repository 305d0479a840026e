// What waits to go to the input helper: small events in order, large framed messages, and the
// mouse accumulator that merges raw motion into at most one report per 2 ms. Not thread-safe:
// the link guards it with its queue lock.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "input/input_messages.h"

namespace tov {

constexpr int64_t kReportIntervalMicros = 2000;

class OutgoingQueue {
  public:
    // Flushes pending motion first so that events keep their order; a touch move right after a
    // move of the same pointer replaces it.
    void queueEvent(const EventRecord& record);
    // Raw mouse motion. Button and wheel changes go out at once, motion waits for its slot.
    void mouseMotion(uint8_t buttons, int32_t dx, int32_t dy, int32_t wheel, int32_t hWheel);
    void queueBulk(std::vector<uint8_t> framed);
    // Drops the clipboard items still waiting; a waiting clipboard options message stays, since
    // the helper would otherwise keep the old options.
    void dropClipItems();
    // Empties both queues and the accumulator, buttons included (a fresh connection).
    void clear();

    enum class NextKind { Event, Bulk, Ping, Wait };
    struct Next {
        NextKind kind = NextKind::Wait;
        EventRecord record;         // Event (a mouse report too)
        std::vector<uint8_t> bulk;  // Bulk
        int64_t waitUntil = 0;      // Wait: the time to look again
        bool isMouseReport = false;
    };
    // The sender's choice at time `now`: an event, then bulk (unless a report is due), then a
    // report in its slot, else a ping when nextPing has come, else how long to wait.
    Next takeNext(int64_t now, int64_t nextPing);

    bool motionPending() const { return motionPending_; }
    bool empty() const { return events_.empty() && bulk_.empty() && !motionPending_; }

  private:
    void flushMotion();
    EventRecord takeReport();

    std::deque<EventRecord> events_;
    std::deque<std::vector<uint8_t>> bulk_;
    bool motionPending_ = false;
    uint8_t buttons_ = 0;
    int32_t accDx_ = 0, accDy_ = 0, accWheel_ = 0, accHWheel_ = 0;
    int64_t lastReportMicros_ = INT64_MIN / 2;
};

}  // namespace tov
