// Everything that can be pressed in the panel, and the regions recorded for them during a paint.
#pragma once

#include <vector>

#include "panel/draw_list.h"

namespace tov::panel {

// Plain integers so that the open ranges can be computed.
namespace hit {
inline constexpr int kNone = 0;
// Sidebar: the six page buttons (kPageFirst + page), the main button and the update card.
inline constexpr int kPageFirst = 1;
inline constexpr int kMainButton = 10;
inline constexpr int kCardRestart = 11;
inline constexpr int kCardLater = 12;
inline constexpr int kGotIt = 13;

// Controls of the pages.
inline constexpr int kCaptureWith = 20;  // segments: kCaptureWith + 0 / 1
inline constexpr int kVideo = 23;
inline constexpr int kAudio = 24;
inline constexpr int kVoice = 25;
inline constexpr int kKeyboard = 26;
inline constexpr int kMouse = 27;
inline constexpr int kRecord = 28;
inline constexpr int kCodec = 30;  // segments: kCodec + 0 / 1 / 2
inline constexpr int kEncoder = 34;
inline constexpr int kPreset = 40;
inline constexpr int kCustomWidth = 41;
inline constexpr int kCustomHeight = 42;
inline constexpr int kFrameRate = 43;
inline constexpr int kCustomBitrate = 44;
inline constexpr int kKeyframe = 45;
inline constexpr int kAdapt = 46;
inline constexpr int kVbr = 47;
inline constexpr int kShape = 48;
inline constexpr int kRatio = 49;
inline constexpr int kFit = 50;  // segments: kFit + 0 / 1 / 2
inline constexpr int kMatchPhone = 54;
inline constexpr int kMode = 60;  // segments: kMode + 0 (Touch) / 1 (Device)
inline constexpr int kAccel = 62;
inline constexpr int kEveryPhone = 63;
inline constexpr int kShowVideo = 70;
inline constexpr int kOnTop = 71;
inline constexpr int kSoundFrom = 72;  // segments: kSoundFrom + 0 (the active phone) / 1 (all)
inline constexpr int kResetShortcuts = 80;
inline constexpr int kPhone = 85;
inline constexpr int kUseWifi = 86;
inline constexpr int kPreferUsb = 87;
inline constexpr int kToPhone = 88;
inline constexpr int kToPc = 89;
inline constexpr int kPictures = 90;
inline constexpr int kPasswords = 91;
inline constexpr int kUpdateButton = 92;
inline constexpr int kAutoUpdate = 93;
inline constexpr int kWifiPair = 94;
inline constexpr int kUseOverWifi = 95;

// Key fields: the Tovenmar key, then one per shortcut (kShortcutFirst + index).
inline constexpr int kTovenmarKey = 100;
inline constexpr int kShortcutFirst = 101;
inline constexpr int kShortcutLast = 199;
// Slider-like values.
inline constexpr int kBitrateSlider = 200;
inline constexpr int kSpeedSlider = 201;
inline constexpr int kVolumeSlider = 202;
// The phones streamed at once: Start all, and Start or Stop per phone (kStreamFirst + index).
inline constexpr int kStartAll = 203;
inline constexpr int kStreamFirst = 204;
inline constexpr int kStreamLast = 209;
// The pairing card, the phones it lists (kOfferFirst + index) and the remembered phones' Forget
// buttons (kForgetFirst + index).
inline constexpr int kPairClose = 210;
inline constexpr int kPairRetry = 211;
inline constexpr int kPairAddress = 212;
inline constexpr int kPairCode = 213;
inline constexpr int kPairSubmit = 214;
// The phones streamed at once: Show per phone (kShowFirst + index).
inline constexpr int kShowFirst = 215;
inline constexpr int kShowLast = 219;
inline constexpr int kOfferFirst = 220;
inline constexpr int kOfferLast = 239;
inline constexpr int kForgetFirst = 240;
inline constexpr int kForgetLast = 299;
// Items of the open dropdown list (kListItemFirst + item index).
inline constexpr int kListItemFirst = 300;

inline bool isShortcutField(int h) {
    return h >= kTovenmarKey && h <= kShortcutLast;
}
inline bool isListItem(int h) {
    return h >= kListItemFirst;
}
}  // namespace hit

struct HitRegion {
    RectF rect;
    int hit = hit::kNone;
    bool enabled = true;
};

// The first region containing the point, or null.
const HitRegion* hitTest(const std::vector<HitRegion>& regions, float x, float y);

}  // namespace tov::panel
