// WifiWorker: connecting remembered phones again. While "Use Wi-Fi" is on, a remembered phone
// that adb does not list over Wi-Fi is connected when discovery shows it, or at its last address
// after pauses that grow to a minute; one try at a time, never while its stream runs over its
// cable, and never at an address another phone holds now. A try is background work: the user's
// operations end it and it is made again after them.
#include <algorithm>

#include "core/log.h"
#include "platform/clock.h"
#include "wifi/wifi_worker.h"

namespace tov {
namespace {

// A background connect gives up sooner than one the user waits for: a phone that is away often
// does not answer at all.
constexpr uint32_t kBackgroundConnectMs = 5000;

}  // namespace

std::vector<WifiRemembered> WifiWorker::missingPhones(uint64_t nowMs) {
    const WifiShared::Inputs in = shared_.inputs();
    bool changed = false;
    std::vector<WifiRemembered> missing;
    std::vector<std::string> gone;  // phones that dropped off the network since the last look
    for (WifiRemembered& phone : remembered_) {
        // A connection the phone list could not identify yet goes by its serial: the address.
        const bool listedNow =
            std::any_of(in.listed.begin(), in.listed.end(), [&](const PhoneEntry& e) {
                return e.wifi && (e.key == phone.key || e.key == phone.address);
            });
        if (listedNow) {
            plan_.reset(phone.key);
            if (settling_.erase(phone.key) > 0) {
                logLine("wifi: %s is listed over Wi-Fi", phone.key.c_str());
            }
        }
        // A fresh connection counts as connected until the phone list has caught up with it.
        const auto settling = settling_.find(phone.key);
        const bool settlingNow = settling != settling_.end() && nowMs < settling->second;
        const bool connected = listedNow || settlingNow;
        if (phone.connected && !connected && in.useWifi) {
            gone.push_back(phone.name.empty() ? phone.key : phone.name);
        }
        changed = changed || connected != phone.connected;
        phone.connected = connected;
        if (connected) continue;
        if (in.useWifi && phone.key != in.cableKey) missing.push_back(phone);
    }
    if (changed) publishRemembered();
    for (const std::string& name : gone) {
        logLine("wifi: %s dropped off the network", name.c_str());
        publishNote(name + " dropped off Wi-Fi. Tovenmar connects it again when it's back.", false);
    }
    return missing;
}

const WifiRemembered* WifiWorker::connectedElsewhere(const std::string& key,
                                                     const std::string& address) const {
    for (const WifiRemembered& p : remembered_) {
        if (p.key != key && p.connected && p.address == address) return &p;
    }
    return nullptr;
}

void WifiWorker::reconnectStep() {
    const uint64_t now = tickMs();
    std::erase_if(settling_, [&](const auto& entry) { return entry.second <= now; });
    const std::vector<WifiRemembered> missing = missingPhones(now);
    uint64_t next = UINT64_MAX;
    for (const auto& [key, until] : settling_) next = std::min(next, until);
    if (missing.empty()) {
        nextReconnectMs_ = next;
        return;
    }
    // Cut short by one of the user's operations, the step is made again right after it.
    const std::shared_ptr<CommandCancel> cancel = shared_.backgroundTry();
    const std::optional<bool> discovery = discovery_.available(*cancel);
    if (!discovery) {
        // No adb: look again later.
        nextReconnectMs_ = cancel->cancelled() ? tickMs() : now + options_.maxRetryMs;
        return;
    }
    if (*discovery) {
        const std::optional<std::vector<MdnsService>> services =
            discovery_.services(*cancel, options_.discoveryPollMs / 2);
        if (!services) {
            nextReconnectMs_ = tickMs() + (cancel->cancelled() ? 0 : options_.discoveryPollMs);
            return;
        }
        plan_.observe(missing, *services);
    }
    if (const std::optional<ReconnectTry> attempt = plan_.next(missing, now)) {
        tryAgain(*attempt, *cancel);
    }
    next = std::min(next, plan_.nextDueMs(missingPhones(tickMs())));
    if (*discovery) next = std::min<uint64_t>(next, tickMs() + options_.discoveryPollMs);
    nextReconnectMs_ = std::max(next, tickMs() + 50);
}

void WifiWorker::tryAgain(const ReconnectTry& attempt, const CommandCancel& cancel) {
    if (const WifiRemembered* holder = connectedElsewhere(attempt.key, attempt.address)) {
        logLine("wifi: %s is connected at %s, not the phone remembered there", holder->key.c_str(),
                attempt.address.c_str());
        plan_.failed(attempt, tickMs(), true);
        return;
    }
    logLine("wifi: connecting %s again at %s", attempt.name.c_str(), attempt.address.c_str());
    const auto phone = std::find_if(remembered_.begin(), remembered_.end(),
                                    [&](const WifiRemembered& p) { return p.key == attempt.key; });
    const std::string service = phone == remembered_.end() ? std::string() : phone->service;
    const Connected c =
        connectAndRemember(attempt.address, service, cancel, 1, attempt.key, kBackgroundConnectMs);
    if (c.ok) {
        publishNote(c.phone.name + " is back over Wi-Fi.", false);
    } else if (!cancel.cancelled()) {
        plan_.failed(attempt, tickMs(), c.otherPhone);
    }
}

}  // namespace tov
