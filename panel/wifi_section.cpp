// The Wi-Fi section of the Settings page: pairing a phone, "Use over Wi-Fi" for the phone on the
// cable, and the phones Tovenmar remembers, each with Forget.
#include <algorithm>

#include "panel/controls.h"
#include "panel/wifi_panel.h"
#include "platform/text.h"

namespace tov::panel {
namespace {

std::wstring rememberedText(const WifiRemembered& phone, bool useWifi) {
    const std::wstring address = widen(phone.address);
    if (phone.connected) return L"Connected over Wi-Fi at " + address + L".";
    if (!useWifi) return L"Not connected. Turn on Use Wi-Fi to connect it by itself.";
    return L"Not connected. Tovenmar connects it when it's back on the network (last at " +
           address + L").";
}

}  // namespace

void wifiSection(PageLayout& page) {
    PageContext& ctx = page.ctx();
    const PanelModel& m = ctx.model;
    const PanelCallbacks& cb = ctx.callbacks;
    PanelState& state = ctx.state;
    std::vector<Row> rows;
    // A card that has connected its phone is done: Pair starts a fresh one.
    const bool open = m.wifiState.cardOpen && m.wifiState.step != WifiStep::Connected;
    rows.push_back(
        {L"Pair a phone over Wi-Fi",
         L"Scan a QR code with the phone, or type the code it shows (Android 11 and later). No "
         L"cable and no commands needed.",
         110, true, [&ctx, &cb, &state, open](const RectF& r) {
             drawButton(ctx, r, hit::kWifiPair, open ? L"Pairing\u2026" : L"Pair", !open,
                        [&cb, &state] {
                            state.pairAddress.clear();
                            state.pairCode.clear();
                            // The card opens at the top of the page.
                            state.scroll = 0;
                            invoke(cb.openPairing);
                        });
         }});

    // The chosen phone, while it is on the cable only.
    const auto chosen = std::find_if(m.phones.begin(), m.phones.end(),
                                     [&](const PhoneEntry& p) { return p.key == m.chosenKey; });
    if (!m.chosenWifi && chosen != m.phones.end() && chosen->usb && !chosen->wifi) {
        const std::wstring name = widen(chosen->name.empty() ? chosen->key : chosen->name);
        rows.push_back({L"Use " + name + L" over Wi-Fi",
                        L"Moves the phone on the cable to wireless debugging. Then you can unplug "
                        L"it and the stream carries on.",
                        130, true, [&ctx, &cb](const RectF& r) {
                            drawButton(ctx, r, hit::kUseOverWifi, L"Use over Wi-Fi", true,
                                       [&cb] { invoke(cb.useOverWifi); });
                        }});
    }

    const size_t count = std::min(m.wifiState.remembered.size(),
                                  static_cast<size_t>(hit::kForgetLast - hit::kForgetFirst + 1));
    for (size_t i = 0; i < count; ++i) {
        const WifiRemembered& phone = m.wifiState.remembered[i];
        const std::string key = phone.key;
        const int h = hit::kForgetFirst + static_cast<int>(i);
        rows.push_back({widen(phone.name.empty() ? phone.key : phone.name),
                        rememberedText(phone, m.wifi), 90, true,
                        [&ctx, &cb, key, h](const RectF& r) {
                            drawButton(ctx, r, h, L"Forget", true,
                                       [&cb, key] { invoke(cb.forgetPhone, key); });
                        }});
    }
    page.section(L"Wi-Fi", rows);
}

}  // namespace tov::panel
