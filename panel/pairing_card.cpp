// The pairing card: the QR code a phone scans with its help line and status, the phones on the
// network that show a pairing code, fields for an address and a code, Try again and Close.
#include <algorithm>

#include "panel/colors.h"
#include "panel/controls.h"
#include "panel/wifi_panel.h"
#include "platform/text.h"

namespace tov::panel {
namespace {

constexpr float kPad = 20;
constexpr float kTitleHeight = 24;
constexpr float kBlockGap = 18;
constexpr float kOfferHeight = 40;
constexpr float kLabelHeight = 18;
constexpr float kCloseWidth = 80;
constexpr float kRetryWidth = 110;
constexpr float kAnotherWidth = 170;
constexpr float kCodeWidth = 120;
constexpr float kSubmitWidth = 100;
// A little over the smallest module, so that a camera across a desk reads it easily.
constexpr float kModuleDips = 5;
// The modules a side of a pairing text's symbol (version 4), held while the code is being made.
constexpr int kPairingModules = 33;

Color rgb(uint32_t c, float alpha = 1.0f) {
    return {c, alpha};
}

uint32_t statusColour(WifiStep step) {
    switch (step) {
        case WifiStep::Failed:
        case WifiStep::GaveUp:
            return colors::kAmber;
        case WifiStep::Connected:
            return colors::kReady;
        default:
            return colors::kSecondaryText;
    }
}

// What a field holds now: the text being typed into it, else what was committed.
std::wstring fieldText(const PanelState& state, int hit, const std::wstring& committed) {
    return state.edit.hit == hit ? state.edit.text : committed;
}

void clearFields(PanelState& state) {
    state.pairAddress.clear();
    state.pairCode.clear();
}

// The card's frame, title and close button around a body of `bodyHeight`; the body's top, with
// its left and right edges.
float cardFrame(PageLayout& page, float bodyHeight, const wchar_t* closeLabel, float& left,
                float& right) {
    PageContext& ctx = page.ctx();
    const PanelCallbacks& cb = ctx.callbacks;
    PanelState& state = ctx.state;
    const RectF card = page.reserve(kPad + kTitleHeight + 14 + bodyHeight + kPad);
    page.gap(24);
    ctx.draw.fill(card, rgb(colors::kCardFill), 8);
    ctx.draw.stroke(card.inflated(-0.5f, -0.5f), rgb(colors::kUpdateCardBorder), 8);
    left = card.left + kPad;
    right = card.right - kPad;
    const float y = card.top + kPad;
    ctx.draw.text(L"Pair a phone over Wi-Fi", {left, y, right - kCloseWidth, y + kTitleHeight},
                  Font::Display15, rgb(colors::kPrimaryText), false, Align::Leading, true);
    drawButton(ctx, {right - kCloseWidth, y - 4, right, y + kTitleHeight + 4}, hit::kPairClose,
               closeLabel, true, [&cb, &state] {
                   clearFields(state);
                   invoke(cb.closePairing);
               });
    return y + kTitleHeight + 14;
}

// Paired and connected: the code is used up and no longer watched, so the card says so and
// offers a fresh one for another phone instead of showing it.
void connectedCard(PageLayout& page) {
    PageContext& ctx = page.ctx();
    const PanelCallbacks& cb = ctx.callbacks;
    PanelState& state = ctx.state;
    const RectF& column = page.column();
    const float innerWidth = column.width() - 2 * kPad;
    const std::wstring status = widen(ctx.model.wifiState.status);
    const float statusH = ctx.textHeight(status, Font::Text13_5, innerWidth);
    float left = 0, right = 0;
    float y = cardFrame(page, statusH + 14 + kFieldHeight, L"Done", left, right);
    ctx.draw.text(status, {left, y, right, y + statusH}, Font::Text13_5, rgb(colors::kReady), true);
    y += statusH + 14;
    drawButton(ctx, {left, y, left + kAnotherWidth, y + kFieldHeight}, hit::kPairRetry,
               L"Pair another phone", true, [&cb, &state] {
                   clearFields(state);
                   invoke(cb.openPairing);
               });
}

}  // namespace

void pairingCard(PageLayout& page) {
    PageContext& ctx = page.ctx();
    const WifiState& w = ctx.model.wifiState;
    if (!w.cardOpen) return;
    const PanelCallbacks& cb = ctx.callbacks;
    PanelState& state = ctx.state;
    const RectF& column = page.column();
    if (w.step == WifiStep::Connected) {
        connectedCard(page);
        return;
    }

    const QrSymbol& symbol = state.pairingQr.symbolFor(w.pairingText);
    const int modules = symbol.empty() ? kPairingModules : symbol.size;
    const float qrSide = kModuleDips * static_cast<float>(modules + 2 * kQrQuietZone);
    const float textLeft = column.left + kPad + qrSide + 24;
    const float textWidth = std::max(column.right - kPad - textLeft, 80.0f);
    const std::wstring status = widen(w.status);
    const float helpH = ctx.textHeight(kPairingHelp, Font::Text13_5, textWidth);
    const float statusH = status.empty() ? 0 : ctx.textHeight(status, Font::Text13, textWidth);
    const float textH = helpH + 12 + statusH + (w.canRetry ? 14 + kFieldHeight : 0);
    const float topBlock = std::max(qrSide, textH);

    const size_t offers =
        std::min(w.offers.size(), static_cast<size_t>(hit::kOfferLast - hit::kOfferFirst + 1));
    const float innerWidth = column.width() - 2 * kPad;
    const std::wstring none =
        w.discovery ? L"None yet. On the phone, Wireless debugging \u2192 Pair device with pairing "
                      L"code shows one here."
                    : L"This adb cannot look for phones. Type the address the phone shows.";
    const float noneH = ctx.textHeight(none, Font::Text12, innerWidth);
    const float offersBlock = 26 + (offers == 0 ? noneH : kOfferHeight * offers);
    const float fieldsBlock = kLabelHeight + 4 + kFieldHeight;
    const float body = topBlock + kBlockGap + offersBlock + kBlockGap + fieldsBlock;

    float left = 0, right = 0;
    float y = cardFrame(page, body, L"Close", left, right);

    // The code, and what to do with it.
    const RectF qrBox{left, y, left + qrSide, y + qrSide};
    if (symbol.empty()) {
        ctx.draw.fill(qrBox, rgb(colors::kControlOff), 4);
    } else {
        ctx.draw.qrCode(symbol, qrBox);
    }
    float ty = y;
    ctx.draw.text(kPairingHelp, {textLeft, ty, textLeft + textWidth, ty + helpH}, Font::Text13_5,
                  rgb(colors::kPrimaryText), true);
    ty += helpH + 12;
    if (!status.empty()) {
        ctx.draw.text(status, {textLeft, ty, textLeft + textWidth, ty + statusH}, Font::Text13,
                      rgb(statusColour(w.step)), true);
        ty += statusH + 14;
    }
    if (w.canRetry) {
        drawButton(ctx, {textLeft, ty, textLeft + kRetryWidth, ty + kFieldHeight}, hit::kPairRetry,
                   L"Try again", true, [&cb] { invoke(cb.openPairing); });
    }
    y += topBlock + kBlockGap;

    // The phones that show a pairing code: picking one fills in its address.
    ctx.draw.fill({left, y - kBlockGap / 2, right, y - kBlockGap / 2 + 1}, rgb(colors::kSeparator));
    ctx.draw.text(L"Phones showing a pairing code", {left, y, right, y + 18}, Font::Strong12_5,
                  rgb(colors::kSecondaryText));
    y += 26;
    if (offers == 0) {
        ctx.draw.text(none, {left, y, right, y + noneH}, Font::Text12, rgb(colors::kHelpText),
                      true);
        y += noneH;
    }
    for (size_t i = 0; i < offers; ++i) {
        const WifiOffer& offer = w.offers[i];
        const int h = hit::kOfferFirst + static_cast<int>(i);
        const std::wstring address = widen(offer.address);
        const RectF row{left, y + 2, right, y + kOfferHeight - 2};
        if (state.pairAddress == address) {
            ctx.draw.fill(row, rgb(colors::kAccent, 0.18f), 6);
            ctx.draw.stroke(row.inflated(-0.5f, -0.5f), rgb(colors::kAccent, 0.6f), 6);
        } else if (state.hovered == h) {
            ctx.draw.fill(row, rgb(colors::kControlOffHover), 6);
        }
        ctx.draw.text(widen(offer.name), {row.left + 12, row.top, row.right - 200, row.bottom},
                      Font::Text13_5, rgb(colors::kPrimaryText), false, Align::Leading, true);
        ctx.draw.text(address, {row.right - 200, row.top, row.right - 12, row.bottom}, Font::Text12,
                      rgb(colors::kSecondaryText), false, Align::Trailing, true);
        ctx.addContentHit(row, h, true);
        ControlSpec entry;
        entry.click = [&state, address] { state.pairAddress = address; };
        ctx.controls[h] = std::move(entry);
        y += kOfferHeight;
    }
    y += kBlockGap;

    // An address and a code typed by hand; with no code, the address is only connected to.
    const float codeLeft = right - kSubmitWidth - 12 - kCodeWidth;
    const RectF addressBox{left, y + kLabelHeight + 4, codeLeft - 12, y + fieldsBlock};
    const RectF codeBox{codeLeft, addressBox.top, codeLeft + kCodeWidth, addressBox.bottom};
    const RectF submitBox{right - kSubmitWidth, addressBox.top, right, addressBox.bottom};
    ctx.draw.text(L"Address and port", {addressBox.left, y, addressBox.right, y + kLabelHeight},
                  Font::Text12, rgb(colors::kHelpText));
    ctx.draw.text(L"Pairing code", {codeBox.left, y, codeBox.right, y + kLabelHeight}, Font::Text12,
                  rgb(colors::kHelpText));
    drawTextField(ctx, addressBox, hit::kPairAddress, state.pairAddress, FieldKind::Address, true,
                  [&state](const std::string& text) {
                      state.pairAddress = widen(text);
                      return true;
                  });
    drawTextField(ctx, codeBox, hit::kPairCode, state.pairCode, FieldKind::Whole, true,
                  [&state](const std::string& text) {
                      state.pairCode = widen(text);
                      return true;
                  });
    const bool busy = w.step == WifiStep::Pairing || w.step == WifiStep::Connecting;
    const bool haveAddress = !fieldText(state, hit::kPairAddress, state.pairAddress).empty();
    const bool haveCode = !fieldText(state, hit::kPairCode, state.pairCode).empty();
    // A field still being typed in is committed by the press that reaches this button.
    drawButton(ctx, submitBox, hit::kPairSubmit, haveCode ? L"Pair" : L"Connect",
               haveAddress && !busy, [&cb, &state] {
                   invoke(cb.pairWithCode, narrow(state.pairAddress), narrow(state.pairCode));
               });
}

}  // namespace tov::panel
