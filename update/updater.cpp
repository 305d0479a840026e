#include "update/updater.h"

#include <ctime>
#include <utility>

#include "core/log.h"
#include "platform/paths.h"
#include "update/ready_update.h"
#include "update/signature.h"
#include "update/whats_new.h"

namespace tov {
namespace {

UpdaterOptions withDefaults(UpdaterOptions options) {
    if (options.publicKey.empty()) options.publicKey = releasePublicKey();
    if (options.exePath.empty()) options.exePath = exePath();
    if (!options.http) options.http = makeHttpClient();
    if (!options.installOps) options.installOps = makeSystemInstallOps();
    return options;
}

}  // namespace

Updater::Updater(std::function<void()> onChange, UpdaterOptions options)
    : onChange_(std::move(onChange)),
      options_(withDefaults(std::move(options))),
      installer_(options_.exePath, *options_.installOps, folder_) {}

Updater::~Updater() {
    stop();
}

void Updater::start(bool autoUpdate) {
    auto_ = autoUpdate;
    const std::string ready = findReadyUpdate(folder_, options_.publicKey);
    if (!ready.empty()) enterState(kUpdateReady, ready);
    // Without a feed there is nothing to ask and no one to ask: no thread, no request.
    if (feedUrl().empty()) {
        if (ready.empty()) enterState(kUpdateOff);
        return;
    }
    std::lock_guard lock(mutex_);
    if (thread_.joinable()) return;
    stopFlag_ = false;
    stopping_ = false;
    options_.http->resume();
    thread_ = std::thread([this] { loop(); });
}

void Updater::requestStop() {
    {
        std::lock_guard lock(mutex_);
        stopFlag_ = true;
        stopping_ = true;
    }
    // Ends a request under way now, and refuses the ones a check might still try.
    options_.http->cancel();
    wake_.notify_all();
}

void Updater::stop() {
    requestStop();
    if (thread_.joinable()) thread_.join();
}

void Updater::checkNow() {
    {
        std::lock_guard lock(mutex_);
        checkNowFlag_ = true;
    }
    wake_.notify_all();
}

void Updater::setAuto(bool autoUpdate) {
    auto_ = autoUpdate;
    wake_.notify_all();
}

UpdateStatus Updater::snapshot() const {
    std::lock_guard lock(mutex_);
    return status_;
}

void Updater::loop() {
    using Clock = std::chrono::steady_clock;
    Clock::time_point deadline = Clock::now() + options_.firstCheck;
    std::unique_lock lock(mutex_);
    while (true) {
        // setAuto also wakes the wait; it changes nothing until the deadline.
        wake_.wait_until(lock, deadline, [this] { return stopFlag_ || checkNowFlag_; });
        if (stopFlag_) return;
        const bool asked = std::exchange(checkNowFlag_, false);
        if (!asked && Clock::now() < deadline) continue;
        lock.unlock();
        if (asked || auto_) check();
        deadline = Clock::now() + options_.checkInterval;
        lock.lock();
    }
}

void Updater::enterState(int state, const std::string& version, const std::string& message) {
    {
        std::lock_guard lock(mutex_);
        status_.state = state;
        status_.version = version;
        status_.message = message;
        status_.percent = 0;
        if (state == kUpdateReady || state == kUpdateUpToDate || state == kUpdateFailed) {
            status_.time = static_cast<int64_t>(std::time(nullptr));
        }
    }
    notifyChange();
}

void Updater::notifyChange() {
    if (onChange_) onChange_();
}

void Updater::removeOldBuild() {
    installer_.removeOldBuild();
}

bool Updater::installReadyAtStart() {
    const std::string ready = findReadyUpdate(folder_, options_.publicKey);
    if (ready.empty()) return false;
    std::string message;
    if (installer_.install(ready, message)) return true;
    logLine("update: %s", message.c_str());
    return false;
}

bool Updater::installReadyAtExit(std::string& message) {
    const std::string ready = findReadyUpdate(folder_, options_.publicKey);
    if (ready.empty()) {
        message = "The downloaded update had gone missing, so Tovenmar stayed as it was.";
        return false;
    }
    return installer_.install(ready, message);
}

bool Updater::startAgain() {
    return installer_.startAgain();
}

std::string Updater::whatsNewText(const std::string& previousVersion) const {
    return tov::whatsNewText(folder_, previousVersion);
}

void Updater::dropOldNotes() const {
    tov::dropOldNotes(folder_);
}

}  // namespace tov
