// The Wi-Fi side of the phones: pairing a phone by QR code or by its pairing code, switching a
// cabled phone to Wi-Fi, remembering every phone connected over Wi-Fi, and connecting those
// phones again when they come back. One worker thread runs every adb command; the operations
// only queue work, so the panel never waits for adb.
//
// How the App wires it: Options from the phone link (runAdb, findAdb, and `identify` built from
// kIdentityQueryArgs and identityFromAnswer), settingsPath() for `settingsPath`, secureRandom
// for `random`; the phone monitor's onChange hands phones() to setListedPhones; [phone] wifi
// goes to setUseWifi; the key of the phone streaming over USB to setCableStream; onChange
// copies state() into the model and posts the refresh; the panel's card calls openQrCard,
// closeCard, pairWithCode, and the phone list useOverWifi and forget. start() after the
// settings load, stop() with the phone monitor at shut-down.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/panel_model.h"
#include "core/wifi_state.h"
#include "wifi/wifi_options.h"
#include "wifi/wifi_shared.h"

namespace tov {

class WifiPhones {
  public:
    using Identity = WifiIdentity;
    using Options = WifiOptions;
    static constexpr int kTcpipPort = 5555;

    explicit WifiPhones(Options options);
    ~WifiPhones();
    WifiPhones(const WifiPhones&) = delete;
    WifiPhones& operator=(const WifiPhones&) = delete;

    // Called on the worker thread after the state changed. Set it before start().
    std::function<void()> onChange;

    void start();
    // Ends the adb command in flight at once and joins the worker.
    void stop();

    WifiState state() const;

    // The panel's operations; each comes before the reconnecting of remembered phones.
    // Opens the pairing card with a fresh code (also "Try again").
    void openQrCard();
    // Closes the card; its adb command in flight ends and it stops looking at once.
    void closeCard();
    // Pairs with the phone whose pairing service is at `address` ("host:port") with the six-digit
    // code it shows, then connects it. With an empty code, connects to `address` only (the
    // "IP address & Port" a paired phone shows).
    void pairWithCode(const std::string& address, const std::string& code);
    // For a phone on the USB cable: adb over TCP, its Wi-Fi address read from the phone, connect.
    void useOverWifi(const std::string& usbSerial);
    // Disconnects a remembered phone's Wi-Fi connection and forgets it.
    void forget(const std::string& key);

    // From the App: the phone list as adb has it now, the "Use Wi-Fi" switch, and the key of the
    // phone whose stream runs over its cable (empty when none).
    void setListedPhones(const std::vector<PhoneEntry>& phones);
    void setUseWifi(bool on);
    void setCableStream(const std::string& key);

  private:
    const Options options_;
    WifiShared shared_;
    std::mutex threadMutex_;
    bool stopped_ = false;
    std::thread thread_;
};

}  // namespace tov
