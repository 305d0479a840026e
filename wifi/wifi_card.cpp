// WifiPhones: the pairing card. A QR code with a fresh name and password; discovery once a
// second until a phone offers pairing under that name (or the user picks a phone and types its
// code); "adb pair"; then the phone's connect service and "adb connect".
#include <algorithm>

#include "core/log.h"
#include "platform/clock.h"
#include "wifi/wifi_phones.h"

namespace tov {
namespace {

constexpr uint32_t kCheckTimeoutMs = 10000;
constexpr uint32_t kServicesTimeoutMs = 10000;
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

void WifiPhones::adoptCard(uint64_t generation, std::shared_ptr<CommandCancel> cancel) {
    if (card_.generation == generation) return;
    card_ = Card{};
    card_.generation = generation;
    card_.cancel = std::move(cancel);
}

void WifiPhones::startCard(uint64_t generation, std::shared_ptr<CommandCancel> cancel) {
    adoptCard(generation, std::move(cancel));
    PairingSecret secret;
    if (!makePairingSecret(options_.random, secret)) {
        logLine("wifi: the system's random source failed; no pairing code");
        publishCardStep(generation, WifiStep::Failed,
                        "The system gave no random numbers for a safe pairing code.", true);
        return;
    }
    card_.secret = secret;
    card_.giveUpAtMs = tickMs() + options_.giveUpMs;
    logLine("wifi: pairing card opened as %s", secret.name.c_str());
    publishCard(generation, [&](WifiState& s) { s.pairingText = pairingText(secret); });
    card_.polling = true;
    card_.nextPollMs = 0;
}

bool WifiPhones::checkDiscovery() {
    if (card_.checked) return card_.discovery;
    const WifiAdb::Result r = adb_.run("mdns check", kCheckTimeoutMs, *card_.cancel);
    if (!r.ran) {
        if (adb_.path().empty()) {
            card_.polling = false;
            publishCardStep(card_.generation, WifiStep::Failed, kNoAdb, true);
        }
        return false;
    }
    card_.checked = true;
    card_.discovery = discoveryAvailable(r.output);
    const bool discovery = card_.discovery;
    publishCard(card_.generation, [&](WifiState& s) {
        s.discovery = discovery;
        s.step = WifiStep::Looking;
        s.status =
            discovery ? "Scan this code with the phone, or pick a phone below." : kNoDiscovery;
    });
    if (!discovery) card_.polling = false;
    return discovery;
}

void WifiPhones::cardStep() {
    {
        std::lock_guard lock(mutex_);
        if (card_.generation != cardGeneration_ || !state_.cardOpen) {
            card_.polling = false;  // closed, or replaced by a new card
            return;
        }
    }
    const uint64_t generation = card_.generation;
    card_.nextPollMs = tickMs() + options_.cardPollMs;
    if (!checkDiscovery()) return;

    const WifiAdb::Result r =
        adb_.run("mdns services", kServicesTimeoutMs, *card_.cancel, {}, WifiAdb::Log::WhenChanged);
    if (!r.ran) return;
    const std::vector<MdnsService> services = parseMdnsServices(r.output);
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
        publishCard(generation, [&](WifiState& s) { s.offers = offers; });
    }

    if (card_.awaitingPhone) {
        std::string found;
        for (const MdnsService& s : services) {
            std::string host;
            int port = 0;
            if (s.type != kConnectServiceType || !splitAddress(s.address, host, port)) continue;
            if (!card_.guid.empty() && s.name == card_.guid) found = s.address;
            if (found.empty() && card_.guid.empty() && host == card_.pairedHost) found = s.address;
        }
        if (!found.empty()) {
            card_.awaitingPhone = false;
            connectCardPhone(found, card_.guid);
        } else if (tickMs() >= card_.awaitUntilMs) {
            card_.awaitingPhone = false;
            logLine("wifi: the paired phone did not show up on the network");
            publishCardStep(generation, WifiStep::Failed, kTypeConnectAddress);
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
    bool looking = false;
    {
        std::lock_guard lock(mutex_);
        looking = state_.step == WifiStep::Looking;
    }
    if (looking) {
        logLine("wifi: no phone scanned the code in time");
        publishCardStep(generation, WifiStep::GaveUp,
                        "No phone paired within two minutes. Press Try again for a new code.",
                        true);
    }
}

void WifiPhones::pairPhone(const std::string& address, const std::string& password, bool fromCode) {
    const uint64_t generation = card_.generation;
    publishCardStep(generation, WifiStep::Pairing, "Pairing with the phone…");
    const WifiAdb::Result r = adb_.run("pair " + address + " " + password, kPairTimeoutMs,
                                       *card_.cancel, "pair " + address + " (code hidden)");
    if (!r.ran) return;
    const PairAnswer answer = readPairAnswer(r.output);
    if (!answer.ok) {
        publishCardStep(generation, WifiStep::Failed, "Pairing failed: " + adbWords(r.output),
                        !fromCode);
        return;
    }
    std::string host;
    int port = 0;
    splitAddress(address, host, port);
    card_.guid = isPlainWord(answer.guid) ? answer.guid : std::string();
    card_.pairedHost = host;
    card_.awaitingPhone = true;
    card_.awaitUntilMs = tickMs() + options_.phoneWaitMs;
    publishCardStep(generation, WifiStep::Connecting, "Paired. Waiting for the phone to connect…");
    if (!card_.discovery || !card_.checked) {
        card_.awaitingPhone = false;
        publishCardStep(generation, WifiStep::Failed, kTypeConnectAddress);
        return;
    }
    // Look for its connect service at once, then once a second.
    card_.polling = true;
    card_.nextPollMs = 0;
}

void WifiPhones::pairWithCodeNow(const std::string& typedAddress, const std::string& typedCode) {
    const uint64_t generation = card_.generation;
    std::string address = typedAddress, code = typedCode;
    for (std::string* text : {&address, &code}) {
        text->erase(0, text->find_first_not_of(" \t"));
        text->erase(text->find_last_not_of(" \t") + 1);
    }
    std::string host;
    int port = 0;
    if (!splitAddress(address, host, port)) {
        publishCardStep(generation, WifiStep::Failed,
                        "Type the address as the phone shows it, like 192.168.1.20:37123.");
        return;
    }
    if (code.empty()) {
        connectCardPhone(address, {});
        return;
    }
    if (!isPairingCode(code)) {
        publishCardStep(generation, WifiStep::Failed, "The pairing code has six digits.");
        return;
    }
    // Pairing needs discovery to find the phone afterwards; ask once.
    if (!card_.checked) checkDiscovery();
    pairPhone(address, code, true);
}

void WifiPhones::connectCardPhone(const std::string& address, const std::string& service) {
    const uint64_t generation = card_.generation;
    publishCardStep(generation, WifiStep::Connecting, "Connecting to the phone…");
    const Connected c = connectAndRemember(address, service, *card_.cancel);
    if (c.failure.empty() && !c.ok) return;  // cancelled
    if (!c.ok) {
        publishCardStep(generation, WifiStep::Failed, "Connecting failed: " + c.failure);
        return;
    }
    card_.polling = false;
    publishCardStep(generation, WifiStep::Connected, c.phone.name + " is connected over Wi-Fi.");
}

}  // namespace tov
