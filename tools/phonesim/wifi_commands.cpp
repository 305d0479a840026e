#include "tools/phonesim/wifi_commands.h"

#include <utility>
#include <vector>

#include "tools/phonesim/adb_args.h"
#include "tools/phonesim/phone_network.h"
#include "tools/phonesim/simulator.h"

namespace tov::phonesim {
namespace {

// "HOST:PORT" (or "HOST" with `defaultPort`, when it is not 0); false for a bad or missing port.
bool splitAddress(const std::string& text, int defaultPort, std::string& host, int& port) {
    const size_t colon = text.rfind(':');
    host = text.substr(0, colon);
    if (host.empty()) return false;
    if (colon == std::string::npos) {
        port = defaultPort;
        return port > 0;
    }
    const std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    port = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        port = port * 10 + (c - '0');
    }
    return port > 0 && port <= 65535;
}

using LinkList = std::vector<std::pair<std::string, std::string>>;  // phone id, serial

class WifiCommand {
  public:
    WifiCommand(Simulator& sim, CommandChannel& out) : sim_(sim), out_(out) {}

    int run(const AdbArgs& a, const std::string& input) {
        if (a.command == "mdns") return mdns(a.words);
        if (a.command == "pair") return pair(a.words, input);
        if (a.command == "connect") return connect(a.words);
        return disconnect(a.words);
    }

  private:
    int fail(const std::string& text) {
        out_.write(text + "\n");
        return 1;
    }

    int mdns(const std::vector<std::string>& w) {
        if (w.empty()) return fail("adb: mdns requires an argument");
        if (w[0] != "check" && w[0] != "services") {
            return fail("adb: unknown mdns command [" + w[0] + "]");
        }
        if (w.size() != 1) return fail("adb: mdns " + w[0] + " doesn't take any arguments");
        std::lock_guard lock(sim_.mutex);
        if (w[0] == "check") {
            out_.write(sim_.discovery ? "mdns daemon version [adb discovery 0.0.0]\n"
                                      : "ERROR: mdns discovery disabled\n");
            return 0;
        }
        std::string text = "List of discovered mdns services\n";
        for (const auto& p : sim_.phones) {
            if (!sim_.discovery) break;
            for (const AnnouncedService& s : announcedServices(*p)) {
                text += s.name + "\t" + s.type + "\t" + s.address + "\n";
            }
        }
        out_.write(text + "\n");
        return 0;
    }

    // Pairs with the phone whose pairing service is at the address (or has that name) when the
    // code is the one it shows. adb reports every failure of the exchange in the same words.
    // Without a code on the command line, adb asked for it (the prompt is the client's) and
    // read it from its standard input.
    int pair(const std::vector<std::string>& w, const std::string& input) {
        if (w.empty() || w.size() > 2)
            return fail("adb: usage: adb pair HOST[:PORT] [PAIRING CODE]");
        if (w.size() == 1 && input.empty()) return fail("adb: No pairing code provided");
        const std::string& address = w[0];
        const std::string& code = w.size() == 2 ? w[1] : input;
        std::string guid;
        {
            std::lock_guard lock(sim_.mutex);
            std::shared_ptr<SimPhone> phone;
            for (const auto& p : sim_.phones) {
                if (sim_.discovery && p->net.up && !p->net.pairingName.empty() &&
                    p->net.pairingName == address) {
                    phone = p;
                }
            }
            if (!phone) {
                std::string host;
                int port = 0;
                if (!splitAddress(address, 0, host, port)) {
                    return fail("error: Invalid port while parsing address [" + address + "]");
                }
                for (const auto& p : sim_.phones) {
                    if (p->net.up && p->net.address == host && !p->net.pairingName.empty() &&
                        p->net.pairingPort == port) {
                        phone = p;
                    }
                }
            }
            if (phone && phone->net.pairingCode == code) {
                PhoneNetwork& net = phone->net;
                net.paired = true;
                net.debugging = true;
                if (net.connectPort == 0) net.connectPort = takeNetworkPort();
                // The phone closes its pairing screen once it paired.
                net.pairingName.clear();
                net.pairingCode.clear();
                net.pairingPort = 0;
                guid = discoveryName(*phone);
            }
        }
        if (guid.empty()) return fail("error: Failed: Wrong password or connection was dropped.");
        out_.write("Successfully paired to " + address + " [guid=" + guid + "]\n");
        return 0;
    }

    // adb connect answers with exit code 0 whatever came of it; the text says what.
    int connect(const std::vector<std::string>& w) {
        if (w.size() != 1) return fail("adb: usage: adb connect HOST[:PORT]");
        std::string host;
        int port = 0;
        if (!splitAddress(w[0], 5555, host, port)) {
            out_.write("failed to connect to '" + w[0] + "': bad port number\n");
            return 0;
        }
        const std::string serial = host + ":" + std::to_string(port);
        std::string reply;
        LinkList gone;
        {
            std::lock_guard lock(sim_.mutex);
            std::shared_ptr<SimPhone> phone;
            for (const auto& p : sim_.phones) {
                if (p->net.up && !p->net.address.empty() && p->net.address == host) phone = p;
            }
            if (!phone) {
                reply = "failed to connect to '" + serial + "': No route to host";
            } else {
                const PhoneNetwork& net = phone->net;
                const bool secure = net.debugging && port == net.connectPort;
                const bool plain = net.tcpipPort > 0 && port == net.tcpipPort;
                if (!secure && !plain) {
                    reply = "failed to connect to '" + serial + "': Connection refused";
                } else if (secure && !net.paired) {
                    reply = "failed to authenticate to " + serial;
                } else if (phone->wifi.plugged && phone->wifi.serial == serial) {
                    reply = "already connected to " + serial;
                } else {
                    if (phone->wifi.plugged) gone.emplace_back(phone->id, phone->wifi.serial);
                    phone->wifi.serial = serial;
                    phone->wifi.plugged = true;
                    reply = "connected to " + serial;
                }
            }
        }
        for (const auto& [id, old] : gone) sim_.linkGone(id, old);
        out_.write(reply + "\n");
        return 0;
    }

    int disconnect(const std::vector<std::string>& w) {
        if (w.size() > 1) return fail("adb: usage: adb disconnect [HOST[:PORT]]");
        LinkList gone;
        std::string serial;
        {
            std::lock_guard lock(sim_.mutex);
            if (!w.empty()) {
                serial = w[0];
                std::string host;
                int port = 0;
                bool listed = false;
                for (const auto& p : sim_.phones) listed = listed || p->listed(serial);
                if (!listed && splitAddress(w[0], 5555, host, port)) {
                    serial = host + ":" + std::to_string(port);
                }
            }
            for (const auto& p : sim_.phones) {
                if (!p->wifi.plugged || (!serial.empty() && p->wifi.serial != serial)) continue;
                p->wifi.plugged = false;
                gone.emplace_back(p->id, p->wifi.serial);
            }
        }
        for (const auto& [id, old] : gone) sim_.linkGone(id, old);
        if (w.empty()) {
            out_.write("disconnected everything\n");
            return 0;
        }
        if (gone.empty()) return fail("error: no such device '" + serial + "'");
        out_.write("disconnected " + w[0] + "\n");
        return 0;
    }

    Simulator& sim_;
    CommandChannel& out_;
};

}  // namespace

bool isWifiHostCommand(const std::string& command) {
    return command == "mdns" || command == "pair" || command == "connect" ||
           command == "disconnect";
}

int wifiHostCommand(Simulator& sim, const AdbArgs& args, const std::string& input,
                    CommandChannel& out) {
    return WifiCommand(sim, out).run(args, input);
}

int tcpipCommand(Simulator& sim, const AdbArgs& args, const std::string& phoneId,
                 const std::string& serial, CommandChannel& out) {
    if (args.words.size() != 1) {
        out.write("adb: tcpip requires an argument\n");
        return 1;
    }
    std::string ignored;
    int port = 0;
    if (!splitAddress("x:" + args.words[0], 0, ignored, port)) {
        out.write("adb: tcpip: invalid port: " + args.words[0] + "\n");
        return 1;
    }
    bool viaWifi = false;
    {
        std::lock_guard lock(sim.mutex);
        auto phone = sim.find(phoneId);
        if (!phone) return 1;
        phone->net.tcpipPort = port;
        // adbd restarts: a connection over Wi-Fi that carried the command ends with it.
        viaWifi = phone->wifi.plugged && phone->wifi.serial == serial;
        if (viaWifi) phone->wifi.plugged = false;
    }
    out.write("restarting in TCP mode port: " + std::to_string(port) + "\n");
    if (viaWifi) sim.linkGone(phoneId, serial);
    return 0;
}

}  // namespace tov::phonesim
