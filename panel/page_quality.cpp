// The Quality page: preset or custom size, rate and bitrate, the shape, and what was measured.
#include <cstdio>

#include "panel/colors.h"
#include "panel/controls.h"
#include "panel/page_layout.h"
#include "panel/pages.h"
#include "panel/slider_math.h"
#include "panel/status_texts.h"
#include "platform/text.h"

namespace tov::panel {

namespace {

// Shape choices in list order, with the `aspect` value each sets (-1: typed ratio).
struct ShapeChoice {
    const wchar_t* title;
    const wchar_t* second;
    int aspect;
};
constexpr ShapeChoice kShapes[] = {
    {L"Phone's screen", L"Its own shape", 1},
    {L"16:9", L"Most monitors and TVs", 2},
    {L"4:3", L"Older screens", 3},
    {L"21:9", L"Ultrawide", 4},
    {L"Your own ratio", L"Typed, like 32:9", 5},
    {L"Free", L"Whatever size is typed", 0},
};
constexpr int kOwnRatioItem = 4;

std::wstring numberOrEmpty(int v) {
    return v > 0 ? std::to_wstring(v) : L"";
}

std::wstring presetSecondLine(const PresetRecord& p) {
    return std::to_wstring(p.width) + L"\u00d7" + std::to_wstring(p.height) + L", " +
           std::to_wstring(p.fps) + L" fps";
}

std::wstring measuredLines(const PanelModel& m) {
    std::wstring text;
    for (const auto& e : m.encoders) {
        if (e.name != m.encoderName) continue;
        char buf[200];
        std::snprintf(buf, sizeof buf, "The %s encoder lists %d\u00d7%d, %d fps, %lld Mbps.",
                      m.codec == "hevc" ? "HEVC" : "H.264", e.maxWidth, e.maxHeight, e.fps,
                      static_cast<long long>(e.maxBitrate / 1000000));
        text = widen(buf);
        break;
    }
    if (m.link > 0) {
        text += L" The cable measured " + std::to_wstring(m.link) + L" Mbps.";
        int chosenMbps = m.noApp && m.preset == "custom" ? m.mbps : m.bitrate / 1000000;
        if (chosenMbps > m.link)
            text += L" Past the " + std::to_wstring(m.link) +
                    L" Mbps the cable measured: expect stutter. ";
    }
    return text;
}

}  // namespace

float pageQuality(PageContext& ctx, const RectF& column, float top) {
    const PanelModel& m = ctx.model;
    const PanelCallbacks& cb = ctx.callbacks;
    PanelState& state = ctx.state;
    PageLayout page(ctx, column, top);
    page.header(L"Quality",
                L"Size, frame rate and bitrate of the video. Measured for your phone's encoder.");
    std::wstring notice = phoneNotice(m);
    if (!notice.empty()) page.notice(notice);
    bool on = isConnected(m);
    bool custom = m.preset == "custom";

    // The No app option setter answers false for a value it refused; the field then shows it.
    auto option = [&cb](const char* key) {
        return [&cb, key](const std::string& value) {
            return cb.noAppOption ? cb.noAppOption(key, value) : true;
        };
    };

    std::vector<ListItem> presetItems;
    std::vector<std::string> presetNames;
    int presetIndex = -1;
    for (const auto& p : m.presets) {
        if (p.name == m.preset) presetIndex = static_cast<int>(presetItems.size());
        presetItems.push_back({widen(p.label.empty() ? p.name : p.label), presetSecondLine(p)});
        presetNames.push_back(p.name);
    }
    presetItems.push_back({L"Custom", L"Your own size, rate and bitrate"});
    presetNames.push_back("custom");
    if (custom) presetIndex = static_cast<int>(presetItems.size()) - 1;
    std::wstring presetButton = presetIndex >= 0 ? presetItems[presetIndex].title : L"Choose\u2026";

    std::vector<Row> picture;
    picture.push_back(
        {L"Preset",
         custom ? L"Typed below. The phone falls back to the nearest it can do, and says so."
                : L"Smooth is the highest frame rate, Sharp the biggest picture.",
         250, on, [&](const RectF& r) {
             drawDropdown(ctx, r, hit::kPreset, presetButton, on, presetItems, presetIndex,
                          [&cb, presetNames](int i) { invoke(cb.preset, presetNames[i]); });
         }});
    if (custom) {
        picture.push_back(
            {L"Size",
             L"Long side by short side, turned with the phone. Empty is the phone's own screen.",
             196, on, [&](const RectF& r) {
                 drawTextField(ctx, {r.left, r.top, r.left + 86, r.bottom}, hit::kCustomWidth,
                               numberOrEmpty(m.customWidth), FieldKind::Whole, on, option("width"));
                 ctx.draw.text(L"\u00d7", {r.left + 86, r.top, r.right - 86, r.bottom},
                               Font::Text13_5,
                               {on ? colors::kSecondaryText : colors::kDisabledText, 1.0f}, false,
                               Align::Centre, true);
                 drawTextField(ctx, {r.right - 86, r.top, r.right, r.bottom}, hit::kCustomHeight,
                               numberOrEmpty(m.customHeight), FieldKind::Whole, on,
                               option("height"));
             }});
        picture.push_back({L"Frame rate", L"", 120, on, [&](const RectF& r) {
                               drawTextField(ctx, r, hit::kFrameRate, numberOrEmpty(m.fps),
                                             FieldKind::Whole, on, option("fps"));
                           }});
        picture.push_back(
            {L"Bitrate", L"", 164, on, [&](const RectF& r) {
                 drawTextField(ctx, {r.left, r.top, r.left + 120, r.bottom}, hit::kCustomBitrate,
                               numberOrEmpty(m.mbps), FieldKind::Whole, on, option("bitrate"));
                 ctx.draw.text(L"Mbps", {r.left + 128, r.top, r.right, r.bottom}, Font::Text13,
                               {on ? colors::kSecondaryText : colors::kDisabledText, 1.0f}, false,
                               Align::Leading, true);
             }});
        picture.push_back(
            {L"Keyframe interval",
             L"Seconds between full pictures. The PC asks for one whenever it needs it.", 120, on,
             [&](const RectF& r) {
                 drawTextField(ctx, r, hit::kKeyframe, widen(m.keyframe), FieldKind::Decimal, on,
                               option("keyframe"));
             }});
    } else {
        int maxBitrate = m.maxBitrate;
        picture.push_back(
            {L"Bitrate",
             m.vbr
                 ? L"What the encoder aims for; easy pictures use less. Higher looks cleaner in "
                   L"fast "
                   L"motion."
                 : L"Sent every second. Higher looks cleaner in fast motion and needs more of the "
                   L"cable.",
             kSliderWidth, on, [&, maxBitrate](const RectF& r) {
                 SliderSpec s;
                 s.t = fractionFromBitrate(m.bitrate, maxBitrate);
                 s.valueText = [maxBitrate](float t) {
                     return std::to_wstring(bitrateFromFraction(t, maxBitrate)) + L" Mbps";
                 };
                 s.valueOf = [maxBitrate](float t) {
                     return static_cast<float>(bitrateFromFraction(t, maxBitrate));
                 };
                 s.report = [&cb](float mbps) {
                     invoke(cb.bitrate, static_cast<int>(mbps) * 1000000);
                 };
                 drawSlider(ctx, r, hit::kBitrateSlider, on, std::move(s));
             }});
    }
    picture.push_back(
        {L"Variable bitrate",
         L"Spends less on easy pictures, which keeps the encoder ahead of fast scenes. Off "
         L"sends the same bitrate every second.",
         kToggleWidth, on, [&](const RectF& r) {
             drawToggle(ctx, r, hit::kVbr, m.vbr, on, [&cb](bool v) { invoke(cb.vbr, v); });
         }});
    // What the stream adapter does now and why; while off, what it would do.
    picture.push_back(
        {L"Fit the stream to this PC and the link",
         !m.adapt ? L"Off: the stream stays at what you chose, whatever this PC or the link "
                    L"can carry."
         : m.adaptText.empty()
             ? L"Lowers the bitrate, size and frame rate at once when this PC or the link falls "
               L"behind, and goes back up when there is room. Never above what you chose."
             : widen(m.adaptText),
         kToggleWidth, true, [&](const RectF& r) {
             drawToggle(ctx, r, hit::kAdapt, m.adapt, true,
                        [&cb](bool v) { invoke(cb.adapt, v); });
         }});
    page.section(L"Picture", picture);

    std::vector<ListItem> shapeItems;
    int shapeIndex = -1;
    for (int i = 0; i < 6; ++i) {
        shapeItems.push_back({kShapes[i].title, kShapes[i].second});
        if (kShapes[i].aspect == m.aspect) shapeIndex = i;
    }
    bool ownRatio = m.aspect == 5 || state.ownRatioPicked;
    if (m.aspect == 5) state.ownRatioPicked = false;
    if (ownRatio) shapeIndex = kOwnRatioItem;
    std::wstring shapeButton = shapeIndex >= 0 ? shapeItems[shapeIndex].title : L"Choose\u2026";
    std::string typedRatio = m.ratio;

    std::vector<Row> shape;
    shape.push_back(
        {L"Shape", L"Applies to every preset and to Custom.", 200, on, [&](const RectF& r) {
             drawDropdown(ctx, r, hit::kShape, shapeButton, on, shapeItems, shapeIndex,
                          [&cb, &state, typedRatio](int i) {
                              if (i == kOwnRatioItem) {
                                  // Shown at once; taken when a ratio is typed.
                                  state.ownRatioPicked = true;
                                  if (!typedRatio.empty() && cb.noAppOption)
                                      cb.noAppOption("ratio", typedRatio);
                                  return;
                              }
                              state.ownRatioPicked = false;
                              if (cb.noAppOption)
                                  cb.noAppOption("aspect", std::to_string(kShapes[i].aspect));
                          });
         }});
    if (ownRatio)
        shape.push_back({L"Ratio", L"Long side to short side, like 32:9 or 2.35.", 120, on,
                         [&](const RectF& r) {
                             drawTextField(ctx, r, hit::kRatio, widen(m.ratio), FieldKind::Ratio,
                                           on, option("ratio"));
                         }});
    std::vector<Segment> fits{{L"Bars"}, {L"Stretch"}, {L"Crop"}};
    shape.push_back({L"Another shape than the screen",
                     L"Black bars, stretched to fill, or cropped to fill.",
                     segmentedWidth(ctx, fits), on, [&](const RectF& r) {
                         drawSegmented(ctx, r, hit::kFit, fits, m.fit, on, [&cb](int i) {
                             if (cb.noAppOption) cb.noAppOption("fit", std::to_string(i));
                         });
                     }});
    shape.push_back(
        {L"Phone matches this shape",
         L"While streaming, the phone's screen takes this shape so games draw at it. It shows "
         L"black edges meanwhile.",
         kToggleWidth, on, [&](const RectF& r) {
             drawToggle(ctx, r, hit::kMatchPhone, m.matchPhone, on, [&cb](bool v) {
                 if (cb.noAppOption) cb.noAppOption("matchphone", v ? "1" : "0");
             });
         }});
    page.section(L"Shape", shape);

    std::wstring measured = measuredLines(m);
    if (!measured.empty()) page.paragraph(measured, colors::kSecondaryText);
    if (!m.audioNote.empty())
        page.paragraph(L"Audio: " + widen(m.audioNote), colors::kSecondaryText);
    return page.y();
}

}  // namespace tov::panel
