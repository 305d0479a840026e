// The Wi-Fi handlers: the pairing card, "Use over Wi-Fi", "Forget", and what the Wi-Fi side
// learns from the phone list and tells the panel.
#include "app/app.h"
#include "core/log.h"
#include "phone/phone_identity.h"
#include "platform/random.h"

namespace tov {

WifiPhones::Options App::makeWifiOptions(WifiPhones::Options options) {
    if (!options.findAdb) options.findAdb = [this] { return findAdbPath(); };
    if (!options.runAdb) {
        options.runAdb = [this](const std::wstring& adb, const std::wstring& args,
                                const std::string& input, std::string* output, uint32_t limitMs) {
            // Only the pairing code goes on adb's standard input.
            return input.empty() ? adbRunner()(adb, args, output, limitMs)
                                 : runAdbWithInput(adb, args, input, output, limitMs);
        };
    }
    if (!options.identify) {
        // The phone monitor's own question, so that the key matches the phone list's.
        options.identify = [this](const std::wstring& adb, const std::string& serial) {
            std::string answer;
            adbRunner()(adb, adbPrefix(serial) + kIdentityQueryArgs, &answer,
                        kIdentityQueryTimeoutMs);
            const PhoneIdentity id = identityFromAnswer(answer, serial, "");
            return WifiPhones::Identity{id.key, id.name};
        };
    }
    if (!options.settingsPath) options.settingsPath = [this] { return settingsFilePath(); };
    if (!options.random) options.random = secureRandom;
    return options;
}

void App::onWifiChange() {
    const WifiState state = wifi_.state();
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.wifiState = state;
        // What "Use over Wi-Fi", a reconnect or "Forget" came to goes on the status line.
        if (state.noteNumber != wifiNoteSeen_ && !state.note.empty()) {
            model_.activityText = state.note;
            model_.activityFailed = state.noteFailed;
        }
        wifiNoteSeen_ = state.noteNumber;
    }
    refresh();
}

void App::tellWifiPhones() {
    // The phone monitor's thread and the stream's both tell. Reading and telling under one lock
    // leaves the Wi-Fi side with the latest of the two: told apart, an older reading could land
    // last, and a phone it believes streams over its cable would never be connected again.
    std::lock_guard<std::mutex> lock(wifiTellLock_);
    wifi_.setListedPhones(phoneMonitor_.phones());
    // A phone whose stream runs over its cable is not connected over Wi-Fi behind its back.
    const PhoneChoice choice = phoneMonitor_.choice();
    const std::string cableKey = chosen_->session.streaming() && !choice.wifi ? choice.key : std::string();
    if (cableKey == wifiCableKey_) return;
    wifiCableKey_ = cableKey;
    wifi_.setCableStream(cableKey);
}

std::string App::awaitedWifiPhone(const std::string& lastKey) const {
    if (!model_.streaming || !model_.wifi || lastKey.empty()) return {};
    for (const WifiRemembered& phone : model_.wifiState.remembered) {
        if (phone.key == lastKey && !phone.connected) {
            return phone.name.empty() ? phone.key : phone.name;
        }
    }
    return {};
}

// Pairing a phone or moving one to Wi-Fi is asking to use it there: "Use Wi-Fi" goes on, or the
// phone would be connected and never chosen.
void App::openPairing() {
    bool wifiOff;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        wifiOff = !model_.wifi;
    }
    if (wifiOff) setWifi(true);
    wifi_.openQrCard();
    onWifiChange();
}

void App::closePairing() {
    wifi_.closeCard();
    onWifiChange();
}

void App::pairWithCode(const std::string& address, const std::string& code) {
    wifi_.pairWithCode(address, code);
}

void App::useOverWifi() {
    const PhoneChoice choice = phoneMonitor_.choice();
    if (choice.serial.empty() || choice.wifi) {
        logLine("wifi: no phone on the cable to switch");
        setActivity("Plug the phone in with its cable first.", true);
        return;
    }
    bool wifiOff;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        wifiOff = !model_.wifi;
    }
    if (wifiOff) setWifi(true);
    wifi_.useOverWifi(choice.serial);
}

void App::forgetPhone(const std::string& key) {
    wifi_.forget(key);
}

}  // namespace tov
