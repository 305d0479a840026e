#include "app/app.h"

#include <thread>
#include <utility>

#include "core/log.h"
#include "core/stream_options.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "platform/user_folders.h"
#include "update/version.h"

namespace tov {

App::App(AppParts parts)
    : phoneMonitor_(parts.phoneMonitor),
      installer_(parts.installer),
      wifi_(makeWifiOptions(parts.wifi)),
      clipboard_(parts.makeClipboard ? parts.makeClipboard() : nullptr),
      shortcuts_(shortcuts::defaults()),
      panel_(parts.makePanel()),
      pictures_(parts.makePictures ? parts.makePictures() : nullptr),
      screenshots_(makeScreenshotOptions()),
      updater_([this] { refresh(); }, parts.updater),
      settings_(modelLock_, model_, seenVersion_),
      streamControl_(modelLock_, model_, lastPhoneInfo_, makeStreamControlHooks()),
      parts_(std::move(parts)) {
    auto chosen = std::make_unique<PhoneStream>(
        static_cast<PhoneStreamHost&>(*this), kChosenPhone, [this] { return chosenPhone(); },
        phoneStreamParts());
    chosen_ = chosen.get();
    streams_.emplace(kChosenPhone, std::move(chosen));
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
    if (!chosen_->video->create(errorText)) return false;
    if (parts_.shortcutsPath) {
        shortcuts::loadFrom(parts_.shortcutsPath(), shortcuts_);
    } else {
        shortcuts::load(shortcuts_);
    }
    chosen_->keyRouter.setShortcuts(shortcuts_);
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
    const bool hevc = chosen_->video->hevcUsable();
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.pcHevc = hevc;
    }
    readyStream(*chosen_);
    phoneMonitor_.start();
    wifi_.start();
    chosen_->start();
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
    // The map no longer changes: the UI thread is here.
    const std::vector<PhoneStream*> phones = allStreams();
    keepWindowPlaces();
    // What waits on the phones (the screen size put back, then each stream's end and its helper
    // stopped, each an adb run) goes on its own threads, side by side with the windows going and
    // the rest stopping, so that the process ends after the longest of them, not their sum.
    std::vector<std::thread> phoneSide;
    phoneSide.emplace_back([this] {
        // The phone's screen size first (at most 5 s); then the screen-shape worker ends, so
        // that it cannot call back into the App while the rest goes.
        if (screenShape_) screenShape_->finish();
        chosen_->endPhoneSide();
    });
    for (PhoneStream* phone : phones) {
        if (phone != chosen_) phoneSide.emplace_back([phone] { phone->endPhoneSide(); });
    }
    // The user closed the program: its windows go at once, whatever the clean-up still takes.
    for (PhoneStream* phone : phones) phone->video->show(false);
    // A file going to a phone is cut short: the shut-down never waits on adb for it.
    for (PhoneStream* phone : phones) phone->fileSender.stop();
    if (clipboard_) clipboard_->stop();
    // A pairing or reconnect in flight ends with its adb child, at once.
    wifi_.stop();
    phoneMonitor_.stop();
    updater_.stop();
    for (std::thread& t : phoneSide) t.join();
    screenShape_.reset();
    screenshots_.stop();
    // The streams have ended: nothing reaches the recordings or the sound any more. The open
    // recordings are finished here, the only place that waits for their disk.
    for (PhoneStream* phone : phones) phone->stop();
    logLine("app: closed");
}

// ---- small helpers ------------------------------------------------------------------------

PhoneStreamParts App::phoneStreamParts() const {
    return {parts_.makeVideo, parts_.session, parts_.inputLink, parts_.audioOutput, parts_.adapt};
}

void App::readyStream(PhoneStream& phone) {
    bool hevc, noApp;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        hevc = model_.pcHevc;
        noApp = model_.noApp;
    }
    phone.session.setDecoders(hevc ? "h264,hevc" : "h264");
    phone.session.setNoApp(noApp);
    pushStreamOptions(phone);
}

void App::refresh() {
    if (panel_ && !closing_) panel_->refresh();
}

void App::save() {
    settings_.save();
    // The pages show a phone with settings of its own: what the user changed is kept as its.
    PhoneStream& phone = shown();
    if (&phone == chosen_) return;
    PhoneSettings own;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        own = generalPhoneSettings(model_);
        own.window = phone.own.window;
        phone.own = own;
    }
    settings_.savePhoneSettings(phone.key(), own);
}

StreamOptionMap App::pushStreamOptions(PhoneStream& phone) {
    const StreamOptionMap options = streamOptionsFor(phone);
    phone.session.setOptions(options);
    return options;
}

std::wstring App::newRecordingPath(PhoneStream& phone) {
    return parts_.recordingPath ? parts_.recordingPath(userFileStem(phone))
                                : newUserFile(UserFolder::Videos, userFileStem(phone), L".mp4");
}

std::wstring App::userFileStem(const PhoneStream& phone) {
    const std::string name = fileNamePart(phone.choice().name);
    return name.empty() ? L"Tovenmar" : L"Tovenmar " + widenBytes(name);
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
    PhoneStream& phone = shown();
    const std::vector<PhoneStream*> phones = allStreams();
    const PhoneChoice choice = phoneMonitor_.choice();
    // Alone, the chosen phone's window keeps its usual title (screen capture tools find it by
    // it); beside other phones' windows it is named after its phone as they are. Titled on the
    // UI thread, which owns the window: a worker's title change would wait on the UI thread,
    // which may be waiting on that worker.
    const std::string title =
        phones.size() > 1 && !choice.name.empty() ? "Tovenmar \u2014 " + choice.name : "";
    if (title != chosenTitle_) {
        chosenTitle_ = title;
        chosen_->video->setTitle(title.empty() ? "Tovenmar \u2014 Video" : title);
    }
    std::lock_guard<std::mutex> lock(modelLock_);
    phone.bitrateMeter.add(phone.session.takeBytesReceived(), now, &model_.rateMbps);
    const VideoStats stats = phone.video->stats();
    model_.statFps = stats.shownPerSecond;
    model_.statVideoDelayMs = stats.latencyMs;
    model_.statFrames = stats.received;
    model_.statDropped = stats.dropped;
    model_.videoFlag = stats.onGpu;
    model_.captured = phone.video->captured();
    model_.statInputDelayMs = phone.inputLink.rttMs();
    model_.inputState = phone.inputLink.state();
    model_.deviceAnswer = phone.inputLink.exact();
    model_.audioRunning = phone.audio.running();
    model_.streaming = phone.session.streaming();
    model_.statusText = phone.session.statusText();
    model_.recording = phone.recorder.wanted();
    model_.recordText = phone.recorder.statusText();
    model_.reinstallOffered = phone.session.signatureMismatch();
    model_.chosenKey = choice.key;
    model_.chosenWifi = choice.wifi;
    model_.phones = phoneMonitor_.phones();
    model_.shownKey = phone.key().empty() ? choice.key : phone.key();
    model_.phoneLinks.clear();
    for (PhoneStream* each : phones) {
        const std::string key = each->key().empty() ? choice.key : each->key();
        if (!key.empty()) model_.phoneLinks.emplace_back(key, each->linkState.load());
    }
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

    const bool showVideo = model_.showVideo;
    const bool mouse = model_.mouse;
    for (PhoneStream* each : phones) {
        const bool inputReady = each->inputLink.state() == InputLink::kReady;
        each->video->setCapturePossible(inputReady && mouse);
        const ScreenSize screen = each->inputLink.phoneSize();
        each->video->setPhoneScreen(screen.width, screen.height);
        // A phone beside the chosen one shows its window only while the user wants its stream.
        const bool wanted = each == chosen_ || each->session.streaming();
        if (inputReady && !each->deviceInput && each->linkState != LinkState::Live && showVideo &&
            wanted) {
            each->video->show(true);
        }
        each->deviceInput = inputReady;
    }
    PanelModel shown = model_;
    // Live is the stream on the chosen connection: while it still runs on one the phone left
    // (a cable just pulled), it is on its way to the new one, and the panel must not say it is
    // live there yet.
    const std::string serial = phone.choice().serial;
    if (shown.linkState == LinkState::Live && !serial.empty() &&
        phone.session.liveSerial() != serial) {
        shown.linkState = LinkState::WaitingForApp;
    }
    return shown;
}

}  // namespace tov
