#include "panel/update_texts.h"

#include <cstdio>

#include "platform/text.h"

namespace tov::panel {

std::wstring phoneConnectionText(const PhoneEntry& phone, bool wifiAllowed) {
    if (phone.usb && phone.wifi) return wifiAllowed ? L"USB and Wi-Fi" : L"USB (Wi-Fi not used)";
    if (phone.usb) return L"USB";
    if (phone.wifi) return wifiAllowed ? L"Wi-Fi" : L"Wi-Fi (not used)";
    return L"Not connected";
}

std::wstring phoneHelp(const PanelModel& m) {
    std::wstring text;
    if (!m.chosenKey.empty()) {
        std::string name;
        for (const auto& p : m.phones)
            if (p.key == m.chosenKey) name = p.name;
        if (name.empty()) name = m.chosenKey == m.pinned ? m.pinnedName : m.detail;
        text = L"Using " + widen(name) + (m.chosenWifi ? L" over Wi-Fi." : L" over USB.");
    } else if (!m.pinned.empty()) {
        text = L"Waiting for this phone. Tovenmar won't use another one while it's picked.";
    } else {
        text = L"No phone connected.";
    }
    if (m.pinned.empty()) text += L" With more than one phone, Automatic sticks to the one in use.";
    return text;
}

std::wstring checkedSuffix(const std::tm& checked, const std::tm& now) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char buf[64];
    if (checked.tm_year == now.tm_year && checked.tm_yday == now.tm_yday)
        std::snprintf(buf, sizeof buf, " Checked today at %02d:%02d.", checked.tm_hour,
                      checked.tm_min);
    else
        std::snprintf(buf, sizeof buf, " Checked on %d %s at %02d:%02d.", checked.tm_mday,
                      kMonths[(checked.tm_mon % 12 + 12) % 12], checked.tm_hour, checked.tm_min);
    return widen(buf);
}

std::wstring updateStatusText(const PanelModel& m, const std::tm* checked, const std::tm& now) {
    const UpdaterStatus& u = m.updater;
    std::wstring text;
    switch (u.state) {
        case 0:
            return m.autoUpdate ? L"Tovenmar will look for a new version shortly."
                                : L"Not checked yet.";
        case 1:
            return L"Checking for a new version\u2026";
        case 2:
            return L"Downloading version " + widen(u.version) + L"\u2026 " +
                   std::to_wstring(u.percent) + L"%";
        case 3:
            return L"Version " + widen(u.version) +
                   L" is downloaded. Restart Tovenmar to start using it.";
        case 4:
            text = L"You have the newest version.";
            break;
        case 5:
            text = widen(u.message);
            break;
        case 6:
            return L"Update checks are off in this build of Tovenmar. Get new versions from "
                   L"where you got this one.";
        default:
            return L"";
    }
    if (checked) text += checkedSuffix(*checked, now);
    return text;
}

namespace {
bool toLocal(int64_t seconds, std::tm& out) {
    std::time_t t = static_cast<std::time_t>(seconds);
#ifdef _WIN32
    return localtime_s(&out, &t) == 0;
#else
    return localtime_r(&t, &out) != nullptr;
#endif
}
}  // namespace

std::wstring updateStatusText(const PanelModel& m, int64_t nowSeconds, int64_t* changesIn) {
    std::tm now{};
    std::tm checked{};
    toLocal(nowSeconds, now);
    const bool known = m.updater.time > 0 && toLocal(m.updater.time, checked);
    const std::wstring text = updateStatusText(m, known ? &checked : nullptr, now);
    *changesIn = 0;
    if (known && text.find(L" Checked today at ") != std::wstring::npos) {
        // A second past midnight; on a day with a clock change the text is looked at again
        // then, and the wait taken afresh.
        *changesIn = 24 * 3600 - (now.tm_hour * 3600 + now.tm_min * 60 + now.tm_sec) + 1;
    }
    return text;
}

}  // namespace tov::panel
