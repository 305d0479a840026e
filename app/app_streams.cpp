// Several phones at once: the stream kept for each wanted phone, which one the panel's pages show,
// which window was worked in last (its sound plays and the PC's copies go to its phone), and the
// per-phone Start and Stop.
#include <utility>

#include "app/app.h"
#include "app/report_fields.h"
#include "core/log.h"
#include "core/stream_options.h"

namespace tov {

std::vector<PhoneStream*> App::allStreams() {
    std::lock_guard<std::mutex> lock(streamsLock_);
    std::vector<PhoneStream*> all;
    for (auto& [key, phone] : streams_) all.push_back(phone.get());
    return all;
}

PhoneStream* App::phoneStream(const std::string& key) {
    std::lock_guard<std::mutex> lock(streamsLock_);
    const auto it = streams_.find(key);
    return it == streams_.end() ? nullptr : it->second.get();
}

PhoneStream& App::shown() {
    std::lock_guard<std::mutex> lock(streamsLock_);
    const auto it = streams_.find(shownKey_);
    return it == streams_.end() ? *chosen_ : *it->second;
}

PhoneStream& App::active() {
    std::lock_guard<std::mutex> lock(streamsLock_);
    const auto it = streams_.find(activeKey_);
    return it == streams_.end() ? *chosen_ : *it->second;
}

bool App::isShown(const PhoneStream& phone) {
    return &shown() == &phone;
}

PhoneChoice App::chosenPhone() {
    PhoneChoice choice = phoneMonitor_.choice();
    // A phone with a stream of its own is not streamed a second time as the chosen one.
    if (!choice.key.empty() && choice.key != kChosenPhone && phoneStream(choice.key)) {
        PhoneChoice none;
        none.adbMissing = choice.adbMissing;
        return none;
    }
    return choice;
}

// The stream that serves `key`: its own, or the chosen phone's while that is the one chosen.
PhoneStream* App::streamServing(const std::string& key) {
    if (PhoneStream* own = phoneStream(key)) return own;
    if (key.empty() || phoneMonitor_.choice().key == key) return chosen_;
    return nullptr;
}

void App::selectPhone(const std::string& key) {
    PhoneStream* shownNow;
    Report hello, state;
    int width, height;
    {
        // The phone shown and the model's settings change together: a worker that finds a
        // phone shown finds its settings in the model.
        std::lock_guard<std::mutex> lock(modelLock_);
        PhoneStream& before = shown();
        {
            std::lock_guard<std::mutex> streams(streamsLock_);
            shownKey_ = streams_.count(key) ? key : kChosenPhone;
        }
        shownNow = &shown();
        PhoneStream& phone = *shownNow;
        // The pages take the phone's state as its own stream last told it, and its own settings.
        showPhoneSettings(before, phone);
        model_.linkState = phone.linkState;
        lastPhoneInfo_ = phone.info;
        hello = phone.lastHello;
        state = phone.lastState;
        width = phone.streamWidth;
        height = phone.streamHeight;
        model_.width = width;
        model_.height = height;
    }
    PhoneStream& phone = *shownNow;
    if (!hello.empty()) onDeviceReport(phone, hello);
    if (!state.empty()) onPhoneStateReport(phone, state);
    if (width > 0) onStreamSize(phone, width, height, 0);
    // Named as the phone list names it, as the chosen phone is, not as its hello spells it.
    const std::string name = phone.choice().name;
    if (!name.empty()) {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.detail = name;
    }
    refresh();
}

// The model holds the settings of the phone the pages show: the general ones for the chosen
// phone, a phone's own for one streamed in a window of its own. Each phone's adapter level goes
// with its settings.
void App::showPhoneSettings(PhoneStream& before, PhoneStream& after) {
    if (&before == &after) return;
    PhoneSettings leaving = generalPhoneSettings(model_);
    leaving.window = before.own.window;
    if (&before == chosen_) {
        settings_.keepGeneralAside(leaving);
    } else {
        before.own = leaving;
    }
    before.adapt->aside = adaptLevelOf(model_);
    applyPhoneSettings(&after == chosen_ ? settings_.takeGeneralBack() : after.own, model_);
    putAdaptLevel(after.adapt->aside, model_);
}

void App::withPhoneModel(PhoneStream& phone, const std::function<void(PanelModel&)>& use) {
    std::lock_guard<std::mutex> lock(modelLock_);
    if (isShown(phone)) {
        use(model_);
        return;
    }
    PanelModel model = model_;
    applyPhoneSettings(&phone == chosen_ ? settings_.generalSettings() : phone.own, model);
    // What this phone offers, not what the shown one does: its adapter steps down its own sizes.
    const std::string* presets = findField(phone.lastState, "presets");
    model.presets = presets ? parsePresets(*presets) : std::vector<PresetRecord>{};
    if (const std::string* v = findField(phone.lastState, "maxBitrate")) {
        parseDecimal(*v, model.maxBitrate);
    }
    putAdaptLevel(phone.adapt->aside, model);
    use(model);
    phone.adapt->aside = adaptLevelOf(model);
}

// What a phone's stream is sent: its settings and its adapter's level.
StreamOptionMap App::streamOptionsFor(PhoneStream& phone) {
    StreamOptionMap options;
    withPhoneModel(phone, [&](PanelModel& m) { options = buildStreamOptions(m, phone.info); });
    return options;
}

void App::keepWindowPlaces() {
    for (PhoneStream* phone : allStreams()) {
        if (phone == chosen_) continue;
        const std::optional<Rect> placed = phone->video->userPlacement();
        PhoneSettings own;
        {
            std::lock_guard<std::mutex> lock(modelLock_);
            WindowPlace& place = phone->own.window;
            const WindowPlace now = placed ? WindowPlace{true, placed->left, placed->top,
                                                         placed->width(), placed->height()}
                                           : WindowPlace{};
            if (now == place) continue;
            place = now;
            own = phone->own;
        }
        settings_.savePhoneSettings(phone->key(), own);
    }
}

void App::onWindowUsed(PhoneStream& phone) {
    {
        std::lock_guard<std::mutex> lock(streamsLock_);
        const auto it = streams_.find(activeKey_);
        const PhoneStream* before = it == streams_.end() ? chosen_ : it->second.get();
        if (before == &phone) return;
        activeKey_ = phone.key();
    }
    // The sound follows the window worked in.
    routeSound();
    logLine("app: the window of %s is the active one",
            phone.key().empty() ? "the chosen phone" : phone.key().c_str());
}

void App::routeSound() {
    bool all;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        all = model_.soundFromAll;
    }
    PhoneStream& heard = active();
    for (PhoneStream* phone : allStreams()) phone->setSoundMuted(!all && phone != &heard);
}

void App::startPhone(const std::string& key) {
    if (PhoneStream* phone = streamServing(key)) {
        phone->session.setStreaming(true);
        expectStream(*phone);
        applyInput();
        return;
    }
    std::string name = key;
    for (const PhoneEntry& entry : phoneMonitor_.phones()) {
        if (entry.key == key && !entry.name.empty()) name = entry.name;
    }
    PhoneStreamParts parts = phoneStreamParts();
    if (parts_.phoneStreamParts) parts_.phoneStreamParts(key, parts);
    auto made = std::make_unique<PhoneStream>(
        static_cast<PhoneStreamHost&>(*this), key,
        [this, key] { return phoneMonitor_.choiceFor(key); }, parts);
    PhoneStream& phone = *made;
    // A phone seen for the first time starts from the general settings.
    const PhoneSettings own = settings_.phoneSettings(key);
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        phone.own = own;
    }
    // Its log lines and timing file are told apart from the other streams' by its key.
    phone.video->setStreamName(phone.streamName());
    std::string error;
    if (!phone.video->create(error)) {
        logLine("app: no window for %s: %s", key.c_str(), error.c_str());
        setActivity("Could not open a window for " + name + ".", true);
        return;
    }
    phone.video->setTitle("Tovenmar \u2014 " + name);
    // Where the user put this phone's window last time, it opens again.
    if (own.window.placed) {
        phone.video->setUserPlacement(Rect{own.window.x, own.window.y,
                                           own.window.x + own.window.width,
                                           own.window.y + own.window.height});
    }
    phone.keyRouter.setShortcuts(shortcuts_);
    float volume;
    bool onTop;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        volume = model_.volume;
        onTop = model_.onTop;
    }
    phone.audio.setVolume(volume);
    phone.video->setOnTop(onTop);
    {
        std::lock_guard<std::mutex> lock(phoneLock_);
        phone.serial = phone.choice().serial;
    }
    readyStream(phone);
    {
        std::lock_guard<std::mutex> lock(streamsLock_);
        streams_.emplace(key, std::move(made));
    }
    // Only the window worked in plays its sound, unless the user wants every phone heard.
    routeSound();
    logLine("app: streaming %s in a window of its own", key.c_str());
    phone.start();
    phone.session.setStreaming(true);
    expectStream(phone);
    applyInput();
}

void App::stopPhone(const std::string& key) {
    PhoneStream* phone = streamServing(key);
    if (!phone) return;
    phone->session.setStreaming(false);
    expectStream(*phone);
    // A phone streamed beside the chosen one was opened by its Start: its window goes with its
    // stream (kept, hidden, for the next Start). The chosen phone's stays, as it always has.
    if (phone != chosen_) phone->video->show(false);
    applyInput();
}

void App::startAll() {
    for (const PhoneEntry& entry : phoneMonitor_.phones()) startPhone(entry.key);
}

}  // namespace tov
