// The App's wiring: for each subsystem, which of its callbacks goes to which App handler or
// which other subsystem's operation. Handler bodies live in the app_*.cpp file of their concern.
#include "app/app.h"
#include "platform/user_folders.h"

namespace tov {

// Stream control → Session, video, audio and App (UI thread).
StreamControlHooks App::makeStreamControlHooks() {
    StreamControlHooks hooks;
    hooks.pushOptions = [this] { pushStreamOptions(shown()); };
    hooks.sendToPhone = [this](const StreamOptionMap& options) {
        shown().session.sendOptions(options);
    };
    hooks.streaming = [this] { return shown().session.streaming(); };
    hooks.setStreaming = [this](bool on) { shown().session.setStreaming(on); };
    hooks.setSessionNoApp = [this](bool on) {
        for (PhoneStream* phone : allStreams()) phone->session.setNoApp(on);
    };
    hooks.resetVideo = [this] { shown().video->reset(); };
    hooks.stopAudio = [this] { shown().audio.stop(); };
    hooks.applyInput = [this] { applyInput(); };
    hooks.saveSettings = [this] { save(); };
    hooks.refresh = [this] { refresh(); };
    hooks.helperScreen = [this] { return shown().inputLink.phoneSize(); };
    return hooks;
}

// Screenshot saver → files, the picture port and the status line (screenshot thread).
ScreenshotOptions App::makeScreenshotOptions() {
    ScreenshotOptions options;
    options.newFilePath = [this](const std::wstring& stem) {
        return parts_.screenshotPath ? parts_.screenshotPath(stem)
                                     : newUserFile(UserFolder::Pictures, stem, L".png");
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

// Phone monitor, Wi-Fi and settings → App.
void App::wireWorkers() {
    phoneMonitor_.onChange = [this] {
        onPhoneChange();
        tellWifiPhones();
    };
    wifi_.onChange = [this] { onWifiChange(); };
    settings_.onLastPhoneLoaded = [this](const std::string& key) { phoneMonitor_.setLast(key); };
    settings_.lastPhone = [this] { return phoneMonitor_.last(); };
}

}  // namespace tov
