#include "phone/phone_monitor.h"

#include <algorithm>
#include <chrono>

#include "core/log.h"
#include "phone/phone_identity.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace tov {

PhoneMonitor::PhoneMonitor() : PhoneMonitor(Options{}) {}

PhoneMonitor::PhoneMonitor(Options options) : options_(std::move(options)) {}

PhoneMonitor::~PhoneMonitor() {
    stop();
}

void PhoneMonitor::start() {
    std::lock_guard lock(timerMutex_);
    if (thread_.joinable()) return;
    stopRequested_ = false;
    thread_ = std::thread([this] { loop(); });
}

void PhoneMonitor::stop() {
    {
        std::lock_guard lock(timerMutex_);
        stopRequested_ = true;
    }
    timer_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void PhoneMonitor::wake() {
    {
        std::lock_guard lock(timerMutex_);
        wakeRequested_ = true;
    }
    timer_.notify_all();
}

void PhoneMonitor::setPinned(const std::string& key) {
    {
        std::lock_guard lock(mutex_);
        inputs_.pinned = key;
    }
    wake();
}

void PhoneMonitor::setPreferUsb(bool on) {
    {
        std::lock_guard lock(mutex_);
        inputs_.preferUsb = on;
    }
    wake();
}

void PhoneMonitor::setWifi(bool on) {
    {
        std::lock_guard lock(mutex_);
        inputs_.useWifi = on;
    }
    wake();
}

void PhoneMonitor::setLast(const std::string& key) {
    std::lock_guard lock(mutex_);
    inputs_.last = key;
}

std::string PhoneMonitor::last() const {
    std::lock_guard lock(mutex_);
    return inputs_.last;
}

std::vector<PhoneEntry> PhoneMonitor::phones() const {
    std::lock_guard lock(mutex_);
    return phones_;
}

PhoneChoice PhoneMonitor::choice() const {
    std::lock_guard lock(mutex_);
    return choice_;
}

PhoneChoice PhoneMonitor::choiceFor(const std::string& key) const {
    std::lock_guard lock(mutex_);
    for (const PhoneChoice& c : connections_) {
        if (c.key == key) return c;
    }
    PhoneChoice none;
    none.key = key;
    none.adbMissing = choice_.adbMissing;
    return none;
}

std::wstring PhoneMonitor::serialArgs() const {
    std::lock_guard lock(mutex_);
    return choice_.serial.empty() ? std::wstring() : adbPrefix(choice_.serial);
}

bool PhoneMonitor::followingFeed() const {
    std::lock_guard lock(timerMutex_);
    return feedList_.has_value();
}

void PhoneMonitor::loop() {
    feedRetryMs_ = options_.feedRetryFirstMs;
    feedDueMs_ = 0;
    while (true) {
        bool passAgain = false;
        if (haveAdb()) {
            tendFeed();
            // A feed started just now gets one interval to give its first list before a poll.
            bool listed = false;
            {
                std::lock_guard lock(timerMutex_);
                listed = feedList_.has_value();
            }
            if (!feed_ || listed || tickMs() - feedStartedMs_ >= options_.pollIntervalMs) {
                passAgain = pass();
            }
        }
        if (!waitForWork(passAgain)) break;
    }
    if (feed_) feed_->stop();
    feed_.reset();
}

bool PhoneMonitor::waitForWork(bool passAgain) {
    std::unique_lock lock(timerMutex_);
    // Following the feed, the thread sleeps until a list, a setter or the feed's end, or one
    // interval while a connection is too new to count; otherwise it polls each interval.
    const bool following = feed_ && feedList_;
    const auto woken = [this] {
        return stopRequested_ || wakeRequested_ || feedListNew_ || feedEnded_;
    };
    if (following && !passAgain) {
        timer_.wait(lock, woken);
    } else {
        timer_.wait_for(lock, std::chrono::milliseconds(options_.pollIntervalMs), woken);
    }
    wakeRequested_ = false;
    feedListNew_ = false;
    return !stopRequested_;
}

void PhoneMonitor::tendFeed() {
    if (!options_.startFeed) return;
    const uint64_t now = tickMs();
    if (feed_) {
        std::string why;
        {
            std::lock_guard lock(timerMutex_);
            if (feedEnded_) {
                why = feedEndReason_;
            } else if (!feedList_ && now - feedStartedMs_ >= kDevicesTimeoutMs) {
                why = "no list within " + std::to_string(kDevicesTimeoutMs / 1000) + " s";
            }
        }
        if (!why.empty()) dropFeed(why);
    }
    if (feed_ || now < feedDueMs_) return;
    DeviceFeed::Events events;
    events.list = [this](std::string list) {
        {
            std::lock_guard lock(timerMutex_);
            feedList_ = std::move(list);
            feedListNew_ = true;
        }
        timer_.notify_all();
    };
    events.ended = [this](const std::string& why) {
        {
            std::lock_guard lock(timerMutex_);
            feedList_.reset();  // from now on the list is polled
            feedEnded_ = true;
            feedEndReason_ = why;
        }
        timer_.notify_all();
    };
    {
        std::lock_guard lock(timerMutex_);
        feedList_.reset();
        feedEnded_ = false;
    }
    std::wstring adbPath;
    {
        std::lock_guard passLock(passMutex_);
        adbPath = adbPath_;
    }
    feed_ = DeviceFeed::start(options_.startFeed, adbPath, std::move(events));
    if (feed_) {
        feedStartedMs_ = now;
        logLine("phones: following adb's change feed");
        return;
    }
    logLine("phones: adb's change feed did not start; polling every second, trying again in %u s",
            static_cast<unsigned>(feedRetryMs_ / 1000));
    feedDueMs_ = now + feedRetryMs_;
    feedRetryMs_ = std::min(feedRetryMs_ * 2, options_.feedRetryLastMs);
}

void PhoneMonitor::dropFeed(const std::string& why) {
    feed_->stop();
    feed_.reset();
    const uint64_t now = tickMs();
    {
        std::lock_guard lock(timerMutex_);
        feedList_.reset();
        feedEnded_ = false;
    }
    // A feed that ran long ended for a passing reason (adb's server restarted): back soon.
    if (now - feedStartedMs_ >= options_.feedRetryLastMs) feedRetryMs_ = options_.feedRetryFirstMs;
    logLine("phones: adb's change feed ended (%s); polling every second, trying again in %u s",
            why.c_str(), static_cast<unsigned>(feedRetryMs_ / 1000));
    feedDueMs_ = now + feedRetryMs_;
    feedRetryMs_ = std::min(feedRetryMs_ * 2, options_.feedRetryLastMs);
}

void PhoneMonitor::runPass() {
    if (haveAdb()) pass();
}

bool PhoneMonitor::haveAdb() {
    {
        std::lock_guard passLock(passMutex_);
        if (adbPath_.empty()) adbPath_ = options_.findAdb();
        if (!adbPath_.empty()) return true;
        identities_.clear();
    }
    bool wasMissing = false;
    {
        std::lock_guard lock(mutex_);
        wasMissing = choice_.adbMissing;
        choice_ = PhoneChoice{};
        choice_.adbMissing = true;
        phones_.clear();
        connections_.clear();
    }
    if (!wasMissing && onChange) onChange();
    return false;
}

void PhoneMonitor::queryIdentity(const std::string& serial, const std::string& listedModel,
                                 CacheEntry& entry) {
    std::string answer;
    options_.runAdb(adbPath_, adbPrefix(serial) + kIdentityQueryArgs, &answer,
                    kIdentityQueryTimeoutMs);
    const PhoneIdentity identity = identityFromAnswer(answer, serial, listedModel);
    const bool changed = identity.key != entry.key || identity.name != entry.name;
    entry.key = identity.key;
    entry.name = identity.name;
    entry.known = identity.answered;
    if (changed) {
        logLine("phones: %s is %s (%s)%s", serial.c_str(), entry.key.c_str(), entry.name.c_str(),
                entry.known ? "" : ", until it says who it is");
    }
}

bool PhoneMonitor::pass() {
    std::lock_guard passLock(passMutex_);
    std::optional<std::string> list;
    {
        std::lock_guard lock(timerMutex_);
        list = feedList_;
    }
    if (list) return passOver(parseDeviceList(*list));
    std::string output;
    std::vector<AdbDevice> devices;
    if (options_.runAdb(adbPath_, L"devices -l", &output, kDevicesTimeoutMs)) {
        devices = parseDeviceList(output);
    }
    return passOver(devices);
}

bool PhoneMonitor::passOver(const std::vector<AdbDevice>& devices) {
    std::vector<const AdbDevice*> kept;
    bool sawUnauthorized = false;
    for (const AdbDevice& d : devices) {
        if (d.state == "device") kept.push_back(&d);
        if (d.state == "unauthorized") sawUnauthorized = true;
    }

    for (auto it = identities_.begin(); it != identities_.end();) {
        bool listed = false;
        for (const AdbDevice* d : kept) listed = listed || d->serial == it->first;
        it = listed ? std::next(it) : identities_.erase(it);
    }
    std::vector<ReadyConnection> ready;
    for (const AdbDevice* d : kept) {
        CacheEntry& entry = identities_[d->serial];
        // A phone that could not answer (often just after it connected) is asked again, or its
        // serial would stay its key while the rest of the program knows it by its own.
        if (!entry.known) queryIdentity(d->serial, d->model, entry);
        // A serial listed twice in one answer still counts one poll.
        bool seen = false;
        for (const ReadyConnection& r : ready) seen = seen || r.serial == d->serial;
        if (!seen) ++entry.polls;
        ready.push_back(ReadyConnection{d->serial, entry.key, entry.name, d->wifi, entry.polls});
    }

    PhoneChoice previous;
    ChoiceResult result;
    bool phonesChanged = false;
    {
        std::lock_guard lock(mutex_);
        previous = choice_;
        result = choosePhone(ready, sawUnauthorized, inputs_, previous);
        phonesChanged = !samePhones(phones_, result.phones);
        choice_ = result.choice;
        phones_ = result.phones;
        connections_ = result.connections;
        inputs_.last = result.last;
    }

    const PhoneChoice& now = result.choice;
    const bool serialChanged = now.serial != previous.serial;
    if (serialChanged) {
        if (now.serial.empty()) {
            logLine("phones: using nothing");
        } else {
            const std::string what =
                now.name + " over " + (now.wifi ? "Wi-Fi" : "USB") + " (" + now.serial + ")";
            logLine("phones: using %s", what.c_str());
        }
    }
    if ((serialChanged || now.unauthorized != previous.unauthorized || previous.adbMissing ||
         phonesChanged) &&
        onChange) {
        onChange();
    }
    for (const ReadyConnection& r : ready) {
        if (r.polls < 2) return true;
    }
    for (const auto& [serial, entry] : identities_) {
        if (!entry.known) return true;
    }
    return false;
}

}  // namespace tov
