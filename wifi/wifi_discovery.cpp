#include "wifi/wifi_discovery.h"

#include "platform/clock.h"

namespace tov {
namespace {

constexpr uint32_t kCheckTimeoutMs = 10000;
constexpr uint32_t kServicesTimeoutMs = 10000;
// An adb without discovery is asked again now and then (it may be replaced or restarted).
constexpr uint32_t kRecheckMs = 60000;

}  // namespace

std::optional<bool> WifiDiscovery::available(const CommandCancel& cancel, bool fresh) {
    const uint64_t now = tickMs();
    if (available_ && !fresh && (*available_ || now - checkedAtMs_ < kRecheckMs)) {
        return available_;
    }
    const WifiAdb::Result r =
        adb_.run("mdns check", kCheckTimeoutMs, cancel, {}, WifiAdb::Log::WhenChanged);
    if (!r.ran) return std::nullopt;
    available_ = discoveryAvailable(r.output);
    checkedAtMs_ = now;
    return available_;
}

std::optional<std::vector<MdnsService>> WifiDiscovery::services(const CommandCancel& cancel,
                                                                uint32_t maxAgeMs) {
    const uint64_t now = tickMs();
    if (servicesAtMs_ && now - *servicesAtMs_ < maxAgeMs) return services_;
    const WifiAdb::Result r =
        adb_.run("mdns services", kServicesTimeoutMs, cancel, {}, WifiAdb::Log::WhenChanged);
    if (!r.ran) return std::nullopt;
    services_ = parseMdnsServices(r.output);
    servicesAtMs_ = tickMs();
    return services_;
}

}  // namespace tov
