// The video window's keys: the Tovenmar key, the shortcuts, and every other key as an Android
// key event (Touch mode) or a USB keyboard usage (Device mode), with the bookkeeping of what is
// held on the phone so that all of it can be let go at once. UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>

#include "input/shortcuts.h"

namespace tov {

// The keyboard as Windows reports it at the time of the key message.
struct KeyboardState {
    uint8_t modifiers = 0;  // mask of the held modifier keys
    bool capsLockOn = false;
    bool numLockOn = false;
};

struct KeyTargets {
    std::function<void(bool down, int32_t keyCode, int32_t meta, uint32_t repeat)> androidKey;
    std::function<void(int32_t keyCode)> pressKey;
    std::function<void(uint8_t usage, bool pressed)> hidKey;
    // The Tovenmar key lets go of a captured mouse.
    std::function<void()> releaseMouse;
    std::function<void()> toggleFullscreen;
    std::function<void(bool deviceMode)> switchMode;
    // Starts or stops recording the stream.
    std::function<void()> toggleRecording;
    // Saves the picture on screen.
    std::function<void()> takeScreenshot;
    // Whether keys may reach the phone: the link is ready and keyboard sharing is on. Asked at
    // each key, so that it is never older than the key; unset means no.
    std::function<bool()> forwarding;
};

class KeyRouter {
  public:
    explicit KeyRouter(KeyTargets targets);

    void setShortcuts(const Shortcuts& table) { shortcuts_ = table; }
    const Shortcuts& shortcuts() const { return shortcuts_; }
    void setDeviceMode(bool on) { deviceMode_ = on; }

    // A key message; true when it was consumed (the window then does nothing more with it).
    bool onKey(bool down, unsigned virtualKey, int64_t lParam, const KeyboardState& keyboard);
    // Key-ups for everything still held on the phone; forgets the shortcut keys too.
    void releaseAllKeys();

    size_t heldCount() const { return androidKeysHeld_.size() + hidKeysHeld_.size(); }

  private:
    bool forwarding() const { return targets_.forwarding && targets_.forwarding(); }
    bool runShortcut(int action, bool autoRepeat);
    bool touchKey(bool down, bool previouslyDown, unsigned virtualKey, uint16_t keyId,
                  const KeyboardState& keyboard);
    bool deviceKey(bool down, bool previouslyDown, uint16_t keyId);

    KeyTargets targets_;
    Shortcuts shortcuts_ = shortcuts::defaults();
    bool deviceMode_ = false;
    std::set<uint16_t> shortcutKeysHeld_;
    std::set<int32_t> androidKeysHeld_;
    std::map<int32_t, uint32_t> repeatCount_;
    std::set<uint8_t> hidKeysHeld_;
};

}  // namespace tov
