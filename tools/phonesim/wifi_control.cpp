#include "tools/phonesim/wifi_control.h"

#include <map>
#include <utility>

#include "tools/phonesim/phone_network.h"
#include "tools/phonesim/simulator.h"

namespace tov::phonesim {
namespace {

bool sixDigits(const std::string& code) {
    if (code.size() != 6) return false;
    for (char c : code) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

class WifiControl {
  public:
    WifiControl(Simulator& sim, CommandChannel& out) : sim_(sim), out_(out) {}

    int run(const std::vector<std::string>& w) {
        if (w[0] == "mdns") {
            if (w.size() != 2 || (w[1] != "on" && w[1] != "off")) return fail("usage: mdns on|off");
            std::lock_guard lock(sim_.mutex);
            sim_.discovery = w[1] == "on";
            return 0;
        }
        if (w.size() < 2) return fail("usage: " + w[0] + " PHONE ...");
        if (w[0] == "scan") return scan(w);
        if (w[0] == "pairing") return pairing(w);
        if (w[0] == "network") return report(w[1]);
        return wifi(w);
    }

  private:
    int fail(const std::string& text) {
        out_.write("error: " + text + "\n");
        return 1;
    }

    // Finds the phone under the lock; writes the error when there is none.
    std::shared_ptr<SimPhone> phone(const std::string& id) {
        auto p = sim_.find(id);
        if (!p) out_.write("error: no phone " + id + "\n");
        return p;
    }

    // Opens the phone's pairing service and prints where it listens.
    int openPairing(SimPhone& p, const std::string& name, const std::string& code) {
        PhoneNetwork& net = p.net;
        if (net.address.empty() || !net.up) return fail(p.id + " is not on a Wi-Fi network");
        // Pairing screens live inside Wireless debugging, which is on while they show.
        net.debugging = true;
        if (net.connectPort == 0) net.connectPort = takeNetworkPort();
        net.pairingName = name;
        net.pairingCode = code;
        net.pairingPort = takeNetworkPort();
        out_.write(net.address + ":" + std::to_string(net.pairingPort) + "\n");
        return 0;
    }

    // scan PHONE TEXT: the phone's camera read the QR code; it offers pairing under the name and
    // password in it.
    int scan(const std::vector<std::string>& w) {
        if (w.size() != 3) return fail("usage: scan PHONE PAIRING-TEXT");
        std::string name, password;
        if (!parsePairingText(w[2], name, password)) {
            return fail("not an adb pairing code: " + w[2]);
        }
        std::lock_guard lock(sim_.mutex);
        auto p = phone(w[1]);
        return p ? openPairing(*p, name, password) : 1;
    }

    // pairing PHONE CODE: the phone shows "Pair device with pairing code"; pairing PHONE close.
    int pairing(const std::vector<std::string>& w) {
        if (w.size() != 3 || (w[2] != "close" && !sixDigits(w[2]))) {
            return fail("usage: pairing PHONE CODE(six digits)|close");
        }
        std::lock_guard lock(sim_.mutex);
        auto p = phone(w[1]);
        if (!p) return 1;
        if (w[2] == "close") {
            p->net.pairingName.clear();
            p->net.pairingCode.clear();
            p->net.pairingPort = 0;
            return 0;
        }
        return openPairing(*p, discoveryName(*p), w[2]);
    }

    // wifi PHONE drop | back [PORT|new] | address A.B.C.D
    int wifi(const std::vector<std::string>& w) {
        const std::string what = w.size() > 2 ? w[2] : std::string();
        std::string id, gone;
        {
            std::lock_guard lock(sim_.mutex);
            auto p = phone(w[1]);
            if (!p) return 1;
            PhoneNetwork& net = p->net;
            if (net.address.empty()) return fail(w[1] + " has no Wi-Fi address (phone ID ip=...)");
            if (what == "drop" && w.size() == 3) {
                net.up = false;
                net.pairingName.clear();
                net.pairingCode.clear();
                net.pairingPort = 0;
            } else if (what == "back" && w.size() <= 4) {
                const std::string before = net.address + ":" + std::to_string(net.connectPort);
                net.up = true;
                // Wireless debugging comes back on a port of its own choosing.
                if (w.size() == 4 && w[3] == "new") {
                    net.connectPort = takeNetworkPort();
                } else if (w.size() == 4) {
                    std::string error;
                    if (!applyNetworkSetting(*p, "connectPort", w[3], error)) return fail(error);
                }
                // A connection to wireless debugging's old port ends with it.
                if (p->wifi.plugged && p->wifi.serial == before &&
                    before != net.address + ":" + std::to_string(net.connectPort)) {
                    p->wifi.plugged = false;
                    id = p->id;
                    gone = before;
                }
            } else if (what == "address" && w.size() == 4) {
                if (!isIpv4(w[3])) return fail("address wants A.B.C.D");
                net.address = w[3];
            } else {
                return fail("usage: wifi PHONE drop|back [PORT|new]|address A.B.C.D");
            }
            // Off the network, or at a new address, the connection over Wi-Fi is gone.
            if (what != "back" && p->wifi.plugged && !p->wifi.serial.empty()) {
                p->wifi.plugged = false;
                id = p->id;
                gone = p->wifi.serial;
            }
        }
        if (!gone.empty()) sim_.linkGone(id, gone);
        return 0;
    }

    int report(const std::string& idOrSerial) {
        std::lock_guard lock(sim_.mutex);
        auto p = phone(idOrSerial);
        if (!p) return 1;
        const PhoneNetwork& net = p->net;
        std::string text = "address=" + net.address + "\n";
        text += "up=" + std::string(net.up ? "1" : "0") + "\n";
        text += "name=" + discoveryName(*p) + "\n";
        text += "debugging=" + std::string(net.debugging ? "1" : "0") + "\n";
        text += "connectPort=" + std::to_string(net.connectPort) + "\n";
        text += "paired=" + std::string(net.paired ? "1" : "0") + "\n";
        text += "tcpip=" + std::to_string(net.tcpipPort) + "\n";
        text += "pairing=" +
                (net.pairingName.empty() ? std::string()
                                         : net.pairingName + " " + net.address + ":" +
                                               std::to_string(net.pairingPort)) +
                "\n";
        out_.write(text);
        return 0;
    }

    Simulator& sim_;
    CommandChannel& out_;
};

}  // namespace

bool isWifiControl(const std::string& verb) {
    return verb == "mdns" || verb == "scan" || verb == "pairing" || verb == "wifi" ||
           verb == "network";
}

int wifiControl(Simulator& sim, const std::vector<std::string>& words, CommandChannel& out) {
    return WifiControl(sim, out).run(words);
}

bool parsePairingText(const std::string& text, std::string& name, std::string& password) {
    const std::string head = "WIFI:";
    if (text.rfind(head, 0) != 0 || text.size() < head.size() + 2 ||
        text.compare(text.size() - 2, 2, ";;") != 0) {
        return false;
    }
    std::map<std::string, std::string> fields;
    std::string field;
    bool escaped = false;
    for (size_t i = head.size(); i + 1 < text.size(); ++i) {
        const char c = text[i];
        if (escaped) {
            field.push_back(c);
            escaped = false;
        } else if (c == '\\') {
            escaped = true;
        } else if (c == ';') {
            const size_t colon = field.find(':');
            if (colon == std::string::npos) return false;
            fields[field.substr(0, colon)] = field.substr(colon + 1);
            field.clear();
        } else {
            field.push_back(c);
        }
    }
    if (!field.empty() || fields["T"] != "ADB") return false;
    name = fields["S"];
    password = fields["P"];
    return !name.empty() && !password.empty();
}

}  // namespace tov::phonesim
