// The actions the panel reports to the App, one member per row of the App's wiring table, in
// that order. A callback the App did not install is skipped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tov::panel {

struct PanelCallbacks {
    std::function<void(bool)> video;
    std::function<void(bool)> audio;
    std::function<void(bool)> keyboard;
    std::function<void(bool)> mouse;
    std::function<void(const std::string&)> preset;
    std::function<void(const std::string&)> codec;
    std::function<void(const std::string&)> encoder;
    std::function<void(bool)> vbr;
    std::function<void(bool)> voice;
    std::function<void(bool)> adapt;  // fit the stream to this PC and the link
    std::function<void()> restartNow;
    std::function<void()> later;
    std::function<void()> checkNow;
    std::function<void()> whatsNewRead;
    std::function<void(bool)> autoUpdate;
    std::function<void(const std::string&)> pinPhone;  // empty key unpins
    std::function<void(bool)> preferUsb;
    std::function<void(bool)> wifi;
    std::function<void(const std::string&, bool)> clipboardOption;
    std::function<void(int)> bitrate;  // bits per second
    std::function<void(bool)> deviceMode;
    std::function<void(bool)> acceleration;
    std::function<void(float)> speed;
    // index -1 is the Tovenmar key; key 0 clears the binding.
    std::function<void(int, uint8_t, uint16_t)> setShortcut;
    std::function<void()> resetShortcuts;
    std::function<void(bool)> showVideo;
    std::function<void(bool)> onTop;
    std::function<void(float)> volume;
    std::function<void()> startOrStop;
    std::function<void(bool)> record;
    std::function<void()> reinstall;
    std::function<void(bool)> noAppMode;
    // False when the value was refused.
    std::function<bool(const std::string&, const std::string&)> noAppOption;
    // Wi-Fi: the pairing card (opened afresh also by "Try again"), pairing with a phone's code
    // at its address ("host:port"; an empty code only connects), "Use over Wi-Fi" for the phone
    // on the cable, and forgetting a remembered phone by its key.
    std::function<void()> openPairing;
    std::function<void()> closePairing;
    std::function<void(const std::string&, const std::string&)> pairWithCode;
    std::function<void()> useOverWifi;
    std::function<void(const std::string&)> forgetPhone;
    // Several phones: sound from all of them, and the user's input to every live one.
    std::function<void(bool)> soundFromAll;
    std::function<void(bool)> everyPhone;
    // Several phones at once: the phone the pages show, each phone's own stream, and all.
    std::function<void(const std::string&)> selectPhone;
    std::function<void(const std::string&)> startPhone;
    std::function<void(const std::string&)> stopPhone;
    std::function<void()> startAll;
};

// Calls `fn` with the arguments when it is installed.
template <typename Fn, typename... Args>
void invoke(const Fn& fn, Args&&... args) {
    if (fn) fn(std::forward<Args>(args)...);
}

}  // namespace tov::panel
