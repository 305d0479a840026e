#include "app/stream_control.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace tov {

bool parseWholeNumber(const std::string& text, long low, long high, bool emptyIsZero, long& value) {
    if (text.empty()) {
        value = 0;
        return emptyIsZero && low <= 0 && 0 <= high;
    }
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(begin, &end, 10);
    if (end == begin || end != begin + text.size() || errno == ERANGE) return false;
    if (parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

namespace {

// Non-empty text that strtod reads completely, within 0..3600 seconds.
bool validKeyframe(const std::string& text) {
    if (text.empty()) return false;
    const char* begin = text.c_str();
    char* end = nullptr;
    const double seconds = std::strtod(begin, &end);
    if (end != begin + text.size()) return false;
    return seconds >= 0 && seconds <= 3600;  // NaN fails both
}

}  // namespace

StreamControl::StreamControl(std::mutex& modelLock, PanelModel& model, const PhoneInfo& lastInfo,
                             StreamControlHooks hooks)
    : lock_(modelLock), model_(model), lastInfo_(lastInfo), hooks_(std::move(hooks)) {}

StreamOptionMap StreamControl::options() {
    std::lock_guard<std::mutex> hold(lock_);
    return buildStreamOptions(model_, lastInfo_);
}

ScreenSize StreamControl::phoneScreen(ScreenSize helper) const {
    if (helper.known()) return helper;
    return ScreenSize{lastInfo_.width, lastInfo_.height};
}

void StreamControl::setNoApp(bool on) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (model_.noApp == on) return;
        model_.noApp = on;
        model_.presets.clear();
        model_.note.clear();
        model_.audioNote.clear();
    }
    const bool wasStreaming = hooks_.streaming && hooks_.streaming();
    if (hooks_.setStreaming) hooks_.setStreaming(false);
    if (hooks_.setSessionNoApp) hooks_.setSessionNoApp(on);
    call(hooks_.pushOptions);
    call(hooks_.resetVideo);
    call(hooks_.stopAudio);
    if (wasStreaming && hooks_.setStreaming) hooks_.setStreaming(true);
    call(hooks_.applyInput);
}

void StreamControl::fitSizeToShape(ScreenSize screen, StreamOptionMap& pending) {
    const bool phoneShape = model_.aspect == kShapePhone;
    double ratio = phoneShape ? sideRatio(screen.width, screen.height) : shapeRatio(model_);
    if (ratio <= 0 || (phoneShape && model_.customHeight == 0)) return;
    // A custom size is its own shape, upright or not: width over height keeps a typed 720 x 1280
    // as it is, where the long-over-short ratio would turn it into 2276 x 1280.
    if (model_.aspect == kShapeCustomSize) {
        ratio = static_cast<double>(model_.customWidth) / model_.customHeight;
    }
    if (model_.customHeight == 0) {
        model_.customHeight = screen.known() ? std::min(screen.width, screen.height) : 1080;
    }
    const double width = std::round(static_cast<double>(model_.customHeight) * ratio);
    model_.customWidth = static_cast<int32_t>(width) & ~1;
    pending = {{"width", std::to_string(model_.customWidth)},
               {"height", std::to_string(model_.customHeight)}};
    addShapeOptions(model_, pending);
}

bool StreamControl::takeOption(const std::string& key, const std::string& value, ScreenSize helper,
                               StreamOptionMap& pending) {
    struct NumberKey {
        const char* key;
        long low, high;
        bool emptyIsZero;
        int32_t PanelModel::*field;
    };
    // The typed shape (aspect 5) is reached only through "ratio".
    static const NumberKey kNumberKeys[] = {
        {"fps", 1, 240, false, &PanelModel::fps},
        {"fit", 0, 2, false, &PanelModel::fit},
        {"bitrate", 1, 2000, false, &PanelModel::mbps},
        {"aspect", 0, 4, true, &PanelModel::aspect},
        {"width", 0, 8192, true, &PanelModel::customWidth},
        {"height", 0, 8192, true, &PanelModel::customHeight},
    };
    const auto numberKey = std::find_if(std::begin(kNumberKeys), std::end(kNumberKeys),
                                        [&](const NumberKey& k) { return key == k.key; });
    if (numberKey != std::end(kNumberKeys)) {
        long number = 0;
        if (!parseWholeNumber(value, numberKey->low, numberKey->high, numberKey->emptyIsZero,
                              number)) {
            return false;
        }
        model_.*numberKey->field = static_cast<int32_t>(number);
        // The phone gets the number that was taken, not the text around it (" +30", "030", "").
        pending = {{key, std::to_string(number)}};
        if (key == "bitrate") pending = {{key, std::to_string(int64_t{number} * 1000000)}};
        if (key == "width") model_.aspect = kShapeCustomSize;
    } else if (key == "keyframe") {
        if (!validKeyframe(value)) return false;
        model_.keyframe = value;
    } else if (key == "codec") {
        model_.noAppCodec = value;
    } else if (key == "ratio") {
        if (parseTypedRatio(value) == 0) return false;
        model_.ratio = value;
        model_.aspect = kShapeTyped;
    } else {
        return false;
    }
    if (key == "aspect" || key == "ratio" || key == "width" || key == "height") {
        fitSizeToShape(phoneScreen(helper), pending);
    }
    return true;
}

bool StreamControl::setNoAppOption(const std::string& key, const std::string& value) {
    if (key == "matchphone") {
        {
            std::lock_guard<std::mutex> hold(lock_);
            model_.matchPhone = value == "1";
        }
        call(hooks_.saveSettings);
        call(hooks_.refresh);
        return true;
    }

    // Asked before the lock: the input helper link has a lock of its own.
    const ScreenSize helper = hooks_.helperScreen ? hooks_.helperScreen() : ScreenSize{};
    StreamOptionMap pending = {{key, value}};
    bool noApp = false;
    StreamOptionMap whole;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!takeOption(key, value, helper, pending)) return false;
        noApp = model_.noApp;
        if (noApp) whole = buildStreamOptions(model_, lastInfo_);
    }
    call(hooks_.pushOptions);
    if (hooks_.sendToPhone) {
        if (noApp) {
            hooks_.sendToPhone(whole);
        } else if (key != "codec" && key != "bitrate") {
            hooks_.sendToPhone(pending);
        }
    }
    call(hooks_.saveSettings);
    call(hooks_.refresh);
    return true;
}

void StreamControl::mapToPhone(float& x, float& y) {
    const ScreenSize screen = hooks_.helperScreen ? hooks_.helperScreen() : ScreenSize{};
    int32_t fit, width, height;
    {
        std::lock_guard<std::mutex> hold(lock_);
        fit = model_.fit;
        width = model_.width;
        height = model_.height;
    }
    mapFrameToScreen(fit, width, height, screen, x, y);
}

}  // namespace tov
