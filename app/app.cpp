#include "app/app.h"

#include <utility>

#include "app/log.h"
#include "app/stream_options.h"
#include "phone/phone_info_probe.h"
#include "platform/clock.h"
#include "update/version.h"

namespace tov {

namespace {

constexpr const char* kThisVersion = "1.1.0";

const char* flagText(bool on) {
    return on ? "1" : "0";
}

// The standard stoi rule: leading whitespace, an optional sign, digits; trailing text ignored.
// False when no digit is there or the number does not fit.
bool parseDecimal(const std::string& text, int32_t& out) {
    try {
        size_t used = 0;
        const int value = std::stoi(text, &used);
        out = value;
        return true;
    } catch (...) {
        return false;
    }
}

const std::string* find(const std::map<std::string, std::string>& report, const char* key) {
    auto it = report.find(key);
    return it == report.end() ? nullptr : &it->second;
}

SessionInstallOutcome sessionOutcome(const InstallOutcome& outcome) {
    SessionInstallOutcome out;
    out.kind = outcome.kind;
    out.statusText = installStatusText(outcome);
    return out;
}

}  // namespace

App::App(AppParts parts)
    : phoneMonitor_(parts.phoneMonitor),
      installer_(parts.installer),
      session_(makeSessionCallbacks(), makePhoneLink(), parts.session),
      inputLink_(makeInputPhoneLink(), parts.inputLink),
      clipboard_(parts.makeClipboard ? parts.makeClipboard() : nullptr),
      shortcuts_(shortcuts::defaults()),
      keyRouter_(makeKeyTargets()),
      video_(parts.makeVideo(makeVideoEvents())),
      audio_(48000, 2, 1.0f, parts.audioOutput),
      panel_(parts.makePanel()),
      updater_([this] { refresh(); }, parts.updater),
      settings_(modelLock_, model_, seenVersion_),
      streamControl_(modelLock_, model_, lastPhoneInfo_, makeStreamControlHooks()),
      parts_(std::move(parts)) {
    inputLink_.setPhoneClipHandler([this](ClipItem item) {
        bool toPc;
        {
            std::lock_guard<std::mutex> lock(modelLock_);
            toPc = model_.toPc;
        }
        if (toPc && clipboard_) clipboard_->putFromPhone(std::move(item));
    });
    phoneMonitor_.onChange = [this] { onPhoneChange(); };
    settings_.onLastPhoneLoaded = [this](const std::string& key) { phoneMonitor_.setLast(key); };
    settings_.lastPhone = [this] { return phoneMonitor_.last(); };
    if (parts_.settingsPath) settings_.pathProvider = parts_.settingsPath;
}

App::~App() = default;

SessionPhoneLink App::makePhoneLink() {
    SessionPhoneLink link;
    link.findAdb = [this] { return findAdbPath(); };
    link.choice = [this] {
        const PhoneChoice c = phoneMonitor_.choice();
        SessionPhoneChoice out;
        out.serial = c.serial;
        out.key = c.key;
        out.name = c.name;
        out.adbMissing = c.adbMissing;
        out.unauthorized = c.unauthorized;
        return out;
    };
    link.runAdb = [this](const std::wstring& adb, const std::wstring& args, uint32_t limitMs) {
        std::string output;
        return adbRunner()(adb, args, &output, limitMs);
    };
    link.ensureApp = [this](const std::wstring& adb, const std::wstring& prefix,
                            const SessionPhoneLink::Progress& progress) {
        return sessionOutcome(installer_.ensureApp(adb, prefix, progress));
    };
    link.reinstallApp = [this](const std::wstring& adb, const std::wstring& prefix) {
        return sessionOutcome(installer_.reinstallApp(adb, prefix));
    };
    link.probePhoneInfo = [this](const std::wstring& adb, const std::wstring& prefix) {
        return probePhoneInfo(installer_, adbRunner(), adb, prefix);
    };
    return link;
}

AdbRunFunction App::adbRunner() const {
    return parts_.phoneMonitor.runAdb ? parts_.phoneMonitor.runAdb : AdbRunFunction(tov::runAdb);
}

InputPhoneLink App::makeInputPhoneLink() {
    InputPhoneLink link =
        inputPhoneLinkOverAdb([this] { return phoneMonitor_.serialArgs(); },
                              [this](const std::wstring& adb, const std::wstring& prefix) {
                                  return installer_.copyHelper(adb, prefix);
                              });
    link.findAdb = [this] { return findAdbPath(); };
    link.runAdb = [this](const std::wstring& adb, const std::wstring& args, uint32_t limitMs) {
        std::string output;
        return adbRunner()(adb, args, &output, limitMs);
    };
    return link;
}

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
    hooks.helperScreen = [this] {
        return ScreenSize{inputLink_.phoneWidth(), inputLink_.phoneHeight()};
    };
    return hooks;
}

std::wstring App::findAdbPath() const {
    return parts_.phoneMonitor.findAdb ? parts_.phoneMonitor.findAdb() : tov::findAdb();
}

KeyTargets App::makeKeyTargets() {
    KeyTargets targets;
    targets.androidKey = [this](bool down, int32_t code, int32_t meta, uint32_t repeat) {
        inputLink_.androidKey(down, code, meta, repeat);
    };
    targets.pressKey = [this](int32_t code) { inputLink_.pressKey(code); };
    targets.hidKey = [this](uint8_t usage, bool pressed) { inputLink_.hidKey(usage, pressed); };
    targets.releaseMouse = [this] { video_->releaseCapture(); };
    targets.toggleFullscreen = [this] { video_->toggleFullscreen(); };
    targets.switchMode = [this](bool deviceMode) { switchMode(deviceMode); };
    return targets;
}

SessionCallbacks App::makeSessionCallbacks() {
    SessionCallbacks cb;
    cb.onLinkState = [this](LinkState state, const std::string& detail) {
        onLinkState(state, detail);
    };
    cb.onHello = [this](const Report& report) { onDeviceReport(report); };
    cb.onStreamState = [this](const Report& report) { onPhoneStateReport(report); };
    cb.onVideoConfig = [this](int width, int height, int fps, int codec, const uint8_t* csd,
                              size_t csdSize) {
        video_->onConfig(width, height, fps, codec, csd, csdSize);
    };
    cb.onVideoPacket = [this](const uint8_t* data, size_t size, int64_t time, bool key) {
        video_->onPacket(data, size, time, key);
    };
    cb.onAudioConfig = [this](int sampleRate, int channels) { audio_.start(sampleRate, channels); };
    cb.onAudioPacket = [this](const uint8_t* data, size_t size) { audio_.pushBytes(data, size); };
    cb.onInputState = [this](const Report& report) { onInputReport(report); };
    cb.onPhoneInfo = [this](const PhoneInfo& info) { onPhoneInfo(info); };
    return cb;
}

VideoEvents App::makeVideoEvents() {
    VideoEvents ev;
    ev.keyframeWanted = [this] { session_.requestKeyframe(); };
    ev.phoneToPc = [this](int64_t t, int64_t* out) { return session_.toPcTime(t, out); };
    ev.closed = [this] {
        {
            std::lock_guard<std::mutex> lock(modelLock_);
            model_.showVideo = false;
        }
        refresh();
    };
    ev.touch = [this](int action, int pointer, float x, float y) {
        streamControl_.mapToPhone(x, y);
        inputLink_.touch(static_cast<TouchAction>(action), static_cast<uint8_t>(pointer), x, y);
    };
    ev.scroll = [this](float x, float y, float horizontal, float vertical) {
        streamControl_.mapToPhone(x, y);
        inputLink_.scroll(x, y, horizontal, vertical);
    };
    ev.systemButton = [this](int which) { inputLink_.pressKey(which == 1 ? 4 : 3); };
    ev.deviceMouse = [this](uint8_t buttons, int dx, int dy, int wheel, int hwheel) {
        inputLink_.mouseMotion(buttons, dx, dy, wheel, hwheel);
    };
    ev.key = [this](bool down, unsigned virtualKey, int64_t lParam, const KeyboardState& state) {
        return keyRouter_.onKey(down, virtualKey, lParam, state);
    };
    ev.focusLost = [this] { releaseHeldInput(); };
    ev.changed = [this](bool) { refresh(); };
    return ev;
}

// ---- init and shut-down -------------------------------------------------------------------

bool App::init(std::string& errorText) {
    if (!video_->create(errorText)) return false;
    if (parts_.shortcutsPath) {
        shortcuts::loadFrom(parts_.shortcutsPath(), shortcuts_);
    } else {
        shortcuts::load(shortcuts_);
    }
    keyRouter_.setShortcuts(shortcuts_);
    settings_.load();
    ScreenShape::Options shapeOptions;
    shapeOptions.runAdb = adbRunner();
    shapeOptions.findAdb = [this] { return findAdbPath(); };
    screenShape_ = std::make_unique<ScreenShape>(
        settingsFilePath(), [this] { return phoneMonitor_.serialArgs(); }, shapeOptions);
    screenShape_->onChange = [this] { refresh(); };
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        phoneMonitor_.setPinned(model_.pinned);
        phoneMonitor_.setPreferUsb(model_.preferUsb);
        phoneMonitor_.setWifi(model_.wifi);
    }
    if (!panel_->create([this] { return buildModel(); }, *this)) {
        errorText = "Could not create the Tovenmar window.";
        return false;
    }
    const bool hevc = video_->hevcUsable();
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.pcHevc = hevc;
    }
    session_.setDecoders(hevc ? "h264,hevc" : "h264");
    bool noApp;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        noApp = model_.noApp;
    }
    session_.setNoApp(noApp);
    pushStreamOptions();
    phoneMonitor_.start();
    session_.start();
    applyInput();
    bool autoUpdate;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.version = kThisVersion;
        if (seenVersion_.empty()) {
            seenVersion_ = kThisVersion;
        } else if (compareVersions(seenVersion_, kThisVersion) < 0) {
            model_.whatsNewVersion = kThisVersion;
            model_.whatsNewNotes = updater_.whatsNewText(seenVersion_);
        }
        autoUpdate = model_.autoUpdate;
    }
    save();
    updater_.start(autoUpdate);
    return true;
}

std::wstring App::settingsFilePath() const {
    return parts_.settingsPath ? parts_.settingsPath() : settingsPath();
}

void App::shutdown() {
    updater_.requestStop();
    if (screenShape_) screenShape_->finish();
    session_.stop(false);
    if (clipboard_) clipboard_->stop();
    inputLink_.stop();
    phoneMonitor_.stop();
    audio_.stop();
    updater_.stop();
    video_->destroy();
}

// ---- small helpers ------------------------------------------------------------------------

void App::refresh() {
    if (panel_) panel_->refresh();
}

void App::save() {
    settings_.save();
}

StreamOptionMap App::pushStreamOptions() {
    StreamOptionMap options;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        options = buildStreamOptions(model_, lastPhoneInfo_);
    }
    session_.setOptions(options);
    return options;
}

// ---- the setter family --------------------------------------------------------------------

void App::setter(Setter which, const std::string& text, bool flag, int32_t number) {
    std::string key, value;
    bool noApp;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        switch (which) {
            case Setter::Video:
                model_.video = flag;
                key = "video";
                value = flagText(flag);
                break;
            case Setter::Audio:
                model_.audio = flag;
                key = "audio";
                value = flagText(flag);
                break;
            case Setter::Preset:
                model_.preset = text;
                key = "preset";
                value = text;
                break;
            case Setter::Codec:
                model_.codecChoice = text;
                key = "codec";
                value = text;
                break;
            case Setter::Encoder:
                model_.encoder = text;
                key = "encoder";
                value = text;
                break;
            case Setter::Vbr:
                model_.vbr = flag;
                key = "vbr";
                value = flagText(flag);
                break;
            case Setter::Voice:
                model_.voice = flag;
                key = "voice";
                value = flagText(flag);
                break;
            case Setter::Bitrate:
                model_.bitrate = number;
                key = "bitrate";
                value = std::to_string(number);
                break;
        }
        noApp = model_.noApp;
    }
    // In No app mode the phone takes the whole map, the same one the Session keeps.
    StreamOptionMap options = pushStreamOptions();
    if (noApp) {
        session_.sendOptions(options);
    } else {
        session_.sendOptions({{key, value}});
    }
    save();
    refresh();
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

// ---- input --------------------------------------------------------------------------------

void App::setKeyboard(bool on) {
    bool mouse;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        mouse = model_.mouse;
    }
    setInputToggles(on, mouse);
}

void App::setMouse(bool on) {
    bool keyboard;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        keyboard = model_.keyboard;
    }
    setInputToggles(keyboard, on);
}

void App::setInputToggles(bool keyboard, bool mouse) {
    if (!keyboard) releaseHeldInput();
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.keyboard = keyboard;
        model_.mouse = mouse;
    }
    applyInput();
}

void App::applyPendingToggle(std::atomic<int32_t>& pending, bool isKeyboard) {
    const int32_t value = pending.exchange(-1);
    if (value < 0) return;
    bool keyboard, mouse;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        keyboard = model_.keyboard;
        mouse = model_.mouse;
    }
    bool& target = isKeyboard ? keyboard : mouse;
    if ((value == 1) == target) return;
    target = value == 1;
    setInputToggles(keyboard, mouse);
}

void App::releaseHeldInput() {
    keyRouter_.releaseAllKeys();
}

void App::switchMode(bool deviceMode) {
    setDeviceMode(deviceMode);
}

void App::sendClipOptions(bool toPc, bool pictures, bool passwords) {
    inputLink_.setClipOptions(std::string("phoneToPc=") + flagText(toPc) + "\npictures=" +
                              flagText(pictures) + "\npasswords=" + flagText(passwords));
}

void App::applyInput() {
    bool toPhone, toPc, pictures, passwords, keyboard, mouse, deviceMode, accel, noApp;
    float speed;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        toPhone = model_.toPhone;
        toPc = model_.toPc;
        pictures = model_.pictures;
        passwords = model_.passwords;
        keyboard = model_.keyboard;
        mouse = model_.mouse;
        deviceMode = model_.deviceMode;
        accel = model_.accel;
        speed = model_.speed;
        noApp = model_.noApp;
    }
    // A No app stream comes from the helper, so the link runs while one is wanted even with
    // every kind of sharing off.
    const bool linkWanted = toPhone || toPc || keyboard || mouse || (noApp && session_.streaming());
    if (linkWanted && !inputLink_.running()) {
        inputLink_.start();
    } else if (!linkWanted && inputLink_.running()) {
        inputLink_.stop();
    }
    if (clipboard_) {
        clipboard_->setOptions(pictures, passwords);
        if (toPhone && !clipboard_->running()) {
            clipboard_->start([this](ClipItem item) { inputLink_.sendClip(item); });
        } else if (!toPhone && clipboard_->running()) {
            clipboard_->stop();
        }
    }
    sendClipOptions(toPc, pictures, passwords);
    inputLink_.setMouseOptions(!accel, speed);
    uint8_t modeBits = 0;
    if (deviceMode) modeBits = static_cast<uint8_t>((mouse ? 1 : 0) | (keyboard ? 2 : 0));
    inputLink_.setMode(modeBits);
    keyRouter_.setDeviceMode(deviceMode);
    keyRouter_.setForwarding(inputLink_.state() == InputLink::kReady && keyboard);
    video_->setDeviceMode(deviceMode);
    session_.sendInputToggles(keyboard, mouse);
    save();
    refresh();
}

void App::setDeviceMode(bool on) {
    releaseHeldInput();
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.deviceMode = on;
    }
    applyInput();
}

void App::setAcceleration(bool on) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.accel = on;
    }
    applyInput();
}

void App::setSpeed(float speed) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.speed = speed;
    }
    applyInput();
}

void App::setClipboardOption(const std::string& key, bool on) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        if (key == "tophone")
            model_.toPhone = on;
        else if (key == "topc")
            model_.toPc = on;
        else if (key == "pictures")
            model_.pictures = on;
        else if (key == "passwords")
            model_.passwords = on;
    }
    applyInput();
}

// ---- updater ------------------------------------------------------------------------------

void App::restartNow() {
    installOnExit_ = true;
    if (panel_) panel_->close();
}

void App::later() {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.updateLater = true;
    }
    refresh();
}

void App::checkNow() {
    updater_.checkNow();
}

void App::whatsNewRead() {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.whatsNewVersion.clear();
        model_.whatsNewNotes.clear();
        seenVersion_ = kThisVersion;
    }
    updater_.dropOldNotes();
    save();
    refresh();
}

void App::setAutoUpdate(bool on) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.autoUpdate = on;
    }
    updater_.setAuto(on);
    save();
    refresh();
}

// ---- phones -------------------------------------------------------------------------------

void App::pinPhone(const std::string& key) {
    std::string name;
    for (const PhoneEntry& phone : phoneMonitor_.phones()) {
        if (phone.key == key) name = phone.name;
    }
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.pinned = key;
        model_.pinnedName = name;
    }
    phoneMonitor_.setPinned(key);
    save();
    refresh();
}

void App::setPreferUsb(bool on) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.preferUsb = on;
    }
    phoneMonitor_.setPreferUsb(on);
    save();
    refresh();
}

void App::setWifi(bool on) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.wifi = on;
    }
    phoneMonitor_.setWifi(on);
    save();
    refresh();
}

void App::onPhoneChange() {
    const PhoneChoice choice = phoneMonitor_.choice();
    bool serialChanged, keyChanged;
    {
        std::lock_guard<std::mutex> lock(phoneLock_);
        serialChanged = !currentSerial_.empty() && currentSerial_ != choice.serial;
        keyChanged = !choice.key.empty() && choice.key != currentKey_;
        currentSerial_ = choice.serial;
        if (!choice.key.empty()) currentKey_ = choice.key;
    }
    if (serialChanged) {
        session_.reconnect();
        if (inputLink_.running()) {
            inputLink_.stop();
            inputLink_.start();
        }
    }
    if (keyChanged) save();
    refresh();
}

// ---- window -------------------------------------------------------------------------------

void App::showVideo(bool on) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.showVideo = on;
    }
    video_->show(on);
    refresh();
}

void App::setOnTop(bool on) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.onTop = on;
    }
    video_->setOnTop(on);
    refresh();
}

void App::setVolume(float volume) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.volume = volume;
    }
    audio_.setVolume(volume);
}

// ---- stream -------------------------------------------------------------------------------

void App::startOrStop() {
    session_.setStreaming(!session_.streaming());
    applyInput();
}

void App::reinstall() {
    session_.reinstall();
    applyInput();
}

void App::setNoApp(bool on) {
    streamControl_.setNoApp(on);
}

bool App::setNoAppOption(const std::string& key, const std::string& value) {
    return streamControl_.setNoAppOption(key, value);
}

// ---- shortcuts ----------------------------------------------------------------------------

void App::setShortcut(int index, uint8_t modifiers, uint16_t key) {
    shortcuts::assign(shortcuts_, index, modifiers, key);
    keyRouter_.setShortcuts(shortcuts_);
    saveShortcuts();
    refresh();
}

void App::resetShortcuts() {
    shortcuts_ = shortcuts::defaults();
    keyRouter_.setShortcuts(shortcuts_);
    saveShortcuts();
    refresh();
}

void App::saveShortcuts() {
    if (parts_.shortcutsPath) {
        shortcuts::saveTo(parts_.shortcutsPath(), shortcuts_);
    } else {
        shortcuts::save(shortcuts_);
    }
}

// ---- Session reports ----------------------------------------------------------------------

void App::onLinkState(LinkState state, const std::string& detail) {
    // The pipeline is reset before the model tells of the new state, so whoever sees a state
    // other than live also sees the video and sound it implies.
    if (state != LinkState::Live) {
        video_->reset();
        audio_.stop();
    }
    bool keyboard, mouse, show;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.linkState = state;
        if (!detail.empty()) model_.detail = detail;
        if (state != LinkState::Live) {
            model_.width = 0;
            model_.height = 0;
        }
        keyboard = model_.keyboard;
        mouse = model_.mouse;
        show = model_.showVideo;
    }
    if (state == LinkState::Live) {
        session_.sendInputToggles(keyboard, mouse);
        if (show) video_->show(true);
    }
    refresh();
}

void App::onDeviceReport(const Report& report) {
    if (const std::string* device = find(report, "device")) {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.detail = *device;
    }
}

void App::onPhoneStateReport(const Report& report) {
    bool push = false;
    bool stopAudio = false;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        const bool videoWasOn = model_.video;
        if (const std::string* v = find(report, "video")) model_.video = *v == "1";
        if (const std::string* v = find(report, "audio")) model_.audio = *v == "1";
        if (videoWasOn && !model_.video) video_->reset();
        const std::string* mode = find(report, "mode");
        if (!(mode && *mode == "noapp")) {
            if (const std::string* v = find(report, "presetChoice")) {
                model_.preset = *v;
            } else if (const std::string* p = find(report, "preset")) {
                model_.preset = *p;
            }
            const std::string* bitrate = find(report, "bitrateChoice");
            if (!bitrate) bitrate = find(report, "bitrate");
            if (bitrate) parseDecimal(*bitrate, model_.bitrate);
            if (const std::string* v = find(report, "codecChoice")) model_.codecChoice = *v;
            if (const std::string* v = find(report, "encoder")) model_.encoder = *v;
            if (const std::string* v = find(report, "vbr")) model_.vbr = *v == "1";
            if (const std::string* v = find(report, "presets")) model_.presets = parsePresets(*v);
            if (const std::string* v = find(report, "maxBitrate"))
                parseDecimal(*v, model_.maxBitrate);
            push = true;
        }
        if (const std::string* v = find(report, "link")) parseDecimal(*v, model_.link);
        if (const std::string* v = find(report, "codec")) model_.codec = *v;
        if (const std::string* v = find(report, "encoderName")) model_.encoderName = *v;
        if (const std::string* v = find(report, "codecs")) {
            model_.phoneHevc = v->find("hevc") != std::string::npos;
        }
        if (const std::string* v = find(report, "width")) parseDecimal(*v, model_.width);
        if (const std::string* v = find(report, "height")) parseDecimal(*v, model_.height);
        if (const std::string* v = find(report, "note")) model_.note = *v;
        if (const std::string* v = find(report, "audioNote")) model_.audioNote = *v;
        if (const std::string* v = find(report, "limits")) model_.limits = *v;
        stopAudio = !model_.audio;
        if (stopAudio) audio_.stop();
    }
    save();
    if (push) pushStreamOptions();
    refresh();
}

void App::onInputReport(const Report& report) {
    if (const std::string* v = find(report, "keyboard")) pendingKeyboard_ = *v == "1" ? 1 : 0;
    if (const std::string* v = find(report, "mouse")) pendingMouse_ = *v == "1" ? 1 : 0;
    refresh();
}

void App::onPhoneInfo(const PhoneInfo& info) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        // The record carries no message text of its own, so the detail line is left alone.
        lastPhoneInfo_ = info;
    }
    refresh();
}

// ---- the model build ----------------------------------------------------------------------

PanelModel App::buildModel() {
    applyPendingToggle(pendingKeyboard_, true);
    applyPendingToggle(pendingMouse_, false);
    const uint64_t now = parts_.tickMs ? parts_.tickMs() : tickMs();
    std::lock_guard<std::mutex> lock(modelLock_);
    bitrateMeter_.add(session_.takeBytesReceived(), now, &model_.rateMbps);
    const VideoStats stats = video_->stats();
    model_.statFps = stats.shownPerSecond;
    model_.statVideoDelayMs = stats.latencyMs;
    model_.statFrames = stats.received;
    model_.statDropped = stats.dropped;
    model_.videoFlag = stats.onGpu;
    model_.captured = video_->captured();
    model_.statInputDelayMs = inputLink_.rttMs();
    model_.inputState = inputLink_.state();
    model_.deviceAnswer = inputLink_.exact();
    model_.audioRunning = audio_.running();
    model_.streaming = session_.streaming();
    model_.statusText = session_.statusText();
    model_.reinstallOffered = session_.signatureMismatch();
    const PhoneChoice choice = phoneMonitor_.choice();
    model_.chosenKey = choice.key;
    model_.chosenWifi = choice.wifi;
    model_.phones = phoneMonitor_.phones();
    const UpdateStatus status = updater_.snapshot();
    model_.updater.state = status.state;
    model_.updater.version = status.version;
    model_.updater.message = status.message;
    model_.updater.percent = status.percent;
    model_.updater.time = status.time;
    refreshDerivedValues(model_, lastPhoneInfo_);
    model_.keyName = shortcuts::keyText(shortcuts_.tovenmarKey);
    model_.shortcutTexts.clear();
    for (int i = 0; i < kShortcutCount; ++i) {
        model_.shortcutTexts.push_back(
            {shortcuts::actionName(i),
             shortcuts::bindingText(shortcuts_.entries[static_cast<size_t>(i)])});
    }
    model_.shapeRatio = shapeRatio(model_);
    if (screenShape_) {
        const bool wanted =
            model_.matchPhone && model_.streaming && model_.linkState == LinkState::Live;
        screenShape_->setShape(wanted ? model_.shapeRatio : 0.0);
        model_.shapeText = screenShape_->shapeText();
    }

    const bool inputReady = model_.inputState == InputLink::kReady;
    video_->setCapturePossible(inputReady && model_.mouse);
    keyRouter_.setForwarding(inputReady && model_.keyboard);
    video_->setPhoneScreen(inputLink_.phoneWidth(), inputLink_.phoneHeight());
    if (inputReady && !deviceInput_ && model_.linkState != LinkState::Live && model_.showVideo) {
        video_->show(true);
    }
    deviceInput_ = inputReady;
    return model_;
}

}  // namespace tov
