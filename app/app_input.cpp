// The input handlers: keyboard and mouse sharing, Device mode, the clipboard options, the
// phone's input reports and the shortcuts.
#include <optional>
#include <utility>

#include "app/app.h"
#include "app/report_fields.h"
#include "core/log.h"

namespace tov {

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

void App::sendInputToggles(PhoneStream& phone) {
    std::lock_guard<std::mutex> sendLock(phone.toggleSendLock);
    // Before the stream is live the phone would answer on a connection whose reports the
    // tracker does not follow yet; going live sends the toggles anyway.
    if (phone.linkState != LinkState::Live) return;
    InputToggles toggles;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        toggles = {model_.keyboard, model_.mouse};
    }
    const uint32_t seq = phone.toggleEchoes.sending(toggles);
    phone.session.sendInputToggles(toggles.keyboard, toggles.mouse, seq);
}

void App::applyPhoneToggles() {
    const std::optional<InputToggles> change = shown().toggleEchoes.takeChange();
    if (!change) return;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        if (model_.keyboard == change->keyboard && model_.mouse == change->mouse) return;
    }
    logLine("input: the phone turned keyboard %s, mouse %s", change->keyboard ? "on" : "off",
            change->mouse ? "on" : "off");
    setInputToggles(change->keyboard, change->mouse);
}

void App::releaseHeldInput() {
    for (PhoneStream* phone : allStreams()) phone->releaseHeldInput();
}

void App::applyInput() {
    bool toPhone, toPc, pictures, passwords, keyboard, mouse, accel, noApp;
    float speed;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        toPhone = model_.toPhone;
        toPc = model_.toPc;
        pictures = model_.pictures;
        passwords = model_.passwords;
        keyboard = model_.keyboard;
        mouse = model_.mouse;
        accel = model_.accel;
        speed = model_.speed;
        noApp = model_.noApp;
    }
    if (clipboard_) {
        clipboard_->setOptions(pictures, passwords);
        if (toPhone && !clipboard_->running()) {
            // The PC's copies go to the phone whose window was worked in last.
            clipboard_->start([this](ClipItem item) { active().inputLink.sendClip(item); });
        } else if (!toPhone && clipboard_->running()) {
            clipboard_->stop();
        }
    }
    const std::string clipOptions = std::string("phoneToPc=") + flagText(toPc) +
                                    "\npictures=" + flagText(pictures) +
                                    "\npasswords=" + flagText(passwords);
    for (PhoneStream* phone : allStreams()) {
        // Device mode is each phone's own.
        bool deviceMode = false;
        withPhoneModel(*phone, [&](PanelModel& m) { deviceMode = m.deviceMode; });
        const uint8_t modeBits =
            deviceMode ? static_cast<uint8_t>((mouse ? 1 : 0) | (keyboard ? 2 : 0)) : 0;
        // A No app stream comes from the helper, so the link runs while one is wanted even with
        // every kind of sharing off.
        const bool linkWanted =
            toPhone || toPc || keyboard || mouse || (noApp && phone->session.streaming());
        InputLink& link = phone->inputLink;
        if (linkWanted && !link.running()) {
            link.start();
        } else if (!linkWanted && link.running()) {
            link.stop();
        }
        link.setClipOptions(clipOptions);
        link.setMouseOptions(!accel, speed);
        link.setMode(modeBits);
        phone->keyRouter.setDeviceMode(deviceMode);
        phone->video->setDeviceMode(deviceMode);
        sendInputToggles(*phone);
    }
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

// The shortcut in a phone's window switches that phone, whichever one the pages show.
void App::setDeviceMode(PhoneStream& phone, bool on) {
    if (isShown(phone)) {
        setDeviceMode(on);
        return;
    }
    releaseHeldInput();
    const bool general = &phone == chosen_;
    PhoneSettings own;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        if (general) {
            PhoneSettings settings = settings_.generalSettings();
            settings.deviceMode = on;
            settings_.keepGeneralAside(settings);
        } else {
            phone.own.deviceMode = on;
            own = phone.own;
        }
    }
    if (!general) settings_.savePhoneSettings(phone.key(), own);
    applyInput();  // saves the general settings too
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

void App::onInputReport(PhoneStream& phone, const Report& report) {
    std::optional<bool> keyboard, mouse;
    if (const std::string* v = findField(report, "keyboard")) keyboard = *v == "1";
    if (const std::string* v = findField(report, "mouse")) mouse = *v == "1";
    std::optional<uint32_t> seq;
    int32_t number = 0;
    if (const std::string* v = findField(report, "seq");
        v && parseDecimal(*v, number) && number > 0)
        seq = static_cast<uint32_t>(number);
    // Only a change made on the phone reaches the model (at the next build); an echo of the
    // PC's toggles, or a report the phone sent before it heard them, would undo the user's
    // choice.
    const ToggleEchoes::Verdict verdict = phone.toggleEchoes.report(keyboard, mouse, seq);
    if (verdict != ToggleEchoes::Verdict::Echo) {
        logLine("input: phone reports keyboard %s, mouse %s (%s)",
                keyboard ? (*keyboard ? "on" : "off") : "-", mouse ? (*mouse ? "on" : "off") : "-",
                verdictText(verdict));
    }
    refresh();
}

void App::setShortcut(int index, uint8_t modifiers, uint16_t key) {
    shortcuts::assign(shortcuts_, index, modifiers, key);
    for (PhoneStream* phone : allStreams()) phone->keyRouter.setShortcuts(shortcuts_);
    showShortcuts();
    saveShortcuts();
    refresh();
}

void App::resetShortcuts() {
    shortcuts_ = shortcuts::defaults();
    for (PhoneStream* phone : allStreams()) phone->keyRouter.setShortcuts(shortcuts_);
    showShortcuts();
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

// ---- from the video window and the phone ----------------------------------------------------

GroupView App::groupView(const PhoneStream& source) {
    GroupView view;
    view.source = source.key();
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        view.everyPhone = model_.everyPhone;
    }
    for (PhoneStream* phone : allStreams()) {
        view.phones.push_back({phone->key(), phone->linkState == LinkState::Live &&
                                                 phone->inputLink.state() == InputLink::kReady});
    }
    return view;
}

void App::onTouch(PhoneStream& phone, int action, int pointer, float x, float y) {
    streamControl_.mapToPhone(x, y);
    const auto touchAction = static_cast<TouchAction>(action);
    const auto id = static_cast<uint8_t>(pointer);
    for (const PhonePoint& p : groupInput_.touch(groupView(phone), touchAction, id, x, y)) {
        if (PhoneStream* to = phoneStream(p.key)) to->inputLink.touch(touchAction, id, p.x, p.y);
    }
}

void App::onScroll(PhoneStream& phone, float x, float y, float horizontal, float vertical) {
    streamControl_.mapToPhone(x, y);
    for (const PhonePoint& p : groupInput_.scroll(groupView(phone), x, y)) {
        if (PhoneStream* to = phoneStream(p.key)) {
            to->inputLink.scroll(p.x, p.y, horizontal, vertical);
        }
    }
}

void App::onAndroidKey(PhoneStream& phone, bool down, int32_t code, int32_t meta, uint32_t repeat) {
    for (const std::string& key : groupInput_.key(groupView(phone), down, code)) {
        if (PhoneStream* to = phoneStream(key)) to->inputLink.androidKey(down, code, meta, repeat);
    }
}

void App::onHidKey(PhoneStream& phone, uint8_t usage, bool pressed) {
    // Keyboard usages and Android codes are told apart, as a phone may take both.
    const int32_t id = 0x10000 | usage;
    for (const std::string& key : groupInput_.key(groupView(phone), pressed, id)) {
        if (PhoneStream* to = phoneStream(key)) to->inputLink.hidKey(usage, pressed);
    }
}

bool App::keyboardShared() {
    std::lock_guard<std::mutex> lock(modelLock_);
    return model_.keyboard;
}

// Each phone's copies reach the PC.
void App::onPhoneClip(PhoneStream&, ClipItem item) {
    bool toPc;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        toPc = model_.toPc;
    }
    if (toPc && clipboard_) clipboard_->putFromPhone(std::move(item));
}

}  // namespace tov
