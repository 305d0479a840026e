// The App's panel port on Windows: the TovenmarPanel window, with the panel callbacks, each
// calling one of the App's panel operations.
#include <atomic>

#include "app/app_parts_win.h"
#include "panel/panel_win.h"

namespace tov {

namespace {

int gShowCommand = SW_SHOWNORMAL;

panel::PanelCallbacks panelCallbacks(App& app) {
    panel::PanelCallbacks cb;
    cb.video = [&app](bool on) { app.setVideo(on); };
    cb.audio = [&app](bool on) { app.setAudio(on); };
    cb.keyboard = [&app](bool on) { app.setKeyboard(on); };
    cb.mouse = [&app](bool on) { app.setMouse(on); };
    cb.preset = [&app](const std::string& value) { app.setPreset(value); };
    cb.codec = [&app](const std::string& value) { app.setCodec(value); };
    cb.encoder = [&app](const std::string& value) { app.setEncoder(value); };
    cb.vbr = [&app](bool on) { app.setVbr(on); };
    cb.voice = [&app](bool on) { app.setVoice(on); };
    cb.adapt = [&app](bool on) { app.setAdapt(on); };
    cb.restartNow = [&app] { app.restartNow(); };
    cb.later = [&app] { app.later(); };
    cb.checkNow = [&app] { app.checkNow(); };
    cb.whatsNewRead = [&app] { app.whatsNewRead(); };
    cb.autoUpdate = [&app](bool on) { app.setAutoUpdate(on); };
    cb.pinPhone = [&app](const std::string& key) { app.pinPhone(key); };
    cb.preferUsb = [&app](bool on) { app.setPreferUsb(on); };
    cb.wifi = [&app](bool on) { app.setWifi(on); };
    cb.clipboardOption = [&app](const std::string& key, bool on) {
        app.setClipboardOption(key, on);
    };
    cb.bitrate = [&app](int bitrate) { app.setBitrate(bitrate); };
    cb.deviceMode = [&app](bool on) { app.setDeviceMode(on); };
    cb.acceleration = [&app](bool on) { app.setAcceleration(on); };
    cb.speed = [&app](float speed) { app.setSpeed(speed); };
    cb.setShortcut = [&app](int index, uint8_t modifiers, uint16_t key) {
        app.setShortcut(index, modifiers, key);
    };
    cb.resetShortcuts = [&app] { app.resetShortcuts(); };
    cb.showVideo = [&app](bool on) { app.showVideo(on); };
    cb.onTop = [&app](bool on) { app.setOnTop(on); };
    cb.volume = [&app](float volume) { app.setVolume(volume); };
    cb.startOrStop = [&app] { app.startOrStop(); };
    cb.record = [&app](bool on) { app.setRecording(on); };
    cb.reinstall = [&app] { app.reinstall(); };
    cb.noAppMode = [&app](bool on) { app.setNoApp(on); };
    cb.noAppOption = [&app](const std::string& key, const std::string& value) {
        return app.setNoAppOption(key, value);
    };
    cb.openPairing = [&app] { app.openPairing(); };
    cb.closePairing = [&app] { app.closePairing(); };
    cb.pairWithCode = [&app](const std::string& address, const std::string& code) {
        app.pairWithCode(address, code);
    };
    cb.useOverWifi = [&app] { app.useOverWifi(); };
    cb.forgetPhone = [&app](const std::string& key) { app.forgetPhone(key); };
    cb.soundFromAll = [&app](bool on) { app.setSoundFromAll(on); };
    cb.everyPhone = [&app](bool on) { app.setEveryPhone(on); };
    cb.selectPhone = [&app](const std::string& key) { app.selectPhone(key); };
    cb.startPhone = [&app](const std::string& key) { app.startPhone(key); };
    cb.stopPhone = [&app](const std::string& key) { app.stopPhone(key); };
    cb.startAll = [&app] { app.startAll(); };
    return cb;
}

class PanelPortWin final : public PanelPort {
  public:
    explicit PanelPortWin(HINSTANCE instance) : instance_(instance) {}

    bool create(std::function<PanelModel()> modelProvider, App& app) override {
        if (!panel_.create(instance_, gShowCommand, std::move(modelProvider),
                           panelCallbacks(app))) {
            return false;
        }
        window_ = panel_.window;
        return true;
    }
    // Workers post; nothing is posted before the window exists or after it is gone.
    void refresh() override {
        HWND window = window_.load();
        if (window) PostMessageW(window, kPanelRefreshMessage, 0, 0);
    }
    void close() override {
        HWND window = window_.load();
        if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    }
    ~PanelPortWin() override { window_ = nullptr; }

  private:
    HINSTANCE instance_;
    Panel panel_;
    std::atomic<HWND> window_{nullptr};
};

}  // namespace

void setShowCommand(int showCommand) {
    gShowCommand = showCommand;
}

std::unique_ptr<PanelPort> makePanelPortWin(HINSTANCE instance) {
    return std::make_unique<PanelPortWin>(instance);
}

}  // namespace tov
