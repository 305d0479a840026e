#include "wifi/reconnect_plan.h"

#include <algorithm>
#include <cstdint>

namespace tov {
namespace {

// Where discovery shows the phone, or empty. Wireless debugging announces it under its own
// name; adbd on plain TCP under a name that says little, so that one is known by its host.
std::string discoveredAddress(const WifiRemembered& phone,
                              const std::vector<MdnsService>& services) {
    std::string lastHost;
    int lastPort = 0;
    splitAddress(phone.address, lastHost, lastPort);
    for (const MdnsService& s : services) {
        if (s.type == kConnectServiceType && !phone.service.empty() && s.name == phone.service) {
            return s.address;
        }
    }
    for (const MdnsService& s : services) {
        std::string host;
        int port = 0;
        if (s.type == kPlainServiceType && phone.service.empty() &&
            splitAddress(s.address, host, port) && host == lastHost) {
            return s.address;
        }
    }
    return {};
}

}  // namespace

uint32_t retryDelayMs(int failures, uint32_t firstMs, uint32_t maxMs) {
    uint64_t delay = firstMs;
    for (int i = 1; i < failures && delay < maxMs; ++i) delay += delay / 2;
    return static_cast<uint32_t>(std::min<uint64_t>(delay, maxMs));
}

void ReconnectPlan::observe(const std::vector<WifiRemembered>& missing,
                            const std::vector<MdnsService>& services) {
    for (const WifiRemembered& phone : missing) {
        Record& record = records_[phone.key];
        const std::string found = discoveredAddress(phone, services);
        if (!found.empty() && found != record.discovered) record.dueMs = 0;
        record.discovered = found;
    }
}

std::string ReconnectPlan::where(const WifiRemembered& phone, const Record* record) {
    const std::string found = record ? record->discovered : std::string();
    const std::string address = found.empty() ? phone.address : found;
    return record && address == record->taken ? std::string() : address;
}

std::optional<ReconnectTry> ReconnectPlan::next(const std::vector<WifiRemembered>& missing,
                                                uint64_t nowMs) const {
    for (const WifiRemembered& phone : missing) {
        const auto it = records_.find(phone.key);
        const Record* record = it == records_.end() ? nullptr : &it->second;
        if (record && nowMs < record->dueMs) continue;
        const std::string address = where(phone, record);
        if (!address.empty()) return ReconnectTry{phone.key, phone.name, address};
    }
    return std::nullopt;
}

uint64_t ReconnectPlan::nextDueMs(const std::vector<WifiRemembered>& missing) const {
    uint64_t due = UINT64_MAX;
    for (const WifiRemembered& phone : missing) {
        const auto it = records_.find(phone.key);
        const Record* record = it == records_.end() ? nullptr : &it->second;
        if (where(phone, record).empty()) continue;
        due = std::min<uint64_t>(due, record ? record->dueMs : 0);
    }
    return due;
}

void ReconnectPlan::failed(const ReconnectTry& attempt, uint64_t nowMs, bool otherPhone) {
    Record& record = records_[attempt.key];
    ++record.failures;
    record.dueMs = nowMs + retryDelayMs(record.failures, firstMs_, maxMs_);
    if (otherPhone) record.taken = attempt.address;
}

}  // namespace tov
