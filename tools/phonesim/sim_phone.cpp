#include "tools/phonesim/sim_phone.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "tools/phonesim/clip_ladder.h"
#include "tools/phonesim/phone_network.h"

namespace tov::phonesim {
namespace {

bool parseInt(const std::string& text, long long low, long long high, long long& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || v < low || v > high) return false;
    out = v;
    return true;
}

bool parseFlag(const std::string& text, bool& out) {
    if (text == "1" || text == "yes" || text == "on" || text == "true") {
        out = true;
        return true;
    }
    if (text == "0" || text == "no" || text == "off" || text == "false") {
        out = false;
        return true;
    }
    return false;
}

std::string spaceToUnderscore(std::string s) {
    for (char& c : s) {
        if (c == ' ') c = '_';
    }
    return s;
}

}  // namespace

std::string SimPhone::displayName() const {
    if (model.size() >= manufacturer.size() && !manufacturer.empty()) {
        bool same = true;
        for (size_t i = 0; i < manufacturer.size() && same; ++i) {
            same = std::tolower(static_cast<unsigned char>(model[i])) ==
                   std::tolower(static_cast<unsigned char>(manufacturer[i]));
        }
        if (same) return model;
    }
    return manufacturer.empty() ? model : manufacturer + " " + model;
}

bool SimPhone::hasSerial(const std::string& serial) const {
    return !serial.empty() && (usb.serial == serial || wifi.serial == serial);
}

bool SimPhone::listed(const std::string& serial) const {
    return (usb.plugged && usb.serial == serial) || (wifi.plugged && wifi.serial == serial);
}

std::string devicesLine(const SimPhone& phone, const std::string& serial, int transportId) {
    std::string line = serial;
    // adb pads the serial to 22 columns, then one space.
    if (line.size() < 22) line.append(22 - line.size(), ' ');
    line += " " + phone.state;
    const bool viaUsb = serial == phone.usb.serial;
    if (viaUsb) line += " usb:1-" + std::to_string(transportId);
    if (phone.state == "device") {
        line += " product:" + phone.product + " model:" + spaceToUnderscore(phone.model) +
                " device:" + phone.device;
    }
    line += " transport_id:" + std::to_string(transportId);
    return line;
}

std::string getprop(const SimPhone& phone, const std::string& key) {
    if (key == "ro.serialno") return phone.serialno;
    if (key == "ro.product.manufacturer") return phone.manufacturer;
    if (key == "ro.product.model") return phone.model;
    if (key == "ro.product.name") return phone.product;
    if (key == "ro.product.device") return phone.device;
    if (key == "ro.build.version.release") return "14";
    if (key == "ro.build.version.sdk") return "34";
    return {};
}

std::string probeAnswer(const SimPhone& phone) {
    if (phone.probeSilent) return "Aborted: no display\n";
    TextMap keys;
    keys["device"] = phone.displayName();
    keys["screen"] =
        std::to_string(phone.screenWidth()) + "x" + std::to_string(phone.screenHeight());
    keys["refresh"] = std::to_string(phone.refresh);
    keys["codecs"] = phone.encodesHevc() ? "h264,hevc" : "h264";
    keys["default.h264"] = "c2.qti.avc.encoder";
    keys["encoders"] =
        "c2.qti.avc.encoder:h264:1:4096:2176:60:100000000;"
        "c2.android.avc.encoder:h264:0:2048:2048:30:12000000";
    if (phone.encodesHevc()) {
        keys["default.hevc"] = "c2.qti.hevc.encoder";
        keys["encoders"] += ";c2.qti.hevc.encoder:hevc:1:4096:2176:60:100000000";
    }
    keys["presets.c2.qti.avc.encoder"] =
        "sharp:Sharp:60:1080:2400;smooth:Smooth:120:720:1600;light:Light:30:540:1200";
    keys["presets.c2.android.avc.encoder"] = "light:Light:30:540:1200";
    if (!phone.ladderPresets.empty()) keys["presets.c2.qti.avc.encoder"] = phone.ladderPresets;
    if (phone.encodesHevc()) {
        keys["presets.c2.qti.hevc.encoder"] = "sharp:Sharp:60:1080:2400;smooth:Smooth:120:720:1600";
    }
    for (const auto& [key, value] : phone.probeKeys) keys[key] = value;
    std::string out = "tovenmar-info-begin\n";
    for (const auto& [key, value] : keys) out += key + "=" + value + "\n";
    out += "tovenmar-info-end\n";
    return out;
}

std::string wmSizeAnswer(const SimPhone& phone) {
    std::string out =
        "Physical size: " + std::to_string(phone.width) + "x" + std::to_string(phone.height) + "\n";
    if (phone.overrideWidth > 0) {
        out += "Override size: " + std::to_string(phone.overrideWidth) + "x" +
               std::to_string(phone.overrideHeight) + "\n";
    }
    return out;
}

bool parseSize(const std::string& text, int& width, int& height) {
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    long long w = 0, h = 0;
    if (!parseInt(text.substr(0, x), 1, 100000, w) || !parseInt(text.substr(x + 1), 1, 100000, h)) {
        return false;
    }
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

bool applyPhoneSetting(SimPhone& phone, const std::string& key, const std::string& value,
                       std::string& error) {
    if (isNetworkSetting(key)) return applyNetworkSetting(phone, key, value, error);
    long long n = 0;
    bool flag = false;
    if (key == "usb" || key == "wifi") {
        PhoneLink& link = key == "usb" ? phone.usb : phone.wifi;
        link.serial = value;
        link.plugged = !value.empty();
    } else if (key == "state") {
        if (value != "device" && value != "unauthorized" && value != "offline") {
            error = "state is device, unauthorized or offline";
            return false;
        }
        phone.state = value;
    } else if (key == "serialno") {
        phone.serialno = value;
    } else if (key == "manufacturer") {
        phone.manufacturer = value;
    } else if (key == "model") {
        phone.model = value;
    } else if (key == "product") {
        phone.product = value;
    } else if (key == "device") {
        phone.device = value;
    } else if (key == "screen") {
        if (!parseSize(value, phone.width, phone.height)) {
            error = "screen wants WIDTHxHEIGHT";
            return false;
        }
    } else if (key == "override") {
        if (value == "none") {
            phone.overrideWidth = phone.overrideHeight = 0;
        } else if (!parseSize(value, phone.overrideWidth, phone.overrideHeight)) {
            error = "override wants WIDTHxHEIGHT or none";
            return false;
        }
    } else if (key == "refresh" && parseInt(value, 1, 1000, n)) {
        phone.refresh = static_cast<int>(n);
    } else if (key == "fps" && parseInt(value, 1, 240, n)) {
        phone.fps = static_cast<int>(n);
    } else if (key == "clockOffset" && parseInt(value, -(1LL << 60), 1LL << 60, n)) {
        phone.clockOffsetUs = n;
    } else if (key == "helperVersion" && parseInt(value, 0, 1000000, n)) {
        phone.helperVersion = static_cast<int>(n);
    } else if (key == "helloDelay" && parseInt(value, 0, 600000, n)) {
        phone.helloDelayMs = static_cast<int>(n);
    } else if (key == "appStart" && parseInt(value, 0, 600000, n)) {
        phone.appStartMs = static_cast<int>(n);
    } else if (key == "stateFirst" && parseFlag(value, flag)) {
        phone.stateFirst = flag;
    } else if (key == "inputReport" &&
               (value == "media" || value == "first" || value == "afterEcho" || value == "late")) {
        phone.ownInputReport = value == "first"       ? SimPhone::OwnInputReport::First
                               : value == "afterEcho" ? SimPhone::OwnInputReport::AfterEcho
                               : value == "late"      ? SimPhone::OwnInputReport::Late
                                                      : SimPhone::OwnInputReport::WithMedia;
    } else if (key == "inputEchoDelay" && parseInt(value, 0, 600000, n)) {
        phone.inputEchoDelayMs = static_cast<int>(n);
    } else if (key == "inputSeq" && parseFlag(value, flag)) {
        phone.inputSeq = flag;
    } else if (key == "noHello" && parseFlag(value, flag)) {
        phone.noHello = flag;
    } else if (key == "shortPong" && parseFlag(value, flag)) {
        phone.shortPong = flag;
    } else if (key == "stateWithout") {
        phone.stateWithout.clear();
        for (size_t at = 0; value != "none" && at <= value.size();) {
            const size_t comma = std::min(value.find(',', at), value.size());
            if (comma > at) phone.stateWithout.push_back(value.substr(at, comma - at));
            at = comma + 1;
        }
    } else if (key == "audio" && parseFlag(value, flag)) {
        phone.audio = flag;
    } else if (key == "beeps" && parseFlag(value, flag)) {
        phone.beeps = flag;
    } else if (key == "exact" && parseFlag(value, flag)) {
        phone.exactAccepted = flag;
    } else if (key == "probeSilent" && parseFlag(value, flag)) {
        phone.probeSilent = flag;
    } else if (key == "clip") {
        phone.clip = value;
    } else if (key == "hevcClip") {
        phone.hevcClip = value;
    } else if (key == "ladder") {
        const std::vector<LadderRung> rungs = value == "none" ? std::vector<LadderRung>{}
                                                              : listLadder(value);
        if (value != "none" && rungs.empty()) {
            error = "no ladder clips (WIDTHxHEIGHT_FPS_KBPSk.h264) in " + value;
            return false;
        }
        phone.ladder = value == "none" ? std::string() : value;
        phone.ladderPresets = ladderPresets(rungs);
    } else if (key == "hevc" && parseFlag(value, flag)) {
        phone.hevc = flag;
    } else if (key == "installFailure") {
        phone.installFailure = value == "none" ? std::string() : value;
    } else if (key == "pushFailure") {
        phone.pushFailure = value == "none" ? std::string() : value;
    } else if (key == "pushPiece" && (value == "none" || parseInt(value, 1, 1LL << 40, n))) {
        phone.pushPiece = value == "none" ? 0 : n;
    } else if (key == "pushStall" && (value == "none" || parseInt(value, 0, 1LL << 40, n))) {
        phone.pushStall = value == "none" ? -1 : n;
    } else if (key == "app") {
        // Files are set by digest elsewhere; here only the states that need no file.
        if (value == "none") {
            phone.appDigest.clear();
            phone.appForeign = false;
            phone.appRunning = false;
        } else if (value == "old") {
            phone.appDigest = std::string(64, '0');
            phone.appForeign = false;
        } else if (value == "foreign") {
            phone.appDigest = std::string(64, 'f');
            phone.appForeign = true;
        } else {
            error = "app is none, old or foreign (apk=FILE installs a file)";
            return false;
        }
    } else if (key.rfind("info.", 0) == 0 && key.size() > 5) {
        phone.probeKeys[key.substr(5)] = value;
    } else {
        error = "unknown or bad setting " + key + "=" + value;
        return false;
    }
    return true;
}

}  // namespace tov::phonesim
