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
#include "app/bitrate_meter.h"
#include "core/panel_model.h"
#include "core/settings_store.h"
#include "app/stream_control.h"
#include "audio/audio_player.h"
#include "input/input_link.h"
#include "input/key_router.h"
#include "input/shortcuts.h"
#include "phone/app_installer.h"
#include "phone/file_sender.h"
#include "core/phone_info.h"
#include "phone/phone_monitor.h"
#include "phone/screen_shape.h"
#include "record/recorder.h"
#include "record/screenshot_saver.h"
#include "session/session.h"
#include "session/toggle_echoes.h"
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
    // A new recording's path; empty: a time-stamped file in the user's Videos folder.
    std::function<std::wstring()> recordingPath;
    // A new screenshot's path; empty: a time-stamped file in the user's Pictures folder.
    std::function<std::wstring()> screenshotPath;
    // Milliseconds for the bitrate meter; empty: the system's tick count.
    std::function<uint64_t()> tickMs;
    // Fitting the stream to this PC and the link.
    AdaptOptions adapt;
};

class App {
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

    // The handlers of the phone monitor and the Session (worker threads).
    void onPhoneChange();
    void onLinkState(LinkState state, const std::string& detail);
    void onDeviceReport(const std::map<std::string, std::string>& report);
    void onPhoneStateReport(const std::map<std::string, std::string>& report);
    void onInputReport(const std::map<std::string, std::string>& report);
    void onPhoneInfo(const PhoneInfo& info);
    // The Wi-Fi side's state changed (its worker thread, or the UI thread after an operation).
    void onWifiChange();
    // Tells the video side what stream the session is about to bring (or that none is).
    void expectStream();

    // Test access.
    Session& session() { return session_; }
    InputLink& inputLink() { return inputLink_; }
    PhoneMonitor& phoneMonitor() { return phoneMonitor_; }
    AudioPlayer& audioPlayer() { return audio_; }
    Recorder& recorder() { return recorder_; }
    WifiPhones& wifiPhones() { return wifi_; }

  private:
    using Report = std::map<std::string, std::string>;
    enum class Setter { Video, Audio, Preset, Codec, Encoder, Vbr, Voice, Bitrate };

    // The wiring tables (app_wiring.cpp): one per subsystem.
    SessionCallbacks makeSessionCallbacks();
    SessionPhoneLink makePhoneLink();
    InputPhoneLink makeInputPhoneLink();
    VideoEvents makeVideoEvents();
    KeyTargets makeKeyTargets();
    StreamControlHooks makeStreamControlHooks();
    RecorderOptions makeRecorderOptions();
    FileSenderOptions makeFileSenderOptions();
    ScreenshotOptions makeScreenshotOptions();
    void wireWorkers();
    WifiPhones::Options makeWifiOptions(WifiPhones::Options options);
    // Hands the Wi-Fi side the phone list and the phone streaming over its cable, when they
    // changed (worker threads).
    void tellWifiPhones();
    // The remembered phone a wanted stream waits for, by name (model build, under the model
    // lock); `lastKey` is the phone chosen last.
    std::string awaitedWifiPhone(const std::string& lastKey) const;

    // Handlers with no panel operation of their own.
    void onVideoClosed();
    void onTouch(int action, int pointer, float x, float y);
    void onScroll(float x, float y, float horizontal, float vertical);
    void onPhoneClip(ClipItem item);
    void onFilesDropped(const std::vector<std::wstring>& paths);
    // The status line: what the last file drop or screenshot came to (worker threads).
    void setActivity(const std::string& text, bool failed);

    AdbRunFunction adbRunner() const;
    std::wstring findAdbPath() const;

    void refresh();
    void save();
    // Builds the options, hands them to the Session for its next start and returns them.
    StreamOptionMap pushStreamOptions();
    void setter(Setter which, const std::string& text, bool flag, int32_t number);
    // Pushes the options and tells the live phone of a change: in No app mode the whole map,
    // otherwise only `keys`, as the map has them.
    void sendStreamChange(const std::vector<std::string>& keys);
    // The stream adapter (app_adapt.cpp): once a second on its own thread while it runs.
    void adaptTick();
    void adaptNotLive(const std::string& phoneKey, bool wifi);
    // Looks up the remembered level when the phone or its link is not the one known; true then.
    bool adaptKnowPhone(const std::string& phoneKey, bool wifi);
    // A phone was probed, before its stream connects: its level is readied now.
    void adaptPhoneProbed();
    void adaptStartLive(int64_t nowUs);
    // The stream thread's share: the size and rate of a config, and each video packet.
    void adaptOnConfig(int width, int height, int fps);
    void adaptOnPacket(size_t size, int64_t time);
    void setInputToggles(bool keyboard, bool mouse);
    // Tells the phone the model's keyboard and mouse toggles while the stream is live,
    // remembered so that its echo is known as one.
    void sendInputToggles();
    // Applies a change the phone made to its keyboard or mouse sharing, if one is waiting (model
    // build). One that only repeats the model changes nothing.
    void applyPhoneToggles();
    void releaseHeldInput();
    void sendClipOptions(bool toPc, bool pictures, bool passwords);
    void saveShortcuts();
    std::wstring settingsFilePath() const;

    PhoneMonitor phoneMonitor_;
    AppInstaller installer_;
    std::mutex phoneLock_;
    std::string currentSerial_;
    std::string currentKey_;
    std::mutex wifiTellLock_;   // held while the Wi-Fi side is told the phones (tellWifiPhones)
    std::string wifiCableKey_;  // what the Wi-Fi side was told last; under wifiTellLock_
    WifiPhones wifi_;
    uint32_t wifiNoteSeen_ = 0;  // the last Wi-Fi note put on the status line; model lock
    Session session_;
    InputLink inputLink_;
    std::unique_ptr<ClipboardPort> clipboard_;
    Shortcuts shortcuts_;
    std::unique_ptr<ScreenShape> screenShape_;
    // Which of the phone's input-state reports are changes made on the phone; the others (echoes
    // of the PC's toggles, reports sent before the phone heard them) change nothing.
    ToggleEchoes toggleEchoes_;
    // Held from reading the toggles in the model until they are sent, so that the phone gets
    // them in the order the model had them. Never taken under the model lock.
    std::mutex toggleSendLock_;
    bool deviceInput_ = false;
    // The keys held on the phone and the shortcut keys, with the key path. UI thread only.
    KeyRouter keyRouter_;
    std::unique_ptr<VideoPort> video_;
    AudioPlayer audio_;
    std::unique_ptr<PanelPort> panel_;
    Recorder recorder_;
    std::unique_ptr<PicturePort> pictures_;
    ScreenshotSaver screenshots_;
    FileSender fileSender_;
    Updater updater_;
    std::string seenVersion_;
    std::atomic<bool> installOnExit_{false};
    // Set when the shut-down begins: workers no longer post to the panel.
    std::atomic<bool> closing_{false};
    std::mutex modelLock_;
    PanelModel model_;
    PhoneInfo lastPhoneInfo_;
    bool havePhoneInfo_ = false;
    BitrateMeter bitrateMeter_;
    SettingsStore settings_;
    StreamControl streamControl_;
    std::unique_ptr<AdaptRun> adapt_;
    AppParts parts_;
};

}  // namespace tov
