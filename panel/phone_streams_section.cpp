#include "panel/phone_streams_section.h"

#include <algorithm>

#include "panel/controls.h"
#include "platform/text.h"

namespace tov::panel {
namespace {

// What a phone's own stream is doing, as the list says it.
std::wstring streamText(const PanelModel& m, const std::string& key, bool* streaming) {
    for (const auto& [streamKey, state] : m.phoneLinks) {
        if (streamKey != key) continue;
        *streaming = state == LinkState::Live || state == LinkState::WaitingForApp;
        if (state == LinkState::Live) return L"Live";
        if (state == LinkState::WaitingForApp) return L"Waiting for the phone";
        if (state == LinkState::Ready) return L"Ready";
        return L"Away";
    }
    *streaming = false;
    return L"Ready";
}

}  // namespace

void phoneStreamsSection(PageLayout& page) {
    PageContext& ctx = page.ctx();
    const PanelModel& m = ctx.model;
    const PanelCallbacks& cb = ctx.callbacks;
    if (m.phones.size() < 2) return;
    std::vector<Row> rows;
    rows.push_back({L"Start all", L"Every phone listed streams in a window of its own.", 100, true,
                    [&ctx, &cb](const RectF& r) {
                        drawButton(ctx, r, hit::kStartAll, L"Start all", true,
                                   [&cb] { invoke(cb.startAll); });
                    }});
    const size_t count =
        std::min({m.phones.size(), static_cast<size_t>(hit::kStreamLast - hit::kStreamFirst + 1),
                  static_cast<size_t>(hit::kShowLast - hit::kShowFirst + 1)});
    for (size_t i = 0; i < count; ++i) {
        const PhoneEntry& phone = m.phones[i];
        const std::string key = phone.key;
        bool streaming = false;
        std::wstring state = streamText(m, key, &streaming);
        if (key == m.shownKey) state += L" \u00b7 shown on these pages";
        const int streamHit = hit::kStreamFirst + static_cast<int>(i);
        const int showHit = hit::kShowFirst + static_cast<int>(i);
        rows.push_back({widen(phone.name.empty() ? phone.key : phone.name), state, 170, true,
                        [&ctx, &cb, key, streaming, streamHit, showHit](const RectF& r) {
                            const float half = (r.width() - 8) / 2;
                            drawButton(ctx, {r.left, r.top, r.left + half, r.bottom}, showHit,
                                       L"Show", true, [&cb, key] { invoke(cb.selectPhone, key); });
                            drawButton(ctx, {r.right - half, r.top, r.right, r.bottom}, streamHit,
                                       streaming ? L"Stop" : L"Start", true,
                                       [&cb, key, streaming] {
                                           invoke(streaming ? cb.stopPhone : cb.startPhone, key);
                                       });
                        }});
    }
    page.section(L"Phones at once", rows);
}

}  // namespace tov::panel
