// One phone's stream: its parts, and the wiring between them and to the host, written once for
// every phone the App streams.
#include "app/phone_stream.h"

#include <utility>

#include "phone/phone_info_probe.h"
#include "platform/clock.h"
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

PhoneStream::PhoneStream(PhoneStreamHost& host, std::string key,
                         std::function<PhoneChoice()> choice, const PhoneStreamParts& parts)
    : host_(host),
      key_(std::move(key)),
      choice_(std::move(choice)),
      session(makeSessionCallbacks(), makePhoneLink(), parts.session),
      inputLink(makeInputPhoneLink(), parts.inputLink),
      video(parts.makeVideo(makeVideoEvents())),
      audio(48000, 2, 1.0f, parts.audioOutput),
      recorder(makeRecorderOptions()),
      fileSender(makeFileSenderOptions()),
      keyRouter(makeKeyTargets()),
      adapt(std::make_unique<AdaptRun>(parts.adapt)) {
    inputLink.setPhoneClipHandler(
        [this](ClipItem item) { host_.onPhoneClip(*this, std::move(item)); });
    inputLink.setChangeHandler([this] { host_.refresh(); });
}

PhoneStream::~PhoneStream() {
    stop();
}

std::string PhoneStream::streamName() const {
    return fileNamePart(key_);
}

std::wstring PhoneStream::serialArgs() const {
    const std::string s = choice_().serial;
    return s.empty() ? std::wstring() : adbPrefix(s);
}

void PhoneStream::start() {
    session.start();
    adapt->ticker.start(adapt->options.tickMs, [this] { host_.adaptTick(*this); });
}

void PhoneStream::endPhoneSide() {
    // No adapted level may go to the phone while the stream ends.
    adapt->ticker.stop();
    session.stop(false);
    inputLink.finish();
}

void PhoneStream::stop() {
    if (stopped_) return;
    stopped_ = true;
    video->show(false);
    // A file going to the phone is cut short: nothing waits on adb for it.
    fileSender.stop();
    endPhoneSide();
    // The stream has ended: nothing reaches the recording or the sound any more. The open
    // recording is finished here, the only place that waits for its disk.
    recorder.shutdown();
    audio.stop();
    video->destroy();
}

void PhoneStream::reconnect() {
    session.reconnect();
    inputLink.restart();
}

void PhoneStream::setSoundMuted(bool muted) {
    soundMuted_ = muted;
}

// Session → window, sound, recorder and host (stream thread).
SessionCallbacks PhoneStream::makeSessionCallbacks() {
    SessionCallbacks cb;
    cb.onLinkState = [this](LinkState s, const std::string& detail) {
        linkState = s;
        host_.onLinkState(*this, s, detail);
    };
    cb.onHello = [this](const PhoneStreamHost::Report& r) { host_.onDeviceReport(*this, r); };
    cb.onStreamState = [this](const PhoneStreamHost::Report& r) {
        host_.onPhoneStateReport(*this, r);
    };
    cb.onInputState = [this](const PhoneStreamHost::Report& r) { host_.onInputReport(*this, r); };
    cb.onPhoneInfo = [this](const PhoneInfo& info) { host_.onPhoneInfo(*this, info); };
    cb.onStatusText = [this] { host_.refresh(); };
    // The picture and the sound go to the screen and the speakers, and to the recorder.
    cb.onVideoConfig = [this](int w, int h, int fps, int codec, const uint8_t* csd, size_t n) {
        adapt->streamFps = fps;
        host_.onStreamSize(*this, w, h, fps);
        video->onConfig(w, h, fps, codec, csd, n);
        recorder.onVideoConfig(w, h, codec, csd, n);
    };
    cb.onVideoPacket = [this](const uint8_t* data, size_t size, int64_t time, bool key) {
        int64_t captured = 0;
        const bool known = session.toPcTime(time, &captured);
        adapt->sampler.onPacket(nowMicros(), known, captured, size);
        video->onPacket(data, size, time, key);
        recorder.onVideoPacket(data, size, time, key);
    };
    cb.onAudioConfig = [this](int rate, int channels) {
        audio.start(rate, channels);
        recorder.onAudioConfig(rate, channels);
        host_.refresh();
    };
    cb.onAudioPacket = [this](const uint8_t* data, size_t size, int64_t time) {
        if (!soundMuted_) audio.pushBytes(data, size);
        recorder.onAudioPacket(data, size, time);
    };
    return cb;
}

// Session → adb, this phone's connection and the installer (stream thread).
SessionPhoneLink PhoneStream::makePhoneLink() {
    SessionPhoneLink link;
    link.findAdb = [this] { return host_.findAdbPath(); };
    link.choice = [this] { return sessionChoice(choice_()); };
    link.runAdb = [this](const std::wstring& adb, const std::wstring& args, std::string* output,
                         uint32_t limitMs) {
        return host_.adbRunner()(adb, args, output, limitMs);
    };
    link.ensureApp = [this](const std::wstring& adb, const std::wstring& prefix,
                            const SessionPhoneLink::Progress& progress) {
        return sessionOutcome(host_.installer().ensureApp(adb, prefix, progress));
    };
    link.appIsCurrent = [this](const std::wstring& adb, const std::wstring& prefix) {
        return host_.installer().appIsCurrent(adb, prefix);
    };
    link.reinstallApp = [this](const std::wstring& adb, const std::wstring& prefix) {
        return sessionOutcome(host_.installer().reinstallApp(adb, prefix));
    };
    link.probePhoneInfo = [this](const std::wstring& adb, const std::wstring& prefix) {
        return probePhoneInfo(host_.installer(), host_.adbRunner(), adb, prefix);
    };
    return link;
}

// Input helper link → adb, this phone's connection and the installer (link thread).
InputPhoneLink PhoneStream::makeInputPhoneLink() {
    InputPhoneLink link =
        inputPhoneLinkOverAdb([this] { return serialArgs(); },
                              [this](const std::wstring& adb, const std::wstring& prefix) {
                                  return host_.installer().copyHelper(adb, prefix);
                              });
    link.findAdb = [this] { return host_.findAdbPath(); };
    link.runAdb = [this](const std::wstring& adb, const std::wstring& args, std::string* output,
                         uint32_t limitMs) {
        return host_.adbRunner()(adb, args, output, limitMs);
    };
    return link;
}

// Video window → this phone's Session and input link, and the host (UI thread, except where the
// port says otherwise). Whatever the user does in the window makes it the one worked in.
VideoEvents PhoneStream::makeVideoEvents() {
    VideoEvents ev;
    ev.keyframeWanted = [this] { session.requestKeyframe(); };
    ev.phoneToPc = [this](int64_t t, int64_t* out) { return session.toPcTime(t, out); };
    ev.closed = [this] { host_.onVideoClosed(*this); };
    ev.touch = [this](int action, int pointer, float x, float y) {
        host_.onWindowUsed(*this);
        host_.onTouch(*this, action, pointer, x, y);
    };
    ev.scroll = [this](float x, float y, float h, float v) {
        host_.onWindowUsed(*this);
        host_.onScroll(*this, x, y, h, v);
    };
    ev.systemButton = [this](int which) {
        host_.onWindowUsed(*this);
        inputLink.pressKey(which == 1 ? 4 : 3);
    };
    ev.deviceMouse = [this](uint8_t buttons, int dx, int dy, int wheel, int hwheel) {
        inputLink.mouseMotion(buttons, dx, dy, wheel, hwheel);
    };
    ev.key = [this](bool down, unsigned vk, int64_t lParam, const KeyboardState& state) {
        host_.onWindowUsed(*this);
        return keyRouter.onKey(down, vk, lParam, state);
    };
    ev.focusLost = [this] { releaseHeldInput(); };
    ev.changed = [this](bool) { host_.refresh(); };
    ev.filesDropped = [this](std::vector<std::wstring> paths) {
        host_.onWindowUsed(*this);
        fileSender.send(choice_().serial, paths);
    };
    return ev;
}

// Key router → this phone's input link and window, and the host (UI thread).
KeyTargets PhoneStream::makeKeyTargets() {
    KeyTargets targets;
    targets.androidKey = [this](bool down, int32_t code, int32_t meta, uint32_t repeat) {
        host_.onAndroidKey(*this, down, code, meta, repeat);
    };
    targets.pressKey = [this](int32_t code) { inputLink.pressKey(code); };
    targets.hidKey = [this](uint8_t usage, bool pressed) { host_.onHidKey(*this, usage, pressed); };
    targets.releaseMouse = [this] { video->releaseCapture(); };
    targets.toggleFullscreen = [this] { video->toggleFullscreen(); };
    targets.switchMode = [this](bool deviceMode) { host_.setDeviceMode(*this, deviceMode); };
    targets.toggleRecording = [this] {
        if (recorder.wanted()) {
            recorder.stop();
        } else {
            recorder.start();
        }
        host_.refresh();
    };
    targets.takeScreenshot = [this] { host_.takeScreenshot(*this); };
    targets.forwarding = [this] {
        return host_.keyboardShared() && inputLink.state() == InputLink::kReady;
    };
    return targets;
}

// Recorder → files, this phone's Session and the panel (stream and UI threads).
RecorderOptions PhoneStream::makeRecorderOptions() {
    RecorderOptions options;
    options.newFilePath = [this] { return host_.newRecordingPath(*this); };
    options.keyframeWanted = [this] { session.requestKeyframe(); };
    options.changed = [this] { host_.refresh(); };
    return options;
}

// File sender → adb and the status line (its own thread).
FileSenderOptions PhoneStream::makeFileSenderOptions() {
    FileSenderOptions options;
    options.findAdb = [this] { return host_.findAdbPath(); };
    options.runAdb = [this](const std::wstring& adb, const std::wstring& args, std::string* output,
                            uint32_t limitMs) {
        return host_.adbRunner()(adb, args, output, limitMs);
    };
    options.status = [this](const std::string& text, bool failed) {
        host_.setActivity(text, failed);
    };
    return options;
}

}  // namespace tov
