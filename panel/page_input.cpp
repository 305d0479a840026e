// The Mouse & keys and Video & sound pages.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "panel/colors.h"
#include "panel/controls.h"
#include "panel/page_layout.h"
#include "panel/pages.h"
#include "panel/slider_math.h"
#include "platform/text.h"

namespace tov::panel {

namespace {

std::wstring speedHelp(const PanelModel& m) {
    if (!m.deviceMode) return L"Only in Device mode.";
    if (m.accel) return L"The phone's own Pointer speed setting applies.";
    // The phone answers once its helper runs the virtual mouse; until then nothing is known.
    if (m.deviceAnswer < 0)
        return L"No acceleration, if the phone takes the exact mouse. It has not answered yet.";
    if (m.deviceAnswer == 1)
        return L"No acceleration: the same move always goes the same distance.";
    return L"This phone refused the exact mouse; its acceleration stays on.";
}

std::wstring percent(float v) {
    return std::to_wstring(std::lround(v * 100)) + L"%";
}

}  // namespace

float pageInput(PageContext& ctx, const RectF& column, float top) {
    const PanelModel& m = ctx.model;
    const PanelCallbacks& cb = ctx.callbacks;
    PageLayout page(ctx, column, top);
    page.header(L"Mouse & keys", L"How this PC's mouse and keyboard reach the phone.");
    std::vector<Segment> modes{{L"Touch"}, {L"Device"}};
    bool device = m.deviceMode;
    bool speedEnabled = device && !m.accel;
    page.section(
        L"", {{L"Mode",
               device ? L"A real USB mouse and keyboard on the phone. Click the video to capture "
                        L"the mouse; " +
                            m.keyName + L" gives it back."
                      : L"The mouse taps where you click. Right click is Back, middle click Home, "
                        L"Ctrl + drag "
                        L"pinches.",
               segmentedWidth(ctx, modes), true,
               [&](const RectF& r) {
                   drawSegmented(ctx, r, hit::kMode, modes, device ? 1 : 0, true,
                                 [&cb](int i) { invoke(cb.deviceMode, i == 1); });
               }},
              {L"Phone's mouse acceleration",
               L"The phone speeds the arrow up the faster the mouse moves.", kToggleWidth, device,
               [&](const RectF& r) {
                   drawToggle(ctx, r, hit::kAccel, m.accel, device,
                              [&cb](bool v) { invoke(cb.acceleration, v); });
               }},
              {L"Mouse speed", speedHelp(m), kSliderWidth, speedEnabled, [&](const RectF& r) {
                   SliderSpec s;
                   s.t = m.speed >= 0 ? std::min(m.speed, 1.0f)
                                      : 0.0f;  // also when it is not a number
                   s.valueText = percent;
                   s.reportWhileDragging = true;
                   s.report = [&cb](float t) { invoke(cb.speed, t); };
                   drawSlider(ctx, r, hit::kSpeedSlider, speedEnabled, std::move(s));
               }},
              {L"Send my input to every phone",
               L"Taps, drags, scrolls and keys made in one phone's window go to every live phone "
               L"as well, at the same place on each one's screen.",
               kToggleWidth, true, [&](const RectF& r) {
                   drawToggle(ctx, r, hit::kEveryPhone, m.everyPhone, true,
                              [&cb](bool v) { invoke(cb.everyPhone, v); });
               }}});
    return page.y();
}

float pageWindow(PageContext& ctx, const RectF& column, float top) {
    const PanelModel& m = ctx.model;
    const PanelCallbacks& cb = ctx.callbacks;
    PageLayout page(ctx, column, top);
    page.header(L"Video & sound", L"The video window and the sound on this PC.");
    const std::vector<Segment> soundFrom{{L"the active phone"}, {L"all phones"}};
    page.section(
        L"", {{L"Show video window",
               L"To capture it in OBS, add a Window Capture of \u201cTovenmar \u2014 Video\u201d "
               L"with the "
               L"method \u201cWindows 10 (1903 and up)\u201d.",
               kToggleWidth, true,
               [&](const RectF& r) {
                   drawToggle(ctx, r, hit::kShowVideo, m.showVideo, true,
                              [&cb](bool v) { invoke(cb.showVideo, v); });
               }},
              {L"Keep video on top",
               L"Above every other window, even while you work in another app.", kToggleWidth, true,
               [&](const RectF& r) {
                   drawToggle(ctx, r, hit::kOnTop, m.onTop, true,
                              [&cb](bool v) { invoke(cb.onTop, v); });
               }},
              {L"Volume", L"The phone's sound on this PC. The phone's own volume still applies.",
               kSliderWidth, true, [&](const RectF& r) {
                   SliderSpec s;
                   s.t = fractionFromVolume(m.volume);
                   s.valueText = [](float t) { return percent(volumeFromFraction(t)); };
                   s.reportWhileDragging = true;
                   s.valueOf = volumeFromFraction;
                   s.report = [&cb](float gain) { invoke(cb.volume, gain); };
                   drawSlider(ctx, r, hit::kVolumeSlider, true, std::move(s));
               }},
              {L"Sound from",
               m.soundFromAll
                   ? L"Every phone's sound plays at once."
                   : L"Only the phone whose window you used last is heard; the others are silent.",
               segmentedWidth(ctx, soundFrom), true, [&](const RectF& r) {
                   drawSegmented(ctx, r, hit::kSoundFrom, soundFrom, m.soundFromAll ? 1 : 0, true,
                                 [&cb](int i) { invoke(cb.soundFromAll, i == 1); });
               }}});
    return page.y();
}

float pageShortcuts(PageContext& ctx, const RectF& column, float top) {
    const PanelModel& m = ctx.model;
    const PanelCallbacks& cb = ctx.callbacks;
    PageLayout page(ctx, column, top);
    page.header(L"Shortcuts",
                L"Click one, then press the new keys. Esc cancels, Backspace clears.");
    std::vector<Row> rows;
    rows.push_back(
        {L"Tovenmar key",
         L"Never reaches the phone. In Device mode it also gives the mouse back to Windows.",
         kKeyFieldWidth, true,
         [&](const RectF& r) { drawKeyField(ctx, r, hit::kTovenmarKey, m.keyName, -1); }});
    int count = std::min<int>(static_cast<int>(m.shortcutTexts.size()),
                              hit::kShortcutLast - hit::kShortcutFirst + 1);
    for (int i = 0; i < count; ++i) {
        const ShortcutText& s = m.shortcutTexts[i];
        // The binding text says "Not set" itself; an empty one is shown the same way.
        std::wstring keyText = s.keyText == L"Not set" ? L"" : s.keyText;
        rows.push_back({s.name, L"", kKeyFieldWidth, true, [&ctx, i, keyText](const RectF& r) {
                            drawKeyField(ctx, r, hit::kShortcutFirst + i, keyText, i);
                        }});
    }
    page.section(L"", rows);
    float width = ctx.textWidth(L"Reset to defaults", Font::Text13) + 32;
    RectF line = page.reserve(kFieldHeight);
    drawButton(ctx, {line.left, line.top, line.left + width, line.bottom}, hit::kResetShortcuts,
               L"Reset to defaults", true, [&cb] { invoke(cb.resetShortcuts); });
    page.gap(12);
    page.paragraph(L"Saved in %LOCALAPPDATA%\\Tovenmar\\shortcuts.ini.", colors::kHelpText);
    return page.y();
}

}  // namespace tov::panel
