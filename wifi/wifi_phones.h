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

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/panel_model.h"
#include "core/wifi_state.h"
#include "platform/process.h"
#include "wifi/pairing_code.h"
#include "wifi/reconnect_plan.h"
#include "wifi/wifi_adb.h"
#include "wifi/wifi_answers.h"

namespace tov {

class WifiPhones {
  public:
    struct Identity {
        std::string key;
        std::string name;
    };
    struct Options {
        std::function<std::wstring()> findAdb;
        WifiAdbRun runAdb;
        // Who the phone on an adb serial is (the phone link's identity query, run on the caller's
        // thread); an empty key when it could not tell.
        std::function<Identity(const std::wstring& adbPath, const std::string& serial)> identify;
        // settings.ini, which holds [wifiphones]; an empty path keeps nothing.
        std::function<std::wstring()> settingsPath;
        RandomSource random;
        uint32_t cardPollMs = 1000;       // discovery while the card is open
        uint32_t discoveryPollMs = 2000;  // discovery while a remembered phone is missing
        uint32_t giveUpMs = 120000;       // the card's wait for a phone to scan its code
        uint32_t phoneWaitMs = 15000;     // a paired phone's wait to appear on the network
        uint32_t firstRetryMs = 3000;     // reconnect pauses: the first...
        uint32_t maxRetryMs = 60000;      // ...and the longest
    };
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

    // The panel's operations.
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
    // The card's progress, touched by the worker only.
    struct Card {
        uint64_t generation = 0;
        std::shared_ptr<CommandCancel> cancel;
        PairingSecret secret;
        bool qrTried = false;  // our code's pairing was tried: never again on this card
        bool checked = false;  // "mdns check" ran
        bool discovery = true;
        bool polling = false;
        uint64_t nextPollMs = 0;
        std::vector<WifiOffer> offers;  // as last published
        uint64_t giveUpAtMs = 0;
        // After a pairing, until the phone's connect service shows.
        bool awaitingPhone = false;
        std::string guid;
        std::string pairedHost;
        uint64_t awaitUntilMs = 0;
    };

    void loop();
    void post(std::function<void()> job);
    uint64_t nextWakeMs() const;
    // Waits up to ms; false when the operation was cancelled or the worker stops.
    bool pause(uint32_t ms, const CommandCancel& cancel);
    void publish(const std::function<void(WifiState&)>& edit);
    // Writes the card's part of the state only while `generation` is the current card.
    void publishCard(uint64_t generation, const std::function<void(WifiState&)>& edit);
    void publishCardStep(uint64_t generation, WifiStep step, const std::string& status,
                         bool canRetry = false);
    void publishNote(const std::string& note, bool failed);
    // Once the phone of the "unplug the cable" note is listed without it, the note says so.
    void retireUnplugNote();
    void publishRemembered();

    // The card (wifi_card.cpp).
    void startCard(uint64_t generation, std::shared_ptr<CommandCancel> cancel);
    void adoptCard(uint64_t generation, std::shared_ptr<CommandCancel> cancel);
    void cardStep();
    bool checkDiscovery();
    void pairPhone(const std::string& address, const std::string& password, bool fromCode);
    void pairWithCodeNow(const std::string& address, const std::string& code);
    void connectCardPhone(const std::string& address, const std::string& service);

    // Connecting, switching and forgetting (wifi_connect.cpp).
    struct Connected {
        bool ok = false;
        std::string failure;  // adb's words when not
        WifiRemembered phone;
    };
    // Connects to `address` (up to `tries` times, a second apart), learns who answered and
    // remembers the phone. With `expectedKey`, another phone answering is a failure.
    Connected connectAndRemember(const std::string& address, const std::string& service,
                                 const CommandCancel& cancel, int tries = 1,
                                 const std::string& expectedKey = {});
    void useOverWifiNow(const std::string& serial);
    void forgetNow(const std::string& key);
    void saveRemembered();

    // Connecting remembered phones again (wifi_reconnect.cpp).
    void reconnectStep();
    std::vector<WifiRemembered> missingPhones(uint64_t nowMs);

    const Options options_;
    // The worker's own.
    WifiAdb adb_;
    Card card_;
    ReconnectPlan plan_;
    std::vector<WifiRemembered> remembered_;
    std::map<std::string, uint64_t>
        settling_;  // key -> until when a fresh connection may be unlisted
    bool reconnectDiscoveryChecked_ = false;
    bool reconnectDiscovery_ = false;
    uint64_t nextDiscoveryMs_ = 0;
    uint64_t nextReconnectMs_ = 0;
    std::shared_ptr<CommandCancel> workCancel_ = std::make_shared<CommandCancel>();
    // The phone whose note asks for its cable to be unplugged, until it is or another note comes.
    std::string unplugNoteKey_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    WifiState state_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    uint64_t cardGeneration_ = 0;  // the current card; every open and close makes a new one
    std::shared_ptr<CommandCancel> cardCancel_;
    std::vector<PhoneEntry> listed_;  // until told, nothing: connecting a listed phone is harmless
    bool useWifi_ = false;
    std::string cableStreamKey_;
    std::thread thread_;
};

}  // namespace tov
