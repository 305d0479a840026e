// The one App: owns every subsystem, wires their callbacks to each other, keeps the PanelModel
// under the model lock and builds the copies the panel draws from. Portable: the Windows-only
// pieces (video window, panel, clipboard) come in through the ports of app_ports.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "app/app_adapt.h"
#include "app/app_ports.h"
#include "app/phone_stream.h"
#include "app/stream_control.h"
#include "core/panel_model.h"
#include "core/phone_info.h"
#include "core/settings_store.h"
#include "input/group_input.h"
#include "input/shortcuts.h"
#include "phone/app_installer.h"
#include "phone/phone_monitor.h"
#include "phone/screen_shape.h"
#include "record/screenshot_saver.h"
#include "update/updater.h"
#include "wifi/wifi_phones.h"

namespace tov {

// Everything the App is built from that differs between the product and a test.
struct AppParts {
    std::function<std::unique_ptr<VideoPort>(VideoEvents)> makeVideo;
    std::function<std::unique_ptr<PanelPort>()> makePanel;
    std::function<std::unique_ptr<ClipboardPort>()> makeClipboard;
    // Empty: screenshots cannot be encoded or copied, and say so.
    std::function<std::unique_ptr<PicturePort>()> makePictures;
    PhoneMonitor::Options phoneMonitor;
    // Timings for the Wi-Fi side; the App fills in what it wires (adb, identity, settings,
    // random source) where these leave it empty.
    WifiPhones::Options wifi;
    AppInstaller::Options installer;
    SessionConfig session;
    InputLinkTimings inputLink;
    AudioOutputFactory audioOutput;  // empty: the system's default output
    UpdaterOptions updater;
    // Where settings.ini is; empty: the user's data folder.
    std::function<std::wstring()> settingsPath;
    // Where shortcuts.ini is; empty: the user's data folder.
    std::function<std::wstring()> shortcutsPath;
    // A new recording's path, its name starting with `stem` ("Tovenmar" and the phone's name);
    // empty: a time-stamped file in the user's Videos folder.
    std::function<std::wstring(const std::wstring& stem)> recordingPath;
    // A new screenshot's path, named as a recording's; empty: a time-stamped file in the user's
    // Pictures folder.
    std::function<std::wstring(const std::wstring& stem)> screenshotPath;
    // Milliseconds for the bitrate meter; empty: the system's tick count.
    std::function<uint64_t()> tickMs;
    // Fitting the stream to this PC and the link.
    AdaptOptions adapt;
    // Adjusts the parts of a stream kept for the phone `key` beside the chosen phone's (tests
    // give each its own local ports); empty: the parts above.
    std::function<void(const std::string& key, PhoneStreamParts& parts)> phoneStreamParts;
};

// The key the chosen phone's stream is kept under: it follows the phone monitor's choice.
inline const std::string kChosenPhone;

class App : private PhoneStreamHost {
  public:
    explicit App(AppParts parts);
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // Creates both windows and starts every subsystem; false (after telling the user) when a
    // window could not be made. errorText says which.
    bool init(std::string& errorText);
    // The shut-down steps up to and including the video window; the caller installs a staged
    // update afterwards when installOnExit() says so. Every worker thread of the App has ended
    // when it returns; it takes at most about 5 s (the phone's screen size) plus what the
    // subsystems' stops take, whatever the update feed does.
    void shutdown();
    bool installOnExit() const { return installOnExit_.load(); }
    Updater& updater() { return updater_; }

    // Pushes the input and clipboard settings to the input link, the clipboard, the video window
    // and the Session.
    void applyInput();
    // The model provider.
    PanelModel buildModel();
    void showShortcuts();

    // The panel's operations, one per panel callback (UI thread).
    void setVideo(bool on);
    void setAudio(bool on);
    void setKeyboard(bool on);
    void setMouse(bool on);
    void setPreset(const std::string& preset);
    void setCodec(const std::string& codec);
    void setEncoder(const std::string& encoder);
    void setVbr(bool on);
    void setVoice(bool on);
    // "Fit the stream to this PC and the link" (app_adapt.cpp).
    void setAdapt(bool on);
    void restartNow();
    void later();
    void checkNow();
    void whatsNewRead();
    void setAutoUpdate(bool on);
    void pinPhone(const std::string& key);
    void setPreferUsb(bool on);
    void setWifi(bool on);
    void setClipboardOption(const std::string& key, bool on);
    void setBitrate(int32_t bitrate);
    void setDeviceMode(bool on);
    void setAcceleration(bool on);
    void setSpeed(float speed);
    void showVideo(bool on);
    void setOnTop(bool on);
    void setVolume(float volume);
    void startOrStop();
    void setRecording(bool on);
    // The screenshot shortcut: the picture on screen to a PNG file and the clipboard.
    void takeScreenshot();
    void reinstall();
    void setNoApp(bool on);
    bool setNoAppOption(const std::string& key, const std::string& value);
    // index < 0: the Tovenmar key; 0 to kShortcutCount - 1: one shortcut, taking the combination
    // from any other.
    void setShortcut(int index, uint8_t modifiers, uint16_t key);
    void resetShortcuts();
    // Wi-Fi (app_wifi.cpp).
    void openPairing();
    void closePairing();
    void pairWithCode(const std::string& address, const std::string& code);
    // For the chosen phone while it is on the USB cable.
    void useOverWifi();
    void forgetPhone(const std::string& key);
    // Several phones (app_group.cpp): "Sound from" all phones or the active one, and "Send my
    // input to every phone".
    void setSoundFromAll(bool on);
    void setEveryPhone(bool on);

    // Several phones at once (app_streams.cpp). The panel's pages show one phone: `key` from
    // the phone list, or empty for the chosen phone.
    void selectPhone(const std::string& key);
    // Streams the phone `key` (from the phone list) in its own window, beside the others; Stop
    // ends its stream and closes its window. Start all starts every phone listed.
    void startPhone(const std::string& key);
    void stopPhone(const std::string& key);
    void startAll();
    // The stream kept for `key` (kChosenPhone: the chosen phone's); null when there is none.
    PhoneStream* phoneStream(const std::string& key);

    // The handlers of the phone monitor (worker thread), and the Session's as the shown phone's
    // (tests call them so).
    void onPhoneChange();
    void onLinkState(LinkState state, const std::string& detail) {
        applyLinkState(shown(), state, detail);
    }
    void onPhoneStateReport(const std::map<std::string, std::string>& report) {
        onPhoneStateReport(shown(), report);
    }
    void onInputReport(const std::map<std::string, std::string>& report) {
        onInputReport(shown(), report);
    }
    // The Wi-Fi side's state changed (its worker thread, or the UI thread after an operation).
    void onWifiChange();
    // Tells the phone's video side what stream its session is about to bring (or that none is).
    void expectStream(PhoneStream& phone);

    // Test access: the parts of the phone the panel shows.
    Session& session() { return shown().session; }
    InputLink& inputLink() { return shown().inputLink; }
    PhoneMonitor& phoneMonitor() { return phoneMonitor_; }
    AudioPlayer& audioPlayer() { return shown().audio; }
    Recorder& recorder() { return shown().recorder; }
    WifiPhones& wifiPhones() { return wifi_; }

  private:
    using Report = std::map<std::string, std::string>;
    enum class Setter { Video, Audio, Preset, Codec, Encoder, Vbr, Voice, Bitrate };

    // The wiring tables (app_wiring.cpp): one per subsystem.
    StreamControlHooks makeStreamControlHooks();
    ScreenshotOptions makeScreenshotOptions();
    void wireWorkers();
    WifiPhones::Options makeWifiOptions(WifiPhones::Options options);
    // Hands the Wi-Fi side the phone list and the phone streaming over its cable, when they
    // changed (worker threads).
    void tellWifiPhones();
    // The remembered phone a wanted stream waits for, by name (model build, under the model
    // lock); `lastKey` is the phone chosen last.
    std::string awaitedWifiPhone(const std::string& lastKey) const;

    // What a phone's stream asks of the App (PhoneStreamHost).
    void onLinkState(PhoneStream& phone, LinkState state, const std::string& detail) override;
    void onDeviceReport(PhoneStream& phone, const Report& report) override;
    void onPhoneStateReport(PhoneStream& phone, const Report& report) override;
    void onInputReport(PhoneStream& phone, const Report& report) override;
    void onPhoneInfo(PhoneStream& phone, const PhoneInfo& info) override;
    void onStreamSize(PhoneStream& phone, int width, int height, int fps) override;
    void adaptTick(PhoneStream& phone) override;
    void onPhoneClip(PhoneStream& phone, ClipItem item) override;
    void onWindowUsed(PhoneStream& phone) override;
    // Mutes every phone but the active one, unless the user wants all phones heard.
    void routeSound();
    // The pages go from showing `before` to `after`: the model takes `after`'s settings and
    // adapter level, `before`'s are kept as its own. The model lock is held.
    void showPhoneSettings(PhoneStream& before, PhoneStream& after);
    // Runs `use` under the model lock on the model as it stands for `phone`: the model itself
    // for the phone the pages show; for another, a copy with that phone's settings and adapter
    // level, whose level is kept back as the phone's own afterwards.
    void withPhoneModel(PhoneStream& phone, const std::function<void(PanelModel&)>& use);
    StreamOptionMap streamOptionsFor(PhoneStream& phone);
    // Puts a stream's last tick of decode and present on the PC's load board (its ticker).
    void reportLoad(PhoneStream& phone, int64_t nowUs, bool live, const VideoTotals& totals);
    // Keeps where the user put each phone's own window, under its key (UI thread).
    void keepWindowPlaces();
    void onVideoClosed(PhoneStream& phone) override;
    void onTouch(PhoneStream& phone, int action, int pointer, float x, float y) override;
    void onAndroidKey(PhoneStream& phone, bool down, int32_t code, int32_t meta,
                      uint32_t repeat) override;
    void onHidKey(PhoneStream& phone, uint8_t usage, bool pressed) override;
    void setDeviceMode(PhoneStream& phone, bool on) override;
    // Group control: the phones an event made in `source`'s window goes to (UI thread).
    GroupView groupView(const PhoneStream& source);
    void onScroll(PhoneStream& phone, float x, float y, float horizontal, float vertical) override;
    void takeScreenshot(PhoneStream& phone) override;
    bool keyboardShared() override;
    // The status line: what the last file drop or screenshot came to (worker threads).
    void setActivity(const std::string& text, bool failed) override;
    std::wstring newRecordingPath(PhoneStream& phone) override;
    // "Tovenmar" and the phone's name, the start of the name of a file made from its stream.
    static std::wstring userFileStem(const PhoneStream& phone);
    AdbRunFunction adbRunner() const override;
    std::wstring findAdbPath() const override;
    AppInstaller& installer() override { return installer_; }
    void refresh() override;

    // The phone the panel's pages show, and the one whose window was worked in last; each is
    // the chosen phone's stream while no other is named. Never null.
    PhoneStream& shown();
    PhoneStream& active();
    std::vector<PhoneStream*> allStreams();
    // The monitor's choice, unless that phone has a stream of its own.
    PhoneChoice chosenPhone();
    // The stream that serves the listed phone `key`; null when none does.
    PhoneStream* streamServing(const std::string& key);
    bool isShown(const PhoneStream& phone);
    void applyLinkState(PhoneStream& phone, LinkState state, const std::string& detail);
    PhoneStreamParts phoneStreamParts() const;
    // Gives a stream, before it starts, the PC's decoders, the mode and the options.
    void readyStream(PhoneStream& phone);

    void save();
    // Builds the options for this phone, hands them to its Session for its next start and
    // returns them.
    StreamOptionMap pushStreamOptions(PhoneStream& phone);
    void setter(Setter which, const std::string& text, bool flag, int32_t number);
    // Pushes the options and tells `phone` of a change: in No app mode the whole map, otherwise
    // only `keys`, as the map has them.
    void sendStreamChange(PhoneStream& phone, const std::vector<std::string>& keys);
    // The stream adapter (app_adapt.cpp): once a second on its own thread while it runs.
    void adaptNotLive(PhoneStream& phone, const std::string& phoneKey, bool wifi);
    // Looks up the remembered level when the phone or its link is not the one known; true then.
    bool adaptKnowPhone(AdaptRun& run, const std::string& phoneKey, bool wifi);
    // A phone was probed, before its stream connects: its level is readied now.
    void adaptPhoneProbed(PhoneStream& phone);
    void adaptStartLive(PhoneStream& phone, int64_t nowUs);
    void setInputToggles(bool keyboard, bool mouse);
    // Tells the phone the model's keyboard and mouse toggles while its stream is live,
    // remembered so that its echo is known as one.
    void sendInputToggles(PhoneStream& phone);
    // Applies a change the phone made to its keyboard or mouse sharing, if one is waiting (model
    // build). One that only repeats the model changes nothing.
    void applyPhoneToggles();
    void releaseHeldInput();
    // The input settings to one phone's input link, key router and window.
    void applyInputTo(PhoneStream& phone, bool linkWanted);
    void saveShortcuts();
    std::wstring settingsFilePath() const;

    PhoneMonitor phoneMonitor_;
    AppInstaller installer_;
    std::mutex phoneLock_;
    std::string currentKey_;    // the phone chosen last; under phoneLock_
    std::mutex wifiTellLock_;   // held while the Wi-Fi side is told the phones (tellWifiPhones)
    std::string wifiCableKey_;  // what the Wi-Fi side was told last; under wifiTellLock_
    WifiPhones wifi_;
    uint32_t wifiNoteSeen_ = 0;  // the last Wi-Fi note put on the status line; model lock
    std::unique_ptr<ClipboardPort> clipboard_;
    Shortcuts shortcuts_;
    std::unique_ptr<ScreenShape> screenShape_;
    std::unique_ptr<PanelPort> panel_;
    std::unique_ptr<PicturePort> pictures_;
    ScreenshotSaver screenshots_;
    Updater updater_;
    std::string seenVersion_;
    std::atomic<bool> installOnExit_{false};
    // Set when the shut-down begins: workers no longer post to the panel.
    std::atomic<bool> closing_{false};
    std::mutex modelLock_;
    PanelModel model_;
    PhoneInfo lastPhoneInfo_;
    bool havePhoneInfo_ = false;
    SettingsStore settings_;
    StreamControl streamControl_;
    GroupInput groupInput_;  // UI thread only
    AppParts parts_;
    // One stream per wanted phone, by phone key; the one under kChosenPhone follows the phone
    // monitor's choice. Made before init and ended by shutdown; the map itself changes only on
    // the UI thread, under streamsLock_ (readers on workers take it too).
    // The decode and present load of every phone's stream, which each adapter sees whole.
    PcLoadBoard adaptBoard_;
    std::mutex streamsLock_;
    std::map<std::string, std::unique_ptr<PhoneStream>> streams_;
    PhoneStream* chosen_ = nullptr;
    std::string shownKey_;     // the phone the pages show; empty: the chosen phone
    std::string activeKey_;    // the phone whose window was worked in last; empty: the chosen one
    std::string chosenTitle_;  // the chosen phone's window's title when named; UI thread
};

}  // namespace tov
