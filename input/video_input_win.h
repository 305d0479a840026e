// The video window's mouse and keys on Windows: turns its messages into the portable mouse and
// key translation, and gives that translation the real window, cursor and raw input.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "input/key_router.h"
#include "input/mouse_input.h"

namespace tov {

// The size of the picture the window shows (the stream's, or before a stream the phone's);
// 0 x 0 when unknown.
struct PictureSize {
    int32_t width = 0;
    int32_t height = 0;
};

class Win32MouseWindow : public MouseWindow {
  public:
    explicit Win32MouseWindow(std::function<HWND()> window) : window_(std::move(window)) {}
    void focus() override;
    void setCapture() override;
    void releaseCapture() override;
    bool hasCapture() override;
    bool registerRawMouse() override;
    void unregisterRawMouse() override;
    void clipCursor() override;
    void unclipCursor() override;
    void hideCursor() override;
    void showArrowCursor() override;

  private:
    std::function<HWND()> window_;
};

// A mouse message as the translation sees it; false for messages it does not take.
bool mouseEventFromMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                           PictureSize picture, MouseEvent& event);
RawMouse rawMouseFromRecord(const RAWMOUSE& record);
// The mouse part of a WM_INPUT message; false for other devices or unreadable data.
bool readRawMouse(LPARAM lParam, RawMouse& raw);
// The held modifiers and the lock keys, as of the message being handled.
KeyboardState currentKeyboardState();

class VideoWindowInput {
  public:
    VideoWindowInput(std::function<HWND()> window, std::function<PictureSize()> picture,
                     MouseTargets mouseTargets, KeyTargets keyTargets);

    // The video window's mouse callback: mouse messages, WM_INPUT, WM_SETCURSOR, WM_MOVE,
    // WM_SIZE and WM_KILLFOCUS.
    bool onWindowMessage(uint32_t message, uint64_t wParam, int64_t lParam);
    // The video window's key callback.
    bool onKey(bool down, unsigned virtualKey, int64_t lParam);

    MouseInput& mouse() { return mouse_; }
    KeyRouter& keys() { return keys_; }

  private:
    std::function<HWND()> windowOf_;
    std::function<PictureSize()> picture_;
    Win32MouseWindow window_;
    MouseInput mouse_;
    KeyRouter keys_;
};

}  // namespace tov
