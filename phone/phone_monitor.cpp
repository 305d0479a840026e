#include "phone/phone_monitor.h"

#include <chrono>

#include "core/log.h"
#include "phone/device_list.h"
#include "phone/phone_identity.h"
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

std::wstring PhoneMonitor::serialArgs() const {
    std::lock_guard lock(mutex_);
    return choice_.serial.empty() ? std::wstring() : adbPrefix(choice_.serial);
}

void PhoneMonitor::loop() {
    while (true) {
        runPass();
        std::unique_lock lock(timerMutex_);
        timer_.wait_for(lock, std::chrono::milliseconds(options_.pollIntervalMs),
                        [this] { return stopRequested_ || wakeRequested_; });
        wakeRequested_ = false;
        if (stopRequested_) return;
    }
}

void PhoneMonitor::runPass() {
    std::lock_guard pass(passMutex_);
    if (adbPath_.empty()) adbPath_ = options_.findAdb();
    if (!adbPath_.empty()) {
        poll();
        return;
    }
    bool wasMissing = false;
    {
        std::lock_guard lock(mutex_);
        wasMissing = choice_.adbMissing;
        choice_ = PhoneChoice{};
        choice_.adbMissing = true;
        phones_.clear();
    }
    identities_.clear();
    if (!wasMissing && onChange) onChange();
}

void PhoneMonitor::queryIdentity(const std::string& serial, const std::string& listedModel,
                                 CacheEntry& entry) {
    std::string answer;
    options_.runAdb(adbPath_, adbPrefix(serial) + kIdentityQueryArgs, &answer,
                    kIdentityQueryTimeoutMs);
    const PhoneIdentity identity = identityFromAnswer(answer, serial, listedModel);
    entry.key = identity.key;
    entry.name = identity.name;
    logLine("phones: %s is %s (%s)", serial.c_str(), entry.key.c_str(), entry.name.c_str());
}

void PhoneMonitor::poll() {
    std::string output;
    std::vector<AdbDevice> devices;
    if (options_.runAdb(adbPath_, L"devices -l", &output, kDevicesTimeoutMs)) {
        devices = parseDeviceList(output);
    }

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
        if (entry.key.empty()) queryIdentity(d->serial, d->model, entry);
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
}

}  // namespace tov
