// WifiWorker: the loop of the worker thread, and what it publishes.
#include "wifi/wifi_worker.h"

#include <algorithm>

#include "core/log.h"
#include "platform/clock.h"
#include "wifi/remembered_phones.h"

namespace tov {

WifiWorker::WifiWorker(const WifiOptions& options, WifiShared& shared)
    : options_(options),
      shared_(shared),
      adb_(options.findAdb, options.runAdb),
      discovery_(adb_),
      plan_(options.firstRetryMs, options.maxRetryMs) {}

void WifiWorker::run() {
    const std::wstring path = options_.settingsPath ? options_.settingsPath() : std::wstring();
    remembered_ = readRememberedPhones(path);
    if (!remembered_.empty()) logLine("wifi: %zu remembered phones", remembered_.size());
    publishRemembered();
    while (true) {
        WifiShared::Job job;
        if (!shared_.nextJob(nextWakeMs(), job)) return;
        if (job) {
            job(*this);
            continue;
        }
        if (card_.polling && tickMs() >= card_.nextPollMs) cardStep();
        // Pairing comes first: no background try while the card looks for a phone.
        if (!card_.polling && tickMs() >= nextReconnectMs_) reconnectStep();
    }
}

uint64_t WifiWorker::nextWakeMs() const {
    return card_.polling ? card_.nextPollMs : nextReconnectMs_;
}

void WifiWorker::listChanged() {
    nextReconnectMs_ = 0;
    retireUnplugNote();
}

void WifiWorker::inputsChanged() {
    nextReconnectMs_ = 0;
}

void WifiWorker::publishCardStep(WifiStep step, const std::string& status, bool canRetry) {
    shared_.publishCard(card_.generation, [&](WifiState& s) {
        s.step = step;
        s.status = status;
        s.canRetry = canRetry;
    });
}

void WifiWorker::publishNote(const std::string& note, bool failed) {
    unplugNoteKey_.clear();
    shared_.publish([&](WifiState& s) {
        s.note = note;
        s.noteFailed = failed;
        ++s.noteNumber;
    });
}

void WifiWorker::retireUnplugNote() {
    if (unplugNoteKey_.empty()) return;
    for (const PhoneEntry& phone : shared_.inputs().listed) {
        if (phone.key == unplugNoteKey_ && phone.wifi && !phone.usb) {
            publishNote(phone.name + " is connected over Wi-Fi.", false);
            return;
        }
    }
}

void WifiWorker::publishRemembered() {
    std::vector<WifiRemembered> copy = remembered_;
    shared_.publish([&](WifiState& s) { s.remembered = std::move(copy); });
}

}  // namespace tov
