// The Phone app / No app switch, the No app option setter and the touch mapping. They work on
// the App's model under its lock and reach the Session, the video pipeline, the audio player, the
// input settings and the settings file only through the hooks, after the lock is released.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "core/panel_model.h"
#include "core/stream_options.h"
#include "core/phone_info.h"

namespace tov {

struct StreamControlHooks {
    // Build the options and hand them to the Session for its next start.
    std::function<void()> pushOptions;
    // Send a settings message to the phone on the live connection.
    std::function<void(const StreamOptionMap&)> sendToPhone;
    // The Session's run flag.
    std::function<bool()> streaming;
    std::function<void(bool)> setStreaming;
    // The Session's own No app flag.
    std::function<void(bool)> setSessionNoApp;
    std::function<void()> resetVideo;
    std::function<void()> stopAudio;
    // App::applyInput(), which also saves the settings.
    std::function<void()> applyInput;
    std::function<void()> saveSettings;
    std::function<void()> refresh;
    // The screen size that the input helper link reports; zeros while unknown.
    std::function<ScreenSize()> helperScreen;
};

class StreamControl {
  public:
    // `lastInfo` is the App's copy of the last PhoneInfo; the model lock guards it too.
    StreamControl(std::mutex& modelLock, PanelModel& model, const PhoneInfo& lastInfo,
                  StreamControlHooks hooks);

    // The options for the phone, built under the lock.
    StreamOptionMap options();
    void setNoApp(bool on);
    // False when the value is refused; then nothing changes.
    bool setNoAppOption(const std::string& key, const std::string& value);
    // A point of the video frame (0..1) to the phone's screen (0..1), for touches and scrolls.
    void mapToPhone(float& x, float& y);

  private:
    // The screen the phone's own shape refers to: the input helper's report, else the probe's.
    ScreenSize phoneScreen(ScreenSize helper) const;
    // Takes the value into the model under the lock; false when refused.
    bool takeOption(const std::string& key, const std::string& value, ScreenSize helper,
                    StreamOptionMap& pending);
    void fitSizeToShape(ScreenSize screen, StreamOptionMap& pending);
    void call(const std::function<void()>& hook) const {
        if (hook) hook();
    }

    std::mutex& lock_;
    PanelModel& model_;
    const PhoneInfo& lastInfo_;
    StreamControlHooks hooks_;
};

// The whole-text strtol rule of the option setter: an optional sign and base-10 digits that use
// the text up, within [low, high]. With `emptyIsZero`, an empty text counts as 0.
bool parseWholeNumber(const std::string& text, long low, long high, bool emptyIsZero, long& value);

}  // namespace tov
