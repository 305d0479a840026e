// adb's discovery of phones on the network, asked in one place for the pairing card and the
// reconnector alike: whether this adb can discover at all ("mdns check", kept and asked again
// now and then while it cannot), and what it sees ("mdns services", one answer shared by both
// while it is fresh).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "wifi/wifi_adb.h"
#include "wifi/wifi_answers.h"

namespace tov {

class WifiDiscovery {
  public:
    explicit WifiDiscovery(WifiAdb& adb) : adb_(adb) {}

    // Whether adb can discover; nothing when adb did not answer (missing, cancelled). The answer
    // is kept; `fresh` asks again (a new pairing card: adb may have been replaced), as does a
    // look past a minute after adb said it cannot.
    std::optional<bool> available(const CommandCancel& cancel, bool fresh = false);
    // What discovery shows now, from an answer at most `maxAgeMs` old; nothing when adb did not
    // answer.
    std::optional<std::vector<MdnsService>> services(const CommandCancel& cancel,
                                                     uint32_t maxAgeMs);

  private:
    WifiAdb& adb_;
    std::optional<bool> available_;
    uint64_t checkedAtMs_ = 0;
    std::vector<MdnsService> services_;
    std::optional<uint64_t> servicesAtMs_;
};

}  // namespace tov
