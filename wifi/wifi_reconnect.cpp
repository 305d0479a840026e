// WifiPhones: connecting remembered phones again. While "Use Wi-Fi" is on, a remembered phone
// that adb does not list over Wi-Fi is connected when discovery shows it, or at its last address
// after pauses that grow to a minute; one try at a time, and never while its stream runs over
// its cable.
#include <algorithm>

#include "core/log.h"
#include "platform/clock.h"
#include "wifi/wifi_phones.h"

namespace tov {
namespace {

constexpr uint32_t kCheckTimeoutMs = 10000;
constexpr uint32_t kServicesTimeoutMs = 10000;
// An adb without discovery is asked again now and then (it may be replaced or restarted).
constexpr uint32_t kRecheckDiscoveryMs = 60000;

}  // namespace

std::vector<WifiRemembered> WifiPhones::missingPhones(uint64_t nowMs) {
    std::vector<PhoneEntry> listed;
    bool useWifi = false;
    std::string cableKey;
    {
        std::lock_guard lock(mutex_);
        listed = listed_;
        useWifi = useWifi_;
        cableKey = cableStreamKey_;
    }
    bool changed = false;
    std::vector<WifiRemembered> missing;
    std::vector<std::string> gone;  // phones that dropped off the network since the last look
    for (WifiRemembered& phone : remembered_) {
        const bool listedNow = std::any_of(listed.begin(), listed.end(), [&](const PhoneEntry& e) {
            return e.key == phone.key && e.wifi;
        });
        if (listedNow) {
            plan_.reset(phone.key);
            settling_.erase(phone.key);
        }
        // A fresh connection counts as connected until the phone list has caught up with it.
        const auto settling = settling_.find(phone.key);
        const bool settlingNow = settling != settling_.end() && nowMs < settling->second;
        const bool connected = listedNow || settlingNow;
        if (phone.connected && !connected && useWifi) {
            gone.push_back(phone.name.empty() ? phone.key : phone.name);
        }
        changed = changed || connected != phone.connected;
        phone.connected = connected;
        if (connected) continue;
        if (useWifi && phone.key != cableKey) missing.push_back(phone);
    }
    if (changed) publishRemembered();
    for (const std::string& name : gone) {
        logLine("wifi: %s dropped off the network", name.c_str());
        publishNote(name + " dropped off Wi-Fi. Tovenmar connects it again when it's back.", false);
    }
    return missing;
}

void WifiPhones::reconnectStep() {
    const uint64_t now = tickMs();
    std::erase_if(settling_, [&](const auto& entry) { return entry.second <= now; });
    const std::vector<WifiRemembered> missing = missingPhones(now);
    uint64_t next = UINT64_MAX;
    for (const auto& [key, until] : settling_) next = std::min(next, until);
    if (missing.empty()) {
        nextReconnectMs_ = next;
        return;
    }
    const CommandCancel& cancel = *workCancel_;
    if (!reconnectDiscoveryChecked_ || (!reconnectDiscovery_ && now >= nextDiscoveryMs_)) {
        const WifiAdb::Result r =
            adb_.run("mdns check", kCheckTimeoutMs, cancel, {}, WifiAdb::Log::WhenChanged);
        if (!r.ran) {
            nextReconnectMs_ = now + options_.maxRetryMs;  // no adb: look again later
            return;
        }
        reconnectDiscoveryChecked_ = true;
        reconnectDiscovery_ = discoveryAvailable(r.output);
        nextDiscoveryMs_ = reconnectDiscovery_ ? now : now + kRecheckDiscoveryMs;
    }
    if (reconnectDiscovery_ && now >= nextDiscoveryMs_) {
        const WifiAdb::Result r =
            adb_.run("mdns services", kServicesTimeoutMs, cancel, {}, WifiAdb::Log::WhenChanged);
        if (!r.ran) return;
        plan_.observe(missing, parseMdnsServices(r.output));
        nextDiscoveryMs_ = now + options_.discoveryPollMs;
    }
    if (const std::optional<ReconnectTry> attempt = plan_.next(missing, now)) {
        logLine("wifi: connecting %s again at %s", attempt->name.c_str(), attempt->address.c_str());
        const auto phone =
            std::find_if(remembered_.begin(), remembered_.end(),
                         [&](const WifiRemembered& p) { return p.key == attempt->key; });
        const std::string service = phone == remembered_.end() ? std::string() : phone->service;
        const Connected c = connectAndRemember(attempt->address, service, cancel, 1, attempt->key);
        if (c.ok) {
            publishNote(c.phone.name + " is back over Wi-Fi.", false);
        } else if (!cancel.cancelled()) {
            plan_.failed(*attempt, tickMs());
        }
    }
    next = std::min(next, plan_.nextDueMs(missingPhones(tickMs())));
    if (reconnectDiscovery_) next = std::min(next, nextDiscoveryMs_);
    nextReconnectMs_ = std::max(next, tickMs() + 50);
}

}  // namespace tov
