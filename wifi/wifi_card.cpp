// WifiWorker: the pairing card. A QR code with a fresh name and password; discovery once a
// second until a phone offers pairing under that name (or the user picks a phone and types its
// code); "adb pair" with the code on adb's standard input; then the phone's connect service and
// "adb connect".
#include <algorithm>

#include "core/log.h"
#include "platform/clock.h"
#include "wifi/wifi_worker.h"

namespace tov {
namespace {

constexpr uint32_t kPairTimeoutMs = 30000;

constexpr const char* kNoDiscovery =
    "adb here cannot look for phones on the network, so the code cannot be seen. Type the "
    "address and pairing code the phone shows instead.";
constexpr const char* kNoAdb = "adb was not found, so no phone can be paired.";
constexpr const char* kTypeConnectAddress =
    "Paired. Now type the address shown under \"IP address & Port\" on the phone's Wireless "
    "debugging screen.";

bool sameOffers(const std::vector<WifiOffer>& a, const std::vector<WifiOffer>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const WifiOffer& x, const WifiOffer& y) {
                          return x.name == y.name && x.address == y.address;
                      });
}

}  // namespace

void WifiWorker::adoptCard(const WifiShared::Card& card) {
    if (card_.generation == card.generation && card_.cancel) return;
    card_ = Card{};
    card_.generation = card.generation;
    card_.cancel = card.cancel;
}

void WifiWorker::cardClosed() {
    // The card's own check stops its polls at the next step; nothing else to do.
    if (!shared_.cardIsOpen(card_.generation)) card_.polling = false;
}

void WifiWorker::openCard(const WifiShared::Card& card) {
    adoptCard(card);
    PairingSecret secret;
    if (!makePairingSecret(options_.random, secret)) {
        logLine("wifi: the system's random source failed; no pairing code");
        publishCardStep(WifiStep::Failed,
                        "The system gave no random numbers for a safe pairing code.", true);
        return;
    }
    card_.secret = secret;
    card_.giveUpAtMs = tickMs() + options_.giveUpMs;
    logLine("wifi: pairing card opened as %s", secret.name.c_str());
    shared_.publishCard(card_.generation,
                        [&](WifiState& s) { s.pairingText = pairingText(secret); });
    card_.polling = true;
    card_.nextPollMs = 0;
}

bool WifiWorker::checkDiscovery() {
    if (card_.checked) return card_.discovery;
    const std::optional<bool> available = discovery_.available(*card_.cancel, true);
    if (!available) {
        if (adb_.path().empty()) {
            card_.polling = false;
            publishCardStep(WifiStep::Failed, kNoAdb, true);
        }
        return false;
    }
    card_.checked = true;
    card_.discovery = *available;
    const bool discovery = card_.discovery;
    shared_.publishCard(card_.generation, [&](WifiState& s) {
        s.discovery = discovery;
        s.step = WifiStep::Looking;
        s.status =
            discovery ? "Scan this code with the phone, or pick a phone below." : kNoDiscovery;
    });
    if (!discovery) card_.polling = false;
    return discovery;
}

void WifiWorker::cardStep() {
    if (!shared_.cardIsOpen(card_.generation)) {
        card_.polling = false;  // closed, or replaced by a new card
        return;
    }
    card_.nextPollMs = tickMs() + options_.cardPollMs;
    if (!checkDiscovery()) return;

    const std::optional<std::vector<MdnsService>> found =
        discovery_.services(*card_.cancel, options_.cardPollMs / 2);
    if (!found) return;
    const std::vector<MdnsService>& services = *found;
    std::vector<WifiOffer> offers;
    std::string ours;
    for (const MdnsService& s : services) {
        if (s.type != kPairingServiceType) continue;
        if (s.name == card_.secret.name) {
            ours = s.address;
        } else {
            offers.push_back({s.name, s.address});
        }
    }
    if (!sameOffers(card_.offers, offers)) {
        card_.offers = offers;
        shared_.publishCard(card_.generation, [&](WifiState& s) { s.offers = offers; });
    }

    if (card_.awaitingPhone) {
        std::string phone;
        for (const MdnsService& s : services) {
            std::string host;
            int port = 0;
            if (s.type != kConnectServiceType || !splitAddress(s.address, host, port)) continue;
            if (!card_.guid.empty() && s.name == card_.guid) phone = s.address;
            if (phone.empty() && card_.guid.empty() && host == card_.pairedHost) phone = s.address;
        }
        if (!phone.empty()) {
            card_.awaitingPhone = false;
            connectCardPhone(phone, card_.guid);
        } else if (tickMs() >= card_.awaitUntilMs) {
            card_.awaitingPhone = false;
            logLine("wifi: the paired phone did not show up on the network");
            publishCardStep(WifiStep::Failed, kTypeConnectAddress);
        }
        return;
    }
    if (!ours.empty() && !card_.qrTried && !card_.secret.password.empty()) {
        card_.qrTried = true;
        pairPhone(ours, card_.secret.password, false);
        return;
    }
    if (tickMs() < card_.giveUpAtMs) return;
    // Two minutes on, the card stops looking; a card still waiting for a scan says so.
    card_.polling = false;
    if (shared_.shownStep() == WifiStep::Looking) {
        logLine("wifi: no phone scanned the code in time");
        publishCardStep(WifiStep::GaveUp,
                        "No phone paired within two minutes. Press Try again for a new code.",
                        true);
    }
}

void WifiWorker::pairPhone(const std::string& address, const std::string& password, bool fromCode) {
    publishCardStep(WifiStep::Pairing, "Pairing with the phone…");
    // The code goes on adb's standard input: a command line shows in any process listing.
    const WifiAdb::Result r =
        adb_.run("pair " + address, kPairTimeoutMs, *card_.cancel,
                 "pair " + address + " (code hidden)", WifiAdb::Log::Always, password + "\n");
    if (!r.ran) return;
    const PairAnswer answer = readPairAnswer(r.output);
    if (!answer.ok) {
        publishCardStep(WifiStep::Failed, "Pairing failed: " + adbWords(r.output), !fromCode);
        return;
    }
    // The code has done its work: nothing keeps it from here on.
    card_.secret = PairingSecret{};
    shared_.publishCard(card_.generation, [](WifiState& s) { s.pairingText.clear(); });
    std::string host;
    int port = 0;
    splitAddress(address, host, port);
    card_.guid = isPlainWord(answer.guid) ? answer.guid : std::string();
    card_.pairedHost = host;
    card_.awaitingPhone = true;
    card_.awaitUntilMs = tickMs() + options_.phoneWaitMs;
    publishCardStep(WifiStep::Connecting, "Paired. Waiting for the phone to connect…");
    if (!card_.discovery || !card_.checked) {
        card_.awaitingPhone = false;
        publishCardStep(WifiStep::Failed, kTypeConnectAddress);
        return;
    }
    // Look for its connect service at once, then once a second.
    card_.polling = true;
    card_.nextPollMs = 0;
}

void WifiWorker::pairWithCode(const WifiShared::Card& card, const std::string& typedAddress,
                              const std::string& typedCode) {
    adoptCard(card);
    std::string address = typedAddress, code = typedCode;
    for (std::string* text : {&address, &code}) {
        text->erase(0, text->find_first_not_of(" \t"));
        text->erase(text->find_last_not_of(" \t") + 1);
    }
    std::string host;
    int port = 0;
    if (!splitAddress(address, host, port)) {
        publishCardStep(WifiStep::Failed,
                        "Type the address as the phone shows it, like 192.168.1.20:37123.");
        return;
    }
    if (code.empty()) {
        connectCardPhone(address, {});
        return;
    }
    if (!isPairingCode(code)) {
        publishCardStep(WifiStep::Failed, "The pairing code has six digits.");
        return;
    }
    // Pairing needs discovery to find the phone afterwards; ask once.
    if (!card_.checked) checkDiscovery();
    pairPhone(address, code, true);
}

void WifiWorker::connectCardPhone(const std::string& address, const std::string& service) {
    publishCardStep(WifiStep::Connecting, "Connecting to the phone…");
    const Connected c = connectAndRemember(address, service, *card_.cancel);
    if (c.failure.empty() && !c.ok) return;  // cancelled
    if (!c.ok) {
        publishCardStep(WifiStep::Failed, "Connecting failed: " + c.failure);
        return;
    }
    card_.polling = false;
    publishCardStep(WifiStep::Connected, c.phone.name + " is connected over Wi-Fi.");
}

}  // namespace tov
