// WifiWorker: connecting a phone and remembering it, "Use over Wi-Fi" for a cabled phone, and
// "Forget".
#include <algorithm>

#include "core/log.h"
#include "platform/clock.h"
#include "wifi/remembered_phones.h"
#include "wifi/wifi_phones.h"
#include "wifi/wifi_worker.h"

namespace tov {
namespace {

constexpr uint32_t kShellTimeoutMs = 10000;
// How long a fresh connection may stay unlisted before the reconnector counts it missing: the
// phone list catches up within a poll or two.
constexpr uint32_t kSettleMs = 5000;

}  // namespace

WifiWorker::Connected WifiWorker::connectAndRemember(const std::string& address,
                                                     const std::string& service,
                                                     const CommandCancel& cancel, int tries,
                                                     const std::string& expectedKey,
                                                     uint32_t connectTimeoutMs) {
    Connected c;
    WifiAdb::Result r;
    ConnectAnswer answer;
    for (int attempt = 1; attempt <= tries; ++attempt) {
        r = adb_.run("connect " + address, connectTimeoutMs, cancel);
        if (!r.ran) {
            if (adb_.path().empty()) c.failure = "adb was not found.";
            return c;
        }
        answer = readConnectAnswer(r.output);
        if (answer.ok || attempt == tries || !shared_.pause(1000, cancel)) break;
    }
    if (!answer.ok) {
        c.failure = adbWords(r.output);
        return c;
    }
    const std::string serial = isPlainWord(answer.serial) ? answer.serial : address;
    // Who answered there: the phone list knows phones by this key, over USB and Wi-Fi alike.
    WifiIdentity who;
    if (options_.identify) {
        CommandCancelScope scope(cancel);
        who = options_.identify(adb_.path(), serial);
    }
    if (cancel.cancelled()) return c;
    // A phone that did not say who it is (its key falls back to the serial) is taken for the one
    // expected; one that names another key is not it.
    const bool told = !who.key.empty() && who.key != serial;
    if (!expectedKey.empty() && told && who.key != expectedKey) {
        // Another phone answers at that address now (the address was given to it). A connection
        // that was there before this attempt is that phone's, and may carry its stream.
        logLine("wifi: %s answers at %s, not the phone remembered there", who.key.c_str(),
                serial.c_str());
        if (!answer.already) adb_.run("disconnect " + serial, kShellTimeoutMs, cancel);
        c.failure = "another phone answers at " + serial;
        c.otherPhone = true;
        return c;
    }
    c.phone.key = told || expectedKey.empty() ? (who.key.empty() ? serial : who.key) : expectedKey;
    c.phone.name = told || expectedKey.empty() ? who.name : std::string();
    std::string host;
    int port = 0;
    c.phone.address = splitAddress(serial, host, port) ? serial : address;
    c.phone.service = service;
    c.phone.connected = true;
    c.ok = true;
    rememberPhone(remembered_, c.phone);  // an empty name keeps the one known
    for (const WifiRemembered& p : remembered_) {
        if (p.key == c.phone.key) c.phone.name = p.name.empty() ? p.key : p.name;
    }
    logLine("wifi: %s (%s) connected at %s", c.phone.name.c_str(), c.phone.key.c_str(),
            c.phone.address.c_str());
    settling_[c.phone.key] = tickMs() + kSettleMs;
    plan_.reset(c.phone.key);
    saveRemembered();
    return c;
}

void WifiWorker::saveRemembered() {
    const std::wstring path = options_.settingsPath ? options_.settingsPath() : std::wstring();
    writeRememberedPhones(path, remembered_);
    publishRemembered();
}

void WifiWorker::useOverWifi(const std::string& serial) {
    const CommandCancel& cancel = shared_.work();
    if (!isPlainWord(serial)) {
        logLine("wifi: not a serial to switch: %s", serial.c_str());
        publishNote("That phone cannot be switched to Wi-Fi.", true);
        return;
    }
    publishNote("Switching the phone to Wi-Fi…", false);
    // The address first: a phone off Wi-Fi is told so before its adb restarts for nothing.
    WifiAdb::Result r =
        adb_.run("-s " + serial + " shell ip -f inet addr show", kShellTimeoutMs, cancel);
    if (!r.ran) return;
    const std::string ip = wifiAddressFromIp(r.output);
    if (ip.empty()) {
        publishNote(r.ok ? "The phone is not on a Wi-Fi network. Connect it to Wi-Fi and try again."
                         : "Could not read the phone's Wi-Fi address: " + adbWords(r.output),
                    true);
        return;
    }
    const std::string port = std::to_string(WifiPhones::kTcpipPort);
    r = adb_.run("-s " + serial + " tcpip " + port, kShellTimeoutMs, cancel);
    if (!r.ran) return;
    if (r.output.find("restarting in TCP mode") == std::string::npos) {
        publishNote("Could not switch the phone to Wi-Fi: " + adbWords(r.output), true);
        return;
    }
    // adb on the phone restarts; it takes a moment before it answers on the network.
    const Connected c = connectAndRemember(ip + ":" + port, {}, cancel, 5);
    if (!c.ok) {
        if (!c.failure.empty()) {
            publishNote("Could not connect to the phone over Wi-Fi: " + c.failure, true);
        }
        return;
    }
    publishNote(c.phone.name + " is connected over Wi-Fi. You can unplug the cable.", false);
    unplugNoteKey_ = c.phone.key;
}

void WifiWorker::forget(const std::string& key) {
    const auto it = std::find_if(remembered_.begin(), remembered_.end(),
                                 [&](const WifiRemembered& p) { return p.key == key; });
    if (it == remembered_.end()) return;
    const WifiRemembered phone = *it;
    // Out of the list first, so that nothing connects it again.
    remembered_.erase(it);
    plan_.reset(key);
    settling_.erase(key);
    std::vector<std::string> serials = {phone.address};
    if (!phone.service.empty()) serials.push_back(phone.service + "." + kConnectServiceType);
    for (const std::string& serial : serials) {
        // Another phone connected at that address now is not this one's to cut.
        if (connectedElsewhere(key, serial)) continue;
        adb_.run("disconnect " + serial, kShellTimeoutMs, shared_.work());
    }
    logLine("wifi: forgot %s (%s)", phone.name.c_str(), phone.key.c_str());
    saveRemembered();
    publishNote(phone.name + " is forgotten.", false);
}

}  // namespace tov
