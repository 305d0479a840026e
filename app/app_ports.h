// What the App needs from the pieces that exist only on Windows: the video window (with the input
// translation that turns its mouse and key messages into phone events), the settings panel and
// the clipboard. The Windows build hands the App the real ones; tests hand it stand-ins, so the
// App's wiring runs and is tested on both tiers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "clipboard/clip_item.h"
#include "core/bitmap.h"
#include "core/panel_model.h"
#include "input/key_router.h"
#include "video/fit_math.h"

namespace tov {

// The eleven events of the video window, in the App's order.
struct VideoEvents {
    std::function<void()> keyframeWanted;                           // video thread
    std::function<bool(int64_t phoneUs, int64_t* pcUs)> phoneToPc;  // video thread
    std::function<void()> closed;
    // Touch: action (0 down, 1 move, 2 up), pointer id, point in the frame (0..1).
    std::function<void(int action, int pointer, float x, float y)> touch;
    // Scroll at a point in the frame, horizontal and vertical amounts in notches.
    std::function<void(float x, float y, float horizontal, float vertical)> scroll;
    std::function<void(int which)> systemButton;  // 1 Back, else Home
    std::function<bool(bool down, unsigned virtualKey, int64_t lParam, const KeyboardState& state)>
        key;
    std::function<void()> focusLost;
    // Device mode: buttons, dx, dy, wheel, horizontal wheel.
    std::function<void(uint8_t buttons, int dx, int dy, int wheel, int hwheel)> deviceMouse;
    // The mouse capture of Device mode began or ended.
    std::function<void(bool)> changed;
    // Files dropped on the window: full paths.
    std::function<void(std::vector<std::wstring> paths)> filesDropped;
};

// The video statistics the panel shows.
struct VideoStats {
    int32_t shownPerSecond = 0;
    int32_t latencyMs = 0;
    int32_t received = 0;
    int32_t dropped = 0;
    bool onGpu = false;
    // Running totals for the stream adapter (see VideoSnapshot).
    int64_t decodedPictures = 0;
    int64_t decodeMicros = 0;
    int64_t presentedPictures = 0;
    int64_t presentMicros = 0;
    int64_t backlogResets = 0;
};

class VideoPort {
  public:
    virtual ~VideoPort() = default;
    // Before create: a name for this stream's log lines and timing file when several phones
    // stream at once; empty (the chosen phone's) keeps the plain ones.
    virtual void setStreamName(const std::string& /*name*/) {}
    // UI thread; false with the text to show when the window cannot be made.
    virtual bool create(std::string& errorText) = 0;
    virtual void destroy() = 0;
    virtual void show(bool visible) = 0;  // shown without taking the focus
    // The window's title (UTF-8), which names the phone it shows; a port without one ignores it.
    virtual void setTitle(const std::string& /*title*/) {}
    virtual void setOnTop(bool onTop) = 0;
    virtual bool hevcUsable() const = 0;
    // Stream thread.
    virtual void onConfig(int width, int height, int fps, int codec, const uint8_t* csd,
                          size_t csdSize) = 0;
    virtual void onPacket(const uint8_t* data, size_t size, int64_t time, bool key) = 0;
    // Any thread: drops the queue and waits for a new config.
    virtual void reset() = 0;
    // Any thread: a stream of about this codec and size is coming, so the decoder can open
    // before it arrives; codec < 0: none is coming any more.
    virtual void expectStream(int codec, int width, int height) = 0;
    virtual VideoStats stats() const = 0;
    // Input side (UI thread).
    virtual bool captured() const = 0;
    virtual void setCapturePossible(bool possible) = 0;
    virtual void setPhoneScreen(int width, int height) = 0;
    virtual void setDeviceMode(bool deviceMode) = 0;
    // The Tovenmar key: lets go of a captured mouse.
    virtual void releaseCapture() = 0;
    virtual void toggleFullscreen() = 0;
    // Window layout. UI thread: moves the window to a window rectangle of the screen, as the
    // program's own move. Any thread: the window rectangle the user moved or sized the window
    // to, if they did; and one kept from before (settings), which the next layout keeps.
    virtual void placeAt(const Rect& /*window*/) {}
    virtual std::optional<Rect> userPlacement() const { return std::nullopt; }
    virtual void setUserPlacement(std::optional<Rect> /*window*/) {}
    // Any thread: `done` receives the picture on screen at the stream's own size (on the video
    // thread), or nothing when no picture is shown.
    virtual void grabPicture(std::function<void(std::optional<Bitmap>)> done) = 0;
};

// A screenshot's way out on Windows: the imaging component and the clipboard. Called on the
// screenshot thread.
class PicturePort {
  public:
    virtual ~PicturePort() = default;
    // Empty when the picture could not be encoded.
    virtual std::string encodePng(const Bitmap& picture) = 0;
    // False when the clipboard stayed busy.
    virtual bool copyToClipboard(const Bitmap& picture, const std::string& png) = 0;
};

class App;

class PanelPort {
  public:
    virtual ~PanelPort() = default;
    // UI thread: makes the window with the model provider and the panel callbacks, each of which
    // calls one of the App's panel operations. False when the window cannot be made.
    virtual bool create(std::function<PanelModel()> modelProvider, App& app) = 0;
    // Any thread: posts the refresh message when the window exists.
    virtual void refresh() = 0;
    // Any thread: asks the window to close (ends the message loop).
    virtual void close() = 0;
};

class ClipboardPort {
  public:
    virtual ~ClipboardPort() = default;
    virtual bool running() const = 0;
    virtual void start(ClipItemHandler onPcCopy) = 0;
    virtual void stop() = 0;
    virtual void setOptions(bool pictures, bool passwords) = 0;
    virtual void putFromPhone(ClipItem item) = 0;
};

}  // namespace tov
