// The Settings page: which phone is used, Wi-Fi, the shared clipboard, and updates.
#include "panel/controls.h"
#include "panel/page_layout.h"
#include "panel/pages.h"
#include "panel/phone_streams_section.h"
#include "panel/update_texts.h"
#include "panel/wifi_panel.h"
#include "platform/text.h"

namespace tov::panel {

float pageSettings(PageContext& ctx, const RectF& column, float top) {
    const PanelModel& m = ctx.model;
    const PanelCallbacks& cb = ctx.callbacks;
    PageLayout page(ctx, column, top);
    page.header(L"Settings", L"Which phone Tovenmar uses, the shared clipboard, and updates.");
    pairingCard(page);

    std::vector<ListItem> phones{
        {L"Automatic", L"The phone you used last, or any phone that's connected"}};
    std::vector<std::string> keys{""};
    int current = 0;
    bool pinnedListed = m.pinned.empty();
    for (const auto& p : m.phones) {
        phones.push_back({widen(p.name.empty() ? p.key : p.name), phoneConnectionText(p, m.wifi)});
        keys.push_back(p.key);
        if (!m.pinned.empty() && p.key == m.pinned) {
            current = static_cast<int>(keys.size()) - 1;
            pinnedListed = true;
        }
    }
    if (!pinnedListed) {
        // A pinned phone stays choosable while it is away.
        phones.push_back({widen(m.pinnedName.empty() ? m.pinned : m.pinnedName), L"Not connected"});
        keys.push_back(m.pinned);
        current = static_cast<int>(keys.size()) - 1;
    }
    std::wstring phoneButton = phones[current].title;

    auto toggle = [&ctx](int h, bool value, std::function<void(bool)> fn) {
        return [&ctx, h, value, fn](const RectF& r) { drawToggle(ctx, r, h, value, true, fn); };
    };
    page.section(
        L"Phone",
        {{L"Phone", phoneHelp(m), 250, true,
          [&](const RectF& r) {
              drawDropdown(ctx, r, hit::kPhone, phoneButton, true, phones, current,
                           [&cb, keys](int i) { invoke(cb.pinPhone, keys[i]); });
          }},
         {L"Use Wi-Fi",
          L"When the cable is pulled, carry on over wireless debugging, and go back to the cable "
          L"when "
          L"it's plugged in. Off: only the cable is used; pulling it stops the stream until it's "
          L"back.",
          kToggleWidth, true, toggle(hit::kUseWifi, m.wifi, [&cb](bool v) { invoke(cb.wifi, v); })},
         {L"Prefer USB when available",
          L"When the phone is on both the cable and Wi-Fi, use the cable, and move to it as soon "
          L"as it's "
          L"plugged in. Off: stay on whichever one is in use. Moving restarts the video for a "
          L"moment.",
          kToggleWidth, true,
          toggle(hit::kPreferUsb, m.preferUsb, [&cb](bool v) { invoke(cb.preferUsb, v); })}});
    wifiSection(page);

    auto clip = [&cb](const char* key) {
        return [&cb, key](bool v) { invoke(cb.clipboardOption, std::string(key), v); };
    };
    page.section(
        L"Clipboard",
        {{L"Copy on PC, paste on phone",
          L"Whatever you copy on this PC can be pasted on the phone.", kToggleWidth, true,
          toggle(hit::kToPhone, m.toPhone, clip("tophone"))},
         {L"Copy on phone, paste on PC",
          L"Whatever you copy on the phone can be pasted on this PC.", kToggleWidth, true,
          toggle(hit::kToPc, m.toPc, clip("topc"))},
         {L"Include pictures",
          L"Copied pictures go across too. On the phone they're saved in Pictures/Tovenmar (only "
          L"the "
          L"latest one is kept). Some apps keep their copied pictures to themselves; those stay "
          L"put.",
          kToggleWidth, true, toggle(hit::kPictures, m.pictures, clip("pictures"))},
         {L"Include passwords",
          L"Password managers mark what they copy as private. Off: those copies stay where they "
          L"were "
          L"made. A password copied from an ordinary app looks like any other text and is shared.",
          kToggleWidth, true, toggle(hit::kPasswords, m.passwords, clip("passwords"))}});

    bool ready = m.updater.state == 3;
    // A build that checks nothing has neither a button to press nor a choice to make.
    bool off = m.updater.state == 6;
    bool busy = m.updater.state == 1 || m.updater.state == 2 || off;
    int64_t statusChangesIn = 0;
    std::wstring status = updateStatusText(m, ctx.wallSeconds, &statusChangesIn);
    if (statusChangesIn > 0) ctx.changesIn(statusChangesIn);
    page.section(L"Updates",
                 {{L"Tovenmar " + widen(m.version), std::move(status), 120, true,
                   [&](const RectF& r) {
                       drawButton(ctx, r, hit::kUpdateButton, ready ? L"Restart now" : L"Check now",
                                  !busy, [&cb, ready] {
                                      if (ready)
                                          invoke(cb.restartNow);
                                      else
                                          invoke(cb.checkNow);
                                  });
                   }},
                  {L"Download updates automatically",
                   L"Tovenmar checks a few times a day and gets new versions ready in the "
                   L"background. Nothing "
                   L"changes until you restart it.",
                   kToggleWidth, !off, [&](const RectF& r) {
                       drawToggle(ctx, r, hit::kAutoUpdate, m.autoUpdate, !off,
                                  [&cb](bool v) { invoke(cb.autoUpdate, v); });
                   }}});
    // Last, so that the sections above stay where they are with one phone or several.
    phoneStreamsSection(page);
    return page.y();
}

}  // namespace tov::panel
