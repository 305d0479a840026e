// When and where to try a remembered phone that adb does not list over Wi-Fi: at once when
// discovery shows it at a new address (it came back, perhaps at a new port), otherwise at the
// address it was last seen at, after a pause that grows from a few seconds to a minute. An
// address where another phone answered is that phone's now: it is not tried again, and the
// phone waits until discovery shows it somewhere else.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/wifi_state.h"
#include "wifi/wifi_answers.h"

namespace tov {

struct ReconnectTry {
    std::string key;
    std::string name;
    std::string address;
};

// The pause after `failures` failed tries: first, growing by half each time, at most max.
uint32_t retryDelayMs(int failures, uint32_t firstMs, uint32_t maxMs);

class ReconnectPlan {
  public:
    ReconnectPlan(uint32_t firstDelayMs, uint32_t maxDelayMs)
        : firstMs_(firstDelayMs), maxMs_(maxDelayMs) {}

    // What discovery shows now of the missing phones: one that appears, or moves, is due at once.
    void observe(const std::vector<WifiRemembered>& missing,
                 const std::vector<MdnsService>& services);
    // The try that is due now among `missing` (remembered, not listed, allowed), or none.
    std::optional<ReconnectTry> next(const std::vector<WifiRemembered>& missing,
                                     uint64_t nowMs) const;
    // When the next try falls due; UINT64_MAX when nothing is missing.
    uint64_t nextDueMs(const std::vector<WifiRemembered>& missing) const;

    // The try failed; `otherPhone`: because another phone holds its address.
    void failed(const ReconnectTry& attempt, uint64_t nowMs, bool otherPhone = false);
    // The phone is back (or listed, or forgotten): its pauses start over.
    void reset(const std::string& key) { records_.erase(key); }

  private:
    struct Record {
        int failures = 0;
        uint64_t dueMs = 0;
        std::string discovered;  // where discovery showed the phone at the last look
        std::string taken;       // an address where another phone answered
    };
    // Where to try the phone now that its record allows; empty while it waits for discovery.
    static std::string where(const WifiRemembered& phone, const Record* record);

    uint32_t firstMs_;
    uint32_t maxMs_;
    std::map<std::string, Record> records_;
};

}  // namespace tov
