#include "panel/sidebar.h"

#include <algorithm>

#include "panel/colors.h"
#include "panel/status_texts.h"
#include "platform/text.h"

namespace tov::panel {

namespace {

Color rgb(uint32_t c, float alpha = 1.0f) {
    return {c, alpha};
}

const wchar_t* const kPageNames[] = {L"Stream",        L"Quality",   L"Mouse & keys",
                                     L"Video & sound", L"Shortcuts", L"Settings"};
// Video, equalizer, mouse, volume, keyboard, gear.
const wchar_t* const kPageIcons[] = {L"\uE714", L"\uE9E9", L"\uE962",
                                     L"\uE767", L"\uE765", L"\uE713"};

constexpr float kStatusTop = 60;
constexpr float kPageButtonsMinTop = 218;

std::optional<PulseDot> statusBlock(PageContext& ctx, float& y) {
    const PanelModel& m = ctx.model;
    StatusPill pill = statusPill(m);
    float wordWidth = ctx.textWidth(pill.word, Font::Text12);
    RectF pillRect{228 - wordWidth - 26, 20, 228, 42};
    ctx.draw.fill(pillRect, rgb(colors::kControlOff), 11);
    std::optional<PulseDot> pulse;
    if (pill.pulsing)
        pulse =
            PulseDot{pillRect.left + 11, pillRect.top + 11, 3.5f, pill.dot, colors::kControlOff};
    // A pulsing dot is drawn at full strength here; the window animates it on its own.
    ctx.draw.circle(pillRect.left + 11, pillRect.top + 11, 3.5f, rgb(pill.dot));
    ctx.draw.text(pill.word, {pillRect.left + 19, pillRect.top, pillRect.right, pillRect.bottom},
                  Font::Text12, rgb(colors::kPrimaryText), false, Align::Leading, true);

    std::wstring head = headline(m);
    float headH = std::max(ctx.textHeight(head, Font::Display15, 208, false), 20.0f);
    ctx.draw.text(head, {20, kStatusTop, 228, kStatusTop + headH}, Font::Display15,
                  rgb(colors::kPrimaryText));
    std::wstring detail = detailText(m);
    float detailTop = kStatusTop + headH + 4;
    float detailH = ctx.textHeight(detail, Font::Text13, 208);
    ctx.draw.text(detail, {20, detailTop, 228, detailTop + detailH}, Font::Text13,
                  rgb(colors::kSecondaryText), true);

    MainButton button = mainButton(m);
    float top = std::max(detailTop + detailH + 14, 166.0f);
    RectF r{20, top, 228, top + 36};
    bool hover = ctx.state.hovered == hit::kMainButton;
    if (button.filled) {
        ctx.draw.fill(r, rgb(hover ? colors::kAccentHover : button.color), 8);
        ctx.draw.text(button.label, r, Font::Strong13_5, rgb(colors::kWhite), false, Align::Centre,
                      true);
    } else {
        ctx.draw.fill(r, rgb(button.color, hover ? 0.22f : 0.14f), 8);
        ctx.draw.stroke(r.inflated(-0.5f, -0.5f), rgb(button.color, 0.6f), 8);
        ctx.draw.text(button.label, r, Font::Strong13_5, rgb(button.color), false, Align::Centre,
                      true);
    }
    ctx.addHit(r, hit::kMainButton, true);
    ControlSpec entry;
    const PanelCallbacks& cb = ctx.callbacks;
    MainAction action = button.action;
    entry.click = [&cb, action] {
        if (action == MainAction::Reinstall)
            invoke(cb.reinstall);
        else
            invoke(cb.startOrStop);
    };
    ctx.controls[hit::kMainButton] = std::move(entry);
    y = r.bottom + 16;
    if (m.everyPhone) {
        // Every click then reaches every phone: that stays in sight, whichever page is shown.
        const std::wstring text = L"Your input goes to every phone.";
        const float top = r.bottom + 10;
        const float height = ctx.textHeight(text, Font::Text12, 208);
        ctx.draw.text(text, {20, top, 228, top + height}, Font::Text12, rgb(colors::kAccentHover),
                      true);
        y = top + height + 12;
    }
    return pulse;
}

void pageButtons(PageContext& ctx, float& y) {
    PanelState& state = ctx.state;
    for (int i = 0; i < 6; ++i) {
        int h = hit::kPageFirst + i;
        RectF r{12, y + 38.0f * i, 236, y + 38.0f * i + 36};
        bool current = static_cast<int>(state.page) == i;
        if (current) {
            ctx.draw.fill(r, rgb(colors::kCurrentPage), 6);
            ctx.draw.fill({r.left, r.top + 10, r.left + 3, r.top + 26}, rgb(colors::kAccent), 1.5f);
        } else if (state.hovered == h) {
            ctx.draw.fill(r, rgb(colors::kHoveredPage), 6);
        }
        uint32_t colour = current ? colors::kPrimaryText : colors::kSecondaryText;
        ctx.draw.text(kPageIcons[i], {r.left + 14, r.top, r.left + 36, r.bottom}, Font::Icon15,
                      rgb(colour), false, Align::Centre, true);
        ctx.draw.text(kPageNames[i], {r.left + 46, r.top, r.right - 8, r.bottom}, Font::Text13_5,
                      rgb(colour), false, Align::Leading, true);
        ctx.addHit(r, h, true);
        ControlSpec entry;
        entry.click = [&state, i] {
            if (static_cast<int>(state.page) == i) return;
            state.page = static_cast<Page>(i);
            state.scroll = 0;
            state.capture.reset();
        };
        ctx.controls[h] = std::move(entry);
    }
    y += 38.0f * 5 + 36;
}

void updateCard(PageContext& ctx, float& y) {
    const PanelModel& m = ctx.model;
    if (m.updater.state != 3 || m.updateLater) return;
    const PanelCallbacks& cb = ctx.callbacks;
    RectF card{16, y + 14, 232, y + 14 + 112};
    ctx.draw.fill(card, rgb(colors::kUpdateCardFill), 10);
    ctx.draw.stroke(card.inflated(-0.5f, -0.5f), rgb(colors::kUpdateCardBorder), 10);
    ctx.draw.text(L"Update ready", {28, card.top + 14, 224, card.top + 34}, Font::Strong13_5,
                  rgb(colors::kPrimaryText));
    ctx.draw.text(L"Tovenmar " + widen(m.updater.version) + L" is downloaded.",
                  {28, card.top + 36, 224, card.top + 60}, Font::Text12,
                  rgb(colors::kSecondaryText), true);
    RectF restart{28, card.bottom - 44, 146, card.bottom - 14};
    RectF later{154, card.bottom - 44, 224, card.bottom - 14};
    ctx.draw.fill(
        restart,
        rgb(ctx.state.hovered == hit::kCardRestart ? colors::kAccentHover : colors::kAccent), 6);
    ctx.draw.text(L"Restart now", restart, Font::Strong12_5, rgb(colors::kWhite), false,
                  Align::Centre, true);
    ctx.draw.fill(
        later,
        rgb(ctx.state.hovered == hit::kCardLater ? colors::kControlOffHover : colors::kControlOff),
        6);
    ctx.draw.text(L"Later", later, Font::Strong12_5, rgb(colors::kPrimaryText), false,
                  Align::Centre, true);
    ctx.addHit(restart, hit::kCardRestart, true);
    ctx.addHit(later, hit::kCardLater, true);
    ControlSpec r;
    r.click = [&cb] { invoke(cb.restartNow); };
    ctx.controls[hit::kCardRestart] = std::move(r);
    ControlSpec l;
    l.click = [&cb] { invoke(cb.later); };
    ctx.controls[hit::kCardLater] = std::move(l);
    y = card.bottom;
}

// Rows that would run past the window's foot are left out: in the smallest window the update
// card takes their room until the user restarts or says later.
void statistics(PageContext& ctx, float y, float windowHeight) {
    const PanelModel& m = ctx.model;
    const float foot = windowHeight - 8;
    if (y + 1 > foot) return;
    ctx.draw.fill({20, y, 228, y + 1}, rgb(colors::kSeparator));
    StatCells cells = statCells(m);
    for (int i = 0; i < 5; ++i) {
        float x = i % 2 == 0 ? 20.0f : 124.0f;
        float top = y + 16 + 44.0f * (i / 2);
        if (top + 37 > foot) return;
        const StatCell& c = cells.cells[i];
        ctx.draw.text(c.label, {x, top, x + 104, top + 16}, Font::Text12, rgb(colors::kHelpText));
        if (c.value.empty())
            ctx.draw.text(L"\u2014", {x, top + 17, x + 104, top + 37}, Font::Strong13_5,
                          rgb(colors::kDisabledText));
        else
            ctx.draw.text(c.value, {x, top + 17, x + 104, top + 37}, Font::Strong13_5,
                          rgb(colors::kPrimaryText));
    }
    if (y + 170 > foot) return;
    FrameLine line = frameLine(m);
    ctx.draw.text(line.text, {20, y + 152, 228, y + 170}, Font::Text12, rgb(line.color));
}

}  // namespace

std::optional<PulseDot> drawSidebar(PageContext& ctx, float windowHeight) {
    ctx.draw.fill({0, 0, kSidebarWidth, windowHeight}, rgb(colors::kSidebar));
    ctx.draw.fill({kSidebarWidth - 1, 0, kSidebarWidth, windowHeight}, rgb(colors::kSeparator));
    ctx.draw.text(L"Tovenmar", {20, 18, 200, 44}, Font::Display18, rgb(colors::kPrimaryText));
    float y = 0;
    std::optional<PulseDot> pulse = statusBlock(ctx, y);
    y = std::max(y, kPageButtonsMinTop);
    pageButtons(ctx, y);
    updateCard(ctx, y);
    // The statistics sit at the foot of the sidebar when there is room.
    statistics(ctx, std::max(y + 16, windowHeight - 186), windowHeight);
    return pulse;
}

void drawWhatsNew(PageContext& ctx, const RectF& window) {
    const PanelModel& m = ctx.model;
    if (m.whatsNewVersion.empty()) return;
    ctx.hits.clear();
    ctx.controls.clear();
    ctx.draw.fill(window, rgb(colors::kBlack, 0.6f));
    float width = std::min(window.width() - 80, 540.0f);
    std::wstring version = widen(m.whatsNewVersion);
    std::wstring body = m.whatsNewNotes.empty()
                            ? L"Tovenmar was updated to version " + version + L"."
                            : widen(m.whatsNewNotes);
    float textWidth = width - 56;
    float textHeight = std::min(ctx.textHeight(body, Font::Text13, textWidth),
                                std::max(window.height() - 280, 20.0f));
    float height = textHeight + 76 + 24 + 36 + 28;
    float left = window.left + (window.width() - width) / 2;
    float top = window.top + (window.height() - height) / 2;
    RectF card{left, top, left + width, top + height};
    ctx.draw.fill(card, rgb(colors::kCardFill), 12);
    ctx.draw.stroke(card.inflated(-0.5f, -0.5f), rgb(colors::kControlBorder), 12);
    ctx.draw.text(L"What's new in Tovenmar " + version,
                  {left + 28, top + 28, card.right - 28, top + 56}, Font::Display18,
                  rgb(colors::kPrimaryText));
    RectF textArea{left + 28, top + 76, card.right - 28, top + 76 + textHeight};
    ctx.draw.pushClip(textArea);
    ctx.draw.text(body, textArea, Font::Text13, rgb(colors::kSecondaryText), true);
    ctx.draw.popClip();
    RectF button{card.right - 28 - 110, card.bottom - 28 - 36, card.right - 28, card.bottom - 28};
    ctx.draw.fill(
        button, rgb(ctx.state.hovered == hit::kGotIt ? colors::kAccentHover : colors::kAccent), 8);
    ctx.draw.text(L"Got it", button, Font::Strong13_5, rgb(colors::kWhite), false, Align::Centre,
                  true);
    ctx.addHit(button, hit::kGotIt, true);
    ControlSpec entry;
    const PanelCallbacks& cb = ctx.callbacks;
    entry.click = [&cb] { invoke(cb.whatsNewRead); };
    ctx.controls[hit::kGotIt] = std::move(entry);
}

}  // namespace tov::panel
