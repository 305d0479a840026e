// Everything the Wi-Fi worker thread knows and does. The thread makes the one WifiWorker and
// keeps it to itself: no other thread can reach it, and the panel's side talks to it only
// through the jobs it queues in WifiShared.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/wifi_state.h"
#include "wifi/pairing_code.h"
#include "wifi/reconnect_plan.h"
#include "wifi/wifi_adb.h"
#include "wifi/wifi_discovery.h"
#include "wifi/wifi_options.h"
#include "wifi/wifi_shared.h"

namespace tov {

class WifiWorker {
  public:
    WifiWorker(const WifiOptions& options, WifiShared& shared);
    WifiWorker(const WifiWorker&) = delete;
    WifiWorker& operator=(const WifiWorker&) = delete;

    // Loads the remembered phones, then runs jobs, the card's polls and the reconnects until
    // the shared side stops.
    void run();

    // The jobs (wifi_card.cpp, wifi_connect.cpp).
    void openCard(const WifiShared::Card& card);
    void cardClosed();
    void pairWithCode(const WifiShared::Card& card, const std::string& address,
                      const std::string& code);
    void useOverWifi(const std::string& serial);
    void forget(const std::string& key);
    void listChanged();
    void inputsChanged();

  private:
    // The card's progress.
    struct Card {
        uint64_t generation = 0;
        std::shared_ptr<CommandCancel> cancel;
        PairingSecret secret;
        bool qrTried = false;  // our code's pairing was tried: never again on this card
        bool checked = false;  // discovery was asked about for this card
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

    uint64_t nextWakeMs() const;
    void publishCardStep(WifiStep step, const std::string& status, bool canRetry = false);
    void publishNote(const std::string& note, bool failed);
    // Once the phone of the "unplug the cable" note is listed without it, the note says so.
    void retireUnplugNote();
    void publishRemembered();

    // The card (wifi_card.cpp).
    void adoptCard(const WifiShared::Card& card);
    void cardStep();
    bool checkDiscovery();
    void pairPhone(const std::string& address, const std::string& password, bool fromCode);
    void connectCardPhone(const std::string& address, const std::string& service);

    // Connecting, switching and forgetting (wifi_connect.cpp).
    struct Connected {
        bool ok = false;
        std::string failure;      // adb's words when not
        bool otherPhone = false;  // another phone answered where the expected one was looked for
        WifiRemembered phone;
    };
    // Connects to `address` (up to `tries` times, a second apart), learns who answered and
    // remembers the phone. With `expectedKey`, another phone answering is a failure; its
    // connection is ended only when this attempt made it.
    Connected connectAndRemember(const std::string& address, const std::string& service,
                                 const CommandCancel& cancel, int tries = 1,
                                 const std::string& expectedKey = {},
                                 uint32_t connectTimeoutMs = 15000);
    void saveRemembered();

    // Connecting remembered phones again (wifi_reconnect.cpp).
    void reconnectStep();
    void tryAgain(const ReconnectTry& attempt, const CommandCancel& cancel);
    std::vector<WifiRemembered> missingPhones(uint64_t nowMs);
    // The remembered phone, other than `key`, that is connected at `address` now; null if none.
    const WifiRemembered* connectedElsewhere(const std::string& key,
                                             const std::string& address) const;

    const WifiOptions& options_;
    WifiShared& shared_;
    WifiAdb adb_;
    WifiDiscovery discovery_;
    Card card_;
    ReconnectPlan plan_;
    std::vector<WifiRemembered> remembered_;
    // Key -> until when a fresh connection may be unlisted.
    std::map<std::string, uint64_t> settling_;
    uint64_t nextReconnectMs_ = 0;
    // The phone whose note asks for its cable to be unplugged, until it is or another note comes.
    std::string unplugNoteKey_;
};

}  // namespace tov
