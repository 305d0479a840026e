// The answer of "adb devices -l", read into one entry per listed connection.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tov {

struct AdbDevice {
    std::string serial;  // adb's name for the connection
    std::string state;   // "device", "unauthorized", "offline", ...
    std::string model;   // from "model:", with "_" shown as spaces; may be empty
    bool wifi = false;
};

// Wireless debugging shows as an address with a port, or as an mDNS service name.
bool isWifiSerial(std::string_view serial);

// Skips the header, daemon notices ("* daemon ...") and lines with fewer than two words.
std::vector<AdbDevice> parseDeviceList(std::string_view output);

}  // namespace tov
