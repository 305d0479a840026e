#include "wifi/wifi_shared.h"

#include <algorithm>
#include <chrono>

#include "platform/clock.h"

namespace tov {

void WifiShared::post(Job job, bool user) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        jobs_.push_back(std::move(job));
        if (user && background_) background_->cancel();
    }
    wake_.notify_all();
}

bool WifiShared::nextJob(uint64_t wakeAtMs, Job& job) {
    std::unique_lock lock(mutex_);
    while (!stopping_ && jobs_.empty()) {
        const uint64_t now = tickMs();
        if (wakeAtMs <= now) break;
        wake_.wait_for(lock, std::chrono::milliseconds(std::min<uint64_t>(wakeAtMs - now, 60000)));
    }
    if (stopping_) return false;
    if (!jobs_.empty()) {
        job = std::move(jobs_.front());
        jobs_.pop_front();
    }
    return true;
}

void WifiShared::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
        if (cardCancel_) cardCancel_->cancel();
        if (background_) background_->cancel();
        work_->cancel();
    }
    wake_.notify_all();
}

bool WifiShared::pause(uint32_t ms, const CommandCancel& cancel) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(ms),
                   [&] { return stopping_ || cancel.cancelled(); });
    return !stopping_ && !cancel.cancelled();
}

std::shared_ptr<CommandCancel> WifiShared::backgroundTry() {
    std::lock_guard lock(mutex_);
    background_ = std::make_shared<CommandCancel>();
    // An operation that came in meanwhile goes first.
    if (stopping_ || !jobs_.empty()) background_->cancel();
    return background_;
}

WifiState WifiShared::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

void WifiShared::publish(const std::function<void(WifiState&)>& edit) {
    {
        std::lock_guard lock(mutex_);
        edit(state_);
    }
    if (onChange) onChange();
}

void WifiShared::publishCard(uint64_t generation, const std::function<void(WifiState&)>& edit) {
    {
        std::lock_guard lock(mutex_);
        if (generation != cardGeneration_ || !state_.cardOpen) return;
        edit(state_);
    }
    if (onChange) onChange();
}

WifiShared::Card WifiShared::openCard() {
    Card card;
    card.cancel = std::make_shared<CommandCancel>();
    std::lock_guard lock(mutex_);
    if (cardCancel_) cardCancel_->cancel();
    cardCancel_ = card.cancel;
    card.generation = ++cardGeneration_;
    state_.cardOpen = true;
    state_.step = WifiStep::Starting;
    state_.pairingText.clear();
    state_.status = "Making a pairing code…";
    state_.canRetry = false;
    state_.offers.clear();
    return card;
}

void WifiShared::closeCard() {
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

WifiShared::Card WifiShared::currentCard() {
    std::lock_guard lock(mutex_);
    if (!cardCancel_) cardCancel_ = std::make_shared<CommandCancel>();
    return Card{cardGeneration_, cardCancel_};
}

bool WifiShared::cardIsOpen(uint64_t generation) const {
    std::lock_guard lock(mutex_);
    return generation == cardGeneration_ && state_.cardOpen;
}

WifiStep WifiShared::shownStep() const {
    std::lock_guard lock(mutex_);
    return state_.step;
}

WifiShared::Inputs WifiShared::inputs() const {
    std::lock_guard lock(mutex_);
    return inputs_;
}

void WifiShared::setListed(const std::vector<PhoneEntry>& phones) {
    std::lock_guard lock(mutex_);
    inputs_.listed = phones;
}

void WifiShared::setUseWifi(bool on) {
    std::lock_guard lock(mutex_);
    inputs_.useWifi = on;
}

void WifiShared::setCableKey(const std::string& key) {
    std::lock_guard lock(mutex_);
    inputs_.cableKey = key;
}

}  // namespace tov
