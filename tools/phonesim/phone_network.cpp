#include "tools/phonesim/phone_network.h"

#include <atomic>
#include <cstdlib>

namespace tov::phonesim {
namespace {

bool parsePort(const std::string& text, int& port) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < 0 || v > 65535) return false;
    port = static_cast<int>(v);
    return true;
}

bool parseFlag(const std::string& text, bool& out) {
    if (text != "0" && text != "1") return false;
    out = text == "1";
    return true;
}

struct Interface {
    int index;
    std::string name;
    std::string flags;
    std::string tail;  // after the flags: mtu, qdisc, state...
    std::string link;  // the link/... line
    std::string inet;  // the inet line without its lifetimes; empty when it has no IPv4 address
};

std::vector<Interface> interfaces(const SimPhone& phone) {
    const bool onWifi = !phone.net.address.empty() && phone.net.up;
    std::vector<Interface> list;
    list.push_back({1, "lo", "<LOOPBACK,UP,LOWER_UP>",
                    "mtu 65536 qdisc noqueue state UNKNOWN group default qlen 1000",
                    "link/loopback 00:00:00:00:00:00 brd 00:00:00:00:00:00",
                    "inet 127.0.0.1/8 scope host lo"});
    // Mobile data: a global address that is not the Wi-Fi one.
    list.push_back({12, "rmnet_data0", "<UP,LOWER_UP>",
                    "mtu 1500 qdisc mq state UNKNOWN group default qlen 1000", "link/[530]",
                    "inet 10.113.42.7/30 scope global rmnet_data0"});
    Interface wlan{30,
                   "wlan0",
                   "<BROADCAST,MULTICAST>",
                   "mtu 1500 qdisc mq state DOWN group default qlen 3000",
                   "link/ether 9a:3c:52:0e:71:d4 brd ff:ff:ff:ff:ff:ff",
                   ""};
    if (onWifi) {
        const std::string& a = phone.net.address;
        wlan.flags = "<BROADCAST,MULTICAST,UP,LOWER_UP>";
        wlan.tail = "mtu 1500 qdisc mq state UP group default qlen 3000";
        wlan.inet =
            "inet " + a + "/24 brd " + a.substr(0, a.rfind('.')) + ".255 scope global wlan0";
    }
    list.push_back(wlan);
    return list;
}

}  // namespace

int takeNetworkPort() {
    static std::atomic<int> next{37001};
    return next++;
}

bool isIpv4(const std::string& text) {
    int parts = 0;
    size_t start = 0;
    while (true) {
        const size_t dot = text.find('.', start);
        const std::string part = text.substr(start, dot == std::string::npos ? dot : dot - start);
        int value = 0;
        if (part.empty() || part.size() > 3 || !parsePort(part, value) || value > 255) return false;
        ++parts;
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return parts == 4;
}

bool isNetworkSetting(const std::string& key) {
    return key == "ip" || key == "up" || key == "debugging" || key == "connectPort" ||
           key == "paired" || key == "tcpip" || key == "mdnsName";
}

bool applyNetworkSetting(SimPhone& phone, const std::string& key, const std::string& value,
                         std::string& error) {
    PhoneNetwork& net = phone.net;
    bool flag = false;
    int port = 0;
    if (key == "ip") {
        if (value != "none" && !isIpv4(value)) {
            error = "ip wants A.B.C.D or none";
            return false;
        }
        net.address = value == "none" ? std::string() : value;
    } else if (key == "up" && parseFlag(value, flag)) {
        net.up = flag;
    } else if (key == "debugging" && parseFlag(value, flag)) {
        net.debugging = flag;
        if (flag && net.connectPort == 0) net.connectPort = takeNetworkPort();
    } else if (key == "connectPort" && parsePort(value, port) && port > 0) {
        net.connectPort = port;
    } else if (key == "paired" && parseFlag(value, flag)) {
        net.paired = flag;
    } else if (key == "tcpip" && parsePort(value, port)) {
        net.tcpipPort = port;
    } else if (key == "mdnsName" && !value.empty()) {
        net.serviceName = value;
    } else {
        error = "unknown or bad setting " + key + "=" + value;
        return false;
    }
    return true;
}

std::string discoveryName(const SimPhone& phone) {
    if (!phone.net.serviceName.empty()) return phone.net.serviceName;
    // Six letters that stay the same for a phone, as a real phone keeps its suffix.
    unsigned hash = 2166136261u;
    for (unsigned char c : phone.id) hash = (hash ^ c) * 16777619u;
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        const unsigned n = hash % 52;
        suffix.push_back(static_cast<char>(n < 26 ? 'a' + n : 'A' + (n - 26)));
        hash /= 52;
        hash = hash * 31u + static_cast<unsigned>(i) + 7u;
    }
    return "adb-" + phone.serialno + "-" + suffix;
}

std::vector<AnnouncedService> announcedServices(const SimPhone& phone) {
    std::vector<AnnouncedService> out;
    const PhoneNetwork& net = phone.net;
    if (net.address.empty() || !net.up) return out;
    if (net.debugging && net.connectPort > 0) {
        out.push_back({discoveryName(phone), kConnectService,
                       net.address + ":" + std::to_string(net.connectPort)});
    }
    if (!net.pairingName.empty()) {
        out.push_back({net.pairingName, kPairingService,
                       net.address + ":" + std::to_string(net.pairingPort)});
    }
    if (net.tcpipPort > 0) {
        out.push_back({"adb-" + phone.serialno, kPlainService,
                       net.address + ":" + std::to_string(net.tcpipPort)});
    }
    return out;
}

int ipCommand(const SimPhone& phone, const std::vector<std::string>& words, std::string& out) {
    size_t i = 1;
    bool inetOnly = false;
    while (i < words.size() && !words[i].empty() && words[i][0] == '-') {
        if (words[i] == "-4") {
            inetOnly = true;
        } else if (words[i] == "-f" && i + 1 < words.size() && words[i + 1] == "inet") {
            inetOnly = true;
            ++i;
        } else {
            out = "Option \"" + words[i] + "\" is unknown, try \"ip -help\".\n";
            return 255;
        }
        ++i;
    }
    const std::string object = i < words.size() ? words[i++] : std::string();
    const std::vector<Interface> list = interfaces(phone);
    if (object == "route" || object == "r") {
        for (const Interface& f : list) {
            if (f.name != "wlan0" || f.inet.empty()) continue;
            const std::string& a = phone.net.address;
            out = a.substr(0, a.rfind('.')) + ".0/24 dev wlan0 proto kernel scope link src " + a +
                  "\n";
        }
        return 0;
    }
    if (object != "addr" && object != "address" && object != "a") {
        out = "Object \"" + object + "\" is unknown, try \"ip help\".\n";
        return 255;
    }
    if (i < words.size() && (words[i] == "show" || words[i] == "list")) ++i;
    if (i < words.size() && words[i] == "dev") ++i;
    const std::string only = i < words.size() ? words[i] : std::string();
    bool found = only.empty();
    for (const Interface& f : list) {
        if (!only.empty() && f.name != only) continue;
        found = true;
        if (inetOnly && f.inet.empty()) continue;
        out += std::to_string(f.index) + ": " + f.name + ": " + f.flags + " " + f.tail + "\n";
        if (!inetOnly) out += "    " + f.link + "\n";
        if (!f.inet.empty()) {
            out += "    " + f.inet + "\n       valid_lft forever preferred_lft forever\n";
        }
    }
    if (!found) {
        out = "Device \"" + only + "\" does not exist.\n";
        return 1;
    }
    return 0;
}

}  // namespace tov::phonesim
