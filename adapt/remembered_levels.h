// Where the stream settled for each phone and link, kept in settings.ini's [adapt] section, which
// only the stream adapter reads and writes:
//   [adapt]
//   R58M123ABC.wifi=9000000 720x1600@30    bitrate, then the size rung's name
//   R58M123ABC.usb=40000000 sharp
#pragma once

#include <cstdint>
#include <string>

namespace tov {

struct RememberedLevel {
    int64_t bitrate = 0;  // 0: nothing remembered
    std::string rung;     // the rung's name (a preset, or "WxH@FPS")
    bool operator==(const RememberedLevel&) const = default;
};

RememberedLevel readRememberedLevel(const std::wstring& settingsPath, const std::string& phoneKey,
                                    bool wifi);
void writeRememberedLevel(const std::wstring& settingsPath, const std::string& phoneKey, bool wifi,
                          const RememberedLevel& level);

}  // namespace tov
