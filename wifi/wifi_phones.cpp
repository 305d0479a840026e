// WifiPhones: the worker thread, the queue of the panel's operations, and the published state.
#include "wifi/wifi_phones.h"

#include <algorithm>
#include <chrono>

#include "core/log.h"
#include "platform/clock.h"
#include "wifi/remembered_phones.h"

namespace tov {

WifiPhones::WifiPhones(Options options)
    : options_(std::move(options)),
      adb_(options_.findAdb, options_.runAdb),
      plan_(options_.firstRetryMs, options_.maxRetryMs) {}

WifiPhones::~WifiPhones() {
    stop();
}

void WifiPhones::start() {
    std::lock_guard lock(mutex_);
    if (thread_.joinable() || stopping_) return;
    thread_ = std::thread([this] { loop(); });
}

void WifiPhones::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
        if (cardCancel_) cardCancel_->cancel();
        workCancel_->cancel();
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

WifiState WifiPhones::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

void WifiPhones::post(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        jobs_.push_back(std::move(job));
    }
    wake_.notify_all();
}

void WifiPhones::openQrCard() {
    uint64_t generation = 0;
    std::shared_ptr<CommandCancel> cancel = std::make_shared<CommandCancel>();
    {
        std::lock_guard lock(mutex_);
        if (cardCancel_) cardCancel_->cancel();
        cardCancel_ = cancel;
        generation = ++cardGeneration_;
        state_.cardOpen = true;
        state_.step = WifiStep::Starting;
        state_.pairingText.clear();
        state_.status = "Making a pairing code…";
        state_.canRetry = false;
        state_.offers.clear();
    }
    post([this, generation, cancel] { startCard(generation, cancel); });
}

void WifiPhones::closeCard() {
    {
        std::lock_guard lock(mutex_);
        if (cardCancel_) cardCancel_->cancel();
        cardCancel_.reset();
        ++cardGeneration_;
        state_.cardOpen = false;
        state_.step = WifiStep::Closed;
        state_.pairingText.clear();
        state_.status.clear();
        state_.canRetry = false;
        state_.offers.clear();
    }
    // Wakes the worker, which then sees the card is gone and stops looking.
    post([this] { publish([](WifiState&) {}); });
}

void WifiPhones::pairWithCode(const std::string& address, const std::string& code) {
    uint64_t generation = 0;
    std::shared_ptr<CommandCancel> cancel;
    {
        std::lock_guard lock(mutex_);
        if (!cardCancel_) cardCancel_ = std::make_shared<CommandCancel>();
        cancel = cardCancel_;
        generation = cardGeneration_;
    }
    post([this, generation, cancel, address, code] {
        adoptCard(generation, cancel);
        pairWithCodeNow(address, code);
    });
}

void WifiPhones::useOverWifi(const std::string& usbSerial) {
    post([this, usbSerial] { useOverWifiNow(usbSerial); });
}

void WifiPhones::forget(const std::string& key) {
    post([this, key] { forgetNow(key); });
}

void WifiPhones::setListedPhones(const std::vector<PhoneEntry>& phones) {
    {
        std::lock_guard lock(mutex_);
        listed_ = phones;
    }
    post([this] {
        nextReconnectMs_ = 0;
        retireUnplugNote();
    });
}

void WifiPhones::setUseWifi(bool on) {
    {
        std::lock_guard lock(mutex_);
        useWifi_ = on;
    }
    post([this] { nextReconnectMs_ = 0; });
}

void WifiPhones::setCableStream(const std::string& key) {
    {
        std::lock_guard lock(mutex_);
        cableStreamKey_ = key;
    }
    post([this] { nextReconnectMs_ = 0; });
}

void WifiPhones::publish(const std::function<void(WifiState&)>& edit) {
    {
        std::lock_guard lock(mutex_);
        edit(state_);
    }
    if (onChange) onChange();
}

void WifiPhones::publishCard(uint64_t generation, const std::function<void(WifiState&)>& edit) {
    {
        std::lock_guard lock(mutex_);
        if (generation != cardGeneration_ || !state_.cardOpen) return;
        edit(state_);
    }
    if (onChange) onChange();
}

void WifiPhones::publishCardStep(uint64_t generation, WifiStep step, const std::string& status,
                                 bool canRetry) {
    publishCard(generation, [&](WifiState& s) {
        s.step = step;
        s.status = status;
        s.canRetry = canRetry;
    });
}

void WifiPhones::publishNote(const std::string& note, bool failed) {
    unplugNoteKey_.clear();
    publish([&](WifiState& s) {
        s.note = note;
        s.noteFailed = failed;
        ++s.noteNumber;
    });
}

void WifiPhones::retireUnplugNote() {
    if (unplugNoteKey_.empty()) return;
    std::vector<PhoneEntry> listed;
    {
        std::lock_guard lock(mutex_);
        listed = listed_;
    }
    for (const PhoneEntry& phone : listed) {
        if (phone.key == unplugNoteKey_ && phone.wifi && !phone.usb) {
            publishNote(phone.name + " is connected over Wi-Fi.", false);
            return;
        }
    }
}

void WifiPhones::publishRemembered() {
    std::vector<WifiRemembered> copy = remembered_;
    publish([&](WifiState& s) { s.remembered = std::move(copy); });
}

bool WifiPhones::pause(uint32_t ms, const CommandCancel& cancel) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(ms),
                   [&] { return stopping_ || cancel.cancelled(); });
    return !stopping_ && !cancel.cancelled();
}

uint64_t WifiPhones::nextWakeMs() const {
    uint64_t wake = nextReconnectMs_;
    if (card_.polling) wake = std::min(wake, card_.nextPollMs);
    return wake;
}

void WifiPhones::loop() {
    const std::wstring path = options_.settingsPath ? options_.settingsPath() : std::wstring();
    remembered_ = readRememberedPhones(path);
    if (!remembered_.empty()) logLine("wifi: %zu remembered phones", remembered_.size());
    publishRemembered();
    while (true) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            while (!stopping_ && jobs_.empty()) {
                const uint64_t wakeAt = nextWakeMs();
                const uint64_t now = tickMs();
                if (wakeAt <= now) break;
                wake_.wait_for(lock,
                               std::chrono::milliseconds(std::min<uint64_t>(wakeAt - now, 60000)));
            }
            if (stopping_) return;
            if (!jobs_.empty()) {
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
        }
        if (job) {
            job();
            continue;
        }
        const uint64_t now = tickMs();
        if (card_.polling && now >= card_.nextPollMs) cardStep();
        if (tickMs() >= nextReconnectMs_) reconnectStep();
    }
}

}  // namespace tov
