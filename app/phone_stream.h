// One phone's stream and everything that serves it: the Session, the input link, the video window
// and its pipeline, the sound, the recorder, the file sender, the stream adapter's run, the
// bitrate meter and the toggle echoes, wired to each other once here. What needs the whole
// program (the panel's model, the settings, the installer, adb) it asks of its host, the App,
// naming itself, so that the App can keep one of these per wanted phone.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/app_adapt.h"
#include "app/app_ports.h"
#include "app/bitrate_meter.h"
#include "audio/audio_player.h"
#include "core/phone_info.h"
#include "core/phone_settings.h"
#include "input/input_link.h"
#include "input/key_router.h"
#include "phone/adb_runner.h"
#include "phone/app_installer.h"
#include "phone/file_sender.h"
#include "phone/phone_choice.h"
#include "record/recorder.h"
#include "session/session.h"
#include "session/toggle_echoes.h"

namespace tov {

class PhoneStream;

// What a phone's stream asks of the program around it. Each call names the stream it comes from;
// they arrive on that stream's worker threads or the UI thread, as the part that makes them does.
class PhoneStreamHost {
  public:
    using Report = std::map<std::string, std::string>;
    virtual ~PhoneStreamHost() = default;

    // The Session's reports (stream thread).
    virtual void onLinkState(PhoneStream& phone, LinkState state, const std::string& detail) = 0;
    virtual void onDeviceReport(PhoneStream& phone, const Report& report) = 0;
    virtual void onPhoneStateReport(PhoneStream& phone, const Report& report) = 0;
    virtual void onInputReport(PhoneStream& phone, const Report& report) = 0;
    virtual void onPhoneInfo(PhoneStream& phone, const PhoneInfo& info) = 0;
    // The size and rate of the picture the phone sends now (stream thread).
    virtual void onStreamSize(PhoneStream& phone, int width, int height, int fps) = 0;
    // The stream adapter's once-a-second look (its own thread).
    virtual void adaptTick(PhoneStream& phone) = 0;
    // A copy made on the phone (the input link's thread).
    virtual void onPhoneClip(PhoneStream& phone, ClipItem item) = 0;

    // The window's events that need the program's settings (UI thread).
    virtual void onWindowUsed(PhoneStream& phone) = 0;
    virtual void onVideoClosed(PhoneStream& phone) = 0;
    virtual void onTouch(PhoneStream& phone, int action, int pointer, float x, float y) = 0;
    virtual void onScroll(PhoneStream& phone, float x, float y, float horizontal,
                          float vertical) = 0;
    // A key for the phone (Touch mode: an Android key; Device mode: a keyboard usage), which
    // may go to every live phone as well.
    virtual void onAndroidKey(PhoneStream& phone, bool down, int32_t code, int32_t meta,
                              uint32_t repeat) = 0;
    virtual void onHidKey(PhoneStream& phone, uint8_t usage, bool pressed) = 0;
    virtual void setDeviceMode(PhoneStream& phone, bool on) = 0;
    virtual void takeScreenshot(PhoneStream& phone) = 0;
    // True while the user shares the keyboard.
    virtual bool keyboardShared() = 0;

    // The program's shared pieces.
    virtual void refresh() = 0;
    virtual void setActivity(const std::string& text, bool failed) = 0;
    // A new recording's path, named after `phone`.
    virtual std::wstring newRecordingPath(PhoneStream& phone) = 0;
    virtual std::wstring findAdbPath() const = 0;
    virtual AdbRunFunction adbRunner() const = 0;
    virtual AppInstaller& installer() = 0;
};

// What one phone's stream is built from.
struct PhoneStreamParts {
    std::function<std::unique_ptr<VideoPort>(VideoEvents)> makeVideo;
    SessionConfig session;
    InputLinkTimings inputLink;
    AudioOutputFactory audioOutput;  // empty: the system's default output
    AdaptOptions adapt;
};

class PhoneStream {
    // First, so that every part built below can reach them.
    PhoneStreamHost& host_;
    const std::string key_;
    const std::function<PhoneChoice()> choice_;

  public:
    // `key` is the phone this stream is kept for; `choice` says which connection serves it now
    // (an empty serial: none).
    PhoneStream(PhoneStreamHost& host, std::string key, std::function<PhoneChoice()> choice,
                const PhoneStreamParts& parts);
    ~PhoneStream();
    PhoneStream(const PhoneStream&) = delete;
    PhoneStream& operator=(const PhoneStream&) = delete;

    const std::string& key() const { return key_; }
    // The name its log lines and timing file go by beside the other streams' (the key made fit
    // for a file name); empty for the chosen phone's.
    std::string streamName() const;
    PhoneChoice choice() const { return choice_(); }
    // "-s " + serial + " " for this phone's connection; empty while none serves it.
    std::wstring serialArgs() const;

    // Starts the Session and the adapter's ticker (the window is made by the caller).
    void start();
    // The part of the end that waits on the phone (each an adb run): the adapter's ticker, the
    // Session and the input link. Any thread; the program's end runs it beside the rest.
    void endPhoneSide();
    // Ends every worker of this phone and its window; runs once.
    void stop();
    // A change of connection: the stream and the input helper start over on the new one.
    void reconnect();

    // The keyboard's route on the phone: held keys let go (UI thread).
    void releaseHeldInput() { keyRouter.releaseAllKeys(); }
    // Holds the sound back while another phone's plays; the picture goes on.
    void setSoundMuted(bool muted);
    bool soundMuted() const { return soundMuted_.load(); }

    Session session;
    InputLink inputLink;
    std::unique_ptr<VideoPort> video;
    AudioPlayer audio;
    Recorder recorder;
    FileSender fileSender;
    KeyRouter keyRouter;
    std::unique_ptr<AdaptRun> adapt;
    BitrateMeter bitrateMeter;
    // Which of the phone's input-state reports are changes made on the phone; the others (echoes
    // of the PC's toggles, reports sent before the phone heard them) change nothing.
    ToggleEchoes toggleEchoes;
    // Held from reading the toggles until they are sent, so that the phone gets them in the
    // order the model had them. Never taken under the model lock.
    std::mutex toggleSendLock;
    // Whether the input helper was ready at the last model build (UI thread).
    bool deviceInput = false;
    // The stream's state, for what the App decides per phone (any thread).
    std::atomic<LinkState> linkState{LinkState::Stopped};
    // The connection this stream last followed; the host's phone lock guards it.
    std::string serial;
    // What the phone said of itself last, and its stream's size, for the pages when this phone
    // becomes the one they show; the host's model lock guards them.
    PhoneInfo info;
    PhoneStreamHost::Report lastHello;
    PhoneStreamHost::Report lastState;
    int streamWidth = 0;
    int streamHeight = 0;
    // This phone's own settings while the pages show another phone (a phone streamed in a
    // window of its own; the chosen phone's are the general ones); the host's model lock.
    PhoneSettings own;

  private:
    SessionCallbacks makeSessionCallbacks();
    SessionPhoneLink makePhoneLink();
    InputPhoneLink makeInputPhoneLink();
    VideoEvents makeVideoEvents();
    KeyTargets makeKeyTargets();
    RecorderOptions makeRecorderOptions();
    FileSenderOptions makeFileSenderOptions();

    std::atomic<bool> soundMuted_{false};
    bool stopped_ = false;
};

}  // namespace tov
