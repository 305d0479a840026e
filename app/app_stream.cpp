// The stream's handlers: the Quality and Stream page setters, start and stop, and what the
// Session reports (link state, the phone's hello, stream state and phone info).
#include <utility>

#include "app/app.h"
#include "app/report_fields.h"
#include "core/stream_options.h"
#include "video/video_item.h"

namespace tov {

void App::setter(Setter which, const std::string& text, bool flag, int32_t number) {
    std::string key;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        switch (which) {
            case Setter::Video:
                model_.video = flag;
                key = "video";
                break;
            case Setter::Audio:
                model_.audio = flag;
                key = "audio";
                break;
            case Setter::Preset:
                model_.preset = text;
                // The user's new size is what the stream adapter steps down from.
                model_.adaptPreset.clear();
                key = "preset";
                break;
            case Setter::Codec:
                model_.codecChoice = text;
                key = "codec";
                break;
            case Setter::Encoder:
                model_.encoder = text;
                key = "encoder";
                break;
            case Setter::Vbr:
                model_.vbr = flag;
                key = "vbr";
                break;
            case Setter::Voice:
                model_.voice = flag;
                key = "voice";
                break;
            case Setter::Bitrate:
                model_.bitrate = number;
                key = "bitrate";
                break;
        }
    }
    sendStreamChange(shown(), {key});
    save();
    refresh();
}

void App::sendStreamChange(PhoneStream& phone, const std::vector<std::string>& keys) {
    bool noApp;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        noApp = model_.noApp;
    }
    // In No app mode the phone takes the whole map, the same one the Session keeps. Otherwise
    // the changed keys go as the map has them: the user's choice, or the stream adapter's level
    // under it.
    StreamOptionMap options = pushStreamOptions(phone);
    if (noApp) {
        phone.session.sendOptions(options);
        return;
    }
    StreamOptionMap changed;
    for (const std::string& key : keys) changed[key] = options[key];
    phone.session.sendOptions(changed);
}

void App::setVideo(bool on) {
    setter(Setter::Video, {}, on, 0);
}
void App::setAudio(bool on) {
    setter(Setter::Audio, {}, on, 0);
}
void App::setPreset(const std::string& preset) {
    setter(Setter::Preset, preset, false, 0);
}
void App::setEncoder(const std::string& encoder) {
    setter(Setter::Encoder, encoder, false, 0);
}
void App::setVbr(bool on) {
    setter(Setter::Vbr, {}, on, 0);
}
void App::setVoice(bool on) {
    setter(Setter::Voice, {}, on, 0);
}
void App::setBitrate(int32_t bitrate) {
    setter(Setter::Bitrate, {}, false, bitrate);
}

void App::setCodec(const std::string& codec) {
    bool noApp;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        noApp = model_.noApp;
    }
    if (noApp) {
        setNoAppOption("codec", codec);
    } else {
        setter(Setter::Codec, codec, false, 0);
    }
}

void App::startOrStop() {
    PhoneStream& phone = shown();
    phone.session.setStreaming(!phone.session.streaming());
    expectStream(phone);
    applyInput();
}

void App::expectStream(PhoneStream& phone) {
    int codec = -1, width = 0, height = 0;
    if (phone.session.streaming()) {
        std::lock_guard<std::mutex> lock(modelLock_);
        width = phone.info.width;
        height = phone.info.height;
        codec = model_.codec == "hevc" ? kCodecHevc : 0;
    }
    phone.video->expectStream(codec, width, height);
}

void App::setRecording(bool on) {
    PhoneStream& phone = shown();
    if (on) {
        phone.recorder.start();
    } else {
        phone.recorder.stop();
    }
    refresh();
}

void App::reinstall() {
    shown().session.reinstall();
    applyInput();
}

void App::setNoApp(bool on) {
    streamControl_.setNoApp(on);
}

bool App::setNoAppOption(const std::string& key, const std::string& value) {
    // A new size or rate is what the stream adapter steps down from; a refused one changes
    // nothing, the adapter's level included.
    const bool size =
        key == "width" || key == "height" || key == "fps" || key == "aspect" || key == "ratio";
    int32_t width = 0, height = 0, fps = 0;
    if (size) {
        std::lock_guard<std::mutex> lock(modelLock_);
        width = std::exchange(model_.adaptWidth, 0);
        height = std::exchange(model_.adaptHeight, 0);
        fps = std::exchange(model_.adaptFps, 0);
    }
    const bool taken = streamControl_.setNoAppOption(key, value);
    if (size && !taken) {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.adaptWidth = width;
        model_.adaptHeight = height;
        model_.adaptFps = fps;
    }
    return taken;
}

void App::onLinkState(PhoneStream& phone, LinkState state, const std::string& detail) {
    applyLinkState(phone, state, detail);
    tellWifiPhones();
}

void App::applyLinkState(PhoneStream& phone, LinkState state, const std::string& detail) {
    phone.linkState = state;
    // A new connection: the phone's reports on it answer only what is sent on it.
    if (state == LinkState::Live) phone.toggleEchoes.linkStarted();
    // The pipeline is reset before the model tells of the new state, so whoever sees a state
    // other than live also sees the video and sound it implies.
    if (state != LinkState::Live) {
        phone.video->reset();
        expectStream(phone);
        phone.audio.stop();
        phone.recorder.onStreamEnd();
    }
    const bool inModel = isShown(phone);
    bool show;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        show = model_.showVideo;
        if (state != LinkState::Live) phone.streamWidth = phone.streamHeight = 0;
    }
    if (inModel) {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.linkState = state;
        if (!detail.empty()) model_.detail = detail;
        if (state != LinkState::Live) {
            model_.width = 0;
            model_.height = 0;
        }
    }
    if (state == LinkState::Live) {
        sendInputToggles(phone);
        if (show) phone.video->show(true);
    }
    refresh();
}

void App::onDeviceReport(PhoneStream& phone, const Report& report) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        phone.lastHello = report;
    }
    if (!isShown(phone)) return;
    if (const std::string* device = findField(report, "device")) {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.detail = *device;
    }
}

void App::onPhoneStateReport(PhoneStream& phone, const Report& report) {
    // The effects come first and outside the model lock: stopping the sound joins its render
    // thread, and no thread is joined under the model lock. As with a link state, whoever sees
    // the report in the model also sees the video and sound it implies.
    const std::string* videoField = findField(report, "video");
    const std::string* audioField = findField(report, "audio");
    const bool inModel = isShown(phone);
    bool videoOff, audioOff;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        for (const auto& [key, value] : report) phone.lastState[key] = value;
        videoOff = (!inModel || model_.video) && videoField && *videoField != "1";
        audioOff = audioField ? *audioField != "1" : !model_.audio;
    }
    if (videoOff) phone.video->reset();
    if (audioOff) phone.audio.stop();
    // Only the shown phone's report reaches the pages; another phone's stream keeps the options
    // it was given.
    if (!inModel) return;
    bool push = false;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        if (videoField) model_.video = *videoField == "1";
        if (audioField) model_.audio = *audioField == "1";
        const std::string* mode = findField(report, "mode");
        if (!(mode && *mode == "noapp")) {
            const std::string* preset = findField(report, "presetChoice");
            if (!preset) preset = findField(report, "preset");
            if (preset && model_.adapt && !model_.adaptPreset.empty() &&
                *preset == model_.adaptPreset) {
                preset = nullptr;
            }
            if (preset) model_.preset = *preset;
            const std::string* bitrate = findField(report, "bitrateChoice");
            if (!bitrate) bitrate = findField(report, "bitrate");
            // What the stream adapter sends comes back as the phone's choice; the user's own
            // stays the user's.
            if (bitrate && model_.adapt && model_.adaptBitrate > 0 &&
                *bitrate == std::to_string(model_.adaptBitrate)) {
                bitrate = nullptr;
            }
            if (bitrate) parseDecimal(*bitrate, model_.bitrate);
            if (const std::string* v = findField(report, "codecChoice")) model_.codecChoice = *v;
            if (const std::string* v = findField(report, "encoder")) model_.encoder = *v;
            if (const std::string* v = findField(report, "vbr")) model_.vbr = *v == "1";
            if (const std::string* v = findField(report, "presets"))
                model_.presets = parsePresets(*v);
            if (const std::string* v = findField(report, "maxBitrate"))
                parseDecimal(*v, model_.maxBitrate);
            push = true;
        }
        if (const std::string* v = findField(report, "link")) parseDecimal(*v, model_.link);
        if (const std::string* v = findField(report, "codec")) model_.codec = *v;
        if (const std::string* v = findField(report, "encoderName")) model_.encoderName = *v;
        if (const std::string* v = findField(report, "codecs")) {
            model_.phoneHevc = v->find("hevc") != std::string::npos;
        }
        if (const std::string* v = findField(report, "width")) parseDecimal(*v, model_.width);
        if (const std::string* v = findField(report, "height")) parseDecimal(*v, model_.height);
        if (const std::string* v = findField(report, "note")) model_.note = *v;
        if (const std::string* v = findField(report, "audioNote")) model_.audioNote = *v;
        if (const std::string* v = findField(report, "limits")) model_.limits = *v;
    }
    save();
    if (push) pushStreamOptions(phone);
    refresh();
}

void App::onPhoneInfo(PhoneStream& phone, const PhoneInfo& info) {
    const bool inModel = isShown(phone);
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        // The record carries no message text of its own, so the detail line is left alone.
        phone.info = info;
        if (inModel) lastPhoneInfo_ = info;
    }
    // The stream connects after this, on the same thread: with the level it settled at last.
    adaptPhoneProbed(phone);
    refresh();
}

}  // namespace tov
