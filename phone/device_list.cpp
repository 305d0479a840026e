#include "phone/device_list.h"

#include "phone/output_text.h"

namespace tov {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isSpace(line[i])) ++i;
        const size_t start = i;
        while (i < line.size() && !isSpace(line[i])) ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

}  // namespace

bool isWifiSerial(std::string_view serial) {
    return contains(serial, ":") ||
           (serial.size() >= 22 && contains(serial, "._adb-tls-connect._tcp"));
}

std::vector<AdbDevice> parseDeviceList(std::string_view output) {
    std::vector<AdbDevice> devices;
    for (std::string_view line : splitLines(output)) {
        if (line.empty() || startsWith(line, "List of") || startsWith(line, "*")) continue;
        const std::vector<std::string_view> parts = words(line);
        if (parts.size() < 2) continue;
        AdbDevice device;
        device.serial = std::string(parts[0]);
        device.state = std::string(parts[1]);
        for (size_t i = 2; i < parts.size(); ++i) {
            if (!startsWith(parts[i], "model:")) continue;
            device.model = std::string(parts[i].substr(6));
            for (char& c : device.model) {
                if (c == '_') c = ' ';
            }
        }
        device.wifi = isWifiSerial(device.serial);
        devices.push_back(std::move(device));
    }
    return devices;
}

}  // namespace tov
