// WifiPhones: the panel's operations queued for the worker thread, which owns everything it
// knows (WifiWorker) for as long as it runs.
#include "wifi/wifi_phones.h"

#include "wifi/wifi_worker.h"

namespace tov {

WifiPhones::WifiPhones(Options options) : options_(std::move(options)) {}

WifiPhones::~WifiPhones() {
    stop();
}

void WifiPhones::start() {
    std::lock_guard lock(threadMutex_);
    if (thread_.joinable() || stopped_) return;
    shared_.onChange = [this] {
        if (onChange) onChange();
    };
    thread_ = std::thread([this] {
        WifiWorker worker(options_, shared_);
        worker.run();
    });
}

void WifiPhones::stop() {
    shared_.stop();
    std::lock_guard lock(threadMutex_);
    stopped_ = true;
    if (thread_.joinable()) thread_.join();
}

WifiState WifiPhones::state() const {
    return shared_.state();
}

void WifiPhones::openQrCard() {
    const WifiShared::Card card = shared_.openCard();
    shared_.post([card](WifiWorker& w) { w.openCard(card); }, true);
}

void WifiPhones::closeCard() {
    shared_.closeCard();
    // Wakes the worker, which then sees the card is gone and stops looking.
    shared_.post([](WifiWorker& w) { w.cardClosed(); }, false);
}

void WifiPhones::pairWithCode(const std::string& address, const std::string& code) {
    const WifiShared::Card card = shared_.currentCard();
    shared_.post([card, address, code](WifiWorker& w) { w.pairWithCode(card, address, code); },
                 true);
}

void WifiPhones::useOverWifi(const std::string& usbSerial) {
    shared_.post([usbSerial](WifiWorker& w) { w.useOverWifi(usbSerial); }, true);
}

void WifiPhones::forget(const std::string& key) {
    shared_.post([key](WifiWorker& w) { w.forget(key); }, true);
}

void WifiPhones::setListedPhones(const std::vector<PhoneEntry>& phones) {
    shared_.setListed(phones);
    shared_.post([](WifiWorker& w) { w.listChanged(); }, false);
}

void WifiPhones::setUseWifi(bool on) {
    shared_.setUseWifi(on);
    shared_.post([](WifiWorker& w) { w.inputsChanged(); }, false);
}

void WifiPhones::setCableStream(const std::string& key) {
    shared_.setCableKey(key);
    shared_.post([](WifiWorker& w) { w.inputsChanged(); }, false);
}

}  // namespace tov
