// The App's wiring: for each subsystem, which of its callbacks goes to which App handler or
// which other subsystem's operation. Handler bodies live in the app_*.cpp file of their concern.
#include "app/app.h"

#include "phone/phone_info_probe.h"
#include "platform/user_folders.h"

namespace tov {

namespace {

SessionInstallOutcome sessionOutcome(const InstallOutcome& outcome) {
    SessionInstallOutcome out;
    out.kind = outcome.kind;
    out.statusText = installStatusText(outcome);
    return out;
}

SessionPhoneChoice sessionChoice(const PhoneChoice& c) {
    SessionPhoneChoice out;
    out.serial = c.serial;
    out.key = c.key;
    out.name = c.name;
    out.adbMissing = c.adbMissing;
    out.unauthorized = c.unauthorized;
    return out;
}

}  // namespace

// Session → App (stream thread).
SessionCallbacks App::makeSessionCallbacks() {
    SessionCallbacks cb;
    cb.onLinkState = [this](LinkState s, const std::string& detail) {
        onLinkState(s, detail);
        tellWifiPhones();
    };
    cb.onHello = [this](const Report& r) { onDeviceReport(r); };
    cb.onStreamState = [this](const Report& r) { onPhoneStateReport(r); };
    cb.onInputState = [this](const Report& r) { onInputReport(r); };
    cb.onPhoneInfo = [this](const PhoneInfo& info) { onPhoneInfo(info); };
    cb.onStatusText = [this] { refresh(); };
    // The picture and the sound go to the screen and the speakers, and to the recorder.
    cb.onVideoConfig = [this](int w, int h, int fps, int codec, const uint8_t* csd, size_t n) {
        adaptOnConfig(w, h, fps);
        video_->onConfig(w, h, fps, codec, csd, n);
        recorder_.onVideoConfig(w, h, codec, csd, n);
    };
    cb.onVideoPacket = [this](const uint8_t* data, size_t size, int64_t time, bool key) {
        adaptOnPacket(size, time);
        video_->onPacket(data, size, time, key);
        recorder_.onVideoPacket(data, size, time, key);
    };
    cb.onAudioConfig = [this](int rate, int channels) {
        audio_.start(rate, channels);
        recorder_.onAudioConfig(rate, channels);
        refresh();
    };
    cb.onAudioPacket = [this](const uint8_t* data, size_t size, int64_t time) {
        audio_.pushBytes(data, size);
        recorder_.onAudioPacket(data, size, time);
    };
    return cb;
}

// Session → adb, the phone monitor and the installer (stream thread).
SessionPhoneLink App::makePhoneLink() {
    SessionPhoneLink link;
    link.findAdb = [this] { return findAdbPath(); };
    link.choice = [this] { return sessionChoice(phoneMonitor_.choice()); };
    link.runAdb = [this](const std::wstring& adb, const std::wstring& args, std::string* output,
                         uint32_t limitMs) { return adbRunner()(adb, args, output, limitMs); };
    link.ensureApp = [this](const std::wstring& adb, const std::wstring& prefix,
                            const SessionPhoneLink::Progress& progress) {
        return sessionOutcome(installer_.ensureApp(adb, prefix, progress));
    };
    link.appIsCurrent = [this](const std::wstring& adb, const std::wstring& prefix) {
        return installer_.appIsCurrent(adb, prefix);
    };
    link.reinstallApp = [this](const std::wstring& adb, const std::wstring& prefix) {
        return sessionOutcome(installer_.reinstallApp(adb, prefix));
    };
    link.probePhoneInfo = [this](const std::wstring& adb, const std::wstring& prefix) {
        return probePhoneInfo(installer_, adbRunner(), adb, prefix);
    };
    return link;
}

// Input helper link → adb, the phone monitor and the installer (link thread).
InputPhoneLink App::makeInputPhoneLink() {
    InputPhoneLink link = inputPhoneLinkOverAdb(
        [this] { return phoneMonitor_.serialArgs(); },
        [this](const std::wstring& adb, const std::wstring& prefix) {
            return installer_.copyHelper(adb, prefix);
        });
    link.findAdb = [this] { return findAdbPath(); };
    link.runAdb = [this](const std::wstring& adb, const std::wstring& args, std::string* output,
                         uint32_t limitMs) { return adbRunner()(adb, args, output, limitMs); };
    return link;
}

// Video window → App, Session and input link (UI thread, except where the port says otherwise).
VideoEvents App::makeVideoEvents() {
    VideoEvents ev;
    ev.keyframeWanted = [this] { session_.requestKeyframe(); };
    ev.phoneToPc = [this](int64_t t, int64_t* out) { return session_.toPcTime(t, out); };
    ev.closed = [this] { onVideoClosed(); };
    ev.touch = [this](int action, int pointer, float x, float y) { onTouch(action, pointer, x, y); };
    ev.scroll = [this](float x, float y, float h, float v) { onScroll(x, y, h, v); };
    ev.systemButton = [this](int which) { inputLink_.pressKey(which == 1 ? 4 : 3); };
    ev.deviceMouse = [this](uint8_t buttons, int dx, int dy, int wheel, int hwheel) {
        inputLink_.mouseMotion(buttons, dx, dy, wheel, hwheel);
    };
    ev.key = [this](bool down, unsigned vk, int64_t lParam, const KeyboardState& state) {
        return keyRouter_.onKey(down, vk, lParam, state);
    };
    ev.focusLost = [this] { releaseHeldInput(); };
    ev.changed = [this](bool) { refresh(); };
    ev.filesDropped = [this](std::vector<std::wstring> paths) { onFilesDropped(paths); };
    return ev;
}

// Key router → input link, video window and App (UI thread).
KeyTargets App::makeKeyTargets() {
    KeyTargets targets;
    targets.androidKey = [this](bool down, int32_t code, int32_t meta, uint32_t repeat) {
        inputLink_.androidKey(down, code, meta, repeat);
    };
    targets.pressKey = [this](int32_t code) { inputLink_.pressKey(code); };
    targets.hidKey = [this](uint8_t usage, bool pressed) { inputLink_.hidKey(usage, pressed); };
    targets.releaseMouse = [this] { video_->releaseCapture(); };
    targets.toggleFullscreen = [this] { video_->toggleFullscreen(); };
    targets.switchMode = [this](bool deviceMode) { setDeviceMode(deviceMode); };
    targets.toggleRecording = [this] { setRecording(!recorder_.wanted()); };
    targets.takeScreenshot = [this] { takeScreenshot(); };
    targets.forwarding = [this] {
        std::lock_guard<std::mutex> lock(modelLock_);
        return model_.keyboard && inputLink_.state() == InputLink::kReady;
    };
    return targets;
}

// Stream control → Session, video, audio and App (UI thread).
StreamControlHooks App::makeStreamControlHooks() {
    StreamControlHooks hooks;
    hooks.pushOptions = [this] { pushStreamOptions(); };
    hooks.sendToPhone = [this](const StreamOptionMap& options) { session_.sendOptions(options); };
    hooks.streaming = [this] { return session_.streaming(); };
    hooks.setStreaming = [this](bool on) { session_.setStreaming(on); };
    hooks.setSessionNoApp = [this](bool on) { session_.setNoApp(on); };
    hooks.resetVideo = [this] { video_->reset(); };
    hooks.stopAudio = [this] { audio_.stop(); };
    hooks.applyInput = [this] { applyInput(); };
    hooks.saveSettings = [this] { save(); };
    hooks.refresh = [this] { refresh(); };
    hooks.helperScreen = [this] { return inputLink_.phoneSize(); };
    return hooks;
}

// Recorder → files, Session and panel (stream and UI threads).
RecorderOptions App::makeRecorderOptions() {
    RecorderOptions options;
    options.newFilePath = [this] {
        return parts_.recordingPath ? parts_.recordingPath()
                                    : newUserFile(UserFolder::Videos, L"Tovenmar", L".mp4");
    };
    options.keyframeWanted = [this] { session_.requestKeyframe(); };
    options.changed = [this] { refresh(); };
    return options;
}

// Screenshot saver → files, the picture port and the status line (screenshot thread).
ScreenshotOptions App::makeScreenshotOptions() {
    ScreenshotOptions options;
    options.newFilePath = [this] {
        return parts_.screenshotPath ? parts_.screenshotPath()
                                     : newUserFile(UserFolder::Pictures, L"Tovenmar", L".png");
    };
    options.encodePng = [this](const Bitmap& picture) {
        return pictures_ ? pictures_->encodePng(picture) : std::string();
    };
    options.copyToClipboard = [this](const Bitmap& picture, const std::string& png) {
        return pictures_ && pictures_->copyToClipboard(picture, png);
    };
    options.status = [this](const std::string& text, bool failed) { setActivity(text, failed); };
    return options;
}

// File sender → adb and the status line (its own thread).
FileSenderOptions App::makeFileSenderOptions() {
    FileSenderOptions options;
    options.findAdb = [this] { return findAdbPath(); };
    options.runAdb = [this](const std::wstring& adb, const std::wstring& args, std::string* output,
                            uint32_t limitMs) { return adbRunner()(adb, args, output, limitMs); };
    options.status = [this](const std::string& text, bool failed) { setActivity(text, failed); };
    return options;
}

// Phone monitor, Wi-Fi, settings, input link (clipboard from the phone), updater and screen
// shape → App.
void App::wireWorkers() {
    phoneMonitor_.onChange = [this] {
        onPhoneChange();
        tellWifiPhones();
    };
    wifi_.onChange = [this] { onWifiChange(); };
    settings_.onLastPhoneLoaded = [this](const std::string& key) { phoneMonitor_.setLast(key); };
    settings_.lastPhone = [this] { return phoneMonitor_.last(); };
    inputLink_.setPhoneClipHandler([this](ClipItem item) { onPhoneClip(std::move(item)); });
    inputLink_.setChangeHandler([this] { refresh(); });
}

}  // namespace tov
