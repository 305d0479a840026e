#include "app/app.h"

#include <thread>
#include <utility>

#include "core/log.h"
#include "core/stream_options.h"
#include "platform/clock.h"
#include "update/version.h"

namespace tov {

App::App(AppParts parts)
    : phoneMonitor_(parts.phoneMonitor),
      installer_(parts.installer),
      wifi_(makeWifiOptions(parts.wifi)),
      session_(makeSessionCallbacks(), makePhoneLink(), parts.session),
      inputLink_(makeInputPhoneLink(), parts.inputLink),
      clipboard_(parts.makeClipboard ? parts.makeClipboard() : nullptr),
      shortcuts_(shortcuts::defaults()),
      keyRouter_(makeKeyTargets()),
      video_(parts.makeVideo(makeVideoEvents())),
      audio_(48000, 2, 1.0f, parts.audioOutput),
      panel_(parts.makePanel()),
      recorder_(makeRecorderOptions()),
      pictures_(parts.makePictures ? parts.makePictures() : nullptr),
      screenshots_(makeScreenshotOptions()),
      fileSender_(makeFileSenderOptions()),
      updater_([this] { refresh(); }, parts.updater),
      settings_(modelLock_, model_, seenVersion_),
      streamControl_(modelLock_, model_, lastPhoneInfo_, makeStreamControlHooks()),
      adapt_(std::make_unique<AdaptRun>(parts.adapt)),
      parts_(std::move(parts)) {
    wireWorkers();
    if (parts_.settingsPath) settings_.pathProvider = parts_.settingsPath;
}

// A test that gives up part-way (or an init that failed) still ends every worker before the parts
// they call into are gone.
App::~App() {
    shutdown();
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
    showShortcuts();
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
        wifi_.setUseWifi(model_.wifi);
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
    wifi_.start();
    session_.start();
    adapt_->ticker.start(adapt_->options.tickMs, [this] { adaptTick(); });
    applyInput();
    bool autoUpdate;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.version = kCurrentVersion;
        if (seenVersion_.empty()) {
            seenVersion_ = kCurrentVersion;
        } else if (compareVersions(seenVersion_, kCurrentVersion) < 0) {
            model_.whatsNewVersion = kCurrentVersion;
            model_.whatsNewNotes = updater_.whatsNewText(seenVersion_);
            logLine("update: showing what's new since %s", seenVersion_.c_str());
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
    // The panel window is gone by now: nothing is posted to it any more. Runs once.
    if (closing_.exchange(true)) return;
    logLine("app: closing");
    updater_.requestStop();
    // No adapted level may go to the phone while the stream ends.
    adapt_->ticker.stop();
    // What waits on the phone (its screen size put back, then the stream's end and the helper
    // stopped, each an adb run) goes on its own thread, side by side with the windows going and
    // the rest stopping, so that the process ends after the longest of them, not their sum.
    std::thread phoneSide([this] {
        // The phone's screen size first (at most 5 s); then the screen-shape worker ends, so
        // that it cannot call back into the App while the rest goes.
        if (screenShape_) screenShape_->finish();
        session_.stop(false);
        inputLink_.finish();
    });
    // The user closed the program: its windows go at once, whatever the clean-up still takes.
    video_->show(false);
    // A file going to the phone is cut short: the shut-down never waits on adb for it.
    fileSender_.stop();
    if (clipboard_) clipboard_->stop();
    // A pairing or reconnect in flight ends with its adb child, at once.
    wifi_.stop();
    phoneMonitor_.stop();
    updater_.stop();
    phoneSide.join();
    screenShape_.reset();
    // The stream has ended: nothing reaches the recording or the sound any more. The open
    // recording is finished here, the only place that waits for its disk.
    recorder_.shutdown();
    screenshots_.stop();
    audio_.stop();
    video_->destroy();
    logLine("app: closed");
}

// ---- small helpers ------------------------------------------------------------------------

void App::refresh() {
    if (panel_ && !closing_) panel_->refresh();
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

std::wstring App::findAdbPath() const {
    return parts_.phoneMonitor.findAdb ? parts_.phoneMonitor.findAdb() : tov::findAdb();
}

AdbRunFunction App::adbRunner() const {
    return parts_.phoneMonitor.runAdb ? parts_.phoneMonitor.runAdb : AdbRunFunction(tov::runAdb);
}

// The shortcut texts change only with the shortcuts: written then, not at every model build.
void App::showShortcuts() {
    std::vector<ShortcutText> texts;
    for (int i = 0; i < kShortcutCount; ++i) {
        texts.push_back({shortcuts::actionName(i),
                         shortcuts::bindingText(shortcuts_.entries[static_cast<size_t>(i)])});
    }
    std::wstring keyName = shortcuts::keyText(shortcuts_.tovenmarKey);
    std::lock_guard<std::mutex> lock(modelLock_);
    model_.shortcutTexts = std::move(texts);
    model_.keyName = std::move(keyName);
}

// ---- the model build ----------------------------------------------------------------------

PanelModel App::buildModel() {
    applyPhoneToggles();
    const uint64_t now = parts_.tickMs ? parts_.tickMs() : tickMs();
    std::string lastKey;
    {
        std::lock_guard<std::mutex> lock(phoneLock_);
        lastKey = currentKey_;
    }
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
    model_.recording = recorder_.wanted();
    model_.recordText = recorder_.statusText();
    model_.reinstallOffered = session_.signatureMismatch();
    const PhoneChoice choice = phoneMonitor_.choice();
    model_.chosenKey = choice.key;
    model_.chosenWifi = choice.wifi;
    model_.phones = phoneMonitor_.phones();
    model_.wifiAwaited = choice.key.empty() ? awaitedWifiPhone(lastKey) : std::string();
    const UpdateStatus status = updater_.snapshot();
    model_.updater.state = status.state;
    model_.updater.version = status.version;
    model_.updater.message = status.message;
    model_.updater.percent = status.percent;
    model_.updater.time = status.time;
    refreshDerivedValues(model_, lastPhoneInfo_);
    model_.shapeRatio = shapeRatio(model_);
    if (screenShape_) {
        const bool wanted =
            model_.matchPhone && model_.streaming && model_.linkState == LinkState::Live;
        screenShape_->setShape(wanted ? model_.shapeRatio : 0.0);
        model_.shapeText = screenShape_->shapeText();
    }

    const bool inputReady = model_.inputState == InputLink::kReady;
    video_->setCapturePossible(inputReady && model_.mouse);
    const ScreenSize phone = inputLink_.phoneSize();
    video_->setPhoneScreen(phone.width, phone.height);
    if (inputReady && !deviceInput_ && model_.linkState != LinkState::Live && model_.showVideo) {
        video_->show(true);
    }
    deviceInput_ = inputReady;
    PanelModel shown = model_;
    // Live is the stream on the chosen connection: while it still runs on one the phone left
    // (a cable just pulled), it is on its way to the new one, and the panel must not say it is
    // live there yet.
    if (shown.linkState == LinkState::Live && !choice.serial.empty() &&
        session_.liveSerial() != choice.serial) {
        shown.linkState = LinkState::WaitingForApp;
    }
    return shown;
}

}  // namespace tov
